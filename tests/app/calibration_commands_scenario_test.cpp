// The Tools menu's calibration commands: their checks in order, the busy pointer and polling around the
// dialogs.
#include <gtest/gtest.h>

#include "calibration/trim_dialog.h"
#include "support/calibration_rig.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;

class CalibrationCommands : public testing::CalibrationTest {
 protected:
  struct Command {
    const char* name;
    void (frmMain::*handler)();
  };
  static constexpr Command kCommands[] = {{"temperature", &frmMain::mnuTrimTemp_Click},
                                          {"battery", &frmMain::mnuTrimVolts_Click},
                                          {"TE", &frmMain::mnuTrimTE_Click},
                                          {"date", &frmMain::mnuCalDate_Click}};
};

TEST_F(CalibrationCommands, WithTheLinkDownEachSaysCommunicationsRequiredWithoutABeepAndPollingGoesOn) {
  startLinked();
  rig.state.LinkDown = true;
  for (const Command& command : kCommands) {
    ui.expectBox("Communications Required", MsgResult::Ok);
    (rig.main.*command.handler)();
    EXPECT_TRUE(rig.main.tmrUpdate.enabled()) << command.name;
  }
  ASSERT_EQ(ui.boxes().size(), 4u);
  for (const auto& record : ui.boxes()) {
    EXPECT_EQ(record.box.text, "Requires TE Controller communications.  Check connections");
    EXPECT_EQ(record.box.icon, platform::MsgIcon::Information);
  }
  EXPECT_TRUE(ui.beeps().empty());
  EXPECT_EQ(ui.pointer(), platform::Pointer::Normal);
}

TEST_F(CalibrationCommands, TheTemperatureTrimRefusesOnlyTheExactSensorFailureMarkers) {
  struct Row {
    double rawFahrenheit;
    bool refused;
  };
  for (const Row& row : {Row{-50, true}, Row{150, true}, Row{149.9, false}}) {
    platform::headless::HeadlessUi u;
    u.onFailure = [&](const std::string& what) { ADD_FAILURE() << row.rawFahrenheit << ": " << what; };
    testing::AppRig r{u};
    r.model.settings.rawFahrenheit = row.rawFahrenheit;
    r.configure({1, 0});
    r.start();
    u.advance(2100ms);
    bool opened = false;
    u.whenShown("frmBatOffset", [&](platform::Form& f) {
      opened = true;
      static_cast<calibration::TrimDialog&>(f).cmdCancel.click();
    });
    if (row.refused) u.expectBox("Temperature Sensor Error", MsgResult::Ok);
    r.main.mnuTrimTemp.click();
    EXPECT_EQ(opened, !row.refused) << row.rawFahrenheit;
    if (!row.refused) continue;
    ASSERT_EQ(u.boxes().size(), 1u);
    EXPECT_EQ(u.boxes()[0].box.text,
              "The battery temperature sensor is not connected or not reading accurately.\rCheck sensor and "
              "sensor connections before calibrating.");
    EXPECT_EQ(u.boxes()[0].box.icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(u.beeps(), std::vector<std::int64_t>{u.boxes()[0].atMs});
  }
}

TEST_F(CalibrationCommands, ATrimStopsPollingBehindTheBusyPointerAndRestartsItWhenItCloses) {
  startLinked();
  platform::Pointer pointerBeforeDialog = platform::Pointer::Normal;
  bool pollingWhileOpen = true;
  const auto polls = rig.statusRequests();
  ui.whenShown("frmTEVolts", [&](platform::Form& f) {
    pollingWhileOpen = rig.main.tmrUpdate.enabled();
    ui.at(std::chrono::milliseconds(ui.nowMs() + 4000),
          [&f] { static_cast<calibration::TrimDialog&>(f).cmdCancel.click(); });
  });
  const std::size_t changes = ui.pointerHistory().size();
  rig.main.mnuTrimTE.click();
  pointerBeforeDialog = ui.pointerHistory().at(changes).pointer;
  EXPECT_EQ(pointerBeforeDialog, platform::Pointer::Busy);
  EXPECT_FALSE(pollingWhileOpen);
  EXPECT_EQ(rig.statusRequests(), polls) << "four seconds open, no status request";
  EXPECT_TRUE(rig.main.tmrUpdate.enabled()) << "restarted by the command itself";
  ui.advance(1999ms);
  EXPECT_EQ(rig.statusRequests(), polls);
  ui.advance(10ms);  // the request's bytes take about 3 ms to reach the controller
  EXPECT_EQ(rig.statusRequests(), polls + 1) << "the first poll one full period after the dialog";
}

}  // namespace
}  // namespace orvik::app
