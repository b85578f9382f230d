#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "link/controller_link.h"
#include "link/subs.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace orvik::calibration {

// One step of the exchange per tick; the whole exchange, repeats included, within the time-out.
inline constexpr std::chrono::milliseconds kStepPeriod{100};
inline constexpr std::chrono::milliseconds kSequenceTimeout{5000};

// What a dialog's sequence exchanges with the controller: it reads the stored parameter, writes the
// new value and waits for the acknowledgement.
struct SequencePlan {
  std::uint8_t parameter = 0;
  std::string readingText;  // status line while the stored value is read
  std::string savingText;   // status line while a trim writes the new value
  // The value goes out in the tick that sees the read's answer, and a missing acknowledgement leads back
  // to a fresh read before it goes out again (the calibration date).
  bool writeWithReadAnswer = false;
};

// The value to write as four bytes, or the message that says why nothing may be written.
using WriteDecision = std::variant<link::FloatBytesArray, platform::MessageBox>;

// The dialog a sequence runs in.
class SequenceDialog {
 public:
  virtual ~SequenceDialog() = default;
  // The value to write, given the stored value just read (its four bytes as the controller sent them).
  virtual WriteDecision valueToWrite(const link::FloatBytesArray& stored) = 0;
  // What writing `value` changes, for the service record, given the stored value just read.
  virtual link::ChangeNote changeNote(const link::FloatBytesArray& stored,
                                      const link::FloatBytesArray& value) = 0;
  // The start and cancel actions, which the time-out's Retry and Cancel run.
  virtual void cmdTrim_Click() = 0;
  virtual void cmdCancel_Click() = 0;
};

// The step machine that the calibration dialogs share, on the link's exchange: a step takes only the
// answer to its own request, complete and with a good checksum, and a late answer to an identical
// earlier request of the same sequence counts as well, since it answers the same question.
class CalibrationSequence {
 public:
  CalibrationSequence(platform::Form& dialog, SequenceDialog& owner, link::ControllerLink& link,
                      SequencePlan plan, platform::Label& lblStatus, platform::Button& cmdTrim,
                      platform::Timer& tmrSequence, platform::Timer& tmrTimeout);
  ~CalibrationSequence();

  // Busy pointer, first step, start button disabled, then the step timer and the time-out.
  void start();
  void tmrSequence_Timer();
  void tmrTimeout_Timer();

  // Shows `box` with the exchange held: neither the step timer nor the time-out runs until it is
  // answered, so the dialog cannot finish underneath it. A running exchange then goes on from the same
  // step, with a full time-out again.
  platform::MsgResult askHeld(const platform::MessageBox& box);
  // Ends the exchange: both timers stopped, normal pointer.
  void stop();
  // Stops, and gives up whatever the exchange still holds for this dialog: a write waiting for an
  // earlier answer never goes out (one already out may still be acknowledged and recorded).
  void abandon();
  bool running() const { return tmrSequence_.enabled() || tmrTimeout_.enabled(); }
  // A write has gone out from this dialog, acknowledged or not.
  bool writeSent() const;

  // The link check made whenever the dialog becomes active: false, after telling the technician, when the
  // link does not work. A running exchange is held while the message is open.
  bool linkCheck();

 private:
  link::Request readRequest() const { return link::Request::readParameter(plan_.parameter); }
  link::Request writeRequest() const { return link::Request::writeParameter(plan_.parameter, toWrite_); }
  bool takeValue(const link::Answer& answer);
  void missed(int backTo);
  void finish();
  void trimStep();
  void dateStep();

  platform::Form& dialog_;
  SequenceDialog& owner_;
  link::ControllerLink& link_;
  link::Exchange& exchange_;
  SequencePlan plan_;
  platform::Label& lblStatus_;
  platform::Button& cmdTrim_;
  platform::Timer& tmrSequence_;
  platform::Timer& tmrTimeout_;

  void askWrite();

  link::FloatBytesArray toWrite_{};
  link::FloatBytesArray storedRead_{};  // the stored value the value to write was worked out from
  bool writeAsked_ = false;  // the write has been asked; it goes out once nothing else may be answered
  // The value last noted for the service record: a write of the same value, after Retry too, is the
  // same change.
  std::optional<link::FloatBytesArray> notedValue_;
};

}  // namespace orvik::calibration
