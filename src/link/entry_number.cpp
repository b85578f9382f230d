#include "link/entry_number.h"

#include "link/number_text.h"

namespace orvik::link {

std::optional<double> ParseEntryNumber(std::string_view text, bool allowMinus) {
  constexpr std::string_view kBlanks = " \t";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);

  // The form is checked here: a number in general would also take an exponent.
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
  return ReadNumber(text);
}

}  // namespace orvik::link
