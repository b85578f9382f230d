#include "link/entry_number.h"

#include <charconv>
#include <system_error>

namespace orvik::link {

std::optional<double> ParseEntryNumber(std::string_view text, bool allowMinus) {
  constexpr std::string_view kBlanks = " \t";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);

  // The form is checked here; from_chars alone would also take "inf", "nan" and a trailing remainder.
  bool digit = false;
  bool point = false;
  for (std::size_t i = allowMinus && text.front() == '-' ? 1 : 0; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      digit = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digit) return std::nullopt;

  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (ec != std::errc{} || stop != end) return std::nullopt;
  return value;
}

}  // namespace orvik::link
