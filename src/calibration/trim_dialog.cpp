#include "calibration/trim_dialog.h"

#include <algorithm>

#include "dialogs/button_row.h"
#include "link/display_format.h"
#include "link/subs.h"
#include "platform/ui.h"

namespace orvik::calibration {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

TrimDialog::TrimDialog(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
                       const platform::Form& mainWindow, const TrimSetup& setup)
    : Form(ui, setup.formName, setup.caption),
      state_(state),
      main_(mainWindow),
      setup_(setup),
      rule_(trimRule(setup.kind)),
      Label1(*this, "Label1", setup.measuredCaption),
      measured(*this, setup.measuredName, "-"),
      Label2(*this, "Label2", setup.actualCaption),
      entry(*this, setup.entryName, trimRule(setup.kind).decimals, setup.fieldLow, setup.fieldHigh,
            [&rule = trimRule(setup.kind)](std::string_view text) { return readEntry(rule, text); }),
      stored(*this, setup.storedName, "-"),
      sequence_(*this, *this, link,
                SequencePlan{trimRule(setup.kind).parameter, setup.readingText, setup.savingText, false},
                lblStatus, cmdTrim, tmrSequence, tmrTimeout) {
  // Wide enough for the title bar to show the longest trim title, "Trim Battery Temperature", beside
  // the window manager's icon and buttons; every control keeps the same margin from the edges.
  constexpr int kClientWidth = 5895;
  constexpr int kMargin = 120;
  constexpr int kValueWidth = 960;
  constexpr int kValueLeft = kClientWidth - kMargin - kValueWidth;
  constexpr int kCaptionWidth = kValueLeft - 60 - kMargin;
  resizeClient(kClientWidth, 2400);
  for (platform::Label* caption : {&Label1, &Label2})
    caption->setAlignment(platform::Alignment::Right);
  // The reading shares its caption's line box, so both texts sit on one line; its right edge is that of
  // the entry's text.
  Label1.place(kMargin, 405, kCaptionWidth, 255);
  Label1.setLabelFor(measured);
  measured.place(kValueLeft, 405, kValueWidth - 60, 255);
  measured.setAlignment(platform::Alignment::Right);
  measured.setDescription(std::string("Measured ") + rule_.quantity);
  // A tab stop too, just before the entry (Shift+Tab), so a screen reader reads it with its caption; the
  // window still opens at the entry.
  measured.setTabStop(true);
  Label2.place(kMargin, 945, kCaptionWidth, 255);
  Label2.setLabelFor(entry);
  entry.place(kValueLeft, 900, kValueWidth, 345);
  entry.setAlignment(platform::Alignment::Right);
  entry.setDescription(std::string("Actual ") + rule_.quantity);
  setFirstFocus(entry);
  stored.place(kMargin, 1440, 1800, 255);
  stored.setVisible(false);
  lblTrim.place(kClientWidth - kMargin - 1800, 1440, 1800, 255);
  lblTrim.setVisible(false);
  lblStatus.place(kMargin, 1440, kClientWidth - 2 * kMargin, 255);
  lblStatus.setAlignment(platform::Alignment::Center);
  lblStatus.setDescription("Trim status");
  dialogs::placeButtonRow(cmdHelp, cmdTrim, cmdCancel, kMargin, kClientWidth - kMargin, 1905, 915, false);

  entry.onUserEdit = [this] { cmdTrim.setEnabled(true); };
  cmdTrim.onClick = [this] { cmdTrim_Click(); };
  cmdCancel.onClick = [this] { cmdCancel_Click(); };
  tmrSequence.onTick = [this] { tmrSequence_Timer(); };
  tmrTimeout.onTick = [this] { tmrTimeout_Timer(); };
}

void TrimDialog::Form_Load() {
  platform::centreOver(*this, main_);
  ui().setPointer(platform::Pointer::Normal);
  // The reading is frozen now and shown as it is; the entry starts inside its own limits.
  const float reading = state_.*rule_.reading;
  measured.setText(measuredText(rule_, reading));
  const float held =
      std::clamp(reading, static_cast<float>(setup_.shownLow), static_cast<float>(setup_.shownHigh));
  prefilled_ = link::formatFixed(held, rule_.decimals);
  entry.setText(prefilled_);
}

void TrimDialog::Form_Activate() {
  if (setup_.normalPointerOnActivate) ui().setPointer(platform::Pointer::Normal);
  if (!sequence_.linkCheck()) close();
}

void TrimDialog::cmdTrim_Click() {
  // A text that is not a number stays as typed, so the technician sees what was refused.
  const std::optional<double> typed = entryNumber();
  if (!typed) {
    ui().beep();
    sequence_.askHeld(notANumber(rule_, entry.text()));
    return;
  }
  entry.setText(entryText(rule_, *typed));
  const double actual = link::leadingNumber(entry.text());
  if (const auto refused = outOfRange(rule_, actual)) {
    ui().beep();
    sequence_.askHeld(*refused);
    return;
  }
  accepted_ = actual;
  sequence_.start();
}

bool TrimDialog::Form_QueryUnload() {
  cmdCancel_Click();
  return false;
}

void TrimDialog::cmdCancel_Click() {
  // Nothing to lose only while the entry still says what it said at open and nothing has been started;
  // once a write has gone out the technician is told, whatever the entry says.
  const bool untouched = entryNumber() &&
                         link::leadingNumber(entry.text()) == link::leadingNumber(prefilled_) &&
                         !sequence_.running() && !sequence_.writeSent();
  if (!untouched) {
    ui().beep();
    platform::MessageBox question("Cancel changes?           ", setup_.cancelTitle, MsgIcon::Question,
                                  MsgButtons::YesNo);
    question.rightAligned = true;
    const MsgResult answer = sequence_.askHeld(question);
    if (answer != MsgResult::Yes || !lifecycle().loaded) return;
    // A write still waiting behind a late answer never goes out; the technician is told only of one that
    // did.
    sequence_.abandon();
    if (sequence_.writeSent()) {
      ui().messageBox({std::string("The new ") + constantName() +
                           " may already be stored in the controller.\r"
                           "Check the next reading before trimming again.",
                       setup_.cancelTitle, MsgIcon::Information, MsgButtons::Ok});
    }
  }
  close();
}

WriteDecision TrimDialog::valueToWrite(const link::FloatBytesArray& bytes) {
  if (!storedRead_) {
    auto constant = storedConstant(rule_.correction, bytes);
    if (auto* refused = std::get_if<platform::MessageBox>(&constant)) return *refused;
    stored.setText(std::get<std::string>(constant));
    storedBytes_ = bytes;
    storedRead_ = true;
  }
  auto next = newConstant(rule_.correction, stored.text(), measured.text(), accepted_);
  if (auto* refused = std::get_if<platform::MessageBox>(&next)) return *refused;
  const auto& value = std::get<NewConstant>(next);
  lblTrim.setText(value.text);
  return value.bytes;
}

link::ChangeNote TrimDialog::changeNote(const link::FloatBytesArray& /*stored*/,
                                        const link::FloatBytesArray& value) {
  return trimChange(rule_, stored.text(), storedBytes_, {lblTrim.text(), value}, measured.text(),
                    entryText(rule_, accepted_));
}

}  // namespace orvik::calibration
