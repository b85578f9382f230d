#include "calibration/calibration_sequence.h"

#include <utility>

#include "dialogs/held_question.h"
#include "dialogs/link_check.h"
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
      exchange_(link.exchange()),
      plan_(std::move(plan)),
      lblStatus_(lblStatus),
      cmdTrim_(cmdTrim),
      tmrSequence_(tmrSequence),
      tmrTimeout_(tmrTimeout) {
  tmrSequence_.setInterval(static_cast<int>(kStepPeriod.count()));
  tmrTimeout_.setInterval(static_cast<int>(kSequenceTimeout.count()));
}

CalibrationSequence::~CalibrationSequence() {
  exchange_.release();
}

void CalibrationSequence::start() {
  dialog_.ui().setPointer(platform::Pointer::Busy);
  link_.state().SequenceStep = 1;
  exchange_.release();  // every start reads afresh
  cmdTrim_.setEnabled(false);
  tmrSequence_.setEnabled(true);
  tmrTimeout_.setEnabled(true);
}

bool CalibrationSequence::writeSent() const {
  return writeAsked_ && exchange_.changeSent(writeRequest());
}

void CalibrationSequence::tmrSequence_Timer() {
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
      exchange_.ask(readRequest());
      break;
    case kTrimReadAnswer:
      if (const link::Answer* answer = exchange_.answerTo(readRequest())) {
        if (takeValue(*answer)) step = kTrimWrite;
      } else {
        missed(kTrimRead);
      }
      break;
    case kTrimWrite:
      lblStatus_.setText(plan_.savingText);
      step = kTrimWriteAnswer;
      askWrite();
      break;
    case kTrimWriteAnswer:
      if (exchange_.answerTo(writeRequest()) != nullptr) {
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
      exchange_.ask(readRequest());
      break;
    case kDateReadAnswer:
      if (writeAsked_ && exchange_.answerTo(writeRequest()) != nullptr) {
        // Back here after a missed acknowledgement that has come in since: the date is stored.
        step = kDateDone;
      } else if (const link::Answer* answer = exchange_.answerTo(readRequest())) {
        if (takeValue(*answer)) {
          step = kDateWriteAnswer;
          askWrite();
        }
      } else {
        missed(kDateRead);
      }
      break;
    case kDateWriteAnswer:
      if (exchange_.answerTo(writeRequest()) != nullptr) {
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

void CalibrationSequence::askWrite() {
  writeAsked_ = true;
  // Once a value: a write sent again after a late acknowledgement, or after Retry, is the same change.
  if (notedValue_ != toWrite_) {
    exchange_.noteChange(writeRequest(), owner_.changeNote(storedRead_, toWrite_));
    notedValue_ = toWrite_;
  }
  exchange_.ask(writeRequest());
}

bool CalibrationSequence::takeValue(const link::Answer& answer) {
  WriteDecision decision = owner_.valueToWrite(answer.value());
  if (auto* bytes = std::get_if<link::FloatBytesArray>(&decision)) {
    toWrite_ = *bytes;
    storedRead_ = answer.value();
    return true;
  }
  stop();
  dialog_.ui().beep();
  askHeld(std::get<platform::MessageBox>(decision));
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
  const MsgResult answer = askHeld({"Unable to communicate with the Orvik.  Check cable connections.",
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

void CalibrationSequence::abandon() {
  stop();
  exchange_.release();
}

platform::MsgResult CalibrationSequence::askHeld(const platform::MessageBox& box) {
  return dialogs::askHeld(dialog_, exchange_, {&tmrSequence_, &tmrTimeout_}, box);
}

bool CalibrationSequence::linkCheck() {
  return dialogs::whileHeld(dialog_, exchange_, {&tmrSequence_, &tmrTimeout_},
                            [&] { return dialogs::confirmLink(dialog_.ui(), link_); });
}

}  // namespace orvik::calibration
