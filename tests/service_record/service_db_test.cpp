// The service record on real files: its rows, its schema, the files it cannot use and two writers at once.
#include "service_record/service_db.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "service_record/service_journal.h"

namespace orvik::service_record {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
const system_clock::time_point kNow = sys_days{2026y / 12 / 8} + 9h + 15min + 2s;

// The first column of the last row `sql` gives, or SQLite's reason; through a handle of the test's own.
std::string query(const std::string& path, const std::string& sql, sqlite3** keep = nullptr) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::string result = "(no row)";
  const auto take = [](void* out, int, char** values, char**) {
    *static_cast<std::string*>(out) = values[0] != nullptr ? values[0] : "NULL";
    return 0;
  };
  if (sqlite3_exec(db, sql.c_str(), take, &result, nullptr) != SQLITE_OK) result = sqlite3_errmsg(db);
  keep != nullptr ? void(*keep = db) : void(sqlite3_close(db));
  return result;
}

std::string contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Every field set and each different from the others, so that no two columns can be mixed up unseen.
ServiceRow row(ChangeKind change, std::string tag, int n) {
  const std::string i = std::to_string(n);
  ServiceRow r;
  r.at = "2026-12-08T09:15:0" + i + "Z", r.tag = std::move(tag), r.program = "orvikctl", r.user = "tech";
  r.change = change, r.parameter = 18 + n, r.before = "1.00" + i, r.beforeBytes = "3F80000" + i;
  r.written = "1.01", r.writtenBytes = "3F8147AE", r.measured = "12.31", r.reference = "12.4";
  r.source = "a,\"b\"\n";
  if (n % 2) r.hardwareRevision = 3, r.softwareRevision = 40 + n;
  if (change == ChangeKind::Tag) r.parameter.reset();
  return r;
}

class ServiceDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::TempDir() + "service-db-XXXXXX";
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    dir = name;
    path = (dir / "orvik-monitor" / "service.db").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  std::string path;
};

TEST_F(ServiceDbTest, KeepsEveryFieldOfEveryChangeAndGivesThemNewestFirstByTag) {
  const std::string utf8 = "Zürich é€", hostile = "'); DROP TABLE service_row; --";
  std::vector<ServiceRow> rows{row(ChangeKind::BatteryVoltsGain, "CHG-07", 0),
                               row(ChangeKind::TeVoltsGain, utf8, 1),
                               row(ChangeKind::BatteryTempOffset, hostile, 2),
                               row(ChangeKind::CalibrationDate, "CHG-07", 3), row(ChangeKind::Tag, "", 4)};
  std::vector<ServiceRow> last{row(ChangeKind::LogReset, utf8, 5)};
  auto opened = ServiceDb::open(path, kNow);
  ASSERT_TRUE(opened.db) << opened.problem;
  EXPECT_EQ(opened.db->append(rows), "");
  EXPECT_EQ(opened.db->append(last), "");
  rows.push_back(last[0]);
  opened.db.reset();

  const auto db = ServiceDb::open(path, kNow).db;
  EXPECT_EQ(db->rows(std::nullopt), std::vector<ServiceRow>(rows.rbegin(), rows.rend()));
  EXPECT_EQ(db->rows(utf8), (std::vector{rows[5], rows[1]}));
  EXPECT_EQ(db->rows(hostile), std::vector{rows[2]});
  EXPECT_EQ(db->row(4), rows[3]);
  EXPECT_EQ(db->row(99), std::nullopt);
  EXPECT_EQ(query(path, "PRAGMA user_version"), "1");
  EXPECT_EQ(query(path, "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(query(path, "DELETE FROM service_row"), "a service record row is never deleted");
}

// A file this program may not write is left exactly as it was, and a change is said not to be recorded
// there rather than promised for later.
TEST_F(ServiceDbTest, ANewerVersionsOrAnotherProgramsFileIsLeftAsItIs) {
  fs::create_directories(fs::path(path).parent_path());
  for (const auto& [sql, told] :
       {std::pair{"PRAGMA user_version = 2", "was written by a newer version of the program"},
        std::pair{"PRAGMA user_version = -1", "a schema version no version of the program writes: -1"},
        std::pair{"CREATE TABLE invoices (id INTEGER)", "it is another program's SQLite database"},
        std::pair{"CREATE TABLE notes (id INTEGER); PRAGMA user_version = 1",
                  "it is another program's SQLite database"},
        std::pair{"", "it is a named pipe, not a file"}}) {
    fs::remove(path);
    const bool pipe = *sql == '\0';
    if (pipe) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else {
      query(path, sql);
    }
    const std::string before = pipe ? "" : contents(path);  // a pipe would wait for a writer
    const auto opened = ServiceDb::open(path, kNow);
    EXPECT_FALSE(opened.db);
    EXPECT_NE(opened.problem.find(told), std::string::npos) << opened.problem;
    EXPECT_EQ(pipe ? "" : contents(path), before);
    ServiceJournal journal(path, [] { return kNow; });
    journal.record(row(ChangeKind::Tag, "CHG-07", 1));
    EXPECT_EQ(journal.takeNotice(), "The service record " + path + " cannot be used: " + opened.problem +
                                        "; this change is not recorded there.");
    EXPECT_EQ(journal.unwritten().size(), 1u) << "listed at exit";
  }
}

TEST_F(ServiceDbTest, AFileThatIsNotADatabaseIsMovedAsideWithItsLogAndANewOneStarted) {
  const std::string aside = path + ".not-a-database-20261208T091502Z";
  // A file that begins as a database but is not one is found by SQLite, which deletes the log on closing it.
  const std::vector<std::tuple<std::string, std::string, std::string>> cases{
      {std::string(3000, '\x9c'), aside, "stale log"},
      {"Orvik service notes\n", aside + "-2", "stale log"},
      {std::string("SQLite format 3\0", 16) + std::string(200, '\xff'), aside + "-3", ""}};
  for (const auto& [text, movedTo, log] : cases) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    std::ofstream(path + "-wal") << "stale log";
    auto opened = ServiceDb::open(path, kNow);
    ASSERT_TRUE(opened.db) << opened.problem;
    EXPECT_EQ(opened.movedAsideTo, movedTo);
    EXPECT_EQ(contents(movedTo), text);
    EXPECT_EQ(contents(movedTo + "-wal"), log);
    std::vector<ServiceRow> rows{row(ChangeKind::Tag, "A", 1)};
    EXPECT_EQ(opened.db->append(rows), "");
    opened.db.reset();
    fs::remove(path);
  }
}

TEST_F(ServiceDbTest, AFileThatCannotBeOpenedIsAReasonAndTheJournalTellsItOnceAndKeepsTheRows) {
  std::ofstream(dir / "file") << "a regular file";
  ServiceJournal journal((dir / "file" / "service.db").string(), [] { return kNow; });
  for (int n = 1; n <= 3; ++n)
    journal.record(row(ChangeKind::BatteryVoltsGain, "CHG-07", n));
  EXPECT_EQ(journal.unwritten().size(), 3u);
  const std::string told = "The service record " + journal.path() + " cannot be written: ";
  EXPECT_TRUE(journal.takeNotice().value_or("").starts_with(told));
  EXPECT_EQ(journal.takeNotice(), std::nullopt);
  std::string problem;
  EXPECT_TRUE(journal.history(std::nullopt, &problem).empty());
  EXPECT_FALSE(problem.empty());
  EXPECT_EQ(UnwrittenAtExitText(journal),
            "3 service record entries could not be written to " + journal.path() + " and are lost:\n" +
                "  2026-12-08T09:15:01Z  CHG-07  Battery voltage gain  1.001 -> 1.01\n" +
                "  2026-12-08T09:15:02Z  CHG-07  Battery voltage gain  1.002 -> 1.01\n" +
                "  2026-12-08T09:15:03Z  CHG-07  Battery voltage gain  1.003 -> 1.01\n");
  for (const std::string& bad : {std::string(), dir.string()})
    EXPECT_NE(ServiceDb::open(bad, kNow).problem, "");
}

TEST_F(ServiceDbTest, TwoWritersBothWriteAndALockHeldPastTheTimeOutKeepsTheRowUntilRetried) {
  auto a = ServiceDb::open(path, kNow).db;
  auto b = ServiceDb::open(path, kNow).db;
  for (int n = 0; n < 4; ++n) {
    std::vector<ServiceRow> rows{row(ChangeKind::LogReset, "CHG-07", n)};
    EXPECT_EQ((n % 2 ? a : b)->append(rows), "");
  }
  ServiceJournal journal(path, [] { return kNow; });
  sqlite3* holder = nullptr;
  query(path, "BEGIN IMMEDIATE", &holder);
  journal.record(row(ChangeKind::Tag, "CHG-08", 9));
  EXPECT_EQ(journal.unwritten().size(), 1u);
  EXPECT_NE(journal.takeNotice().value_or("").find("database is locked"), std::string::npos);
  sqlite3_close(holder);  // and with it the write transaction
  journal.retry();
  EXPECT_TRUE(journal.unwritten().empty());
  EXPECT_EQ(journal.history("CHG-08").at(0).id, 5);
  EXPECT_EQ(a->rows(std::nullopt).size(), 5u);
}

TEST(DefaultServiceDbPath, IsUnderXdgDataHomeWhenAbsoluteElseUnderHome) {
  const std::vector<std::pair<std::map<std::string, const char*>, std::string>> cases{
      {{{"XDG_DATA_HOME", "/d"}, {"HOME", "/h"}}, "/d/orvik-monitor/service.db"},
      {{{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/h/.local/share/orvik-monitor/service.db"},
      {{}, ""}};
  for (const auto& [env, expected] : cases)
    EXPECT_EQ(DefaultServiceDbPath([&](const char* n) { return env.contains(n) ? env.at(n) : nullptr; }),
              expected);
}

}  // namespace
}  // namespace orvik::service_record
