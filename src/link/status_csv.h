#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <string_view>

#include "link/status_decoder.h"
#include "link/status_store.h"
#include "link/status_view.h"

namespace orvik::link {

// A log of status readings as comma-separated values: a header line, then one line per reading with its
// time in ISO 8601 UTC and one column per value, numbers without units at the precision the live display
// shows them. A missed reading is a line of its own that says so; a value the record lacks is empty.
std::string StatusCsvHeader();
std::string StatusCsvLine(std::chrono::system_clock::time_point at, const StatusRecord& record,
                          const LiveView& view);
std::string StatusCsvMissedLine(std::chrono::system_clock::time_point at);

// "2026-12-07T19:50:09Z".
std::string IsoUtcTime(std::chrono::system_clock::time_point at);

// A cell as a spreadsheet reads it back: quoted when it holds a comma, a quote or a line break.
std::string CsvQuoted(std::string_view text);

// `entries` as a log: the header, then each reading with the values the live display showed for it.
std::string StatusCsvText(const std::deque<StoredStatus>& entries);
// Writes StatusCsvText(entries) to `path` whole (platform::WriteFileWhole): the reason when it cannot.
std::string SaveStatusCsv(const std::string& path, const std::deque<StoredStatus>& entries);

}  // namespace orvik::link
