#include "service_record/history_export.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <utility>

#include "link/status_csv.h"

namespace orvik::service_record {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits from `at`; false when there are none.
bool skipDigits(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  while (at < text.size() && isDigit(text[at]))
    ++at;
  return at > start;
}

// A number as the program writes one: an optional sign, digits, an optional fraction and an optional
// exponent ("-0.25", "+3", "1.5E-05"). A spreadsheet reads it as that number, never as a formula.
bool isPlainNumber(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  if (!skipDigits(text, at)) return false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    if (!skipDigits(text, at)) return false;
  }
  if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (!skipDigits(text, at)) return false;
  }
  return at == text.size();
}

// A spreadsheet runs a cell starting with one of these as a formula (tab and carriage return because
// some strip them first and read what follows).
bool startsLikeFormula(std::string_view text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

std::string number(const std::optional<int>& value) {
  return value ? std::to_string(*value) : std::string();
}

constexpr std::string_view kCsvHeader =
    "id,time (UTC),tag,hardware revision,software revision,program,user,change,parameter,before,"
    "before bytes,written,written bytes,measured,reference,source\r\n";

// The code point at the start of `text` and its length in bytes; none, one byte long, for a byte that
// does not begin a well-formed UTF-8 sequence (overlong forms and surrogates included).
std::pair<std::optional<char32_t>, std::size_t> firstCodePoint(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  char32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, point = lead & 0x07;
  } else {
    return {std::nullopt, 1};
  }
  if (text.size() < length) return {std::nullopt, 1};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {std::nullopt, 1};
    point = (point << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
  if (overlong || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return {std::nullopt, 1};
  return {point, length};
}

// Characters that would move the cursor, end the line or turn the text around on a terminal: C0 and C1
// controls (a tag byte Windows-1252 leaves unassigned arrives as a C1 control), the line and paragraph
// separators and the direction controls.
bool breaksTheTable(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

struct TableCell {
  std::string text;
  std::size_t width = 0;  // in characters
};

// A cell as the table shows it: "-" when empty, and "?" for each character that breaks the table or
// byte that is not UTF-8.
TableCell tableCell(std::string_view text) {
  if (text.empty()) return {"-", 1};
  TableCell cell;
  while (!text.empty()) {
    const auto [point, length] = firstCodePoint(text);
    if (point && !breaksTheTable(*point))
      cell.text += text.substr(0, length);
    else
      cell.text += '?';
    ++cell.width;
    text.remove_prefix(length);
  }
  return cell;
}

constexpr std::size_t kTextColumns = 10;
using TextLine = std::array<TableCell, kTextColumns>;
constexpr std::array<std::string_view, kTextColumns> kTextHeader{
    "id", "time", "tag", "change", "before", "written", "measured", "reference", "program", "user"};

TextLine textLine(const ServiceRow& r) {
  return {tableCell(r.id != 0 ? std::to_string(r.id) : std::string()),
          tableCell(r.at),
          tableCell(r.tag),
          tableCell(RowTitle(r)),
          tableCell(r.before),
          tableCell(r.written),
          tableCell(r.measured),
          tableCell(r.reference),
          tableCell(r.program),
          tableCell(r.user)};
}

}  // namespace

std::string CsvCell(std::string_view text) {
  std::string cell;
  if (startsLikeFormula(text) && !isPlainNumber(text)) cell += '\'';
  cell += text;
  return link::CsvQuoted(cell);
}

std::string HistoryCsv(const std::vector<ServiceRow>& rows) {
  std::string csv(kCsvHeader);
  for (const ServiceRow& r : rows) {
    // A row not yet stored has no id: its cell stays empty rather than showing 0.
    const std::string cells[] = {r.id != 0 ? std::to_string(r.id) : std::string(),
                                 CsvCell(r.at),
                                 CsvCell(r.tag),
                                 number(r.hardwareRevision),
                                 number(r.softwareRevision),
                                 CsvCell(r.program),
                                 CsvCell(r.user),
                                 std::string(ChangeName(r.change)),
                                 number(r.parameter),
                                 CsvCell(r.before),
                                 CsvCell(r.beforeBytes),
                                 CsvCell(r.written),
                                 CsvCell(r.writtenBytes),
                                 CsvCell(r.measured),
                                 CsvCell(r.reference),
                                 CsvCell(r.source)};
    for (std::size_t i = 0; i < std::size(cells); ++i) {
      if (i != 0) csv += ',';
      csv += cells[i];
    }
    csv += "\r\n";
  }
  return csv;
}

std::string HistoryText(const std::vector<ServiceRow>& rows) {
  if (rows.empty()) return "(no service record entries)\n";
  std::vector<TextLine> lines;
  lines.reserve(rows.size() + 1);
  TextLine& header = lines.emplace_back();
  for (std::size_t i = 0; i < kTextColumns; ++i)
    header[i] = tableCell(kTextHeader[i]);
  for (const ServiceRow& r : rows)
    lines.push_back(textLine(r));

  std::array<std::size_t, kTextColumns> widths{};
  for (const TextLine& line : lines)
    for (std::size_t i = 0; i < kTextColumns; ++i)
      widths[i] = std::max(widths[i], line[i].width);

  std::string text;
  for (const TextLine& line : lines) {
    for (std::size_t i = 0; i < kTextColumns; ++i) {
      text += line[i].text;
      if (i + 1 < kTextColumns) text += std::string(widths[i] - line[i].width + 2, ' ');
    }
    text += '\n';
  }
  return text;
}

}  // namespace orvik::service_record
