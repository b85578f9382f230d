#include "diagnostics/frm_report.h"

#include <initializer_list>
#include <string>
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
    : Form(ui, "frmReport", "Orvik Report"),
      link_(link),
      state_(link.state()),
      main_(mainWindow),
      session_(link, ui.timers(), false) {
  layOut();
  cmdEditTag.onClick = [this] { cmdEditTag_Click(); };
  cmdResetLog.onClick = [this] { cmdResetLog_Click(); };
  cmdClose.onClick = [this] { cmdClose_Click(); };
  tmrTimeout.onTick = [this] { tmrTimeout_Timer(); };
  reader_.onAsking = [this](const link::Request& request) {
    lblStatus.setText(request.code == link::kReadTag ? "Reading Tag Name..." : statusFor(request.parameter));
  };
  reader_.onTaken = [this](const link::Request& request, const ReportValues& values) {
    show(request, values);
    // The limit counts from the last answer: a slow controller that answers every request is no time-out.
    tmrTimeout.setEnabled(false);
    tmrTimeout.setEnabled(true);
  };
  session_.onAskedAgain = [this](const link::Request& request) {
    if (request.code != link::kReadParameter) this->ui().beep();
  };
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
  reader_.stop();
}

void frmReport::startRead() {
  tmrTimeout.setEnabled(true);
  reader_.start(
      state_.BatTemp, [this](const ReportValues&) { finishRead(); },
      [](const std::string&) {});  // the time-out says it, 5 s after the last answer
}

void frmReport::show(const link::Request& request, const ReportValues& values) {
  if (request.code == link::kReadTag) return lblTag.setText(values.tag);
  switch (request.parameter) {
    case kBatteryVoltsGain:
      return lblBVgain.setText(values.batteryVoltsGain);
    case kTeVoltsGain:
      return lblTEgain.setText(values.teVoltsGain);
    case kBatteryTempGain:
      return lblBTgain.setText(values.batteryTempGain);
    case kBatteryTempOffset:
      return lblBToffset.setText(values.batteryTempOffset);
    case kShutdownTeVolts:
      return lblTEvolts.setText(values.shutdownTeVolts);
    case kShutdownBatteryVolts:
      return lblBatVolts.setText(values.shutdownBatteryVolts);
    case kShutdownBatteryTemp:
      return lblBatTemp.setText(values.shutdownBatteryTemp);
    default:
      break;
  }
  const ShutdownRecord& record = values.shutdown;
  shutdownBytes_ = values.shutdownBytes;
  lblShutdownReason.setText(record.reason);
  // A mode this program does not know leaves the field as it was.
  if (record.mode != "-") lblShutdownMode.setText(record.mode);
  lblShutdownCount.setText(std::to_string(record.count));
  fraShutdown.setVisible(record.count != 0);
  lblPowerOnCycles.setText(std::to_string(record.powerOnCycles));
}

void frmReport::finishRead() {
  ui().setPointer(platform::Pointer::Normal);
  lblStatus.setText("");
  tmrTimeout.setEnabled(false);
  cmdEditTag.setEnabled(true);
  cmdResetLog.setEnabled(true);
}

void frmReport::tmrTimeout_Timer() {
  ui().setPointer(platform::Pointer::Normal);
  reader_.stop();
  link_.exchange().release();  // nothing held back goes out under the message
  tmrTimeout.setEnabled(false);
  ui().beep();
  ui().messageBox({"Unable to communicate with the Orvik.  Check cable connections.",
                   "Communications Timeout", platform::MsgIcon::Information, platform::MsgButtons::Ok});
  if (lifecycle().loaded) cmdClose_Click();
}

void frmReport::cmdEditTag_Click() {
  ui().setPointer(platform::Pointer::Busy);
  // The editor runs its own steps: this window's read and its time limit wait until it has closed.
  reader_.stop();
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
  const auto answer = dialogs::askHeld(*this, link_.exchange(), {&tmrTimeout},
                                       {"OK to clear the diagnostics log?", "Clear Diagnostics Log",
                                        platform::MsgIcon::Question, platform::MsgButtons::OkCancel});
  if (answer != platform::MsgResult::Ok || !lifecycle().loaded) return;
  ui().setPointer(platform::Pointer::Busy);
  reader_.stop();
  // Clearing and the read after it have no overall limit: a read's limit must not close the window.
  tmrTimeout.setEnabled(false);
  const link::Request clear = link::Request::writeParameter(kShutdownStatus, {0, 0, 0, 0});
  // Noted once for the OK: the write sent again until it is acknowledged is the same change.
  link_.exchange().noteChange(clear, logResetChange(shutdownBytes_, state_.BatTemp));
  clearLog();
}

void frmReport::clearLog() {
  session_.ask(
      link::Request::writeParameter(kShutdownStatus, {0, 0, 0, 0}),
      [this](const link::Answer&) { session_.defer([this] { startRead(); }); },
      [this] {
        ui().beep();
        clearLog();
      });
}

void frmReport::cmdClose_Click() {
  close();
}

}  // namespace orvik::diagnostics
