// File > Log to CSV and Tools > Live Trend on the main window: every poll of the run is kept and, while a
// log runs, written as it happens.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "link/trend_series.h"
#include "ports/frm_ports.h"
#include "support/app_rig.h"
#include "support/headless_fixture.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;

class StatusLog : public testing::HeadlessTest {
 protected:
  StatusLog() {
    rig.configure({1, 0});
    rig.start();
  }
  ~StatusLog() override { std::filesystem::remove(path); }

  std::vector<std::string> logLines() const {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
      lines.push_back(line);
    return lines;
  }

  testing::AppRig rig{ui};
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("orvik-status-log-" + std::to_string(::getpid()) + ".csv");
};

TEST_F(StatusLog, LogsEachPollAsItHappensUntilStopped) {
  rig.model.faults.dropEvery = 3;
  ui.expectSaveFile("Log to CSV", path.string());
  rig.main.mnuLogCsv.click();
  EXPECT_EQ(ui.saveQuestions().back().filter, "CSV files (*.csv)");
  EXPECT_EQ(rig.main.mnuLogCsv.caption(), "Stop &Logging");
  EXPECT_EQ(rig.main.caption(), "Orvik Monitor - Logging to " + path.filename().string());

  ui.advance(13s);  // polls at 2, 4, ... 12 s; the third and the sixth go unanswered
  std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 6u) << "the header, and every poll but the last, whose answer may still come";
  EXPECT_EQ(lines[0].rfind("time,link,te_module_v,", 0), 0u);
  EXPECT_EQ(lines[1].rfind("2026-12-07T12:00:02Z,ok,", 0), 0u) << lines[1];
  EXPECT_EQ(lines[3], "2026-12-07T12:00:06Z,no response,,,,,,,,,,,");
  EXPECT_EQ(lines[5].rfind("2026-12-07T12:00:10Z,ok,", 0), 0u) << lines[5];

  rig.main.mnuLogCsv.click();
  EXPECT_EQ(rig.main.mnuLogCsv.caption(), "&Log to CSV...");
  EXPECT_EQ(rig.main.caption(), "Orvik Monitor");
  ui.advance(10s);
  EXPECT_EQ(logLines().size(), 6u) << "nothing is written after the stop";
  EXPECT_EQ(rig.main.statusStore().entries().size(), 11u) << "the store keeps every poll all the same";
}

TEST_F(StatusLog, AFileThatCannotBeWrittenIsSaidAtOnceAndPollingGoesOn) {
  ui.expectSaveFile("Log to CSV", std::nullopt);
  rig.main.mnuLogCsv.click();
  EXPECT_EQ(rig.main.mnuLogCsv.caption(), "&Log to CSV...") << "a cancel starts nothing";

  ui.expectSaveFile("Log to CSV", "/nonexistent-folder/log.csv");
  ui.expectBox("Orvik Monitor", MsgResult::Ok, 5s);
  rig.main.mnuLogCsv.click();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].box.text, "The log cannot be written to /nonexistent-folder/log.csv:\r" +
                                        std::string(std::strerror(ENOENT)) + ".");
  EXPECT_EQ(ui.boxes()[0].box.icon, platform::MsgIcon::Exclamation);
  EXPECT_EQ(rig.statusRequests(), 2u) << "polled while the box was up";
  EXPECT_EQ(rig.main.mnuLogCsv.caption(), "&Log to CSV...");
  EXPECT_EQ(rig.main.caption(), "Orvik Monitor");
}

TEST_F(StatusLog, ALogThatCannotBeWrittenOnStopsAndIsSaidAtTheNextPoll) {
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the test
  rlimit before{};
  ::getrlimit(RLIMIT_FSIZE, &before);
  rlimit small = before;
  small.rlim_cur = 250;  // the header and one line
  ::setrlimit(RLIMIT_FSIZE, &small);
  ui.expectSaveFile("Log to CSV", path.string());
  rig.main.mnuLogCsv.click();
  ui.expectBox("Orvik Monitor", MsgResult::Ok);
  ui.advance(7s);
  ::setrlimit(RLIMIT_FSIZE, &before);
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].atMs, 6000) << "at the poll after the failed line";
  EXPECT_EQ(ui.boxes()[0].box.text, "The log " + path.string() +
                                        " could not be written on and has stopped:\r" + std::strerror(EFBIG) +
                                        ".");
  EXPECT_EQ(rig.main.mnuLogCsv.caption(), "&Log to CSV...");
  EXPECT_EQ(rig.main.caption(), "Orvik Monitor");
  EXPECT_EQ(logLines().size(), 2u);
}

// A log on a pipe a logger reads: lines the logger does not take at once are dropped and counted in the
// title, and said when the log stops. (A logger that goes away: the end-to-end test.)
TEST_F(StatusLog, LinesAPipesReaderDoesNotTakeAtOnceAreDroppedAndSaid) {
  const std::string pipe = path.string() + ".pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ui.expectSaveFile("Log to CSV", pipe);
  rig.main.mnuLogCsv.click();
  const int filler = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
  while (::write(filler, "x\n", 2) == 2) {
  }
  ui.advance(7s);  // polls at 2, 4 and 6 s: three lines, none taken
  EXPECT_EQ(rig.main.caption(),
            "Orvik Monitor - Logging to " + path.filename().string() + ".pipe (3 lines dropped)");
  ui.expectBox("Orvik Monitor", MsgResult::Ok);
  rig.main.mnuLogCsv.click();  // Stop Logging
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].box.text,
            "The log " + pipe +
                " has stopped.\r3 lines were dropped: the program reading the log did "
                "not take them in time.");

  ::close(filler);
  ::close(reader);
  std::filesystem::remove(pipe);
}

TEST_F(StatusLog, TheTrendIsOpenedFromTheToolsMenuOverEveryReadingSinceTheStart) {
  int opened = 0;
  rig.main.openTrend = [&] { ++opened; };
  rig.model.faults.answerDelay = 2300ms;  // each answer comes after the next poll went out
  ui.advance(21s);
  EXPECT_EQ(rig.main.mnuTrend.shortcut(), "Ctrl+L");
  rig.main.mnuTrend.click();
  EXPECT_EQ(opened, 1);
  std::size_t readings = 0;
  for (const auto& entry : rig.main.statusStore().entries())
    readings += entry.record ? 1 : 0;
  EXPECT_EQ(readings, 9u) << "kept with the window closed";
  EXPECT_EQ(rig.main.statusStore().entries().size(), 10u) << "only the first poll counts as missed";
}

TEST_F(StatusLog, ADialogsPauseOfPollingIsNeitherAMissedPollNorASilence) {
  rig.model.faults.answerDelay = 1s;
  ui.advance(4500ms);  // a poll is out, its answer not yet in
  bool silentDuringDialog = true;
  ui.whenShown("frmPorts", [&](platform::Form& f) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 8000), [&] {
      silentDuringDialog = link::TrendSilentSince(rig.main.statusStore(), ui.now()).has_value();
      static_cast<ports::frmPorts&>(f).cmdCancel.click();
    });
  });
  rig.main.mnuSerialPort.click();
  ui.advance(6s);
  EXPECT_FALSE(silentDuringDialog);
  const link::StatusStore& store = rig.main.statusStore();
  for (const link::StoredStatus& entry : store.entries())
    EXPECT_TRUE(entry.record.has_value()) << "no poll was missed";
  ASSERT_EQ(store.pauses().size(), 1u);
  EXPECT_EQ(*store.pauses()[0].to - store.pauses()[0].from, 8s);
  EXPECT_FALSE(store.paused());
}

}  // namespace
}  // namespace orvik::app
