#include "calibration/calibration_date.h"

#include <array>
#include <cctype>
#include <vector>

#include "link/display_format.h"
#include "link/parameter_numbers.h"
#include "link/status_decoder.h"

namespace orvik::calibration {

namespace {

constexpr std::array<const char*, 12> kMonthNames = {"january",   "february", "march",    "april",
                                                     "may",       "june",     "july",     "august",
                                                     "september", "october",  "november", "december"};

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int month, int year) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

struct Token {
  std::string text;
  bool digits = false;
};

// Runs of letters or of digits; blanks and the separators - / . , between them. None for anything else.
std::optional<std::vector<Token>> tokensOf(std::string_view text) {
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (std::isdigit(c) || std::isalpha(c)) {
      Token t;
      t.digits = std::isdigit(c) != 0;
      while (i < text.size()) {
        const auto d = static_cast<unsigned char>(text[i]);
        if ((t.digits && !std::isdigit(d)) || (!t.digits && !std::isalpha(d))) break;
        t.text += static_cast<char>(std::tolower(d));
        ++i;
      }
      tokens.push_back(std::move(t));
    } else if (c == ' ' || c == '\t' || c == '-' || c == '/' || c == '.' || c == ',') {
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return tokens;
}

// A month's name or an abbreviation of it of at least three letters.
std::optional<int> monthNamed(const std::string& word) {
  if (word.size() < 3) return std::nullopt;
  for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
    if (std::string_view(kMonthNames[m]).starts_with(word)) return static_cast<int>(m) + 1;
  }
  return std::nullopt;
}

std::optional<int> numberOf(const Token& t, std::size_t maxDigits) {
  if (!t.digits || t.text.size() > maxDigits) return std::nullopt;
  return std::stoi(t.text);
}

std::optional<int> yearOf(const Token& t) {
  if (!t.digits) return std::nullopt;
  if (t.text.size() <= 2) return link::fullYear(std::stoi(t.text));
  if (t.text.size() == 4 && t.text[0] != '0') return std::stoi(t.text);
  return std::nullopt;
}

std::optional<platform::Date> validDate(std::optional<int> year, std::optional<int> month,
                                        std::optional<int> day) {
  if (!year || !month || !day || *month < 1 || *month > 12) return std::nullopt;
  if (*day < 1 || *day > daysInMonth(*month, *year)) return std::nullopt;
  return platform::Date{*year, *month, *day};
}

}  // namespace

std::string dateFieldText(const platform::Date& date) {
  std::string text = link::mediumDate(date);  // "15-Feb-05"
  text.replace(text.size() - 2, 2, std::to_string(date.year));
  return text;
}

std::optional<platform::Date> parseDateField(std::string_view text) {
  const auto tokens = tokensOf(text);
  if (!tokens || tokens->size() != 3) return std::nullopt;
  const Token& a = (*tokens)[0];
  const Token& b = (*tokens)[1];
  const Token& c = (*tokens)[2];
  if (a.digits && !b.digits) return validDate(yearOf(c), monthNamed(b.text), numberOf(a, 2));
  if (!a.digits && b.digits) return validDate(yearOf(c), monthNamed(a.text), numberOf(b, 2));
  if (a.digits && a.text.size() == 4) return validDate(yearOf(a), numberOf(b, 2), numberOf(c, 2));
  return std::nullopt;
}

link::FloatBytesArray calibrationDateBytes(const platform::Date& date) {
  return {0, static_cast<std::uint8_t>(date.month), static_cast<std::uint8_t>(date.day),
          static_cast<std::uint8_t>(date.year % 100)};
}

std::string calibrationYearRangeText() {
  return "The year must lie between " + std::to_string(kFirstCalibrationYear) + " and " +
         std::to_string(kLastCalibrationYear) +
         ": the controller keeps two digits, and 00 means no calibration.";
}

link::ChangeNote calibrationDateChange(const link::FloatBytesArray& storedBytes, const platform::Date& date) {
  link::ChangeNote note;
  note.change = link::ChangeKind::CalibrationDate;
  note.parameter = link::parameter::kCalibrationDate;
  const auto held = link::CalibrationDate(storedBytes[1], storedBytes[2], storedBytes[3]);
  note.before = held ? link::mediumDate(*held) : "NO CALIBRATION";
  note.beforeBytes = storedBytes;
  note.written = link::mediumDate(date);
  note.writtenBytes = calibrationDateBytes(date);
  return note;
}

}  // namespace orvik::calibration
