#include "link/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace orvik::link {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The length of the number at the start of `text` (after an optional sign): digits with an optional
// fraction, then an exponent if one follows whole. 0 when no digit comes before the exponent.
std::size_t numberLength(std::string_view text) {
  std::size_t i = 0;
  bool digits = false;
  while (i < text.size() && isDigit(text[i])) {
    ++i;
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) {
      ++i;
      digits = true;
    }
  }
  if (!digits) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && isDigit(text[j])) {
      while (j < text.size() && isDigit(text[j])) {
        ++j;
      }
      i = j;
    }
  }
  return i;
}

// The power of ten of the first significant digit of a number checked by numberLength ("0.05" is -2,
// "12e3" is 4), for telling a number too large for a double from one too small.
long decimalExponent(std::string_view number) {
  const auto e = number.find_first_of("eE");
  long exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view power = number.substr(e + 1);
    const bool below = !power.empty() && power.front() == '-';
    if (!power.empty() && (power.front() == '-' || power.front() == '+')) power.remove_prefix(1);
    for (char c : power)
      exponent = std::min(exponent * 10 + (c - '0'), 100000L);
    if (below) exponent = -exponent;
    number = number.substr(0, e);
  }
  const auto point = std::min(number.find('.'), number.size());
  const auto first = number.find_first_of("123456789");
  if (first == std::string_view::npos) return 0;
  const long position =
      first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point);
  return position + exponent;
}

// `number` (no sign, checked by numberLength) as a double. Out of a double's range: none, or with
// `clamp` what strtod gives, the largest value or zero.
std::optional<double> convert(std::string_view number, bool negative, bool clamp) {
  double value = 0;
  const char* end = number.data() + number.size();
  const auto [stop, ec] = std::from_chars(number.data(), end, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range && clamp) {
    value = decimalExponent(number) > 0 ? HUGE_VAL : 0.0;
  } else if (ec != std::errc{} || stop != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::string_view withoutBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::optional<double> ReadNumber(std::string_view text) {
  text = withoutBlanks(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || numberLength(text) != text.size()) return std::nullopt;
  return convert(text, negative, false);
}

double leadingNumber(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return 0;
  text.remove_prefix(first);
  const bool negative = text.front() == '-';
  if (negative || text.front() == '+') text.remove_prefix(1);
  const std::size_t length = numberLength(text);
  if (length == 0) return 0;
  return convert(text.substr(0, length), negative, true).value_or(0);
}

}  // namespace orvik::link
