#include "calibration/frm_cal_date.h"

#include "calibration/calibration_date.h"
#include "dialogs/button_row.h"
#include "link/parameter_numbers.h"
#include "platform/ui.h"

namespace orvik::calibration {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

frmCalDate::frmCalDate(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
                       const platform::Form& mainWindow)
    : Form(ui, "frmCalDate", "Update Calibration Date"),
      state_(state),
      main_(mainWindow),
      sequence_(*this, *this, link,
                SequencePlan{link::parameter::kCalibrationDate, "Looking for TE Controller...", "", true},
                lblStatus, cmdTrim, tmrSequence, tmrTimeout) {
  // Wide enough for the title bar to show "Update Calibration Date" beside the window manager's icon and
  // buttons; every control keeps the same margin from the edges.
  constexpr int kClientWidth = 5670;
  constexpr int kMargin = 120;
  constexpr int kEntryWidth = 1605;
  constexpr int kEntryLeft = kClientWidth - kMargin - kEntryWidth;
  resizeClient(kClientWidth, 2685);
  lblLastCal.place(kMargin, 240, kClientWidth - 2 * kMargin, 255);
  lblLastCal.setAlignment(platform::Alignment::Center);
  lblLastCal.setDescription("Last calibration date");
  Label2.place(kMargin, 825, kEntryLeft - 120 - kMargin, 255);
  Label2.setAlignment(platform::Alignment::Right);
  Label2.setLabelFor(txtCalDate);
  txtCalDate.place(kEntryLeft, 780, kEntryWidth, 345);
  txtCalDate.setDescription("New calibration date");
  lblStatus.place(kMargin, 1500, kClientWidth - 2 * kMargin, 255);
  lblStatus.setAlignment(platform::Alignment::Center);
  lblStatus.setDescription("Status");
  dialogs::placeButtonRow(cmdHelp, cmdTrim, cmdCancel, kMargin, kClientWidth - kMargin, 2190, 915, true);

  txtCalDate.onUserEdit = [this] { cmdTrim.setEnabled(true); };
  cmdTrim.onClick = [this] { cmdTrim_Click(); };
  cmdCancel.onClick = [this] { cmdCancel_Click(); };
  tmrSequence.onTick = [this] { tmrSequence_Timer(); };
  tmrTimeout.onTick = [this] { tmrTimeout_Timer(); };
}

void frmCalDate::Form_Load() {
  platform::centreOver(*this, main_);
  ui().setPointer(platform::Pointer::Normal);
  txtCalDate.setText(dateFieldText(ui().today()));
  lblLastCal.setText("Last Calibration - " + state_.shown.calDate);
}

void frmCalDate::Form_Activate() {
  if (!sequence_.linkCheck()) close();
}

void frmCalDate::cmdTrim_Click() {
  const auto date = parseDateField(txtCalDate.text());
  if (!date) {
    ui().beep();
    sequence_.askHeld(
        {"\"" + txtCalDate.text() +
             "\" is not a date.\rType the day, the month and the year, for example 15-Feb-2005.",
         "Invalid Date", MsgIcon::Exclamation, MsgButtons::Ok});
    return;
  }
  if (!calibrationYearFits(date->year)) {
    ui().beep();
    sequence_.askHeld({calibrationYearRangeText(), "Invalid Date", MsgIcon::Exclamation, MsgButtons::Ok});
    return;
  }
  const MsgResult answer = sequence_.askHeld(
      {"OK to change Capibration Date?", "Save Changes", MsgIcon::Question, MsgButtons::OkCancel});
  if (answer != MsgResult::Ok || !lifecycle().loaded) return;
  txtCalDate.setText(dateFieldText(*date));
  accepted_ = *date;
  sequence_.start();
}

bool frmCalDate::Form_QueryUnload() {
  cmdCancel_Click();
  return false;
}

void frmCalDate::cmdCancel_Click() {
  // Cancel closes at once, giving up a date not yet sent; once the date has gone out the technician is
  // told it may be stored.
  sequence_.abandon();
  if (sequence_.writeSent()) {
    ui().messageBox(
        {"The new calibration date may already be stored in the controller.\r"
         "Check the date the main window shows.",
         "Update Calibration Date", MsgIcon::Information, MsgButtons::Ok});
  }
  close();
}

WriteDecision frmCalDate::valueToWrite(const link::FloatBytesArray& /*stored*/) {
  return calibrationDateBytes(accepted_);
}

link::ChangeNote frmCalDate::changeNote(const link::FloatBytesArray& stored,
                                        const link::FloatBytesArray& /*value*/) {
  return calibrationDateChange(stored, accepted_);
}

}  // namespace orvik::calibration
