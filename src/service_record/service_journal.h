#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service_record/service_db.h"

namespace orvik::service_record {

// The service record as a program run sees it: rows handed to it are kept until the database accepts
// them, so a record that cannot be written (read-only folder, full disk, locked) never loses a row while
// the program runs and never stops the program. The database is opened on first use and again after a
// failure.
class ServiceJournal {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  ServiceJournal(std::string path, Clock now);

  // Keeps `row` and writes it, with every row still unwritten before it, in order.
  void record(ServiceRow row);
  // Tries again to write the rows still kept.
  void retry();
  // Rows not yet written (oldest first).
  const std::vector<ServiceRow>& unwritten() const { return unwritten_; }

  // The rows in the database, newest first: when `tag` is given, the unit's under it and under the
  // names it had before (UnitRows). Rows still unwritten are not among them. `problem` says why the database
  // could not be read.
  std::vector<ServiceRow> history(const std::optional<std::string>& tag, std::string* problem = nullptr);
  // One stored row by its id: none with `problem` empty when there is no such row, none with `problem` set
  // when the database could not be read.
  std::optional<ServiceRow> row(std::int64_t id, std::string* problem = nullptr);

  // What a person must be told, each at most once a run: the first failure to write (for a file this
  // program may not write, a newer version's or another program's, that the change is not recorded
  // there), and a file that was not a database and was moved aside. Taken once: the second call returns
  // nothing.
  std::optional<std::string> takeNotice();

  const std::string& path() const { return path_; }

 private:
  // Opens the database when it is not open; why not, empty when it is.
  std::string ensureOpen();
  void writeUnwritten();
  void noteProblem(const std::string& problem);

  std::string path_;
  Clock now_;
  std::unique_ptr<ServiceDb> db_;
  std::vector<ServiceRow> unwritten_;
  std::vector<std::string> notices_;
  bool failureTold_ = false;
  bool lasting_ = false;  // the last problem was a file this program may not write
};

// What is said at exit of rows still unwritten: "2 service record entries could not be written to
// <path> and are lost:" and one line per row. Empty when none.
std::string UnwrittenAtExitText(const ServiceJournal& journal);

}  // namespace orvik::service_record
