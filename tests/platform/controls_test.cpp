#include "platform/controls.h"

#include <gtest/gtest.h>

namespace orvik::platform {
namespace {

std::string times(int n, const std::string& s) {
  std::string out;
  while (n-- > 0)
    out += s;
  return out;
}

// A length limit counts characters, however many bytes UTF-8 gives each, and never splits one.
TEST(FirstCharacters, KeepsWholeCharactersUpToTheLimit) {
  const std::string street = "M\u00FCller-Stra\u00DFe Lager", e = "\u00E9", euro = "\u20AC";
  struct Row {
    std::string text;
    std::size_t limit;
    std::string kept;
  };
  const Row rows[] = {
      {street, 20, street},
      {times(20, e), 20, times(20, e)},
      {times(21, e), 20, times(20, e)},
      {times(7, euro), 4, times(4, euro)},
      {"ab\U0001F50Bc", 3, "ab\U0001F50B"},
      {"abcdef", 4, "abcd"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(firstCharacters(row.text, row.limit), row.kept) << row.text;
}

}  // namespace
}  // namespace orvik::platform
