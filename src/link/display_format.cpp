#include "link/display_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace orvik::link {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The significant digits of a finite nonzero magnitude and the power of ten of the first one:
// value = 0.d1d2d3... * 10^(pointPosition).
struct Decimal {
  std::string digits;
  int pointPosition = 0;
};

template <typename Real>
Decimal decimalOf(Real magnitude, int maxSignificant) {
  std::array<char, 64> buf{};
  // Shortest form that reads back as the same value; if that needs more digits than the type carries,
  // the value correctly rounded to that many.
  auto [end, ec] =
      std::to_chars(buf.data(), buf.data() + buf.size(), magnitude, std::chars_format::scientific);
  std::string text(buf.data(), end);
  auto significantCount = [](const std::string& t) {
    const auto e = t.find('e');
    std::size_t n = 0;
    for (std::size_t i = 0; i < e; ++i)
      n += isDigit(t[i]) ? 1u : 0u;
    return static_cast<int>(n);
  };
  if (ec != std::errc{} || significantCount(text) > maxSignificant) {
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude, std::chars_format::scientific,
                           maxSignificant - 1);
    text.assign(buf.data(), r.ptr);
  }
  Decimal d;
  const auto e = text.find('e');
  for (std::size_t i = 0; i < e; ++i) {
    if (isDigit(text[i])) d.digits += text[i];
  }
  const char* power = text.c_str() + e + 1;
  if (*power == '+') ++power;
  std::from_chars(power, text.c_str() + text.size(), d.pointPosition);
  ++d.pointPosition;
  return d;
}

// Adds one to a string of decimal digits.
void increment(std::string& digits) {
  for (auto i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

template <typename Real>
std::string formatDecimal(Real value, int decimals, int maxSignificant) {
  if (decimals < 0) decimals = 0;
  std::string units;  // the rounded magnitude in units of 10^-decimals
  if (value != 0 && std::isfinite(value)) {
    const Decimal d = decimalOf(std::fabs(value), maxSignificant);
    const int keep = d.pointPosition + decimals;  // digits before the rounding position
    if (keep >= 0) {
      units = d.digits.substr(0, static_cast<std::size_t>(keep));
      units.resize(static_cast<std::size_t>(keep), '0');
      const char next =
          keep < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(keep)] : '0';
      if (next >= '5') increment(units);
    }
  }
  const auto firstNonZero = units.find_first_not_of('0');
  units = firstNonZero == std::string::npos ? std::string() : units.substr(firstNonZero);
  const bool negative = value < 0 && !units.empty();
  if (units.size() < static_cast<std::size_t>(decimals) + 1)
    units.insert(0, static_cast<std::size_t>(decimals) + 1 - units.size(), '0');
  if (decimals > 0) units.insert(units.size() - static_cast<std::size_t>(decimals), 1, '.');
  return negative ? '-' + units : units;
}

template <typename Real>
std::string formatShortest(Real value, int maxSignificant) {
  if (value == 0) return "0";
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  Decimal d = decimalOf(std::fabs(value), maxSignificant);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  std::string text;
  if (d.pointPosition > maxSignificant || d.pointPosition < -3) {
    // Very large or very small: one digit before the point and a signed two-digit exponent.
    text = d.digits.substr(0, 1);
    if (d.digits.size() > 1) text += '.' + d.digits.substr(1);
    const int exponent = d.pointPosition - 1;
    std::string power = std::to_string(exponent < 0 ? -exponent : exponent);
    if (power.size() < 2) power.insert(0, "0");
    text += (exponent < 0 ? "E-" : "E+") + power;
  } else if (d.pointPosition <= 0) {
    text = "0." + std::string(static_cast<std::size_t>(-d.pointPosition), '0') + d.digits;
  } else {
    const auto point = static_cast<std::size_t>(d.pointPosition);
    text = d.digits.size() <= point ? d.digits + std::string(point - d.digits.size(), '0')
                                    : d.digits.substr(0, point) + '.' + d.digits.substr(point);
  }
  return value < 0 ? '-' + text : text;
}

}  // namespace

std::string formatGeneral(float value) {
  return formatShortest(value, 7);
}

std::string formatGeneral(double value) {
  return formatShortest(value, 15);
}

std::string formatFixed(float value, int decimals) {
  return formatDecimal(value, decimals, 7);
}

std::string formatFixed(double value, int decimals) {
  return formatDecimal(value, decimals, 15);
}

std::string formatFahrenheit(float degrees) {
  return formatFixed(degrees, 0) + " \u00B0F";
}

std::string formatWholeOrBlank(double value) {
  std::string whole = formatFixed(value, 0);
  return whole == "0" ? std::string() : whole;
}

int fullYear(int twoDigitYear) {
  return twoDigitYear < 30 ? 2000 + twoDigitYear : 1900 + twoDigitYear;
}

std::string mediumDate(const platform::Date& date) {
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (date.month < 1 || date.month > 12) throw std::out_of_range("month outside 1..12");
  auto twoDigits = [](int n) {
    n = ((n % 100) + 100) % 100;
    return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
  };
  return twoDigits(date.day) + '-' + kMonths[static_cast<std::size_t>(date.month - 1)] + '-' +
         twoDigits(date.year);
}

std::string PacketLine(std::span<const std::uint8_t> packet) {
  std::string line;
  for (std::uint8_t byte : packet)
    line += ' ' + std::to_string(byte) + ',';
  return line;
}

}  // namespace orvik::link
