#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "diagnostics/report_captions.h"
#include "link/controller_link.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/timer.h"

namespace orvik::diagnostics {

inline constexpr std::chrono::milliseconds kReportStepPeriod{200};
inline constexpr std::chrono::milliseconds kReportReadLimit{5000};

// "Orvik Report": the controller's tag, its four calibration constants and the record of its last
// diagnostic shutdown, read one request at a time; the log can be cleared and the tag edited.
//
// Steps: 1-2 tag, 3-11 the parameters 18, 22, 26, 30, 100, 104, 108, 116, 12 done; 20-21 clear the log.
// A step takes only the answer to its own request, as the link's exchange delivers it. When it is not
// there yet, the next tick asks for the same value again unless it has come meanwhile; the exchange sends
// a read for another parameter only once no earlier read can still be answered, so a late answer is
// never shown under another constant's name.
class frmReport : public platform::Form {
 public:
  frmReport(platform::Ui& ui, link::ControllerLink& link, const platform::Form& mainWindow);
  ~frmReport() override;

  void Form_Load() override;
  void tmrSequence_Timer();
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

  platform::Timer tmrSequence{*this, "tmrSequence", static_cast<int>(kReportStepPeriod.count())};
  platform::Timer tmrTimeout{*this, "tmrTimeout", static_cast<int>(kReportReadLimit.count())};

 private:
  void layOut();
  void startRead();
  // Asks for the value of `parameter`, saying so on the status line.
  void sendRead(std::uint8_t parameter);
  // The value `answer` carries for `parameter`, as the report shows it.
  static void showValue(platform::Label& field, std::uint8_t parameter, const link::Answer& answer);
  void takeShutdownRecord(const link::Answer& answer);
  void finishRead();
  // One tick of a step that waits for the answer to `parameter`; `take` shows it and moves on.
  void awaitRead(std::uint8_t parameter, const std::function<void(const link::Answer&)>& take);

  link::ControllerLink& link_;
  link::RunState& state_;
  const platform::Form& main_;
  // The waiting step has missed its answer once: its next tick asks again.
  bool askAgain_ = false;
  link::FloatBytesArray shutdownBytes_{};  // the diagnostics log as last read
};

}  // namespace orvik::diagnostics
