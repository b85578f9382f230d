#include "service_record/service_db.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/file_start.h"
#include "platform/file_writing.h"

namespace orvik::service_record {

namespace {

namespace fs = std::filesystem;

// What a person is told when the file cannot be used; SQLite's own reasons are passed on as it gives them.
constexpr std::string_view kNoPath = "no file is named for it: neither XDG_DATA_HOME nor HOME is set";
constexpr std::string_view kNewerVersion =
    "it was written by a newer version of the program and is left as it is";
constexpr std::string_view kUnknownVersion = "it has a schema version no version of the program writes: ";
constexpr std::string_view kOtherProgram = "it is another program's SQLite database and is left as it is";
constexpr std::string_view kCannotMoveAside = "it is not a database and could not be moved aside: ";
constexpr std::string_view kCannotCreateFolder = "its folder cannot be created: ";

// Step n brings a file from schema version n to n + 1, so version k runs steps k .. kSchemaVersion - 1.
// A new version adds its step at the end and raises kSchemaVersion. A row is never changed or deleted;
// the triggers make that a property of the file, whichever program writes it.
constexpr std::array<std::string_view, kSchemaVersion> kMigrations{
    R"sql(
CREATE TABLE service_row (
  id INTEGER PRIMARY KEY,
  at TEXT NOT NULL,
  tag TEXT,
  hardware_revision INTEGER,
  software_revision INTEGER,
  program TEXT,
  user TEXT,
  change TEXT NOT NULL,
  parameter INTEGER,
  "before" TEXT,
  before_bytes TEXT,
  written TEXT,
  written_bytes TEXT,
  measured TEXT,
  reference TEXT,
  source TEXT
);
CREATE INDEX service_row_by_tag ON service_row (tag, id);
CREATE TRIGGER service_row_never_updated BEFORE UPDATE ON service_row
  BEGIN SELECT RAISE(ABORT, 'a service record row is never changed'); END;
CREATE TRIGGER service_row_never_deleted BEFORE DELETE ON service_row
  BEGIN SELECT RAISE(ABORT, 'a service record row is never deleted'); END;
)sql",
};

constexpr const char* kColumns =
    "id, at, tag, hardware_revision, software_revision, program, user, change, parameter, \"before\", "
    "before_bytes, written, written_bytes, measured, reference, source";
constexpr const char* kInsert =
    "INSERT INTO service_row (at, tag, hardware_revision, software_revision, program, user, change, "
    "parameter, \"before\", before_bytes, written, written_bytes, measured, reference, source) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)";

// A prepared statement, finalized when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

void bindText(sqlite3_stmt* stmt, int index, std::string_view text) {
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void bindInt(sqlite3_stmt* stmt, int index, const std::optional<int>& value) {
  if (value)
    sqlite3_bind_int(stmt, index, *value);
  else
    sqlite3_bind_null(stmt, index);
}

std::string columnText(sqlite3_stmt* stmt, int index) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
  return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)))
                         : std::string();
}

std::optional<int> columnInt(sqlite3_stmt* stmt, int index) {
  if (sqlite3_column_type(stmt, index) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_int(stmt, index);
}

// The row at the statement's cursor, or none when its change is not one this version knows (a newer
// program may record kinds of change this one has no name for).
std::optional<ServiceRow> readRow(sqlite3_stmt* stmt) {
  const std::optional<ChangeKind> change = ChangeFromName(columnText(stmt, 7));
  if (!change) return std::nullopt;
  ServiceRow row;
  row.id = sqlite3_column_int64(stmt, 0);
  row.at = columnText(stmt, 1);
  row.tag = columnText(stmt, 2);
  row.hardwareRevision = columnInt(stmt, 3);
  row.softwareRevision = columnInt(stmt, 4);
  row.program = columnText(stmt, 5);
  row.user = columnText(stmt, 6);
  row.change = *change;
  row.parameter = columnInt(stmt, 8);
  row.before = columnText(stmt, 9);
  row.beforeBytes = columnText(stmt, 10);
  row.written = columnText(stmt, 11);
  row.writtenBytes = columnText(stmt, 12);
  row.measured = columnText(stmt, 13);
  row.reference = columnText(stmt, 14);
  row.source = columnText(stmt, 15);
  return row;
}

// Runs `sql` (no data in it); SQLite's reason on failure, empty on success.
std::string exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return {};
  return sqlite3_errmsg(db);
}

struct Version {
  int value = 0;
  int code = SQLITE_OK;
};

Version readVersion(sqlite3* db) {
  Statement stmt(db, "PRAGMA user_version");
  if (!stmt) return {0, sqlite3_errcode(db)};
  const int code = sqlite3_step(stmt.get());
  if (code != SQLITE_ROW) return {0, sqlite3_errcode(db)};
  return {sqlite3_column_int(stmt.get(), 0), SQLITE_OK};
}

// "20261208T091502Z"
std::string compactUtc(std::chrono::system_clock::time_point now) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(now);
  const auto days = std::chrono::floor<std::chrono::days>(seconds);
  const std::chrono::year_month_day date{days};
  const std::chrono::hh_mm_ss time{seconds - days};
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02u%02u%02d%02d%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  std::string result(text);
  return result.insert(8, "T");
}

bool exists(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// Whether the file holds something other than an SQLite database: it is neither missing, empty (a new
// database) nor begins as a database does. Told before SQLite opens it, since SQLite, on closing a file it
// could not read, deletes the -wal beside it, and that log is kept with the file moved aside.
bool holdsOtherThanSqlite(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;  // a pipe would block the read; SQLite tells of it
  constexpr std::string_view kHeader{"SQLite format 3", 16};  // with its closing NUL
  const std::string start = platform::ReadFileStart(path, kHeader.size()).value_or("");
  return !start.empty() && start != kHeader;
}

// Moves the file and its -wal/-shm companions aside (a stale write-ahead log must not be played into the
// new database); the new name, or empty with `problem` set.
std::string moveAside(const std::string& path, std::chrono::system_clock::time_point now,
                      std::string& problem) {
  const std::string base = path + ".not-a-database-" + compactUtc(now);
  std::string aside = base;
  for (int n = 2; exists(aside) || exists(aside + "-wal") || exists(aside + "-shm"); ++n)
    aside = base + "-" + std::to_string(n);
  std::error_code ec;
  fs::rename(path, aside, ec);
  if (ec) {
    problem = std::string(kCannotMoveAside) + ec.message();
    return {};
  }
  for (const char* companion : {"-wal", "-shm"})
    if (exists(path + companion)) fs::rename(path + companion, aside + companion, ec);
  return aside;
}

struct Attempt {
  sqlite3* db = nullptr;
  std::string problem;
  bool notADatabase = false;
  bool lasting = false;  // the file is not one this program may write: trying again will not help
};

// Whether a database of schema version `version` is a service record: one of version 0 holds nothing
// yet (a new file), a later one holds the rows' table. Anything else is another program's.
bool isServiceRecord(sqlite3* db, int version) {
  Statement count(db, version == 0 ? "SELECT count(*) FROM sqlite_master"
                                   : "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                     "name = 'service_row'");
  if (!count || sqlite3_step(count.get()) != SQLITE_ROW) return true;  // unreadable: said on first use
  return (sqlite3_column_int(count.get(), 0) == 0) == (version == 0);
}

// Opens the file and brings its schema up to date. The schema version is read before anything else so
// that a file of a newer program is closed untouched, and a file that is not a database is told apart.
Attempt openOnce(const std::string& path) {
  Attempt attempt;
  sqlite3* db = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  const auto fail = [&](std::string problem, bool lasting = false) {
    attempt.problem = std::move(problem);
    attempt.lasting = lasting;
    sqlite3_close_v2(db);
    return attempt;
  };
  if (opened != SQLITE_OK) return fail(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
  sqlite3_busy_timeout(db, static_cast<int>(kBusyTimeout.count()));

  const Version found = readVersion(db);
  if (found.code == SQLITE_NOTADB) attempt.notADatabase = true;
  if (found.code != SQLITE_OK) return fail(sqlite3_errmsg(db));
  if (found.value > kSchemaVersion) return fail(std::string(kNewerVersion), true);
  if (found.value < 0) return fail(std::string(kUnknownVersion) + std::to_string(found.value), true);
  // Before anything is written to it, the journal mode included.
  if (!isServiceRecord(db, found.value)) return fail(std::string(kOtherProgram), true);
  // The journal mode is kept in the file. A file that cannot take it (read-only) keeps its mode and is
  // still read; its writes fail with their own reason.
  exec(db, "PRAGMA journal_mode=WAL");

  if (found.value < kSchemaVersion) {
    if (std::string problem = exec(db, "BEGIN IMMEDIATE"); !problem.empty()) return fail(problem);
    // Another program may have brought it up to date while this one waited for the write lock.
    Version now = readVersion(db);
    std::string problem = now.code != SQLITE_OK ? sqlite3_errmsg(db) : std::string();
    if (problem.empty() && now.value > kSchemaVersion) problem = kNewerVersion;
    if (problem.empty() && now.value < 0) problem = std::string(kUnknownVersion) + std::to_string(now.value);
    for (int step = now.value; problem.empty() && step < kSchemaVersion; ++step)
      problem = exec(db, std::string(kMigrations[static_cast<std::size_t>(step)]));
    if (problem.empty() && now.value < kSchemaVersion)
      problem = exec(db, "PRAGMA user_version = " + std::to_string(kSchemaVersion));
    if (problem.empty()) problem = exec(db, "COMMIT");
    if (!problem.empty()) {
      exec(db, "ROLLBACK");
      return fail(problem);
    }
  }
  attempt.db = db;
  return attempt;
}

}  // namespace

std::string DefaultServiceDbPath(const std::function<const char*(const char*)>& getenv) {
  const auto variable = [&](const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? fs::path(value) : fs::path();
  };
  if (const fs::path data = variable("XDG_DATA_HOME"); data.is_absolute())
    return (data / "orvik-monitor" / "service.db").string();
  if (const fs::path home = variable("HOME"); home.is_absolute())
    return (home / ".local" / "share" / "orvik-monitor" / "service.db").string();
  return {};
}

ServiceDb::Opened ServiceDb::open(const std::string& path, std::chrono::system_clock::time_point now) {
  Opened result;
  try {
    if (path.empty()) {
      result.problem = kNoPath;
      return result;
    }
    // A pipe would hold the program up in SQLite's first read; a folder or a device is no record either.
    if (std::string kind = platform::NotAFile(path); !kind.empty()) {
      result.problem = std::move(kind);
      result.lasting = true;
      return result;
    }
    if (const fs::path folder = fs::path(path).parent_path(); !folder.empty()) {
      std::error_code ec;
      fs::create_directories(folder, ec);
      if (ec) {
        result.problem = std::string(kCannotCreateFolder) + ec.message();
        return result;
      }
    }
    // SQLite itself finds the rest of what is not a database: a file that begins as one but is not.
    Attempt attempt;
    bool notADatabase = holdsOtherThanSqlite(path);
    if (!notADatabase) {
      attempt = openOnce(path);
      notADatabase = attempt.notADatabase;
    }
    if (notADatabase) {
      result.movedAsideTo = moveAside(path, now, result.problem);
      if (result.movedAsideTo.empty()) return result;
      attempt = openOnce(path);
    }
    if (attempt.db == nullptr) {
      result.problem = attempt.problem;
      result.lasting = attempt.lasting;
      return result;
    }
    result.db.reset(new ServiceDb(attempt.db, path));
  } catch (const std::exception& e) {  // memory or a path the file system cannot name
    result.problem = e.what();
  }
  return result;
}

ServiceDb::ServiceDb(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

ServiceDb::~ServiceDb() {
  sqlite3_close_v2(db_);
}

std::string ServiceDb::append(std::vector<ServiceRow>& rows) {
  if (rows.empty()) return {};
  if (std::string problem = exec(db_, "BEGIN IMMEDIATE"); !problem.empty()) return problem;
  std::vector<std::int64_t> ids;
  std::string problem;
  {
    Statement insert(db_, kInsert);
    for (const ServiceRow& row : rows) {
      if (!insert) break;
      sqlite3_stmt* stmt = insert.get();
      bindText(stmt, 1, row.at);
      bindText(stmt, 2, row.tag);
      bindInt(stmt, 3, row.hardwareRevision);
      bindInt(stmt, 4, row.softwareRevision);
      bindText(stmt, 5, row.program);
      bindText(stmt, 6, row.user);
      bindText(stmt, 7, ChangeName(row.change));
      bindInt(stmt, 8, row.parameter);
      bindText(stmt, 9, row.before);
      bindText(stmt, 10, row.beforeBytes);
      bindText(stmt, 11, row.written);
      bindText(stmt, 12, row.writtenBytes);
      bindText(stmt, 13, row.measured);
      bindText(stmt, 14, row.reference);
      bindText(stmt, 15, row.source);
      if (sqlite3_step(stmt) != SQLITE_DONE) break;
      ids.push_back(sqlite3_last_insert_rowid(db_));
      sqlite3_reset(stmt);
    }
    if (ids.size() != rows.size()) problem = sqlite3_errmsg(db_);
  }
  if (problem.empty()) problem = exec(db_, "COMMIT");
  if (!problem.empty()) {
    exec(db_, "ROLLBACK");
    return problem;
  }
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i].id = ids[i];
  return {};
}

std::vector<ServiceRow> ServiceDb::rows(const std::optional<std::string>& tag, std::string* problem) const {
  const std::string sql = std::string("SELECT ") + kColumns + " FROM service_row" +
                          (tag ? " WHERE tag = ?1" : "") + " ORDER BY id DESC";
  Statement select(db_, sql.c_str());
  std::vector<ServiceRow> result;
  if (select && tag) bindText(select.get(), 1, *tag);
  int code = select ? sqlite3_step(select.get()) : SQLITE_ERROR;
  for (; code == SQLITE_ROW; code = sqlite3_step(select.get()))
    if (auto row = readRow(select.get())) result.push_back(std::move(*row));
  if (code != SQLITE_DONE) {
    if (problem != nullptr) *problem = sqlite3_errmsg(db_);
    return {};
  }
  return result;
}

std::optional<ServiceRow> ServiceDb::row(std::int64_t id, std::string* problem) const {
  const std::string sql = std::string("SELECT ") + kColumns + " FROM service_row WHERE id = ?1";
  Statement select(db_, sql.c_str());
  if (!select) {
    if (problem != nullptr) *problem = sqlite3_errmsg(db_);
    return std::nullopt;
  }
  sqlite3_bind_int64(select.get(), 1, id);
  const int code = sqlite3_step(select.get());
  if (code == SQLITE_ROW) return readRow(select.get());
  if (code != SQLITE_DONE && problem != nullptr) *problem = sqlite3_errmsg(db_);
  return std::nullopt;
}

}  // namespace orvik::service_record
