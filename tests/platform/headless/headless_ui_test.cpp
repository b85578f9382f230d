#include "platform/headless/headless_ui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::platform::headless {
namespace {

using namespace std::chrono_literals;

// A window that logs its events.
class LoggingForm : public Form {
 public:
  LoggingForm(Ui& ui, std::string name, std::vector<std::string>& log) : Form(ui, name, name), log_(log) {}
  void Form_Load() override { log_.push_back(name() + ".load"); }
  void Form_Activate() override {
    log_.push_back(name() + ".activate");
    if (onActivate) onActivate();
  }
  void Form_Unload() override { log_.push_back(name() + ".unload"); }
  std::function<void()> onActivate;
  Timer tmr{*this, "tmr", 100};

 private:
  std::vector<std::string>& log_;
};

class Ticks {
 public:
  explicit Ticks(HeadlessUi& ui, Timer& t) {
    t.onTick = [this, &ui] { at.push_back(ui.nowMs()); };
  }
  std::vector<std::int64_t> at;
};

TEST(HeadlessTimer, FollowsTheCommonTimerRules) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm f(ui, "frmA", log);
  Timer& t = f.tmr;
  Ticks ticks(ui, t);

  t.setEnabled(true);  // a full interval from now
  ui.advance(250ms);
  EXPECT_EQ(ticks.at, (std::vector<std::int64_t>{100, 200}));

  t.setEnabled(true);  // already running: nothing changes
  ui.advance(50ms);
  EXPECT_EQ(ticks.at.back(), 300);

  ui.advance(20ms);    // now 320
  t.setInterval(100);  // a new interval restarts the countdown
  ui.advance(150ms);
  EXPECT_EQ(ticks.at.back(), 420);

  t.setEnabled(false);
  ui.advance(1000ms);
  EXPECT_EQ(ticks.at.back(), 420);

  t.setInterval(500);  // stopped: only stored
  ui.advance(1000ms);
  EXPECT_EQ(ticks.at.back(), 420);

  t.setInterval(0);
  t.setEnabled(true);
  ui.advance(1000ms);
  EXPECT_EQ(ticks.at.back(), 420) << "an interval of 0 never ticks";
}

TEST(HeadlessTimer, AHandlerMayStopOrRetimeItsOwnTimer) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm f(ui, "frmA", log);
  std::vector<std::int64_t> at;
  f.tmr.onTick = [&] {
    at.push_back(ui.nowMs());
    if (at.size() == 1) f.tmr.setInterval(300);
    if (at.size() == 3) f.tmr.setEnabled(false);
  };
  f.tmr.setEnabled(true);
  ui.advance(2000ms);
  EXPECT_EQ(at, (std::vector<std::int64_t>{100, 400, 700}));
}

TEST(HeadlessActivation, FiresOnShowOnReturnFromADialogAndWhenTheUserSwitchesWindows) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm main(ui, "frmMain", log);
  LoggingForm about(ui, "frmAbout", log);
  ui.show(main);
  ui.advance(1ms);
  EXPECT_EQ(log, (std::vector<std::string>{"frmMain.load", "frmMain.activate"}));

  log.clear();
  ui.show(about);
  ui.advance(1ms);
  ui.userActivated(main);
  ui.userActivated(main);  // already active: nothing
  ui.userActivated(about);
  EXPECT_EQ(log, (std::vector<std::string>{"frmAbout.load", "frmAbout.activate", "frmMain.activate",
                                           "frmAbout.activate"}));
  log.clear();
  about.close();
  ui.advance(1ms);
  EXPECT_EQ(log, (std::vector<std::string>{"frmAbout.unload", "frmMain.activate"}));
}

TEST(HeadlessActivation, AClosingModalDialogActivatesItsOpenerAfterTheCodeThatFollowsIt) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm main(ui, "frmMain", log);
  LoggingForm dialog(ui, "frmDialog", log);
  ui.show(main);
  ui.advance(1ms);
  log.clear();
  ui.whenShown(
      "frmDialog", [](Form& f) { f.close(); }, 500ms);
  ui.at(1000ms, [&] {
    ui.showModal(dialog);
    log.push_back("after showModal");
  });
  ui.advance(2000ms);
  EXPECT_EQ(log, (std::vector<std::string>{"frmDialog.load", "frmDialog.activate", "frmDialog.unload",
                                           "after showModal", "frmMain.activate"}));
}

TEST(HeadlessActivation, AMessageBoxClosingDoesNotActivateAnything) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm main(ui, "frmMain", log);
  int asked = 0;
  main.onActivate = [&] {
    ++asked;
    ui.messageBox({"Choose a port now?", "Setup Required...", MsgIcon::Information, MsgButtons::YesNo});
  };
  ui.answerAlways("Setup Required...", MsgResult::No);
  ui.show(main);
  ui.advance(5000ms);
  EXPECT_EQ(asked, 1);
}

TEST(HeadlessModal, TheOpenersTimersKeepTickingWhileADialogIsOpen) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm main(ui, "frmMain", log);
  LoggingForm dialog(ui, "frmDialog", log);
  Ticks ticks(ui, main.tmr);
  ui.show(main);
  main.tmr.setEnabled(true);
  ui.whenShown(
      "frmDialog", [](Form& f) { f.close(); }, 1000ms);
  ui.at(50ms, [&] { ui.showModal(dialog); });
  ui.advance(1200ms);
  EXPECT_EQ(ticks.at.size(), 12u);
  EXPECT_FALSE(dialog.lifecycle().loaded);
}

TEST(HeadlessModal, UnloadingStopsTheWindowsTimers) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm dialog(ui, "frmDialog", log);
  Ticks ticks(ui, dialog.tmr);
  ui.whenShown("frmDialog", [](Form& f) { static_cast<LoggingForm&>(f).tmr.setEnabled(true); });
  ui.whenShown(
      "frmDialog", [](Form& f) { f.close(); }, 250ms);
  ui.at(0ms, [&] { ui.showModal(dialog); });
  ui.advance(1000ms);
  EXPECT_EQ(ticks.at.size(), 2u);
  EXPECT_FALSE(dialog.tmr.enabled());
}

TEST(HeadlessModal, ADialogLeftOpenIsReportedAndClosed) {
  HeadlessUi ui;
  std::vector<std::string> failures;
  ui.onFailure = [&](const std::string& what) { failures.push_back(what); };
  ui.setModalLimit(10s);
  std::vector<std::string> log;
  LoggingForm dialog(ui, "frmStuck", log);
  ui.showModal(dialog);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("frmStuck"), std::string::npos);
  EXPECT_FALSE(dialog.lifecycle().loaded);
}

TEST(HeadlessMessageBox, AnswersAsScriptedAndRecordsEveryBox) {
  HeadlessUi ui;
  std::vector<std::string> failures;
  ui.onFailure = [&](const std::string& what) { failures.push_back(what); };
  ui.expectBox("Port Setup", MsgResult::Ok);
  ui.expectBox("Save Changes", MsgResult::Cancel);
  EXPECT_EQ(ui.messageBox({"Comm2 is unavailable.", "Port Setup", MsgIcon::Exclamation, MsgButtons::Ok}),
            MsgResult::Ok);
  EXPECT_EQ(ui.messageBox({"OK?", "Save Changes", MsgIcon::Question, MsgButtons::OkCancel}),
            MsgResult::Cancel);
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(ui.messageBox({"Line one\rline two", "Surprise", MsgIcon::Critical, MsgButtons::YesNo}),
            MsgResult::No);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("\"Surprise\": \"Line one\\rline two\""), std::string::npos) << failures[0];
  EXPECT_EQ(ui.boxTitles(), (std::vector<std::string>{"Port Setup", "Save Changes", "Surprise"}));
}

TEST(HeadlessMessageBox, ADelayedAnswerKeepsTheEventLoopRunning) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm main(ui, "frmMain", log);
  Ticks ticks(ui, main.tmr);
  main.tmr.setEnabled(true);
  ui.expectBox("Communications Timeout", MsgResult::Retry, 1000ms);
  ui.at(0ms, [&] {
    ui.messageBox({"Unable", "Communications Timeout", MsgIcon::Information, MsgButtons::RetryCancel});
    log.push_back("answered at " + std::to_string(ui.nowMs()));
  });
  ui.advance(1500ms);
  EXPECT_EQ(log.back(), "answered at 1000");
  EXPECT_EQ(ticks.at.size(), 15u);
}

TEST(HeadlessFileChooser, AnswersSaveAndOpenQuestionsInTheScriptedOrderAndFailsAnyOther) {
  HeadlessUi ui;
  std::vector<std::string> failures;
  ui.onFailure = [&](const std::string& what) { failures.push_back(what); };
  ui.expectOpenFile("Load Trims", "/data/trims.csv");
  ui.expectSaveFile("Log to CSV", std::nullopt);
  ui.expectOpenFile("Load Trims", "/data/other.csv");
  EXPECT_EQ(ui.chooseOpenFile({"Load Trims", "CSV files (*.csv)"}), "/data/trims.csv");
  EXPECT_EQ(ui.chooseSaveFile({"Log to CSV", "CSV files (*.csv)", "log.csv"}), std::nullopt);
  EXPECT_EQ(ui.chooseSaveFile({"Load Trims", "CSV files (*.csv)", "trims.csv"}), std::nullopt)
      << "a save question never takes the answer scripted for an open one";
  EXPECT_EQ(ui.chooseOpenFile({"Load Trims", "CSV files (*.csv)"}), "/data/other.csv");
  EXPECT_EQ(ui.chooseOpenFile({"Load Trims", "CSV files (*.csv)"}), std::nullopt);
  EXPECT_EQ(failures, (std::vector<std::string>{"unexpected save file chooser \"Load Trims\"",
                                                "unexpected open file chooser \"Load Trims\""}));
}

TEST(HeadlessServices, ThePointerIsOneSettingNotAStack) {
  HeadlessUi ui;
  ui.setPointer(Pointer::Busy);
  ui.setPointer(Pointer::Busy);
  ui.setPointer(Pointer::Normal);
  EXPECT_EQ(ui.pointer(), Pointer::Normal);
  EXPECT_EQ(ui.pointerHistory().size(), 3u);
}

TEST(HeadlessServices, EndingTheProgramStopsEveryHandler) {
  HeadlessUi ui;
  std::vector<std::string> log;
  LoggingForm main(ui, "frmMain", log);
  Ticks ticks(ui, main.tmr);
  main.tmr.setEnabled(true);
  ui.at(250ms, [&] { ui.endProgram(); });
  ui.advance(1000ms);
  EXPECT_EQ(ticks.at.size(), 2u);
  EXPECT_TRUE(ui.ended());
}

}  // namespace
}  // namespace orvik::platform::headless
