#include "diagnostics/frm_report.h"

#include <initializer_list>
#include <utility>

#include "diagnostics/frm_edit_tag.h"
#include "diagnostics/report_values.h"
#include "dialogs/held_question.h"
#include "link/display_format.h"
#include "link/parameter_numbers.h"
#include "link/status_view.h"
#include "link/subs.h"
#include "platform/ui.h"

namespace orvik::diagnostics {

namespace {

// Steps of the report's sequence.
enum Step : int {
  kSendTag = 1,
  kAwaitTag = 2,
  kSendBatteryGain = 3,
  kAwaitBatteryGain = 4,
  kAwaitTeGain = 5,
  kAwaitTempGain = 6,
  kAwaitTempOffset = 7,
  kAwaitShutdownStatus = 8,
  kAwaitShutdownTe = 9,
  kAwaitShutdownBattery = 10,
  kAwaitShutdownTemp = 11,
  kDone = 12,
  kClearLog = 20,
  kAwaitClearLog = 21,
};

using namespace link::parameter;

// Orange-brown, RGB 192, 64, 0.
constexpr platform::Colour kReasonColour = 192 | (64 << 8);

const char* statusFor(std::uint8_t parameter) {
  switch (parameter) {
    case kBatteryVoltsGain:
      return "Reading Battery Voltage Gain...";
    case kTeVoltsGain:
      return "Reading TE Module Voltage Gain...";
    case kBatteryTempGain:
      return "Reading Battery Temperature Gain...";
    case kBatteryTempOffset:
      return "Reading Battery Temperature Offset...";
    case kShutdownStatus:
      return "Reading Shutdown Status...";
    case kShutdownTeVolts:
      return "Reading TE Module Volts at Shutdown...";
    case kShutdownBatteryVolts:
      return "Reading Battery Volts at Shutdown...";
    default:
      return "Reading Battery Temperature at Shutdown...";
  }
}

}  // namespace

frmReport::frmReport(platform::Ui& ui, link::ControllerLink& link, const platform::Form& mainWindow)
    : Form(ui, "frmReport", "Orvik Report"), link_(link), state_(link.state()), main_(mainWindow) {
  layOut();
  cmdEditTag.onClick = [this] { cmdEditTag_Click(); };
  cmdResetLog.onClick = [this] { cmdResetLog_Click(); };
  cmdClose.onClick = [this] { cmdClose_Click(); };
  tmrSequence.onTick = [this] { tmrSequence_Timer(); };
  tmrTimeout.onTick = [this] { tmrTimeout_Timer(); };
}

void frmReport::layOut() {
  // Every frame and button keeps 120 twips from the client area's left and right edges.
  resizeClient(8520, 6405);
  lblTag.place(120, 120, 6960, 480);
  lblTag.setFont({13.5, true});
  lblTag.setAlignment(platform::Alignment::Center);
  lblTag.setDescription("Tag name");
  cmdEditTag.place(7200, 165, 1200, 375);
  cmdEditTag.setEnabled(false);

  // Rows of right-aligned caption and value, 330 twips apart.
  const auto rows = [](platform::Frame& frame, int top,
                       std::initializer_list<std::pair<platform::Label*, platform::Label*>> list) {
    for (auto [caption, value] : list) {
      caption->setContainer(&frame);
      caption->place(120, top, 4080, 255);
      caption->setAlignment(platform::Alignment::Right);
      caption->setLabelFor(*value);
      value->setContainer(&frame);
      value->place(4320, top, 3600, 255);
      value->setFont({0, true});
      top += 330;
    }
  };
  fraConstants.place(120, 720, 8280, 1620);
  rows(fraConstants, 300,
       {{&lblBVgainCaption, &lblBVgain},
        {&lblTEgainCaption, &lblTEgain},
        {&lblBTgainCaption, &lblBTgain},
        {&lblBToffsetCaption, &lblBToffset}});
  lblBVgain.setDescription("Battery voltage gain");
  lblTEgain.setDescription("TE module voltage gain");
  lblBTgain.setDescription("Battery temperature gain");
  lblBToffset.setDescription("Battery temperature offset");

  fraLog.place(120, 2460, 8280, 3330);
  rows(fraLog, 300,
       {{&lblPowerOnCyclesCaption, &lblPowerOnCycles}, {&lblShutdownCountCaption, &lblShutdownCount}});
  lblPowerOnCycles.setDescription("Power on cycles");
  lblShutdownCount.setDescription("Diagnostic shutdown count");
  lblShutdownReason.setContainer(&fraLog);
  // Two lines: the longest reason wraps once, also in a slightly larger font; the values follow at once.
  lblShutdownReason.place(240, 960, 7800, 480);
  lblShutdownReason.setFont({0, true});
  lblShutdownReason.setForeColor(kReasonColour);
  lblShutdownReason.setDescription("Reason of the last shutdown");

  fraShutdown.setContainer(&fraLog);
  fraShutdown.place(0, 1515, 8280, 1695);
  rows(fraShutdown, 0,
       {{&lblShutdownModeCaption, &lblShutdownMode},
        {&lblTEvoltsCaption, &lblTEvolts},
        {&lblBatVoltsCaption, &lblBatVolts},
        {&lblBatTempCaption, &lblBatTemp}});
  lblShutdownMode.setDescription("Operating mode at last shutdown");
  lblTEvolts.setDescription("TE module volts at last shutdown");
  lblBatVolts.setDescription("Battery volts at last shutdown");
  lblBatTemp.setDescription("Battery temperature at last shutdown");
  cmdResetLog.setContainer(&fraShutdown);
  cmdResetLog.place(6840, 1320, 1320, 375);
  cmdResetLog.setEnabled(false);
  fraShutdown.setVisible(false);

  lblStatus.place(120, 5970, 6960, 255);
  lblStatus.setDescription("Report status");
  cmdClose.place(7200, 5910, 1200, 375);
  cmdClose.setCancel(true);
}

void frmReport::Form_Load() {
  platform::centreOver(*this, main_);
  startRead();
}

frmReport::~frmReport() {
  link_.exchange().release();
}

void frmReport::startRead() {
  state_.SequenceStep = kSendTag;
  askAgain_ = false;
  link_.exchange().release();  // every read asks afresh
  tmrTimeout.setEnabled(true);
  tmrSequence.setEnabled(true);
}

void frmReport::sendRead(std::uint8_t parameter) {
  lblStatus.setText(statusFor(parameter));
  link_.exchange().ask(link::Request::readParameter(parameter));
}

void frmReport::showValue(platform::Label& field, std::uint8_t parameter, const link::Answer& answer) {
  field.setText(ReportValueText(parameter, answer.value()));
}

void frmReport::awaitRead(std::uint8_t parameter, const std::function<void(const link::Answer&)>& take) {
  if (const link::Answer* answer = link_.exchange().answerTo(link::Request::readParameter(parameter))) {
    askAgain_ = false;
    take(*answer);
  } else if (askAgain_) {
    askAgain_ = false;
    sendRead(parameter);
  } else {
    askAgain_ = true;
  }
}

void frmReport::tmrSequence_Timer() {
  link::Exchange& exchange = link_.exchange();
  const link::Request clearLog = link::Request::writeParameter(kShutdownStatus, {0, 0, 0, 0});
  switch (state_.SequenceStep) {
    case kSendTag:
    case kAwaitTag:
      // A tag answer that came after its step gave up on it is still the answer to this read.
      if (const link::Answer* answer = exchange.answerTo(link::Request::readTag())) {
        lblTag.setText(answer->tag());
        state_.SequenceStep = kSendBatteryGain;
      } else if (state_.SequenceStep == kSendTag) {
        lblStatus.setText("Reading Tag Name...");
        exchange.ask(link::Request::readTag());
        state_.SequenceStep = kAwaitTag;
      } else {
        ui().beep();
        state_.SequenceStep = kSendTag;
      }
      break;
    case kSendBatteryGain:
      sendRead(kBatteryVoltsGain);
      state_.SequenceStep = kAwaitBatteryGain;
      break;
    case kAwaitBatteryGain:
      awaitRead(kBatteryVoltsGain, [this](const link::Answer& answer) {
        showValue(lblBVgain, kBatteryVoltsGain, answer);
        sendRead(kTeVoltsGain);
        state_.SequenceStep = kAwaitTeGain;
      });
      break;
    case kAwaitTeGain:
      awaitRead(kTeVoltsGain, [this](const link::Answer& answer) {
        showValue(lblTEgain, kTeVoltsGain, answer);
        sendRead(kBatteryTempGain);
        state_.SequenceStep = kAwaitTempGain;
      });
      break;
    case kAwaitTempGain:
      awaitRead(kBatteryTempGain, [this](const link::Answer& answer) {
        showValue(lblBTgain, kBatteryTempGain, answer);
        sendRead(kBatteryTempOffset);
        state_.SequenceStep = kAwaitTempOffset;
      });
      break;
    case kAwaitTempOffset:
      awaitRead(kBatteryTempOffset, [this](const link::Answer& answer) {
        showValue(lblBToffset, kBatteryTempOffset, answer);
        sendRead(kShutdownStatus);
        state_.SequenceStep = kAwaitShutdownStatus;
      });
      break;
    case kAwaitShutdownStatus:
      awaitRead(kShutdownStatus, [this](const link::Answer& answer) { takeShutdownRecord(answer); });
      break;
    case kAwaitShutdownTe:
      awaitRead(kShutdownTeVolts, [this](const link::Answer& answer) {
        showValue(lblTEvolts, kShutdownTeVolts, answer);
        sendRead(kShutdownBatteryVolts);
        state_.SequenceStep = kAwaitShutdownBattery;
      });
      break;
    case kAwaitShutdownBattery:
      awaitRead(kShutdownBatteryVolts, [this](const link::Answer& answer) {
        showValue(lblBatVolts, kShutdownBatteryVolts, answer);
        sendRead(kShutdownBatteryTemp);
        state_.SequenceStep = kAwaitShutdownTemp;
      });
      break;
    case kAwaitShutdownTemp:
      awaitRead(kShutdownBatteryTemp, [this](const link::Answer& answer) {
        showValue(lblBatTemp, kShutdownBatteryTemp, answer);
        state_.SequenceStep = kDone;
      });
      break;
    case kDone:
      finishRead();
      break;
    case kClearLog:
      exchange.noteChange(clearLog, logResetChange(shutdownBytes_, state_.BatTemp));
      exchange.ask(clearLog);
      state_.SequenceStep = kAwaitClearLog;
      break;
    case kAwaitClearLog:
      if (exchange.answerTo(clearLog) != nullptr) {
        askAgain_ = false;
        exchange.release();  // the read after it asks afresh
        state_.SequenceStep = kSendTag;
      } else {
        ui().beep();
        state_.SequenceStep = kClearLog;
      }
      break;
    default:
      break;  // another window's step
  }
}

void frmReport::takeShutdownRecord(const link::Answer& answer) {
  const ShutdownRecord record = ReadShutdownRecord(answer.value(), state_.BatTemp);
  shutdownBytes_ = answer.value();
  lblShutdownReason.setText(record.reason);
  // A mode this program does not know leaves the field as it was.
  if (record.mode != "-") lblShutdownMode.setText(record.mode);
  const int count = record.count;
  lblShutdownCount.setText(std::to_string(count));
  fraShutdown.setVisible(count != 0);
  lblPowerOnCycles.setText(std::to_string(record.powerOnCycles));
  // Asked for whatever the count, as the controller has always been asked; unused after no shutdown.
  sendRead(kShutdownTeVolts);
  state_.SequenceStep = count != 0 ? kAwaitShutdownTe : kDone;
}

void frmReport::finishRead() {
  ui().setPointer(platform::Pointer::Normal);
  lblStatus.setText("");
  tmrSequence.setEnabled(false);
  tmrTimeout.setEnabled(false);
  cmdEditTag.setEnabled(true);
  cmdResetLog.setEnabled(true);
}

void frmReport::tmrTimeout_Timer() {
  ui().setPointer(platform::Pointer::Normal);
  tmrSequence.setEnabled(false);
  tmrTimeout.setEnabled(false);
  ui().beep();
  ui().messageBox({"Unable to communicate with the Orvik.  Check cable connections.",
                   "Communications Timeout", platform::MsgIcon::Information, platform::MsgButtons::Ok});
  if (lifecycle().loaded) cmdClose_Click();
}

void frmReport::cmdEditTag_Click() {
  ui().setPointer(platform::Pointer::Busy);
  // The editor runs its own steps: this window's sequence and its time limit wait until it has closed.
  tmrSequence.setEnabled(false);
  tmrTimeout.setEnabled(false);
  {
    frmEditTag editor(ui(), link_, main_);
    ui().showModal(editor);
  }
  if (!lifecycle().loaded) return;
  ui().setPointer(platform::Pointer::Busy);
  startRead();
}

void frmReport::cmdResetLog_Click() {
  const auto answer = dialogs::askHeld(*this, {&tmrSequence, &tmrTimeout},
                                       {"OK to clear the diagnostics log?", "Clear Diagnostics Log",
                                        platform::MsgIcon::Question, platform::MsgButtons::OkCancel});
  if (answer != platform::MsgResult::Ok || !lifecycle().loaded) return;
  ui().setPointer(platform::Pointer::Busy);
  state_.SequenceStep = kClearLog;
  // Clearing and the read after it have no overall limit: a read's limit must not close the window.
  tmrTimeout.setEnabled(false);
  tmrSequence.setEnabled(true);
}

void frmReport::cmdClose_Click() {
  close();
}

}  // namespace orvik::diagnostics
