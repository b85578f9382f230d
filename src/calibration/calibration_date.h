#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/change_note.h"
#include "link/subs.h"
#include "platform/date.h"

namespace orvik::calibration {

// A date as the date field shows it, day-month-year with a four-digit year: "15-Feb-2005".
std::string dateFieldText(const platform::Date& date);

// The date a technician typed: day, month name and year ("15-Feb-2005", "15 february 05", "Feb 15, 2005"),
// or year, month and day as numbers with a four-digit year first ("2005-02-15"). A one- or two-digit
// year is 1930..2029. A day and month both given as numbers in any other order are refused rather than
// guessed at, since which comes first depends on the locale. None for a day its month does not have.
std::optional<platform::Date> parseDateField(std::string_view text);

// The years a calibration date may carry: the controller keeps the year as two digits, and a year byte
// of 00 means no calibration, so 2000 and 2100 would read as never calibrated, and other centuries as
// dates of this one.
inline constexpr int kFirstCalibrationYear = 2001;
inline constexpr int kLastCalibrationYear = 2099;
constexpr bool calibrationYearFits(int year) {
  return year >= kFirstCalibrationYear && year <= kLastCalibrationYear;
}

// Why a date outside those years is refused.
std::string calibrationYearRangeText();

// The calibration date parameter: 0, month, day and the year's last two digits, as plain bytes.
link::FloatBytesArray calibrationDateBytes(const platform::Date& date);

// The change a calibration date's write makes, from the date the controller held (its parameter bytes).
link::ChangeNote calibrationDateChange(const link::FloatBytesArray& storedBytes, const platform::Date& date);

}  // namespace orvik::calibration
