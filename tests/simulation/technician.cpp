// The technician: menu commands, keys in whatever window is open, answers to questions and file
// choosers, orvikctl commands and the answers typed at their questions.
#include "simulation/bench.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>

#include <unistd.h>

#include "backup/backup_commands.h"
#include "backup/backup_file.h"
#include "calibration/frm_cal_date.h"
#include "calibration/trim_dialog.h"
#include "cli/answer_line.h"
#include "cli/arguments.h"
#include "diagnostics/frm_edit_tag.h"
#include "diagnostics/frm_report.h"
#include "diagnostics/report_captions.h"
#include "diagnostics/report_values.h"
#include "link/number_text.h"
#include "link/parameter_numbers.h"
#include "link/tag_text.h"
#include "service_record/change_rows.h"
#include "simulation/faulty_line.h"

namespace orvik::simulation::bench {

using namespace std::chrono_literals;
using platform::MsgButtons;
using platform::MsgResult;

void Bench::perform(const Action& a) {
  event(std::string(name(a.act)) + " " + std::to_string(a.arg));
  switch (a.act) {
    case Act::Unplug:
      unpluggedUntilMs_ = std::numeric_limits<std::int64_t>::max();
      if (port_.isOpen()) port_.unplug();
      port_.setAvailability(1, platform::headless::MemorySerialPort::Availability::Missing);
      return;
    case Act::Busy:
      if (port_.isOpen()) return;
      unpluggedUntilMs_ = std::numeric_limits<std::int64_t>::max();
      port_.setAvailability(1, platform::headless::MemorySerialPort::Availability::Held);
      return;
    case Act::Replug:
      port_.setAvailability(1, platform::headless::MemorySerialPort::Availability::Usable);
      unpluggedUntilMs_ = ui_.nowMs();
      return;
    case Act::StoreOther:
    case Act::StoreRight:
      model_.faults.storesOtherValue = a.act == Act::StoreOther;
      return;
    case Act::SensorOpen:
    case Act::SensorOk:
      model_.settings.sensor = a.act == Act::SensorOpen ? sim::SensorFault::Open : sim::SensorFault::None;
      model_.settings.alarmCode = a.act == Act::SensorOpen ? static_cast<std::uint8_t>(a.arg % 13) : 0;
      return;
    default:
      break;
  }
  if (schedule_.cli) return performCli(a);
  if (boxOpenUntilUs_ > ui_.nowUs()) return;  // the technician is reading a message
  platform::Form* active = ui_.activeForm();
  if (active == main_.get()) {
    switch (a.act) {
      case Act::TrimTemp:
        return main_->mnuTrimTemp.click();
      case Act::TrimVolts:
        return main_->mnuTrimVolts.click();
      case Act::TrimTe:
        return main_->mnuTrimTE.click();
      case Act::CalDate:
        return main_->mnuCalDate.click();
      case Act::EditTag:
        return main_->mnuEditTag.click();
      case Act::Report:
        return main_->mnuReport.click();
      case Act::BackUp:
        return main_->mnuBackUp.click();
      case Act::Restore:
        if (ui_.pointer() == platform::Pointer::Busy) return main_->mnuRestore.click();  // refused
        restoreOther_ = a.arg % 2 != 0;
        return main_->mnuRestore.click();
      case Act::Undo: {
        const auto rows = journal_->history(std::nullopt);
        if (rows.empty() || ui_.pointer() == platform::Pointer::Busy) return;
        undoRow_ = rows[a.arg % rows.size()];
        return main_->undoTrim(undoRow_->id);
      }
      default:
        return;
    }
  }
  if (active == nullptr) return;
  auto* trim = dynamic_cast<calibration::TrimDialog*>(active);
  auto* date = dynamic_cast<calibration::frmCalDate*>(active);
  auto* tag = dynamic_cast<diagnostics::frmEditTag*>(active);
  auto* report = dynamic_cast<diagnostics::frmReport*>(active);
  switch (a.act) {
    case Act::Type:
      if (trim) trim->entry.userEdit(kEntries[a.arg % kEntries.size()]);
      if (date) date->txtCalDate.userEdit(kDates[a.arg % kDates.size()]);
      if (tag) tag->txtTag.userEdit(kTags[a.arg % kTags.size()]);
      return;
    case Act::Start:
      if (trim) trim->cmdTrim.click();
      if (date) date->cmdTrim.click();
      if (tag) tag->cmdTrim.click();
      return;
    case Act::Cancel:
      if (trim) trim->cmdCancel.click();
      if (date) date->cmdCancel.click();
      if (tag) tag->cmdCancel.click();
      if (report) report->cmdClose.click();
      return;
    case Act::Close:
      return ui_.requestClose(*active);
    case Act::ReportEditTag:
      if (report) report->cmdEditTag.click();
      return;
    case Act::ReportResetLog:
      if (report) report->cmdResetLog.click();
      return;
    default:
      return;
  }
}

void Bench::performCli(const Action& a) {
  if (runner_) return;  // one command at a time
  const std::string& console = kConsole[a.arg % kConsole.size()];
  std::vector<std::string> args;
  switch (a.act) {
    case Act::CliTrim:
      args = {"trim", kTrimNames[a.arg % 3], "--actual", kEntries[(a.arg / 3) % kEntries.size()]};
      break;
    case Act::CliRestore:
      args = {"restore", a.arg % 2 ? otherFile_ : ownFile_};
      if (a.arg % 3 == 0) args.push_back("--other-unit");
      break;
    case Act::CliUndo: {
      const auto rows = journal_->history(std::nullopt);
      if (rows.empty()) return;
      undoRow_ = rows[(a.arg / 8) % rows.size()];
      args = {"undo", std::to_string(undoRow_->id)};
      break;
    }
    case Act::CliTag:
      args = {"tag", kTags[(a.arg / 8) % kTags.size()]};
      break;
    case Act::CliCalDate:
      args = {"cal-date", kIsoDates[(a.arg / 8) % kIsoDates.size()]};
      break;
    case Act::CliResetLog:
      args = {"reset-log"};
      break;
    case Act::CliReport:
      args = {"report"};
      break;
    default:
      return;
  }
  if (console == "--yes" && a.act != Act::CliReport) args.push_back("--yes");
  const cli::Parsed parsed = cli::parseArguments(args);
  if (!parsed.invocation) return;
  console_.arg = a.arg;
  out_.str("");
  err_.str("");
  command_ = CliCommand{a.act, args, ui_.nowMs(), {}};
  for (std::uint8_t p : link::parameter::kCalibrationConstants)
    command_->constantsAtStart[p] = model_.parameter(p);
  if (args.back() == "--yes") {
    // Confirmed on the command line; what it may write is settled as it writes.
    confirm(Confirmation::Command, ui_.nowMs());
  }
  runner_ =
      std::make_unique<cli::Runner>(*parsed.invocation, link_, ui_.timers(),
                                    cli::Io{out_, err_, console_, [this] { return ui_.now(); },
                                            [] {
                                              return platform::Date{2026, 12, 7};
                                            },
                                            journal_.get(), [] { return std::string("2026-12-07 10:00"); },
                                            "tech", [] { return std::string(); }, -1});
  runner_->onDone = [this](int code) {
    if (code == cli::kSuccess) checkReport();
    event("orvikctl " + joined(command_->args) + " -> " + std::to_string(code) + " " + err_.str());
    closeConfirmations(0, ui_.nowMs());
    command_.reset();
    // Let go of it outside its own handler.
    ui_.scheduleAt(ui_.nowUs(), [this] { runner_.reset(); });
  };
  runner_->start();
}

std::optional<std::string> Bench::consoleAnswer(std::uint32_t arg) {
  const std::string& answer = kConsole[arg % kConsole.size()];
  if (answer == "<interrupt>") {
    ui_.scheduleAt(ui_.nowUs() + 1000, [this] {
      if (runner_) runner_->interrupt();
    });
  }
  if (answer.front() == '<' || answer.ends_with("<end>") || answer == "--yes") return std::nullopt;
  if (cli::IsYes(answer)) confirm(Confirmation::Command, ui_.nowMs());
  return answer;
}

platform::headless::HeadlessUi::Answering Bench::answerBox(const platform::MessageBox& box) {
  std::mt19937_64 rng(mix(schedule_.seed, (1ull << 40) + ++boxes_));
  MsgResult answer = platform::dismissalOf(box.buttons);
  const int dice = static_cast<int>(rng() % 100);
  switch (box.buttons) {
    case MsgButtons::OkCancel:
      answer = dice < 70 ? MsgResult::Ok : MsgResult::Cancel;
      break;
    case MsgButtons::YesNo:
      answer = dice < 60 ? MsgResult::Yes : MsgResult::No;
      break;
    case MsgButtons::RetryCancel:
      answer = dice < 50 ? MsgResult::Retry : MsgResult::Cancel;
      break;
    default:
      answer = MsgResult::Ok;
      break;
  }
  const int hold = static_cast<int>(rng() % 100);
  const auto after = std::chrono::milliseconds(hold < 75   ? rng() % 1500
                                               : hold < 95 ? 1500 + rng() % 8500
                                                           : 10000 + rng() % 20000);
  const std::int64_t closesAt = ui_.nowMs() + after.count();
  if (box.buttons != MsgButtons::Ok)
    questionOpenUntilUs_ = std::max(questionOpenUntilUs_, ui_.nowUs() + after.count() * 1000);
  boxOpenUntilUs_ = std::max(boxOpenUntilUs_, ui_.nowUs() + after.count() * 1000);
  std::string text = box.text;
  std::replace(text.begin(), text.end(), '\r', '|');
  event("box \"" + box.title + "\": " + text + " -> " + std::to_string(static_cast<int>(answer)) + " after " +
        std::to_string(after.count()) + " ms");
  checkRestoreMessage(box.text);

  // What the answer confirms, or takes back.
  const platform::Form* active = ui_.activeForm();
  const unsigned long activeId = active ? active->lifecycle().id : 0;
  const bool yes = answer == MsgResult::Yes || answer == MsgResult::Ok;
  if ((box.title == backup::kRestoreTitle || box.title == backup::kUndoTitle) &&
      box.buttons == MsgButtons::Ok) {
    // What a restore or an undo says at its end: nothing more goes out for it.
    for (Confirmation& c : confirmations_)
      if ((c.kind == Confirmation::Restore || c.kind == Confirmation::Undo) && !c.closedMs)
        c.closedMs = ui_.nowMs();
  } else if (box.text.starts_with("Cancel changes?") && answer == MsgResult::Yes) {
    closeConfirmations(activeId, closesAt);
  } else if (box.text == "OK to change Capibration Date?" && yes) {
    const auto* date = dynamic_cast<const calibration::frmCalDate*>(active);
    Confirmation& c = confirm(Confirmation::Date, closesAt);
    c.dialog = activeId;
    if (const auto bytes = date ? dateBytes(date->txtCalDate.text()) : std::nullopt) c.allowed[0] = *bytes;
  } else if (box.text == "OK to change new Tag Name?" && yes) {
    const auto* tag = dynamic_cast<const diagnostics::frmEditTag*>(active);
    Confirmation& c = confirm(Confirmation::Tag, closesAt);
    c.dialog = activeId;
    c.tag = tag ? link::TrimmedTag(tag->txtTag.text()) : "";
  } else if (box.text == "OK to clear the diagnostics log?" && yes) {
    Confirmation& c = confirm(Confirmation::LogReset, closesAt);
    c.dialog = activeId;
    c.allowed[link::parameter::kShutdownStatus] = {0, 0, 0, 0};
  } else if (box.title == backup::kRestoreTitle && box.buttons == MsgButtons::YesNo && yes) {
    Confirmation& c = confirm(Confirmation::Restore, closesAt);
    std::string problem;
    if (const auto json = backup::ReadWholeFile(lastFile_, problem)) {
      const auto parsed = backup::ParseBackup(*json);
      if (const auto* file = std::get_if<backup::BackupFile>(&parsed)) c.allowed = file->unit.constants;
    }
    for (std::uint8_t p : link::parameter::kCalibrationConstants)
      if (c.allowed.count(p) && c.allowed[p] == model_.parameter(p)) c.allowed.erase(p);
  } else if (box.title == backup::kOtherUnitTitle && !yes) {
    closeConfirmations(0, closesAt);
  } else if (box.title == backup::kUndoTitle && box.buttons == MsgButtons::YesNo && yes && undoRow_) {
    Confirmation& c = confirm(Confirmation::Undo, closesAt);
    if (const auto before = service_record::BytesFromHex(undoRow_->beforeBytes))
      c.allowed[static_cast<std::uint8_t>(*undoRow_->parameter)] = *before;
  }
  return {answer, after};
}

std::optional<std::string> Bench::chooseFile(bool open, const std::string& title) {
  event(std::string(open ? "open" : "save") + " file: " + title);
  if (title == backup::kBackUpTitle) return (folder_ / "mine.json").string();
  if (title == backup::kRestoreTitle) {
    const auto mine = folder_ / "mine.json";
    lastFile_ = restoreOther_ ? otherFile_ : std::filesystem::exists(mine) ? mine.string() : ownFile_;
    return lastFile_;
  }
  return std::nullopt;
}

}  // namespace orvik::simulation::bench
