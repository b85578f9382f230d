#include "calibration/calibration_sequence.h"

#include <algorithm>

#include "calibration/link_check.h"
#include "platform/ui.h"

namespace orvik::calibration {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

// Steps of a trim: read, check the read, write, check the write, done.
enum TrimStep { kTrimRead = 1, kTrimReadAnswer, kTrimWrite, kTrimWriteAnswer, kTrimDone };
// Steps of the date: read, check the read and write, check the write, done.
enum DateStep { kDateRead = 1, kDateReadAnswer, kDateWriteAnswer, kDateDone };

}  // namespace

CalibrationSequence::CalibrationSequence(platform::Form& dialog, SequenceDialog& owner,
                                         link::ControllerLink& link, SequencePlan plan,
                                         platform::Label& lblStatus, platform::Button& cmdTrim,
                                         platform::Timer& tmrSequence, platform::Timer& tmrTimeout)
    : dialog_(dialog),
      owner_(owner),
      link_(link),
      plan_(std::move(plan)),
      lblStatus_(lblStatus),
      cmdTrim_(cmdTrim),
      tmrSequence_(tmrSequence),
      tmrTimeout_(tmrTimeout) {
  tmrSequence_.setInterval(static_cast<int>(kStepPeriod.count()));
  tmrTimeout_.setInterval(static_cast<int>(kSequenceTimeout.count()));
}

void CalibrationSequence::start() {
  dialog_.ui().setPointer(platform::Pointer::Busy);
  link_.state().SequenceStep = 1;
  sent_.clear();
  answered_ = false;
  cmdTrim_.setEnabled(false);
  tmrSequence_.setEnabled(true);
  tmrTimeout_.setEnabled(true);
}

void CalibrationSequence::tmrSequence_Timer() {
  noteAnswer();
  if (plan_.writeWithReadAnswer) {
    dateStep();
  } else {
    trimStep();
  }
}

void CalibrationSequence::trimStep() {
  int& step = link_.state().SequenceStep;
  switch (step) {
    case kTrimRead:
      lblStatus_.setText(plan_.readingText);
      step = kTrimReadAnswer;
      sendRead();
      break;
    case kTrimReadAnswer:
      if (!answered(link::kReadParameter)) {
        missed(kTrimRead);
      } else if (takeValue()) {
        step = kTrimWrite;
      }
      break;
    case kTrimWrite:
      lblStatus_.setText(plan_.savingText);
      step = kTrimWriteAnswer;
      sendWrite();
      break;
    case kTrimWriteAnswer:
      if (answered(link::kWriteParameter)) {
        step = kTrimDone;
      } else {
        missed(kTrimWrite);
      }
      break;
    case kTrimDone:
      finish();
      break;
    default:
      break;
  }
}

void CalibrationSequence::dateStep() {
  int& step = link_.state().SequenceStep;
  switch (step) {
    case kDateRead:
      lblStatus_.setText(plan_.readingText);
      step = kDateReadAnswer;
      sendRead();
      break;
    case kDateReadAnswer:
      if (answered(link::kWriteParameter)) {
        // Back here after a missed acknowledgement that has come in since: the value is stored.
        step = kDateDone;
      } else if (!answered(link::kReadParameter)) {
        missed(kDateRead);
      } else if (takeValue()) {
        step = kDateWriteAnswer;
        sendWrite();
      }
      break;
    case kDateWriteAnswer:
      if (answered(link::kWriteParameter)) {
        step = kDateDone;
      } else {
        missed(kDateReadAnswer);
      }
      break;
    case kDateDone:
      finish();
      break;
    default:
      break;
  }
}

void CalibrationSequence::sendRead() {
  link_.ReadParameter(plan_.parameter);
  noteSent();
}

void CalibrationSequence::sendWrite() {
  link_.state().FloatBytes = toWrite_;
  link_.WriteParameter(plan_.parameter);
  writeSent_ = true;
  noteSent();
}

void CalibrationSequence::noteSent() {
  const auto& tx = link_.state().TxBuffer;
  std::vector<std::uint8_t> packet(tx.begin(), tx.begin() + tx[1] + 1);
  // A repeat of the same request keeps an answer that has already come in for it.
  if (packet != sent_) answered_ = false;
  sent_ = std::move(packet);
}

void CalibrationSequence::noteAnswer() {
  if (sent_.empty() || answered_) return;
  const link::RunState& state = link_.state();
  // The link forgets its accepted answer whenever a command goes out; this one must still be the last.
  if (!std::equal(sent_.begin(), sent_.end(), state.TxBuffer.begin())) return;
  if (sent_[0] == link::kReadParameter && state.lastAnswer.code == link::kReadParameter &&
      state.lastAnswer.parameter == plan_.parameter) {
    answered_ = true;
    stored_ = state.FloatBytes;  // the value the link took from that answer
  } else if (sent_[0] == link::kWriteParameter && state.lastAnswer.code == link::kWriteParameter) {
    answered_ = true;
  }
}

bool CalibrationSequence::takeValue() {
  WriteDecision decision = owner_.valueToWrite(stored_);
  if (auto* bytes = std::get_if<link::FloatBytesArray>(&decision)) {
    toWrite_ = *bytes;
    return true;
  }
  stop();
  dialog_.ui().beep();
  dialog_.ui().messageBox(std::get<platform::MessageBox>(decision));
  if (dialog_.lifecycle().loaded) cmdTrim_.setEnabled(true);
  return false;
}

void CalibrationSequence::missed(int backTo) {
  dialog_.ui().beep();
  link_.state().SequenceStep = backTo;
}

void CalibrationSequence::finish() {
  dialog_.ui().setPointer(platform::Pointer::Normal);
  tmrSequence_.setEnabled(false);
  dialog_.close();
}

void CalibrationSequence::tmrTimeout_Timer() {
  stop();
  dialog_.ui().beep();
  const MsgResult answer =
      dialog_.ui().messageBox({"Unable to communicate with the Orvik.  Check cable connections.",
                               "Communications Timeout", MsgIcon::Information, MsgButtons::RetryCancel});
  if (!dialog_.lifecycle().loaded) return;
  if (answer == MsgResult::Retry) {
    owner_.cmdTrim_Click();
  } else {
    owner_.cmdCancel_Click();
  }
}

void CalibrationSequence::stop() {
  dialog_.ui().setPointer(platform::Pointer::Normal);
  tmrSequence_.setEnabled(false);
  tmrTimeout_.setEnabled(false);
}

platform::MsgResult CalibrationSequence::askHeld(const platform::MessageBox& box) {
  return holding([&] { return dialog_.ui().messageBox(box); });
}

bool CalibrationSequence::linkCheck() {
  return holding([&] { return confirmLink(dialog_.ui(), link_.state()); });
}

}  // namespace orvik::calibration
