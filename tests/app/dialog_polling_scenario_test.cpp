// Polling after a dialog that talks to the controller: it goes on however the dialog ended, and the next
// poll opens a port whose device came back while the dialog was open.
#include <gtest/gtest.h>

#include "support/calibration_rig.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;

struct DialogRow {
  const char* what;
  const char* form;
  platform::MenuItem frmMain::*menu;
  const char* closeButton;
};

class PollingAfterUnplug : public testing::CalibrationTest,
                           public ::testing::WithParamInterface<DialogRow> {};

TEST_P(PollingAfterUnplug, ResumesAndFindsTheDeviceAgain) {
  const DialogRow& row = GetParam();
  startLinked();
  ui.answerAlways("Communications Timeout", platform::MsgResult::Ok);
  ui.whenShown(
      row.form,
      [&](platform::Form& f) {
        rig.port.unplug();
        ui.at(std::chrono::milliseconds(ui.nowMs()) + 1s, [&, name = std::string(row.closeButton)] {
          if (f.lifecycle().loaded) static_cast<platform::Button*>(f.findControl(name))->click();
        });
      },
      300ms);
  (rig.main.*row.menu).click();
  rig.port.setAvailability(1, platform::headless::MemorySerialPort::Availability::Usable);
  const std::size_t polls = rig.statusRequests();
  EXPECT_TRUE(ui.runUntil([&] { return rig.statusRequests() > polls; }, 3s))
      << "polled on the device now back";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PollingAfterUnplug,
    ::testing::Values(DialogRow{"Trim", "frmBatVolts", &frmMain::mnuTrimVolts, "cmdCancel"},
                      DialogRow{"Date", "frmCalDate", &frmMain::mnuCalDate, "cmdCancel"},
                      DialogRow{"TagEditor", "frmEditTag", &frmMain::mnuEditTag, "cmdCancel"},
                      DialogRow{"Report", "frmReport", &frmMain::mnuReport, "cmdClose"}),
    testing::RowName{});

}  // namespace
}  // namespace orvik::app
