#include "link/display_format.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace orvik::link {
namespace {

TEST(FormatGeneral, ShowsSevenOrFifteenSignificantDigitsWithoutTrailingZeros) {
  EXPECT_EQ(formatGeneral(1.0f), "1");
  EXPECT_EQ(formatGeneral(1.0234f), "1.0234");
  EXPECT_EQ(formatGeneral(-2.5f), "-2.5");
  EXPECT_EQ(formatGeneral(0.0f), "0");
  EXPECT_EQ(formatGeneral(1.01247367f), "1.012474");
  EXPECT_EQ(formatGeneral(1234567.0f), "1234567");
  EXPECT_EQ(formatGeneral(12345678.0f), "1.234568E+07");
  EXPECT_EQ(formatGeneral(0.00125f), "0.00125");
  EXPECT_EQ(formatGeneral(0.0000153f), "1.53E-05");
  EXPECT_EQ(formatGeneral(1.0e-11), "1E-11");
  EXPECT_EQ(formatGeneral(1.01247367568443 + 1e-11), "1.01247367569443");
  EXPECT_EQ(formatGeneral(-1.5), "-1.5");
}

TEST(FormatFixed, RoundsTheShortestDecimalFormHalfAwayFromZero) {
  struct Row {
    float value;
    int decimals;
    const char* shown;
  };
  const std::vector<Row> rows = {
      {15.0f, 3, "15.000"},
      {3.999f, 3, "3.999"},
      {0.0f, 3, "0.000"},
      {12.3455f, 3, "12.346"},  // stored as 12.34549999...: read as the 12.3455 a person typed
      {1.005f, 2, "1.01"},
      {14.125f, 2, "14.13"},
      {-14.125f, 2, "-14.13"},
      {2.5f, 0, "3"},
      {-2.5f, 0, "-3"},
      {0.5f, 0, "1"},
      {0.49999997f, 0, "1"},  // nine digits, shown to seven: 0.5000000
      {9.9995f, 3, "10.000"},
      {99.995f, 2, "100.00"},
      {1234567.0f, 2, "1234567.00"},
      {1e20f, 0, "100000000000000000000"},
      {0.0004f, 3, "0.000"},
      {0.0005f, 3, "0.001"},
      {-0.001f, 2, "0.00"},
      {-0.004f, 2, "0.00"},
      {-0.005f, 2, "-0.01"},
      {-0.4f, 0, "0"},
      {-1e-10f, 3, "0.000"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(formatFixed(row.value, row.decimals), row.shown) << row.value << " to " << row.decimals;
}

TEST(FormatFixed, DoublesKeepFifteenDigitsAndBlankWholeNumbersDropZero) {
  EXPECT_EQ(formatFixed(1023 * 0.09775, 0), "100");  // 99.998
  EXPECT_EQ(formatFixed(11 * 0.09775, 0), "1");      // 1.075
  EXPECT_EQ(formatFixed(0.125, 2), "0.13");
  EXPECT_EQ(formatFixed(-0.125, 2), "-0.13");
  EXPECT_EQ(formatFixed(1.00000005, 7), "1.0000001");  // beyond a float's seven digits
  EXPECT_EQ(formatWholeOrBlank(99.998), "100");
  EXPECT_EQ(formatWholeOrBlank(0.5), "1");
  EXPECT_EQ(formatWholeOrBlank(0.49), "");
  EXPECT_EQ(formatWholeOrBlank(0.0), "");
  EXPECT_EQ(formatWholeOrBlank(-0.4), "");
  EXPECT_EQ(formatWholeOrBlank(-0.5), "-1");
}

TEST(LeadingNumber, ReadsTheNumberATextStartsWith) {
  struct Row {
    const char* text;
    double value;
  };
  const std::vector<Row> rows = {
      {"-", 0},     {"", 0},     {"5", 5},      {"12", 12},   {" \t12 abc", 12}, {"-3.5 V", -3.5},
      {"4.5", 4.5}, {"+7", 7},   {".25", 0.25}, {"1e2", 100}, {"2E-1x", 0.2},    {"1e", 1},
      {".", 0},     {"abc5", 0}, {"ERROR", 0},  {"- 5", 0},
  };
  for (const auto& row : rows)
    EXPECT_DOUBLE_EQ(leadingNumber(row.text), row.value) << '"' << row.text << '"';
}

TEST(MediumDate, ShowsTwoDigitDayMonthAbbreviationAndTwoDigitYear) {
  EXPECT_EQ(mediumDate({2005, 2, 15}), "15-Feb-05");
  EXPECT_EQ(mediumDate({2003, 3, 5}), "05-Mar-03");
  EXPECT_EQ(mediumDate({1999, 12, 1}), "01-Dec-99");
  EXPECT_EQ(mediumDate({2000, 1, 31}), "31-Jan-00");
  EXPECT_EQ(mediumDate({2005, 2, 31}), "31-Feb-05");
  EXPECT_THROW(mediumDate({2005, 13, 1}), std::out_of_range);
  EXPECT_THROW(mediumDate({2005, 0, 1}), std::out_of_range);
}

TEST(FullYear, PutsTwoDigitYearsBelowThirtyInThisCentury) {
  EXPECT_EQ(fullYear(0), 2000);
  EXPECT_EQ(fullYear(1), 2001);
  EXPECT_EQ(fullYear(29), 2029);
  EXPECT_EQ(fullYear(30), 1930);
  EXPECT_EQ(fullYear(99), 1999);
}

}  // namespace
}  // namespace orvik::link
