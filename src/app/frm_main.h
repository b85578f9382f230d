#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/status_recorder.h"
#include "backup/backup_commands.h"
#include "diagnostics/report_reader.h"
#include "link/controller_link.h"
#include "link/link_listener.h"
#include "link/live_captions.h"
#include "link/run_state.h"
#include "link/session.h"
#include "link/status_view.h"
#include "platform/controls.h"
#include "platform/files.h"
#include "platform/form.h"
#include "platform/menu.h"
#include "platform/timer.h"
#include "service_record/service_journal.h"

namespace orvik::calibration {
class TrimDialog;
}

namespace orvik::app {

class frmAbout;

inline constexpr std::chrono::milliseconds kPollPeriod{2000};
inline constexpr const char* kLogToCsv = "&Log to CSV...";
inline constexpr const char* kStopLogging = "Stop &Logging";
inline constexpr const char* kServiceRecordTitle = "Service Record";

// The main window: live status of the charger, the link indicator, the menus. It shows what the
// controller link tells it, and hands the link to every dialog that talks to the controller.
class frmMain : public platform::Form, private link::LinkListener {
 public:
  frmMain(platform::Ui& ui, link::RunState& state, link::ControllerLink& link, platform::Files& files);
  ~frmMain() override;

  void Form_Load() override;
  void Form_Activate() override;
  void Form_Unload() override;

  void cmdClose_Click();
  void mnuLogCsv_Click();
  void mnuExit_Click();
  void mnuReport_Click();
  void mnuTrend_Click();
  void mnuServiceReport_Click();
  void mnuBackUp_Click();
  void mnuRestore_Click();
  void mnuHistory_Click();
  void mnuTrimTemp_Click();
  void mnuTrimVolts_Click();
  void mnuTrimTE_Click();
  void mnuCalDate_Click();
  void mnuEditTag_Click();
  void mnuSerialPort_Click();
  void mnuAbout_Click();
  void tmrUpdate_Timer();

  frmAbout* aboutBox() { return about_.get(); }
  // Every status reading of the run, for the trend window.
  link::StatusStore& statusStore() { return recorder_.store(); }
  // Opens the trend window or brings it forward (the window is not form logic: the program supplies it).
  std::function<void()> openTrend;
  // Opens the service history window or brings it forward (supplied by the program, like the trend).
  std::function<void()> openHistory;
  // Writes a service report's HTML as a PDF file: empty, or why it could not.
  std::function<std::string(const std::string& html, const std::string& path)> savePdf;
  // The service record this run writes to: every confirmed change, and what it has to tell.
  void setServiceRecord(service_record::ServiceJournal& record) {
    record_ = &record;
    backup_.record = &record;
  }
  // The rows still unwritten are said before the program ends; false when the technician stays.
  void sayUnwrittenRecord();
  // Takes back the trim of the service record's row `rowId` (from the service history).
  void undoTrim(std::int64_t rowId);

 private:
  void layOut();
  void buildMenus();
  void openConfiguredPort();
  // The port dialog, modal. Values on screen belong to the device on the old port: a new port shows "-"
  // until its device answers.
  void choosePort();
  void showLive(const link::LiveView& view);
  void setLinkStatus(const char* text);
  // The menu item and the title say whether a log runs.
  void showLogging();
  void setLiveCommandsEnabled(bool enabled);
  // The checks before a command that talks to the controller: the hardware revision when the command
  // needs revision 5, then the link. Says what is missing and returns false.
  bool controllerReady(bool needsRevision5);
  // The reading that the trim of `parameter` freezes has come in since that trim last wrote; otherwise
  // says so, because a reading taken before the write would be corrected a second time.
  bool readingUpdatedFor(std::uint8_t parameter);
  // Polling starts or stops (tmrUpdate), and the trend learns that readings stop on purpose.
  void setPolling(bool on);
  // A dialog that talks to the controller, modal, with polling stopped around it.
  void runDialog(platform::Form& dialog);
  void runTrim(calibration::TrimDialog& dialog);
  // The service report's values are in (or did not come): the PDF is written, polling goes on.
  void serviceReportRead(const diagnostics::ReportValues* values);

  // What the link tells.
  void packetSent() override;
  void packetReceived(std::span<const std::uint8_t> packet) override;
  void statusReceived(const link::StatusRecord& record) override;
  void answerSettled() override;
  void linkDown() override;
  void liveCommandsAvailable(bool available) override;

  link::RunState& state_;
  link::ControllerLink& link_;
  platform::Files& files_;

 public:
  // Live values.
  platform::Frame fraCharger{*this, "fraCharger", link::caption::kCharger};
  platform::Label lblTECaption{*this, "lblTECaption", link::caption::kTeModule};
  platform::Label lblTEvolts{*this, "lblTEvolts", "-"};
  platform::Label lblModeCaption{*this, "lblModeCaption", link::caption::kMode};
  platform::Label lblChargeMode{*this, "lblChargeMode", "-"};
  platform::Label lblSetpointCaption{*this, "lblSetpointCaption", link::caption::kSetpoint};
  platform::Label lblSetpoint{*this, "lblSetpoint", "-"};
  platform::Label lblControlCaption{*this, "lblControlCaption", link::caption::kControl};
  platform::Label lblPWMvalue{*this, "lblPWMvalue", "-"};

  platform::Frame fraBattery{*this, "fraBattery", link::caption::kBattery};
  platform::Label lblBatVoltsCaption{*this, "lblBatVoltsCaption", link::caption::kBatteryVolts};
  platform::Label lblBatVolts{*this, "lblBatVolts", "-"};
  platform::Label lblBatTempCaption{*this, "lblBatTempCaption", link::caption::kBatteryTemp};
  platform::Label lblBatTemp{*this, "lblBatTemp", "-"};

  platform::Frame fraAlarm{*this, "fraAlarm", link::caption::kAlarmMessages};
  platform::Label lblAlarmCode{*this, "lblAlarmCode", ""};

  platform::Label lblCalCaption{*this, "lblCalCaption", link::caption::kCalibrated};
  platform::Label lblCalDate{*this, "lblCalDate", "-"};
  platform::Label lblCalHint{*this, "lblCalHint", "day-mo-yr"};
  platform::Label lblRevHardwareCaption{*this, "lblRevHardwareCaption", link::caption::kHardwareRevision};
  platform::Label lblRevHardware{*this, "lblRevHardware", "-"};
  platform::Label lblRevSoftwareCaption{*this, "lblRevSoftwareCaption", link::caption::kSoftwareRevision};
  platform::Label lblRevSoftware{*this, "lblRevSoftware", "-"};

  // Link indicators.
  platform::Shape ledRefresh{*this, "ledRefresh", platform::ShapeKind::Circle, platform::kDarkRed};
  platform::Label lblRefresh{*this, "lblRefresh", link::kLinkNotYetAnswered};
  platform::Label lblTest{*this, "lblTest", "Comm Status"};
  platform::Button cmdClose{*this, "cmdClose", "E&xit"};

  platform::Timer tmrUpdate{*this, "tmrUpdate", static_cast<int>(kPollPeriod.count())};

  // Menus.
  platform::MenuItem mnuFile{*this, "mnuFile", "&File"};
  platform::MenuItem mnuLogCsv{mnuFile, "mnuLogCsv", kLogToCsv};
  platform::MenuItem mnuServiceReport{mnuFile, "mnuServiceReport", "Save Service &Report..."};
  platform::MenuItem mnuBackUp{mnuFile, "mnuBackUp", "&Back Up Constants..."};
  platform::MenuItem mnuRestore{mnuFile, "mnuRestore", "Re&store Constants..."};
  platform::MenuItem mnuFileSep1{mnuFile, "mnuFileSep1", "-"};
  platform::MenuItem mnuExit{mnuFile, "mnuExit", "E&xit"};
  platform::MenuItem mnuController{*this, "mnuController", "&Tools"};
  platform::MenuItem mnuReport{mnuController, "mnuReport", "Orvik Report...", "Ctrl+R"};
  platform::MenuItem mnuTrend{mnuController, "mnuTrend", "&Live Trend...", "Ctrl+L"};
  platform::MenuItem mnuHistory{mnuController, "mnuHistory", "Service &History...", "Ctrl+H"};
  platform::MenuItem mnuToolsSep1{mnuController, "mnuToolsSep1", "-"};
  platform::MenuItem mnuTrimTemp{mnuController, "mnuTrimTemp", "Trim Battery &Temp...", "F5"};
  platform::MenuItem mnuTrimVolts{mnuController, "mnuTrimVolts", "Trim Battery &Voltage...", "F6"};
  platform::MenuItem mnuTrimTE{mnuController, "mnuTrimTE", "Trim TE &Module Voltage...", "F7"};
  platform::MenuItem mnuToolsSep2{mnuController, "mnuToolsSep2", "-"};
  platform::MenuItem mnuCalDate{mnuController, "mnuCalDate", "Update Calibration &Date..."};
  platform::MenuItem mnuSetup{*this, "mnuSetup", "&Setup"};
  platform::MenuItem mnuEditTag{mnuSetup, "mnuEditTag", "&Edit Tag Name...", "Ctrl+T"};
  platform::MenuItem mnuSetupSep1{mnuSetup, "mnuSetupSep1", "-"};
  platform::MenuItem mnuSerialPort{mnuSetup, "mnuSerialPort", "Serial Port...", "Ctrl+P"};
  platform::MenuItem mnuHelp{*this, "mnuHelp", "&Help"};
  platform::MenuItem mnuIndex{mnuHelp, "mnuIndex", "&Contents..."};
  platform::MenuItem mnuHelpSep1{mnuHelp, "mnuHelpSep1", "-"};
  platform::MenuItem mnuAbout{mnuHelp, "mnuAbout", "&About"};

 private:
  std::unique_ptr<frmAbout> about_;
  bool portsOutOfReach_ = false;  // the port dialog found no port to use, some there but not the user's
  StatusRecorder recorder_;
  std::optional<std::string> failedLog_;  // why a log stopped, not yet said
  service_record::ServiceJournal* record_ = nullptr;
  // The service report's reads, while they run, and where the report goes.
  std::unique_ptr<link::Session> reportSession_;
  std::unique_ptr<diagnostics::ReportReader> reportReader_;
  std::string reportPath_;
  bool reportRunning_ = false;
  backup::BackupCommands backup_;
  // The trims that wrote since a status record last carried the reading they correct.
  std::set<std::uint8_t> awaitingReading_;
};

}  // namespace orvik::app
