#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
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

// A status log file. Each line is handed to the system whole in one write, so a log ended at any moment
// (even killed) holds only complete lines.
class StatusCsvFile {
 public:
  StatusCsvFile() = default;
  StatusCsvFile(const StatusCsvFile&) = delete;
  StatusCsvFile& operator=(const StatusCsvFile&) = delete;
  ~StatusCsvFile();

  // Creates or empties `path` and writes the header; the system's reason when it cannot.
  std::string open(const std::string& path);
  // False when the line could not be written whole; the file is then closed, cut back to its last
  // whole line.
  bool write(const std::string& line);
  bool isOpen() const { return file_ != nullptr; }
  void close();

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::uintmax_t complete_ = 0;  // bytes of the whole lines written
};

// Writes `entries` to `path` as a log: the header, then each reading with the values the live display
// showed for it. The system's reason when the file cannot be written whole.
std::string SaveStatusCsv(const std::string& path, const std::deque<StoredStatus>& entries);

}  // namespace orvik::link
