#include "diagnostics/frm_edit_tag.h"

#include "calibration/button_row.h"
#include "calibration/link_check.h"
#include "link/subs.h"
#include "link/tag_text.h"
#include "platform/ui.h"

namespace orvik::diagnostics {

namespace {

enum Step : int {
  kSendRead = 1,
  kAwaitRead = 2,
  kReadDone = 3,
  kSendWrite = 10,
  kAwaitWrite = 11,
};

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

frmEditTag::frmEditTag(platform::Ui& ui, link::ControllerLink& link, const platform::Form& mainWindow)
    : Form(ui, "frmEditTag", "Edit Orvik Controller Tag Name"),
      link_(link),
      state_(link.state()),
      main_(mainWindow) {
  resize(4905, 2265);
  Label1.place(240, 180, 4320, 255);
  txtTag.place(240, 480, 4320, 345);
  txtTag.setMaxLength(link::kTagLength);
  txtTag.setDescription("Tag name");
  lblStatus.place(120, 960, 4560, 255);
  lblStatus.setAlignment(platform::Alignment::Center);
  lblStatus.setDescription("Tag name status");
  calibration::placeButtonRow(cmdHelp, cmdTrim, cmdCancel, 240, 4560, 1320, 1335, false);
  txtTag.onUserEdit = [this] { txtTag_Change(); };
  cmdTrim.onClick = [this] { cmdTrim_Click(); };
  cmdCancel.onClick = [this] { cmdCancel_Click(); };
  tmrSequence.onTick = [this] { tmrSequence_Timer(); };
  tmrTimeout.onTick = [this] { tmrTimeout_Timer(); };
}

void frmEditTag::Form_Load() {
  platform::centreOver(*this, main_);
}

void frmEditTag::Form_Activate() {
  if (!calibration::confirmLink(ui(), state_)) {
    close();
    return;
  }
  // The read runs once an opening; coming back to the window from another one must not abandon a write.
  if (!readStarted_) {
    readStarted_ = true;
    startRead();
  }
}

void frmEditTag::takeTag() {
  state_.SequenceStep = kReadDone;
  if (!typed_) txtTag.setText(link::AcceptedTag(state_));
}

void frmEditTag::startRead() {
  writing_ = false;
  askedAgain_ = false;
  state_.SequenceStep = kSendRead;
  tmrSequence.setEnabled(true);
  tmrTimeout.setEnabled(true);
}

void frmEditTag::startWrite() {
  writing_ = true;
  askedAgain_ = false;
  state_.SequenceStep = kSendWrite;
  cmdTrim.setEnabled(false);
  tmrSequence.setEnabled(true);
  tmrTimeout.setEnabled(true);
}

void frmEditTag::tmrSequence_Timer() {
  switch (state_.SequenceStep) {
    case kSendRead:
      // An answer that came after its step gave up on it still answers this request.
      if (askedAgain_ && state_.lastAnswer.code == link::kReadTag) {
        askedAgain_ = false;
        takeTag();
        break;
      }
      askedAgain_ = false;
      lblStatus.setText("Reading Tag Name...");
      link_.ReadTagName();
      state_.SequenceStep = kAwaitRead;
      break;
    case kAwaitRead:
      if (state_.lastAnswer.code == link::kReadTag) {
        takeTag();
      } else {
        ui().beep();
        askedAgain_ = true;
        state_.SequenceStep = kSendRead;
      }
      break;
    case kReadDone:
      ui().setPointer(platform::Pointer::Normal);
      lblStatus.setText("");
      tmrTimeout.setEnabled(false);
      tmrSequence.setEnabled(false);
      break;
    case kSendWrite: {
      if (askedAgain_ && state_.lastAnswer.code == link::kWriteTag) {
        close();  // the acknowledgement of the write before came late
        break;
      }
      askedAgain_ = false;
      state_.RxBuffer[0] = 0;
      lblStatus.setText("Saving new Tag Name...");
      std::string tag = link::TagTextFromBytes(tagToWrite_);
      link_.WriteTagName(tag);
      state_.SequenceStep = kAwaitWrite;
      break;
    }
    case kAwaitWrite:
      if (state_.lastAnswer.code == link::kWriteTag) {
        close();
      } else {
        askedAgain_ = true;
        state_.SequenceStep = kSendWrite;  // sent again, without a beep
      }
      break;
    default:
      break;  // another window's step
  }
}

void frmEditTag::tmrTimeout_Timer() {
  tmrSequence.setEnabled(false);
  tmrTimeout.setEnabled(false);
  ui().setPointer(platform::Pointer::Normal);
  ui().beep();
  const auto answer = ui().messageBox({"Unable to communicate with the Orvik.  Check cable connections.",
                                       "Communications Timeout", platform::MsgIcon::Information,
                                       platform::MsgButtons::RetryCancel});
  if (answer != platform::MsgResult::Retry) {
    cmdCancel_Click();
  } else if (writing_) {
    cmdTrim_Click();
  } else {
    startRead();  // a read that timed out is read again; only a timed-out write is saved again
  }
}

void frmEditTag::cmdTrim_Click() {
  const std::string tag = trimmed(txtTag.text());
  std::string wire;
  try {
    wire = link::TagBytesFromText(tag);
  } catch (const link::ConversionError& e) {
    ui().beep();
    ui().messageBox({e.what(), "Tag Name", platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
    return;
  }
  const auto answer = ui().messageBox({"OK to change new Tag Name?", "Save Changes",
                                       platform::MsgIcon::Question, platform::MsgButtons::OkCancel});
  if (answer == platform::MsgResult::Cancel) return;
  tagToWrite_ = wire;
  startWrite();
}

void frmEditTag::cmdCancel_Click() {
  close();
}

void frmEditTag::txtTag_Change() {
  typed_ = true;
  cmdTrim.setEnabled(true);
}

}  // namespace orvik::diagnostics
