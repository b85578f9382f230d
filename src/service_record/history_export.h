#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "service_record/service_row.h"

namespace orvik::service_record {

// One CSV cell of text that came from outside (a tag, an entry): quoted when it holds a comma, a quote or
// a line break, and, when it begins with "=", "+", "-" or "@" and is not a plain decimal number, written
// so a spreadsheet shows it as text rather than running it as a formula. A plain number stays a number.
std::string CsvCell(std::string_view text);

// The rows as CSV: a header line, then one line per row in the order given, "\r\n" line ends.
std::string HistoryCsv(const std::vector<ServiceRow>& rows);

// The rows as a table for a terminal, one line per row, columns aligned by characters (not bytes).
std::string HistoryText(const std::vector<ServiceRow>& rows);

}  // namespace orvik::service_record
