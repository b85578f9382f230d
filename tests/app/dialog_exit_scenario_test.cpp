// Ways out of a dialog that talks to the controller: what the technician is told, and polling afterwards.
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

// Cancel once the new value has gone out closes, and says the value may already be stored.
struct NoteRow {
  const char* what;
  const char* form;
  platform::MenuItem frmMain::*menu;
  const char* typed;                   // into the tag box, or nothing
  std::chrono::milliseconds cancelAt;  // after Save: the write is out, the dialog has not yet closed
  const char* title;
  const char* note;
};

class CancelAfterTheWrite : public testing::CalibrationTest, public ::testing::WithParamInterface<NoteRow> {};

TEST_P(CancelAfterTheWrite, SaysTheValueMayBeStored) {
  const NoteRow& row = GetParam();
  startLinked();
  ui.expectBox("Save Changes", platform::MsgResult::Ok);
  ui.expectBox(row.title, platform::MsgResult::Ok);
  ui.whenShown(
      row.form,
      [&](platform::Form& f) {
        if (row.typed != nullptr)
          static_cast<platform::TextBox*>(f.findControl("txtTag"))->userEdit(row.typed);
        static_cast<platform::Button*>(f.findControl("cmdTrim"))->click();
        whileOpen(f, row.cancelAt,
                  [&] { static_cast<platform::Button*>(f.findControl("cmdCancel"))->click(); });
      },
      600ms);
  (rig.main.*row.menu).click();
  ASSERT_EQ(ui.boxes().size(), 2u);
  EXPECT_EQ(ui.boxes()[1].box.text, row.note);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CancelAfterTheWrite,
    ::testing::Values(NoteRow{"Date", "frmCalDate", &frmMain::mnuCalDate, nullptr, 250ms,
                              "Update Calibration Date",
                              "The new calibration date may already be stored in the controller.\rCheck the "
                              "date the main window shows."},
                      NoteRow{"Tag", "frmEditTag", &frmMain::mnuEditTag, "NEW TAG", 750ms,
                              "Edit Orvik Controller Tag Name",
                              "The new tag name may already be stored in the controller.\rOpen the editor "
                              "again to see the tag it holds."}),
    testing::RowName{});

}  // namespace
}  // namespace orvik::app
