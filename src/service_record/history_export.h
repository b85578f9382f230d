#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "service_record/service_row.h"

namespace orvik::service_record {

// One CSV cell of text that came from outside (a tag, an entry): quoted when it holds a comma, a quote or
// a line break, and, when it begins with "=", "+", "-", "@", a tab or a carriage return and is not a plain
// number ("-0.25", "+3", "1.5E-05"), led by an apostrophe so a spreadsheet shows it as text rather than
// running it as a formula. A plain number stays a number.
std::string CsvCell(std::string_view text);

// The rows as CSV: a header line, then one line per row in the order given, "\r\n" line ends. An absent
// number, and the id of a row not yet stored, is an empty cell.
std::string HistoryCsv(const std::vector<ServiceRow>& rows);

// The rows as a table for a terminal, one line per row, columns aligned by characters (not bytes). An
// empty cell shows "-"; a control character, a direction control or a byte that is not UTF-8 shows "?".
std::string HistoryText(const std::vector<ServiceRow>& rows);

}  // namespace orvik::service_record
