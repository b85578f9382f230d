// The invariants, checked after every event, over what the controller model, the line and the service
// record saw.
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

void Bench::answered(const std::vector<std::uint8_t>& request, const std::vector<std::uint8_t>& answer) {
  if (request[0] != 'B' || answer[0] != 'B' || answer.size() < 7) return;
  const std::uint8_t p = request[2];
  const FloatBytesArray value{answer[2], answer[3], answer[4], answer[5]};
  reads_[p].push_back({ui_.nowMs(), value});
  shown_[p].insert(diagnostics::ReportValueText(p, value));
  // A restore stops at the first read-back that differs.
  for (Confirmation& c : confirmations_) {
    if (c.kind == Confirmation::Restore && !c.closedMs && c.allowed.count(p) && c.allowed[p] != value &&
        !c.stoppedAfter) {
      c.stoppedAfter = p;
    }
  }
}

void Bench::framed(const FloatBytesArray& value) {
  event("line: a spoilt answer and the next make a packet, value " + hex({value.begin(), value.end()}));
  for (std::uint8_t p = 0; p < 255; ++p) {
    reads_[p].push_back({ui_.nowMs(), value});
    shown_[p].insert(diagnostics::ReportValueText(p, value));
  }
}

void Bench::afterEvent() {
  if (ui_.nowUs() != lastAdvanceUs_) {
    lastAdvanceUs_ = ui_.nowUs();
    sameMomentEvents_ = 0;
  } else if (++sameMomentEvents_ > 200000) {
    violate("no progress: 200000 events at one moment");
  }
  checkWrites();
  if (!violation_.empty() || schedule_.cli) return;
  // A trim's start, at each Trim and Retry: the reading it froze and the value it accepted.
  platform::Form* active = ui_.activeForm();
  if (auto* trim = dynamic_cast<calibration::TrimDialog*>(active)) {
    const bool started = trim->tmrTimeout.enabled() && state_.SequenceStep == 1;
    if (started && !started_[trim->lifecycle().id]) {
      Confirmation& c = confirm(Confirmation::Trim, ui_.nowMs());
      c.dialog = trim->lifecycle().id;
      c.parameter = trim->parameter();
      c.measured = link::leadingNumber(trim->measured.text());
      c.actual = link::leadingNumber(trim->entry.text());
    }
    started_[trim->lifecycle().id] = started;
  }
  for (Confirmation& c : confirmations_) {
    const platform::Form* dialog = c.dialog != 0 ? ui_.formById(c.dialog) : nullptr;
    if (c.dialog != 0 && !c.closedMs && (dialog == nullptr || !dialog->lifecycle().loaded))
      c.closedMs = ui_.nowMs();
  }
  checkReport();
  // Polling resumes once the technician is back at the main window, and reopens a port that came back.
  const bool idle = active == main_.get() && boxOpenUntilUs_ < ui_.nowUs() &&
                    ui_.pointer() == platform::Pointer::Normal && unpluggedUntilMs_ >= 0 &&
                    unpluggedUntilMs_ < std::numeric_limits<std::int64_t>::max();
  if (!idle) {
    idleSinceMs_ = ui_.nowMs();
  } else if (ui_.nowMs() - std::max(idleSinceMs_, unpluggedUntilMs_) > 15000) {
    if (ui_.nowMs() - lastStatusMs_ > 6000) violate("polling did not resume after the window closed");
    if (!port_.isOpen()) violate("the port that came back was not opened again");
  }
}

void Bench::checkWrites() {
  const auto& written = port_.written();
  while (writtenSeen_ + 2 <= written.size() &&
         writtenSeen_ + written[writtenSeen_ + 1] + 1 <= written.size()) {
    const std::size_t length = written[writtenSeen_ + 1] + 1u;
    const std::vector<std::uint8_t> packet(written.begin() + static_cast<long>(writtenSeen_),
                                           written.begin() + static_cast<long>(writtenSeen_ + length));
    writtenSeen_ += length;
    if (packet[0] == '>') lastStatusMs_ = ui_.nowMs();
    if (packet[0] == '=' || packet[0] == 'D') checkWrite(packet);
  }
}

bool Bench::allows(Confirmation& c, const std::vector<std::uint8_t>& packet) {
  if (packet[0] == 'D') {
    const std::string sent =
        link::TrimmedTag(link::TagTextFromBytes(std::string(packet.begin() + 2, packet.begin() + 22)));
    if (c.kind == Confirmation::Command)
      return command_ && command_->act == Act::CliTag && sent == link::TrimmedTag(command_->args[1]);
    return c.kind == Confirmation::Tag && sent == c.tag;
  }
  const std::uint8_t p = packet[2];
  const FloatBytesArray value{packet[3], packet[4], packet[5], packet[6]};
  Confirmation trim = c;
  if (c.kind == Confirmation::Command) {
    // orvikctl: the command confirmed says what it may write.
    if (!command_) return false;
    const auto& args = command_->args;
    switch (command_->act) {
      case Act::CliTrim: {
        const int kind = static_cast<int>(std::find(std::begin(kTrimNames), std::end(kTrimNames), args[1]) -
                                          std::begin(kTrimNames));
        const auto typed = link::ReadNumber(args[3]);
        const std::string out = out_.str();
        const auto at = out.rfind("Measured ");
        if (!typed || at == std::string::npos) return false;
        trim.kind = Confirmation::Trim;
        trim.parameter = kind == 0 ? 30 : kind == 1 ? 18 : 22;
        trim.actual = kind == 0 ? std::round(*typed) : std::round(*typed * 1000) / 1000;
        trim.measured = link::leadingNumber(out.substr(out.find(": ", at) + 2));
        trim.fromMs = command_->startMs;
        break;
      }
      case Act::CliRestore: {
        std::string problem;
        const auto text = backup::ReadWholeFile(args[1], problem);
        const auto parsed = backup::ParseBackup(text.value_or(""));
        const auto* file = std::get_if<backup::BackupFile>(&parsed);
        return file && file->unit.constants.count(p) && file->unit.constants.at(p) == value &&
               command_->constantsAtStart[p] != value;
      }
      case Act::CliUndo:
        return undoRow_ && undoRow_->parameter == p &&
               service_record::BytesFromHex(undoRow_->beforeBytes) == std::optional(value);
      case Act::CliCalDate:
        return p == 0 && dateBytes(args[1]) == std::optional(value);
      case Act::CliResetLog:
        return p == link::parameter::kShutdownStatus && value == FloatBytesArray{0, 0, 0, 0};
      default:
        return false;
    }
  }
  if (trim.kind != Confirmation::Trim) {
    if (c.kind == Confirmation::Restore && c.stoppedAfter && *c.stoppedAfter != p) return false;
    return c.allowed.count(p) && c.allowed.at(p) == value;
  }
  if (trim.parameter != p) return false;
  const float written = link::FloatFromBytes(value);
  // The stored constant as this dialog or command read it, since its first start.
  std::int64_t since = trim.fromMs;
  for (const Confirmation& other : confirmations_)
    if (other.dialog == c.dialog && other.kind == Confirmation::Trim && c.dialog != 0)
      since = std::min(since, other.fromMs);
  for (const Read& read : reads_[p]) {
    if (read.atMs < since) continue;
    const double g = link::FloatFromBytes(read.value);
    const double expected = p == link::parameter::kBatteryTempOffset ? g + trim.actual - trim.measured
                                                                     : g * trim.actual / trim.measured;
    // The constant goes through its seven-digit text: as exact as the largest of the terms allows.
    const double scale = std::max({1.0, std::fabs(g), std::fabs(trim.actual), std::fabs(expected)});
    if (std::fabs(written - expected) <= 2e-6 * scale) return true;
  }
  return false;
}

void Bench::checkWrite(const std::vector<std::uint8_t>& packet) {
  event("write " + hex(packet));
  if (questionOpenUntilUs_ > ui_.nowUs())
    return violate("a write went out while a question was open: " + hex(packet));
  for (auto it = confirmations_.rbegin(); it != confirmations_.rend(); ++it) {
    if (it->fromMs <= ui_.nowMs() && !it->closedMs && allows(*it, packet)) return;
  }
  violate(
      "a write nobody confirmed (or after Cancel's Yes, or computed from another reading): " + hex(packet) +
      (command_ ? "\n  orvikctl " + joined(command_->args) + " printed:\n" + out_.str() : ""));
}

void Bench::recorded(const link::ChangeNote& note) {
  event("row: " + note.written);
  // The row belongs to the latest confirmation that allowed the value it holds; failing that (a restore's
  // read-back that differed), to the latest of its kind of change.
  const int parameter = note.parameter.value_or(-1);
  std::vector<std::uint8_t> packet;
  if (note.change == link::ChangeKind::Tag) {
    packet = {'D', 22};
    const std::string bytes = link::TagBytesFromText(note.written);
    packet.insert(packet.end(), bytes.begin(), bytes.end());
    packet.resize(23, ' ');
  } else if (note.writtenBytes) {
    packet = {'=', 7, static_cast<std::uint8_t>(parameter)};
    packet.insert(packet.end(), note.writtenBytes->begin(), note.writtenBytes->end());
  }
  const auto fitsKind = [&](const Confirmation& c) {
    if (c.kind == Confirmation::Command) return true;
    if (note.change == link::ChangeKind::Tag) return c.kind == Confirmation::Tag;
    if (c.kind == Confirmation::Trim) return c.parameter == parameter;
    return c.kind != Confirmation::Tag && c.allowed.count(static_cast<std::uint8_t>(parameter)) != 0;
  };
  for (const bool byValue : {true, false}) {
    for (auto it = confirmations_.rbegin(); it != confirmations_.rend(); ++it) {
      // An acknowledgement comes within seconds of its write, which went out while its step was open.
      const bool recent = !it->closedMs || ui_.nowMs() - *it->closedMs < 8000;
      if (it->fromMs > ui_.nowMs() || !recent || !fitsKind(*it)) continue;
      if (byValue && (packet.empty() || !allows(*it, packet))) continue;
      if (++rows_[{it->id, parameter}] > 1)
        violate("one confirmed change, two rows in the service record: " + note.written);
      return;
    }
  }
  violate("a row for a change nobody confirmed: " + note.written);
}

void Bench::checkShown(const std::string& shown, std::uint8_t parameter) {
  if (shown != "-" && shown_[parameter].count(shown) == 0)
    violate("the report shows " + shown + " for parameter " + std::to_string(parameter) +
            ", which no answer to that parameter's request carried");
}

void Bench::checkReport() {
  using namespace link::parameter;
  namespace caption = diagnostics::caption;
  const std::pair<const char*, std::uint8_t> rows[] = {
      {caption::kBatteryVoltsGain, kBatteryVoltsGain},
      {caption::kTeVoltsGain, kTeVoltsGain},
      {caption::kBatteryTempGain, kBatteryTempGain},
      {caption::kBatteryTempOffset, kBatteryTempOffset},
      {caption::kShutdownTeVolts, kShutdownTeVolts},
      {caption::kShutdownBatteryVolts, kShutdownBatteryVolts},
      {caption::kShutdownBatteryTemp, kShutdownBatteryTemp}};
  if (command_ && command_->act == Act::CliReport) {
    // What orvikctl printed: each caption, blanks, the value, to the end of the line.
    const std::string out = out_.str();
    for (const auto& [title, p] : rows) {
      const auto at = out.find(title);
      if (at == std::string::npos) continue;
      const auto value = out.find_first_not_of(' ', at + std::strlen(title));
      checkShown(out.substr(value, out.find('\n', value) - value), p);
    }
    return;
  }
  auto* report = dynamic_cast<diagnostics::frmReport*>(ui_.activeForm());
  if (report == nullptr) return;
  const platform::Label* labels[] = {&report->lblBVgain,   &report->lblTEgain,  &report->lblBTgain,
                                     &report->lblBToffset, &report->lblTEvolts, &report->lblBatVolts,
                                     &report->lblBatTemp};
  for (std::size_t i = 0; i < std::size(labels); ++i)
    checkShown(labels[i]->text(), rows[i].second);
}

void Bench::checkRestoreMessage(const std::string& text) {
  // What a restore says it wrote and read back is what the controller holds.
  const auto stopped = text.find("Stopped at the ");
  const auto held = text.find("the controller holds ");
  if (stopped != std::string::npos && held != std::string::npos) {
    const auto bytes = text.find("(bytes ", held);
    const auto hexText = bytes == std::string::npos ? std::string() : text.substr(bytes + 7, 8);
    for (std::uint8_t p : link::parameter::kCalibrationConstants) {
      if (text.find("Stopped at the " + backup::ConstantInSentence(p) + ":") == stopped &&
          service_record::BytesHex(model_.parameter(p)) != hexText) {
        violate("a restore says the controller holds " + hexText + " but it holds " +
                service_record::BytesHex(model_.parameter(p)));
      }
    }
  }
}

}  // namespace orvik::simulation::bench
