#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/number_text.h"
#include "platform/date.h"

namespace orvik::link {

// The link status as the technician reads it.
inline constexpr const char* kLinkNotYetAnswered = "Communication Status";
inline constexpr const char* kLinkAnswered = "Update";
inline constexpr const char* kLinkNoResponse = "No Response";
inline constexpr const char* kLinkTimedOut = "Timeout";

// A packet as the raw-bytes line shows it: each byte in decimal after a blank and before a comma,
// " 61, 2, 254,".
std::string PacketLine(std::span<const std::uint8_t> packet);

// `value` with exactly `decimals` decimals and at least one integer digit ("#0.000"), rounded half away
// from zero. A single-precision value is taken at its shortest decimal form (at most 7 significant
// digits) so 12.3455f shows as 12.346; a double at most 15. Zero never shows a minus sign.
std::string formatFixed(float value, int decimals);
std::string formatFixed(double value, int decimals);

// The general text of a number: at most 7 significant digits for a single-precision value (15 for a
// double), no trailing zeros, a full stop as decimal point ("1", "1.0234", "-2.5"); exponent form for
// magnitudes from 10^7 (10^15) up or below 0.001 ("1.5E-05", "2E+09").
std::string formatGeneral(float value);
std::string formatGeneral(double value);

// A temperature in whole degrees Fahrenheit: "77 °F", "-5 °F".
std::string formatFahrenheit(float degrees);

// `value` rounded half away from zero to a whole number with no leading zero ("#"): 0 shows as nothing.
std::string formatWholeOrBlank(double value);

// Two-digit years 0..29 are 2000..2029, 30..99 are 1930..1999.
int fullYear(int twoDigitYear);

// "15-Feb-05": two-digit day, English month abbreviation, two-digit year. The day is shown as given,
// even one its month does not have. A month outside 1..12 throws std::out_of_range.
std::string mediumDate(const platform::Date& date);

}  // namespace orvik::link
