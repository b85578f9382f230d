#include "calibration/trim_dialog.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "dialogs/button_row.h"
#include "link/display_format.h"
#include "link/entry_number.h"
#include "link/subs.h"
#include "platform/ui.h"

namespace orvik::calibration {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

constexpr link::FloatBytesArray kNeverStored = {255, 255, 255, 255};
// Added to every new value before it is written: a computed 0 goes out as 1e-11, never as zero bytes.
constexpr double kWriteBias = 1e-11;

// A number as the working fields hold it: at most `significant` digits, no trailing zeros, the exponent
// form only for very large or very small magnitudes ("1.01247367568443", "1e-11").
template <typename Real>
std::string numberText(Real value, int significant) {
  std::array<char, 64> buf{};
  const auto end =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, significant).ptr;
  return std::string(buf.data(), end);
}

}  // namespace

TrimDialog::TrimDialog(platform::Ui& ui, link::ControllerLink& link, link::RunState& state,
                       const platform::Form& mainWindow, const TrimSetup& setup)
    : Form(ui, setup.formName, setup.caption),
      state_(state),
      main_(mainWindow),
      setup_(setup),
      Label1(*this, "Label1", setup.measuredCaption),
      measured(*this, setup.measuredName, "-"),
      Label2(*this, "Label2", setup.actualCaption),
      entry(*this, setup.entryName, setup.decimals, setup.fieldLow, setup.fieldHigh),
      stored(*this, setup.storedName, "-"),
      sequence_(*this, *this, link, SequencePlan{setup.parameter, setup.readingText, setup.savingText, false},
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
  measured.setDescription(std::string("Measured ") + setup.quantity);
  // A tab stop too, just before the entry (Shift+Tab), so a screen reader reads it with its caption; the
  // window still opens at the entry.
  measured.setTabStop(true);
  Label2.place(kMargin, 945, kCaptionWidth, 255);
  Label2.setLabelFor(entry);
  entry.place(kValueLeft, 900, kValueWidth, 345);
  entry.setAlignment(platform::Alignment::Right);
  entry.setDescription(std::string("Actual ") + setup.quantity);
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
  const float reading = state_.*setup_.reading;
  std::string shown = link::formatFixed(reading, setup_.decimals);
  if (setup_.decimals == 0 && shown == "0") shown.clear();  // a whole-degree reading of 0 shows no digit
  measured.setText(shown);
  const float held =
      std::clamp(reading, static_cast<float>(setup_.shownLow), static_cast<float>(setup_.shownHigh));
  prefilled_ = link::formatFixed(held, setup_.decimals);
  entry.setText(prefilled_);
}

void TrimDialog::Form_Activate() {
  if (setup_.normalPointerOnActivate) ui().setPointer(platform::Pointer::Normal);
  if (!sequence_.linkCheck()) close();
}

std::optional<double> TrimDialog::entryNumber() const {
  return link::ParseEntryNumber(entry.text(), setup_.lowest < 0);
}

void TrimDialog::cmdTrim_Click() {
  // A text that is not a number stays as typed, so the technician sees what was refused.
  const std::optional<double> typed = entryNumber();
  if (!typed) {
    ui().beep();
    sequence_.askHeld({"\"" + entry.text() + "\" is not a number.\r" + setup_.numberHint, "Invalid Number",
                       MsgIcon::Exclamation, MsgButtons::Ok});
    return;
  }
  entry.setText(link::formatFixed(*typed, setup_.decimals));
  const double actual = link::leadingNumber(entry.text());
  const char* outOfRange = actual > setup_.highest  ? setup_.tooHighText
                           : actual < setup_.lowest ? setup_.tooLowText
                                                    : nullptr;
  if (outOfRange != nullptr) {
    ui().beep();
    sequence_.askHeld({outOfRange, "Range Error", MsgIcon::Exclamation, MsgButtons::Ok});
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
    if (sequence_.writeSent()) {
      sequence_.stop();
      ui().messageBox({std::string("The new ") + constantName() +
                           " may already be stored in the controller.\r"
                           "Check the next reading before trimming again.",
                       setup_.cancelTitle, MsgIcon::Information, MsgButtons::Ok});
    }
  }
  close();
}

platform::MessageBox TrimDialog::refusal(const std::string& why) const {
  return {why + "\rNothing has been written to the controller.", "Trim Not Possible", MsgIcon::Exclamation,
          MsgButtons::Ok};
}

WriteDecision TrimDialog::valueToWrite(const link::FloatBytesArray& bytes) {
  if (!storedRead_) {
    float value = 0;
    try {
      value = link::FloatFromBytes(bytes);
    } catch (const link::ConversionError&) {
      return refusal(std::string("The controller's stored ") + constantName() +
                     " cannot be read as a number.");
    }
    if (setup_.correction == Correction::Gain && bytes == kNeverStored) {
      return refusal("The controller has no gain stored.");
    }
    if (setup_.correction == Correction::Gain && !(value > 0)) {
      return refusal("The controller's stored gain is " + numberText(value, 7) + ", not a positive number.");
    }
    stored.setText(numberText(value, 7));
    storedRead_ = true;
  }

  const double constant = link::leadingNumber(stored.text());
  const double measuredValue = link::leadingNumber(measured.text());
  double next = 0;
  if (setup_.correction == Correction::Gain) {
    if (!(measuredValue > 0)) {
      return refusal("The measured reading is " + measured.text() +
                     ": no gain can be worked out from a reading of zero or below.");
    }
    const double raw = (measuredValue * 1000) / constant;
    next = (accepted_ * 1000) / raw;
  } else {
    next = (accepted_ - measuredValue) + constant;
  }
  const std::string nextText = numberText(next, 15);
  if (!std::isfinite(next) || (setup_.correction == Correction::Gain && !(next > 0))) {
    return refusal(std::string("The new ") + constantName() + " works out as " + nextText +
                   ", which the controller cannot use.");
  }
  lblTrim.setText(nextText);

  link::FloatBytesArray out{};
  try {
    link::FloatToBytes(static_cast<float>(link::leadingNumber(lblTrim.text()) + kWriteBias), out);
  } catch (const link::ConversionError&) {
    return refusal(std::string("The new ") + constantName() + " works out as " + nextText +
                   ", which the controller cannot store.");
  }
  return out;
}

}  // namespace orvik::calibration
