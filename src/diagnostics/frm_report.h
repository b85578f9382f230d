#pragma once

#include <chrono>

#include "diagnostics/report_captions.h"
#include "diagnostics/report_reader.h"
#include "link/controller_link.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::diagnostics {

// The read gives up once this long has passed without an answer accepted.
inline constexpr std::chrono::milliseconds kReportReadLimit{5000};

// "Orvik Report": the controller's tag, its four calibration constants and the record of its last
// diagnostic shutdown, read one request at a time; the log can be cleared and the tag edited.
//
// The read runs on the reader orvikctl report uses: each request goes out the moment the answer before
// it is in, and only the answer to a request is shown under its name, however late it comes. A request
// not answered in its answer time-out is sent again (the tag read with a beep); "Communications Timeout"
// comes once 5 s have passed without an answer. Clearing the log has no limit: the write is sent again,
// with a beep, until it is acknowledged or the window is closed.
class frmReport : public platform::Form {
 public:
  frmReport(platform::Ui& ui, link::ControllerLink& link, const platform::Form& mainWindow);
  ~frmReport() override;

  void Form_Load() override;
  void tmrTimeout_Timer();
  void cmdEditTag_Click();
  void cmdResetLog_Click();
  void cmdClose_Click();

  platform::Label lblTag{*this, "lblTag", "-"};
  platform::Button cmdEditTag{*this, "cmdEditTag", "Edit &Tag"};

  platform::Frame fraConstants{*this, "fraConstants", caption::kConstants};
  platform::Label lblBVgainCaption{*this, "lblBVgainCaption", caption::kBatteryVoltsGain};
  platform::Label lblBVgain{*this, "lblBVgain", "-"};
  platform::Label lblTEgainCaption{*this, "lblTEgainCaption", caption::kTeVoltsGain};
  platform::Label lblTEgain{*this, "lblTEgain", "-"};
  platform::Label lblBTgainCaption{*this, "lblBTgainCaption", caption::kBatteryTempGain};
  platform::Label lblBTgain{*this, "lblBTgain", "-"};
  platform::Label lblBToffsetCaption{*this, "lblBToffsetCaption", caption::kBatteryTempOffset};
  platform::Label lblBToffset{*this, "lblBToffset", "-"};

  platform::Frame fraLog{*this, "fraLog", caption::kLog};
  platform::Label lblPowerOnCyclesCaption{*this, "lblPowerOnCyclesCaption", caption::kPowerOnCycles};
  platform::Label lblPowerOnCycles{*this, "lblPowerOnCycles", "-"};
  platform::Label lblShutdownCountCaption{*this, "lblShutdownCountCaption", caption::kShutdownCount};
  platform::Label lblShutdownCount{*this, "lblShutdownCount", "-"};
  platform::Label lblShutdownReason{*this, "lblShutdownReason", "-"};

  platform::Frame fraShutdown{*this, "fraShutdown", ""};
  platform::Label lblShutdownModeCaption{*this, "lblShutdownModeCaption", caption::kShutdownMode};
  platform::Label lblShutdownMode{*this, "lblShutdownMode", "-"};
  platform::Label lblTEvoltsCaption{*this, "lblTEvoltsCaption", caption::kShutdownTeVolts};
  platform::Label lblTEvolts{*this, "lblTEvolts", "-"};
  platform::Label lblBatVoltsCaption{*this, "lblBatVoltsCaption", caption::kShutdownBatteryVolts};
  platform::Label lblBatVolts{*this, "lblBatVolts", "-"};
  platform::Label lblBatTempCaption{*this, "lblBatTempCaption", caption::kShutdownBatteryTemp};
  platform::Label lblBatTemp{*this, "lblBatTemp", "-"};
  platform::Button cmdResetLog{*this, "cmdResetLog", "&Reset Log"};

  platform::Label lblStatus{*this, "lblStatus", "Status"};
  platform::Button cmdClose{*this, "cmdClose", "&Close"};

  platform::Timer tmrTimeout{*this, "tmrTimeout", static_cast<int>(kReportReadLimit.count())};

 private:
  void layOut();
  void startRead();
  // Shows the value just read for `request`.
  void show(const link::Request& request, const ReportValues& values);
  void finishRead();
  void clearLog();

  link::ControllerLink& link_;
  link::RunState& state_;
  const platform::Form& main_;
  // Asks through the exchange; the link's news stay the main window's.
  link::Session session_;
  ReportReader reader_{session_};
  link::FloatBytesArray shutdownBytes_{};  // the diagnostics log as last read
};

}  // namespace orvik::diagnostics
