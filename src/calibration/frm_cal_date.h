#pragma once

#include "calibration/calibration_sequence.h"
#include "link/controller_link.h"
#include "link/run_state.h"
#include "platform/controls.h"
#include "platform/date.h"
#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::calibration {

// "Update Calibration Date": stores the date of the latest calibration in the controller. The read before
// the write only shows that the controller answers. The date written is the one Save accepted, taken
// from the date value itself, never from a date text read back.
class frmCalDate : public platform::Form, public SequenceDialog {
 public:
  frmCalDate(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
             const platform::Form& mainWindow);

  void Form_Load() override;
  void Form_Activate() override;
  void cmdTrim_Click() override;
  void cmdCancel_Click() override;
  // The close box and Alt+F4 do what Cancel does.
  bool Form_QueryUnload() override;
  void tmrSequence_Timer() { sequence_.tmrSequence_Timer(); }
  void tmrTimeout_Timer() { sequence_.tmrTimeout_Timer(); }
  WriteDecision valueToWrite(const link::FloatBytesArray& stored) override;
  link::ChangeNote changeNote(const link::FloatBytesArray& stored,
                              const link::FloatBytesArray& value) override;

  bool wroteToController() const { return sequence_.writeSent(); }

 private:
  link::RunState& state_;
  const platform::Form& main_;

 public:
  platform::Label lblLastCal{*this, "lblLastCal", ""};
  platform::Label Label2{*this, "Label2", "New Calibration Date:"};
  platform::DateEdit txtCalDate{*this, "txtCalDate", "dd-mmm-yyyy"};
  platform::Label lblStatus{*this, "lblStatus", ""};
  platform::Button cmdHelp{*this, "cmdHelp", "&Help"};
  platform::Button cmdTrim{*this, "cmdTrim", "&Save"};
  platform::Button cmdCancel{*this, "cmdCancel", "&Cancel"};
  platform::Timer tmrSequence{*this, "tmrSequence", static_cast<int>(kStepPeriod.count())};
  platform::Timer tmrTimeout{*this, "tmrTimeout", static_cast<int>(kSequenceTimeout.count())};

 private:
  CalibrationSequence sequence_;
  platform::Date accepted_{};  // the date Save accepted
};

}  // namespace orvik::calibration
