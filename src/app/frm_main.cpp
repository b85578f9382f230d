#include "app/frm_main.h"

#include <utility>

#include "app/frm_about.h"
#include "calibration/frm_cal_date.h"
#include "calibration/trim_dialogs.h"
#include "diagnostics/frm_edit_tag.h"
#include "diagnostics/frm_report.h"
#include "dialogs/controller_checks.h"
#include "link/display_format.h"
#include "link/parameter_numbers.h"
#include "platform/ui.h"
#include "port_settings/port_opening.h"
#include "port_settings/settings_file.h"
#include "ports/frm_ports.h"
#include "service_record/change_rows.h"
#include "service_record/service_report_html.h"
#include "version.h"

namespace orvik::app {

namespace {

// The program and version a service report or a backup names as its writer.
std::string programName() {
  return std::string(kAppTitle) + " " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
         "." + std::to_string(kVersionRevision);
}

// Sized so that every text the window can show fits whole in its field with the desktop's usual fonts,
// with room to spare for a slightly larger one: the longest alarm and sensor warnings over four lines,
// "NO CALIBRATION", three-digit revisions and a 32-byte answer of three-digit values.
constexpr int kWidth = 5550;
constexpr int kHeight = 7680;
constexpr int kBorders = 120;  // the window's own left and right borders together
constexpr int kMargin = 120;
constexpr int kInnerWidth = kWidth - kBorders - 2 * kMargin;  // the client area less its margins
constexpr int kBelowFrameCaption = 330;  // where a frame's contents start, clear of its caption
constexpr double kValuePoints = 13.5;
constexpr double kSmallPoints = 7.5;

// Rows of caption and value field inside a frame, one every 480 twips, below the frame's caption. Each
// caption names its field to assistive tools.
void placeRows(platform::Frame& frame,
               std::initializer_list<std::pair<platform::Label*, platform::Label*>> rows) {
  int top = kBelowFrameCaption;
  for (auto [caption, value] : rows) {
    caption->setContainer(&frame);
    caption->place(150, top + 90, 1350, 270);
    caption->setLabelFor(*value);
    value->setContainer(&frame);
    value->place(1560, top, frame.geometry().width - 1560 - 150, 435);
    top += 480;
  }
}

// A live value: large green on black, and a tab stop, so a screen reader reads it as Tab reaches it.
void styleValueField(platform::Label& field, std::string description) {
  field.setFont({kValuePoints, true});
  field.setAlignment(platform::Alignment::Center);
  field.setForeColor(platform::kGreen);
  field.setBackColor(platform::kBlack);
  field.setDescription(std::move(description));
  field.setTabStop(true);
}

// "1 line", "3 lines".
std::string linesText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " line" : " lines");
}

// What a log left out: the lines a pipe or device did not take at once. Empty when none.
std::string droppedText(std::size_t count) {
  if (count == 0) return {};
  const bool one = count == 1;
  return "\r" + linesText(count) + (one ? " was" : " were") +
         " dropped: the program reading the log did not take " + (one ? "it" : "them") + " in time.";
}

// A live text: described for assistive tools, and a tab stop like the value fields.
void styleLiveText(platform::Label& field, std::string description) {
  field.setDescription(std::move(description));
  field.setTabStop(true);
}

}  // namespace

frmMain::frmMain(platform::Ui& ui, link::RunState& state, link::ControllerLink& link, platform::Files& files)
    : Form(ui, "frmMain", kAppTitle),
      state_(state),
      link_(link),
      files_(files),
      backup_(ui, link, programName()) {
  backup_.setPolling = [this](bool polling) { setPolling(polling); };
  resize(kWidth, kHeight);
  setApplicationWindow(true);
  layOut();
  buildMenus();
  link_.setListener(this);
  recorder_.onLogFailed = [this](const std::string& path, const std::string& reason) {
    showLogging();
    // Said from the next poll: a line fails inside the link's handling of an answer, where a message
    // box's own event loop must not run.
    failedLog_ = "The log " + path + " could not be written on and has stopped:\r" + reason + "." +
                 droppedText(recorder_.dropped());
  };
  recorder_.onLogDropped = [this] { showLogging(); };
  cmdClose.onClick = [this] { cmdClose_Click(); };
  tmrUpdate.onTick = [this] { tmrUpdate_Timer(); };
}

frmMain::~frmMain() {
  link_.setListener(nullptr);
}

void frmMain::layOut() {
  // Charger: four rows of caption and value.
  fraCharger.place(kMargin, 60, kInnerWidth, 2250);
  placeRows(fraCharger, {{&lblTECaption, &lblTEvolts},
                         {&lblModeCaption, &lblChargeMode},
                         {&lblSetpointCaption, &lblSetpoint},
                         {&lblControlCaption, &lblPWMvalue}});
  styleValueField(lblTEvolts, "TE module voltage");
  styleValueField(lblChargeMode, "Charge mode");
  styleValueField(lblSetpoint, "Battery charge setpoint");
  styleValueField(lblPWMvalue, "Charger control output");

  fraBattery.place(kMargin, 2370, kInnerWidth, 1290);
  placeRows(fraBattery, {{&lblBatVoltsCaption, &lblBatVolts}, {&lblBatTempCaption, &lblBatTemp}});
  styleValueField(lblBatVolts, "Battery voltage");
  styleValueField(lblBatTemp, "Battery temperature");

  // Alarm messages: room for a sensor warning (an empty first line, then the warning) and more.
  fraAlarm.place(kMargin, 3720, kInnerWidth, 1560);
  lblAlarmCode.setContainer(&fraAlarm);
  lblAlarmCode.place(150, kBelowFrameCaption, kInnerWidth - 300, 1140);
  lblAlarmCode.setForeColor(platform::kDarkRed);
  styleLiveText(lblAlarmCode, "Alarm messages");

  lblCalCaption.place(kMargin, 5355, 1200, 270);
  lblCalCaption.setLabelFor(lblCalDate);
  lblCalDate.place(1350, 5355, 2250, 270);
  lblCalDate.setFont({0, true});
  styleLiveText(lblCalDate, "Calibration date");
  lblCalHint.place(3660, 5355, 1200, 270);
  lblCalHint.setForeColor(platform::kGrey);

  lblRevHardwareCaption.place(kMargin, 5640, 2040, 270);
  lblRevHardwareCaption.setLabelFor(lblRevHardware);
  lblRevHardware.place(2190, 5640, 480, 270);
  lblRevHardware.setFont({0, true});
  styleLiveText(lblRevHardware, "Hardware revision");
  lblRevSoftwareCaption.place(2760, 5640, 2040, 270);
  lblRevSoftwareCaption.setLabelFor(lblRevSoftware);
  lblRevSoftware.place(kMargin + kInnerWidth - 480, 5640, 480, 270);
  lblRevSoftware.setFont({0, true});
  styleLiveText(lblRevSoftware, "Software revision");

  ledRefresh.place(150, 6000, 240, 240);
  ledRefresh.setDescription("Link indicator");
  lblRefresh.place(480, 5985, 3480, 270);
  lblRefresh.setFont({0, true});
  styleLiveText(lblRefresh, "Link status");
  cmdClose.place(kMargin + kInnerWidth - 1110, 5940, 1110, 375);

  // The last answer: up to 32 three-digit bytes in a small font, over as many as four lines.
  lblTest.place(kMargin, 6375, kInnerWidth, 720);
  lblTest.setFont({kSmallPoints, false});
  lblTest.setForeColor(platform::kGrey);
  styleLiveText(lblTest, "Last answer from the controller");
}

void frmMain::buildMenus() {
  mnuLogCsv.onClick = [this] { mnuLogCsv_Click(); };
  mnuExit.onClick = [this] { mnuExit_Click(); };
  mnuReport.onClick = [this] { mnuReport_Click(); };
  mnuTrend.onClick = [this] { mnuTrend_Click(); };
  mnuServiceReport.onClick = [this] { mnuServiceReport_Click(); };
  mnuBackUp.onClick = [this] { mnuBackUp_Click(); };
  mnuRestore.onClick = [this] { mnuRestore_Click(); };
  mnuHistory.onClick = [this] { mnuHistory_Click(); };
  mnuTrimTemp.onClick = [this] { mnuTrimTemp_Click(); };
  mnuTrimVolts.onClick = [this] { mnuTrimVolts_Click(); };
  mnuTrimTE.onClick = [this] { mnuTrimTE_Click(); };
  mnuCalDate.onClick = [this] { mnuCalDate_Click(); };
  mnuEditTag.onClick = [this] { mnuEditTag_Click(); };
  mnuSerialPort.onClick = [this] { mnuSerialPort_Click(); };
  mnuAbout.onClick = [this] { mnuAbout_Click(); };
  mnuIndex.setEnabled(false);  // there is no help file
}

void frmMain::Form_Load() {
  resize(kWidth, kHeight);
  const platform::Size screen = ui().screenSize();
  move((screen.width - width()) / 2, (screen.height - height()) / 2);
  link_.resetReceiveState();
  setLiveCommandsEnabled(false);
  openConfiguredPort();
  if (state_.PortNumber == 0 && link_.port().isOpen()) link_.port().close();
  ui().setPointer(platform::Pointer::Normal);
}

void frmMain::openConfiguredPort() {
  state_.PortNumber = port_settings::readPortNumber(files_);
  if (state_.PortNumber == 0) return;
  try {
    link_.openPort(state_.PortNumber);
  } catch (const platform::SerialError& e) {
    port_settings::tellPortUnavailable(ui(), state_.PortNumber, link_.port().deviceName(state_.PortNumber),
                                       e);
    state_.PortNumber = 0;
  }
}

void frmMain::Form_Activate() {
  // Once the port dialog has said that no port is this user's to open, asking again only goes round
  // the same loop until the user logs in again; Setup > Serial Port... is still there.
  if ((state_.PortNumber < 1 || state_.PortNumber > 4) && !portsOutOfReach_) {
    const auto answer = ui().messageBox(
        {"This tool kit requires a serial port for communicating.\r\rWould you like to choose a port now? ",
         "Setup Required...", platform::MsgIcon::Information, platform::MsgButtons::YesNo});
    if (answer == platform::MsgResult::Yes) choosePort();
  }
  if (link_.port().isOpen()) setPolling(true);
  ui().setPointer(platform::Pointer::Normal);
}

void frmMain::Form_Unload() {
  cmdClose_Click();
}

void frmMain::cmdClose_Click() {
  backup_.interrupt();
  sayUnwrittenRecord();
  ui().endProgram();
}

void frmMain::sayUnwrittenRecord() {
  if (record_ == nullptr || record_->unwritten().empty()) return;
  record_->retry();
  if (const std::string text = service_record::UnwrittenAtExitText(*record_); !text.empty()) {
    ui().messageBox({text, kServiceRecordTitle, platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
  }
}

void frmMain::mnuLogCsv_Click() {
  if (recorder_.logging()) {
    const std::string path = recorder_.logPath();
    recorder_.stopLog();
    showLogging();
    if (recorder_.dropped() != 0) {
      ui().messageBox({"The log " + path + " has stopped." + droppedText(recorder_.dropped()), kAppTitle,
                       platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
    }
    return;
  }
  const std::optional<std::string> path =
      ui().chooseSaveFile({"Log to CSV", "CSV files (*.csv)", "orvik-status.csv"});
  if (!path) return;
  if (const std::string problem = recorder_.startLog(*path); !problem.empty()) {
    ui().messageBox({"The log cannot be written to " + *path + ":\r" + problem + ".", kAppTitle,
                     platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
  }
  showLogging();
}

void frmMain::showLogging() {
  mnuLogCsv.setCaption(recorder_.logging() ? kStopLogging : kLogToCsv);
  const std::string& path = recorder_.logPath();
  const std::size_t dropped = recorder_.dropped();
  setCaption(recorder_.logging()
                 ? std::string(kAppTitle) + " - Logging to " + path.substr(path.rfind('/') + 1) +
                       (dropped == 0 ? "" : " (" + linesText(dropped) + " dropped)")
                 : kAppTitle);
}

void frmMain::mnuTrend_Click() {
  if (openTrend) openTrend();
}

void frmMain::mnuHistory_Click() {
  if (openHistory) openHistory();
}

void frmMain::mnuServiceReport_Click() {
  if (reportRunning_ || !controllerReady(true)) return;
  const std::optional<std::string> path =
      ui().chooseSaveFile({"Save Service Report", "PDF files (*.pdf)", "service-report.pdf"});
  if (!path) return;
  reportPath_ = *path;
  reportRunning_ = true;
  setPolling(false);
  ui().setPointer(platform::Pointer::Busy);
  // Asks through the exchange without taking the link's news, which this window goes on showing.
  reportSession_ = std::make_unique<link::Session>(link_, ui().timers(), false);
  reportReader_ = std::make_unique<diagnostics::ReportReader>(*reportSession_);
  reportReader_->start(
      state_.BatTemp, [this](const diagnostics::ReportValues& values) { serviceReportRead(&values); },
      [this](const std::string&) { serviceReportRead(nullptr); });
}

void frmMain::serviceReportRead(const diagnostics::ReportValues* values) {
  ui().setPointer(platform::Pointer::Normal);
  if (values == nullptr) {
    ui().beep();
    ui().messageBox({"Unable to communicate with the Orvik.  Check cable connections.",
                     "Communications Timeout", platform::MsgIcon::Information, platform::MsgButtons::Ok});
  } else {
    std::string problem;
    std::vector<service_record::ServiceRow> history;
    if (record_ != nullptr) history = record_->history(values->tag, &problem);
    const auto report = diagnostics::ServiceReportContent(
        *values, state_.shown, link_.unit(), std::move(history), service_record::OperatingSystemUser(),
        service_record::LocalTimeText(ui().now()), programName());
    if (savePdf) problem = savePdf(service_record::ServiceReportHtml(report), reportPath_);
    if (!problem.empty()) {
      ui().messageBox({"The service report cannot be saved to " + reportPath_ + ":\r" + problem + ".",
                       kAppTitle, platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
    }
  }
  // The reader and its session are let go at the next poll: they are still on the stack below.
  reportRunning_ = false;
  setPolling(true);
}

void frmMain::mnuBackUp_Click() {
  if (reportRunning_ || backup_.running() || !controllerReady(true)) return;
  backup_.backUp();
}

void frmMain::mnuRestore_Click() {
  if (reportRunning_ || backup_.running() || !controllerReady(true)) return;
  backup_.restore();
}

void frmMain::undoTrim(std::int64_t rowId) {
  if (reportRunning_ || backup_.running()) return;
  std::string problem;
  const auto row = record_ != nullptr ? record_->row(rowId, &problem) : std::nullopt;
  if (!row) {
    ui().messageBox({problem.empty() ? "The service record has no row " + std::to_string(rowId) + "."
                                     : "The service record cannot be read: " + problem + ".",
                     backup::kUndoTitle, platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
    return;
  }
  if (!controllerReady(true)) return;
  backup_.undo(*row);
}

void frmMain::mnuExit_Click() {
  cmdClose_Click();
}

bool frmMain::controllerReady(bool needsRevision5) {
  // A backup, restore, undo or service report is talking to the controller (the busy pointer says so):
  // another command would take the line from under it.
  if (reportRunning_ || backup_.running()) return false;
  if (needsRevision5 && link::ShownRevision(state_.shown) < dialogs::kFirstRevisionWithReports) {
    ui().beep();
    ui().messageBox(dialogs::needsRevision5Box());
    return false;
  }
  if (state_.LinkDown) {
    ui().messageBox({"Requires TE Controller communications.  Check connections", "Communications Required",
                     platform::MsgIcon::Information, platform::MsgButtons::Ok});
    return false;
  }
  return true;
}

void frmMain::setPolling(bool on) {
  if (on == tmrUpdate.enabled()) return;
  tmrUpdate.setEnabled(on);
  if (on) {
    recorder_.pollingResumed(ui().now());
  } else {
    recorder_.pollingPaused(ui().now());
  }
}

void frmMain::runDialog(platform::Form& dialog) {
  setPolling(false);
  ui().setPointer(platform::Pointer::Busy);
  ui().showModal(dialog);
  // However the dialog ended, polling goes on; the next poll opens a port whose device came back.
  setPolling(true);
}

void frmMain::mnuReport_Click() {
  if (!controllerReady(true)) return;
  diagnostics::frmReport report(ui(), link_, *this);
  runDialog(report);
}

bool frmMain::readingUpdatedFor(std::uint8_t parameter) {
  if (!awaitingReading_.contains(parameter)) return true;
  ui().messageBox(
      {"The controller has not yet sent a reading taken with the new calibration.\r"
       "Wait for the next reading, then trim again.",
       "Reading Not Updated", platform::MsgIcon::Information, platform::MsgButtons::Ok});
  return false;
}

void frmMain::runTrim(calibration::TrimDialog& dialog) {
  runDialog(dialog);
  if (dialog.wroteToController()) awaitingReading_.insert(dialog.parameter());
}

void frmMain::mnuTrimTemp_Click() {
  if (!controllerReady(false)) return;
  if (link::SensorFailed(state_.BatTemp)) {
    ui().beep();
    ui().messageBox(dialogs::sensorFailureBox());
    return;
  }
  if (!readingUpdatedFor(link::parameter::kBatteryTempOffset)) return;
  calibration::frmBatOffset dialog(ui(), link_, state_, *this);
  runTrim(dialog);
}

void frmMain::mnuTrimVolts_Click() {
  if (!controllerReady(false) || !readingUpdatedFor(link::parameter::kBatteryVoltsGain)) return;
  calibration::frmBatVolts dialog(ui(), link_, state_, *this);
  runTrim(dialog);
}

void frmMain::mnuTrimTE_Click() {
  if (!controllerReady(false) || !readingUpdatedFor(link::parameter::kTeVoltsGain)) return;
  calibration::frmTEVolts dialog(ui(), link_, state_, *this);
  runTrim(dialog);
}

void frmMain::mnuCalDate_Click() {
  if (!controllerReady(false)) return;
  calibration::frmCalDate dialog(ui(), link_, state_, *this);
  runDialog(dialog);
}

void frmMain::mnuEditTag_Click() {
  if (!controllerReady(true)) return;
  diagnostics::frmEditTag editor(ui(), link_, *this);
  runDialog(editor);
}

void frmMain::mnuSerialPort_Click() {
  if (reportRunning_ || backup_.running()) return;
  setPolling(false);
  choosePort();
  if (link_.port().isOpen()) setPolling(true);
}

void frmMain::choosePort() {
  const int before = state_.PortNumber;
  ports::frmPorts dialog(ui(), *this, link_, files_);
  ui().showModal(dialog);
  portsOutOfReach_ = portsOutOfReach_ || dialog.explainedNoAccess();
  if (state_.PortNumber != before && link_.port().isOpen()) {
    state_.TEvolts = state_.BatVolts = state_.BatTemp = state_.Setpoint = 0;
    state_.PWMvalue = 0;
    showLive(link::LiveView{});
  }
}

void frmMain::mnuAbout_Click() {
  // One About box: a second choice brings the open one forward.
  if (!about_ || !about_->lifecycle().loaded) about_ = std::make_unique<frmAbout>(ui(), *this);
  ui().show(*about_);
}

void frmMain::tmrUpdate_Timer() {
  if (!reportRunning_) {
    reportReader_.reset();
    reportSession_.reset();
  }
  backup_.tidy();
  if (record_ != nullptr) {
    if (!record_->unwritten().empty()) record_->retry();
    if (const auto notice = record_->takeNotice()) {
      ui().messageBox(
          {*notice, kServiceRecordTitle, platform::MsgIcon::Exclamation, platform::MsgButtons::Ok});
    }
  }
  if (failedLog_) {
    ui().messageBox({*std::exchange(failedLog_, std::nullopt), kAppTitle, platform::MsgIcon::Exclamation,
                     platform::MsgButtons::Ok});
  }
  recorder_.pollSent(ui().now());
  // Polling runs with the port closed only when its device went away: each poll tries once to open it.
  link_.reopenLostPort();
  link_.RequestStatus();
}

void frmMain::showLive(const link::LiveView& view) {
  const auto show = [](platform::Label& label, const link::FieldText& field) {
    label.setText(field.text);
    label.setForeColor(field.colour);
  };
  show(lblTEvolts, view.teVolts);
  show(lblChargeMode, view.chargeMode);
  show(lblSetpoint, view.setpoint);
  show(lblPWMvalue, view.pwm);
  show(lblBatVolts, view.batVolts);
  show(lblBatTemp, view.batTemp);
  lblAlarmCode.setText(view.alarm);
  lblRevHardware.setText(view.revHardware);
  lblRevSoftware.setText(view.revSoftware);
  lblCalDate.setText(view.calDate);
  state_.shown = view;
}

void frmMain::setLinkStatus(const char* text) {
  lblRefresh.setText(text);
}

void frmMain::setLiveCommandsEnabled(bool enabled) {
  for (platform::MenuItem* item : {&mnuReport, &mnuTrimTemp, &mnuTrimVolts, &mnuTrimTE, &mnuCalDate})
    item->setEnabled(enabled);
}

void frmMain::packetSent() {
  ledRefresh.setFillColor(platform::kRed);
}

void frmMain::packetReceived(std::span<const std::uint8_t> packet) {
  recorder_.answerReceived(ui().now());
  setLinkStatus(link::kLinkAnswered);
  lblTest.setText(link::PacketLine(packet));
}

void frmMain::statusReceived(const link::StatusRecord& record) {
  showLive(link::StatusView(record, state_.shown));
  recorder_.recordReceived(ui().now(), record, state_.shown);
  if (record.batVolts) awaitingReading_.erase(link::parameter::kBatteryVoltsGain);
  if (record.teVolts) awaitingReading_.erase(link::parameter::kTeVoltsGain);
  if (record.batTemp) awaitingReading_.erase(link::parameter::kBatteryTempOffset);
}

void frmMain::answerSettled() {
  ledRefresh.setFillColor(platform::kDarkRed);
}

void frmMain::linkDown() {
  ledRefresh.setFillColor(platform::kDarkRed);
  setLinkStatus(link::kLinkNoResponse);
  lblTest.setText(link::kLinkTimedOut);
}

void frmMain::liveCommandsAvailable(bool available) {
  setLiveCommandsEnabled(available);
}

}  // namespace orvik::app
