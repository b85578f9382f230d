// Reading the date a technician typed, and the date as the field shows it.
#include "calibration/calibration_date.h"

#include <gtest/gtest.h>

namespace orvik::calibration {
namespace {

using platform::Date;

TEST(DateField, ReadsDayMonthNameAndYearOrAnIsoDateAndRefusesTheRest) {
  struct Row {
    const char* typed;
    std::optional<Date> date;
  };
  const Row rows[] = {
      {"15-Feb-2005", Date{2005, 2, 15}},
      {" 15 february 05 ", Date{2005, 2, 15}},
      {"Feb 15, 2005", Date{2005, 2, 15}},
      {"2005-02-15", Date{2005, 2, 15}},
      {"1/sept/99", Date{1999, 9, 1}},
      {"31-Dec-29", Date{2029, 12, 31}},
      {"1-Jan-30", Date{1930, 1, 1}},
      {"29-Feb-2000", Date{2000, 2, 29}},
      {"29-Feb-2100", std::nullopt},  // not a leap year
      {"29-Feb-2023", std::nullopt},
      {"31-Apr-2005", std::nullopt},
      {"0-Jan-2005", std::nullopt},
      {"15-Fe-2005", std::nullopt},  // too short to name a month
      {"02/15/2005", std::nullopt},  // numeric day and month: the order is not guessed
      {"15/02/2005", std::nullopt},
      {"15-Feb-205", std::nullopt},
      {"15-Feb", std::nullopt},
      {"", std::nullopt},
      {"15-Feb-2005 extra", std::nullopt},
      {"15_Feb_2005", std::nullopt},
  };
  for (const Row& row : rows)
    EXPECT_EQ(parseDateField(row.typed), row.date) << row.typed;
}

TEST(DateField, ShowsTheFourDigitYearAndReadsItsOwnTextBack) {
  for (const Date& d : {Date{2005, 2, 15}, Date{2099, 12, 31}, Date{2000, 1, 1}}) {
    EXPECT_EQ(parseDateField(dateFieldText(d)), d) << dateFieldText(d);
  }
  EXPECT_EQ(dateFieldText({2026, 12, 7}), "07-Dec-2026");
}

// Two year digits, 00 meaning no calibration: only 2001..2099 read back as the date written.
TEST(CalibrationDate, TakesOnlyYearsTheYearByteCanHold) {
  const std::pair<Date, bool> rows[] = {
      {{2000, 12, 31}, false}, {{2001, 1, 1}, true},  {{2099, 12, 31}, true},
      {{2100, 1, 1}, false},   {{1899, 6, 1}, false}, {{9999, 6, 1}, false},
  };
  for (const auto& [date, fits] : rows)
    EXPECT_EQ(calibrationYearFits(date.year), fits) << date.year;
}

}  // namespace
}  // namespace orvik::calibration
