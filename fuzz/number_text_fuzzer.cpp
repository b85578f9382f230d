// Texts of any bytes read as numbers: the reader never crashes, a number it takes reads back from its
// shortest text to the same bits, the entry reader takes nothing the general one refuses, and the
// leading-number reader agrees with both on a text that is all number.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "link/entry_number.h"
#include "link/number_text.h"

namespace {

void check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto number = orvik::link::ReadNumber(text);
  const double leading = orvik::link::leadingNumber(text);
  for (const bool minus : {false, true}) {
    const auto entry = orvik::link::ParseEntryNumber(text, minus);
    if (entry) check(number && *number == *entry, "an entry the general reader refuses or reads otherwise");
  }
  if (!number) return 0;
  check(std::isfinite(*number), "a number that is not finite");
  check(leading == *number, "the leading number of a text that is all number differs from it");
  char shortest[64];
  const auto end = std::to_chars(shortest, shortest + sizeof shortest, *number).ptr;
  const auto again =
      orvik::link::ReadNumber(std::string_view(shortest, static_cast<std::size_t>(end - shortest)));
  check(again && std::memcmp(&*again, &*number, sizeof(double)) == 0, "a number that does not read back");
  return 0;
}
