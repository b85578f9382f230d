#include "diagnostics/frm_edit_tag.h"

#include "dialogs/button_row.h"
#include "dialogs/held_question.h"
#include "dialogs/link_check.h"
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

}  // namespace

frmEditTag::frmEditTag(platform::Ui& ui, link::ControllerLink& link, const platform::Form& mainWindow)
    : Form(ui, "frmEditTag", "Edit Orvik Controller Tag Name"),
      link_(link),
      state_(link.state()),
      main_(mainWindow) {
  // Wide enough for the title bar to show the whole title beside the window manager's icon and buttons;
  // every control keeps the same margin from the edges.
  constexpr int kClientWidth = 6435;
  constexpr int kMargin = 240;
  resizeClient(kClientWidth, 1800);
  Label1.place(kMargin, 180, kClientWidth - 2 * kMargin, 255);
  Label1.setLabelFor(txtTag);
  txtTag.place(kMargin, 480, kClientWidth - 2 * kMargin, 345);
  txtTag.setMaxLength(link::kTagLength);
  txtTag.setDescription("Tag name");
  lblStatus.place(kMargin, 960, kClientWidth - 2 * kMargin, 255);
  lblStatus.setAlignment(platform::Alignment::Center);
  lblStatus.setDescription("Tag name status");
  dialogs::placeButtonRow(cmdHelp, cmdTrim, cmdCancel, kMargin, kClientWidth - kMargin, 1320, 1335, false);
  txtTag.onUserEdit = [this] { txtTag_Change(); };
  cmdTrim.onClick = [this] { cmdTrim_Click(); };
  cmdCancel.onClick = [this] { cmdCancel_Click(); };
  tmrSequence.onTick = [this] { tmrSequence_Timer(); };
  tmrTimeout.onTick = [this] { tmrTimeout_Timer(); };
}

frmEditTag::~frmEditTag() {
  link_.exchange().release();
}

void frmEditTag::Form_Load() {
  platform::centreOver(*this, main_);
}

void frmEditTag::Form_Activate() {
  if (!dialogs::whileHeld(*this, link_.exchange(), {&tmrSequence, &tmrTimeout},
                          [&] { return dialogs::confirmLink(ui(), link_); })) {
    close();
    return;
  }
  // The read runs once an opening; coming back to the window from another one must not abandon a write.
  if (!readStarted_) {
    readStarted_ = true;
    startRead();
  }
}

void frmEditTag::startRead() {
  writing_ = false;
  link_.exchange().release();  // read afresh
  state_.SequenceStep = kSendRead;
  tmrSequence.setEnabled(true);
  tmrTimeout.setEnabled(true);
}

void frmEditTag::startWrite() {
  writing_ = true;
  // Noted once a tag: a write sent again until it is acknowledged, or after Retry, is the same change.
  if (notedTag_ != tagToWrite_) {
    link::ChangeNote note;
    note.change = link::ChangeKind::Tag;
    note.before = held_.value_or(link_.unit().tag.value_or(""));
    note.written = tagToWrite_;
    link_.exchange().noteChange(writeRequest(), note);
    notedTag_ = tagToWrite_;
  }
  state_.SequenceStep = kSendWrite;
  cmdTrim.setEnabled(false);
  tmrSequence.setEnabled(true);
  tmrTimeout.setEnabled(true);
}

void frmEditTag::tmrSequence_Timer() {
  link::Exchange& exchange = link_.exchange();
  switch (state_.SequenceStep) {
    case kSendRead:
    case kAwaitRead:
      // A tag answer that came after its step gave up on it is still the answer to this read.
      if (const link::Answer* answer = exchange.answerTo(link::Request::readTag())) {
        state_.SequenceStep = kReadDone;
        held_ = answer->tag();
        // Once the technician has typed, the box is theirs.
        if (!typed_) txtTag.setText(answer->tag());
      } else if (state_.SequenceStep == kSendRead) {
        lblStatus.setText("Reading Tag Name...");
        exchange.ask(link::Request::readTag());
        state_.SequenceStep = kAwaitRead;
      } else {
        ui().beep();
        state_.SequenceStep = kSendRead;
      }
      break;
    case kReadDone:
      ui().setPointer(platform::Pointer::Normal);
      lblStatus.setText("");
      tmrTimeout.setEnabled(false);
      tmrSequence.setEnabled(false);
      break;
    case kSendWrite:
    case kAwaitWrite:
      if (exchange.answerTo(writeRequest()) != nullptr) {
        close();  // acknowledged, also late, after its step gave up on it
      } else if (state_.SequenceStep == kSendWrite) {
        lblStatus.setText("Saving new Tag Name...");
        exchange.ask(writeRequest());
        state_.SequenceStep = kAwaitWrite;
      } else {
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
  const auto answer =
      askHeld({"Unable to communicate with the Orvik.  Check cable connections.", "Communications Timeout",
               platform::MsgIcon::Information, platform::MsgButtons::RetryCancel});
  if (!lifecycle().loaded) return;
  if (answer != platform::MsgResult::Retry) {
    cmdCancel_Click();
  } else if (writing_) {
    cmdTrim_Click();
  } else {
    startRead();  // a read that timed out is read again; only a timed-out write is saved again
  }
}

platform::MsgResult frmEditTag::askHeld(const platform::MessageBox& box) {
  return dialogs::askHeld(*this, link_.exchange(), {&tmrSequence, &tmrTimeout}, box);
}

void frmEditTag::cmdTrim_Click() {
  const std::string tag = link::TrimmedTag(txtTag.text());
  try {
    link::TagBytesFromText(tag);
  } catch (const link::ConversionError& e) {
    ui().beep();
    askHeld({e.what(), "Tag Name", platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
    return;
  }
  const auto answer = askHeld({"OK to change new Tag Name?", "Save Changes", platform::MsgIcon::Question,
                               platform::MsgButtons::OkCancel});
  if (answer == platform::MsgResult::Cancel || !lifecycle().loaded) return;
  tagToWrite_ = tag;
  startWrite();
}

bool frmEditTag::Form_QueryUnload() {
  cmdCancel_Click();
  return false;
}

void frmEditTag::cmdCancel_Click() {
  // Cancel closes at once, giving up a tag not yet sent; once a new tag has gone out the technician is
  // told it may be stored.
  tmrSequence.setEnabled(false);
  tmrTimeout.setEnabled(false);
  link_.exchange().release();
  if (writing_ && link_.exchange().changeSent(writeRequest())) {
    ui().setPointer(platform::Pointer::Normal);
    ui().messageBox(
        {"The new tag name may already be stored in the controller.\rOpen the editor again to "
         "see the tag it holds.",
         "Edit Orvik Controller Tag Name", platform::MsgIcon::Information, platform::MsgButtons::Ok});
  }
  close();
}

void frmEditTag::txtTag_Change() {
  typed_ = true;
  cmdTrim.setEnabled(true);
}

}  // namespace orvik::diagnostics
