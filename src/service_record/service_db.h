#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "service_record/service_row.h"

struct sqlite3;

namespace orvik::service_record {

// The schema version this program writes, kept in PRAGMA user_version.
inline constexpr int kSchemaVersion = 1;
// How long a write waits for another program's write to finish.
inline constexpr std::chrono::milliseconds kBusyTimeout{1500};

// The default service record: $XDG_DATA_HOME/orvik-monitor/service.db, or ~/.local/share/... without it.
// `getenv` is the environment to read (std::getenv in the programs).
std::string DefaultServiceDbPath(const std::function<const char*(const char*)>& getenv);

// One open SQLite service record file (WAL journal, busy time-out, schema by user_version). Rows are only
// ever added: nothing here changes or deletes one. SQL only with bound parameters.
class ServiceDb {
 public:
  struct Opened {
    std::unique_ptr<ServiceDb> db;  // null when it could not be opened
    std::string problem;            // why not, for a person; empty when opened
    std::string movedAsideTo;       // a file that was not a database was moved here and a new one started
    // The file is not one this program may write (a newer version's, another program's database, a
    // pipe): trying again will not help.
    bool lasting = false;
  };
  // Opens `path`, creating its folder and the file when missing, and brings an older schema up to date. A
  // database that holds tables but not the service record's is another program's, and is left untouched.
  // `now` names a file moved aside: "service.db.not-a-database-20261208T091502Z".
  static Opened open(const std::string& path, std::chrono::system_clock::time_point now);

  ~ServiceDb();
  ServiceDb(const ServiceDb&) = delete;
  ServiceDb& operator=(const ServiceDb&) = delete;

  // Adds `rows` in one transaction and gives each its id; on failure nothing is added and the reason is
  // returned (empty on success).
  std::string append(std::vector<ServiceRow>& rows);
  // The rows, newest first; only those of `tag` when given. Empty with `problem` set when unreadable.
  std::vector<ServiceRow> rows(const std::optional<std::string>& tag, std::string* problem = nullptr) const;
  // One row by id; none when there is no such row, or when unreadable with `problem` set.
  std::optional<ServiceRow> row(std::int64_t id, std::string* problem = nullptr) const;

  const std::string& path() const { return path_; }

 private:
  ServiceDb(sqlite3* db, std::string path);
  sqlite3* db_;
  std::string path_;
};

}  // namespace orvik::service_record
