#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "calibration/calibration_sequence.h"
#include "calibration/trim_computation.h"
#include "link/controller_link.h"
#include "link/run_state.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::calibration {

// What makes one trim dialog: its names and texts, its entry's limits, and the trim it runs.
struct TrimSetup {
  const char* formName;
  const char* caption;
  const char* measuredCaption;  // Label1
  const char* measuredName;
  const char* actualCaption;  // Label2
  const char* entryName;
  const char* storedName;      // the working field that holds the constant as read
  double fieldLow, fieldHigh;  // the entry field's own limits
  double shownLow, shownHigh;  // the entry starts with the reading held inside these
  TrimKind kind;
  const char* readingText;
  const char* savingText;
  const char* cancelTitle;
  bool normalPointerOnActivate;
};

// A trim dialog: the technician compares the frozen reading with a reference instrument, types the true
// value and presses Trim; the sequence reads the stored constant, writes the corrected one and closes.
// One correction per dialog: the new value always comes from the constant as first read here, the reading
// frozen at open and the entry accepted by the start action, so a repeated write (after a lost
// acknowledgement and Retry, or a second Trim) carries the same value and never compounds the correction.
class TrimDialog : public platform::Form, public SequenceDialog {
 public:
  TrimDialog(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
             const platform::Form& mainWindow, const TrimSetup& setup);

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

  std::uint8_t parameter() const { return rule_.parameter; }
  // A new value has gone out to the controller (whether or not it acknowledged it).
  bool wroteToController() const { return sequence_.writeSent(); }

 private:
  link::RunState& state_;
  const platform::Form& main_;
  const TrimSetup setup_;
  const TrimRule& rule_;

 public:
  platform::Label Label1;
  platform::Label measured;
  platform::Label Label2;
  platform::NumericEdit entry;
  platform::Label stored;
  platform::Label lblTrim{*this, "lblTrim", "-"};
  platform::Label lblStatus{*this, "lblStatus", ""};
  platform::Button cmdHelp{*this, "cmdHelp", "&Help"};
  platform::Button cmdTrim{*this, "cmdTrim", "&Trim"};
  platform::Button cmdCancel{*this, "cmdCancel", "&Cancel"};
  platform::Timer tmrSequence{*this, "tmrSequence", static_cast<int>(kStepPeriod.count())};
  platform::Timer tmrTimeout{*this, "tmrTimeout", static_cast<int>(kSequenceTimeout.count())};

 private:
  const char* constantName() const { return rule_.correction == Correction::Gain ? "gain" : "offset"; }
  std::optional<double> entryNumber() const { return readEntry(rule_, entry.text()); }

  CalibrationSequence sequence_;
  std::string prefilled_;                // what the entry showed at open
  double accepted_ = 0;                  // the true value the start action accepted
  bool storedRead_ = false;              // the constant has been read and kept in its working field
  link::FloatBytesArray storedBytes_{};  // its bytes as read
};

}  // namespace orvik::calibration
