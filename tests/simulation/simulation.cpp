#include "simulation/simulation.h"

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

std::uint64_t mix(std::uint64_t seed, std::uint64_t n) {
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ull * (n + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words)
    text += (text.empty() ? "" : " ") + w;
  return text;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += {kDigits[b >> 4], kDigits[b & 15], ' '};
  }
  return out;
}

const char* name(Act a) {
  static const char* const kNames[] = {
      "TrimTemp", "TrimVolts",     "TrimTe",         "CalDate",    "EditTag",    "Report",
      "BackUp",   "Restore",       "Undo",           "Type",       "Start",      "Cancel",
      "Close",    "ReportEditTag", "ReportResetLog", "CliTrim",    "CliRestore", "CliUndo",
      "CliTag",   "CliCalDate",    "CliResetLog",    "CliReport",  "Unplug",     "Replug",
      "Busy",     "StoreOther",    "StoreRight",     "SensorOpen", "SensorOk"};
  return kNames[static_cast<int>(a)];
}

// The controller's four bytes of a date record, from "15-Feb-2005" or "2005-02-15"; none for anything else.
std::optional<FloatBytesArray> dateBytes(const std::string& text) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int day = 0, month = 0, year = 0;
  char m[4] = {};
  if (std::sscanf(text.c_str(), "%d-%d-%d", &year, &month, &day) == 3 && year > 999) {
  } else if (std::sscanf(text.c_str(), "%d-%3s-%d", &day, m, &year) == 3) {
    for (int i = 0; i < 12; ++i)
      if (std::string(m) == kMonths[i]) month = i + 1;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 2001 || year > 2099) return std::nullopt;
  return FloatBytesArray{0, static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day),
                         static_cast<std::uint8_t>(year % 100)};
}

std::optional<std::string> Bench::Console::ask(const std::string& question) {
  bench->event("orvikctl asks: " + question);
  return bench->consoleAnswer(arg);
}

Bench::Bench(const Schedule& schedule, bool log) : schedule_(schedule), log_(log) {
  static std::uint64_t runs = 0;
  folder_ = std::filesystem::temp_directory_path() /
            ("orvik-simulate-" + std::to_string(::getpid()) + "-" + std::to_string(++runs));
  std::filesystem::create_directories(folder_);
  line_ = std::make_unique<FaultyLine>(*this, ui_, port_, model_);
  console_.bench = this;

  // A unit with constants of its own, so that a value shown under another's name shows.
  std::mt19937_64 rng(mix(schedule.seed, 1u << 30));
  model_.faults.answerDelay = 0ms;
  model_.settings.shutdownCount = static_cast<std::uint8_t>(rng() % 3);
  for (std::uint8_t p : link::parameter::kCalibrationConstants) {
    const float base = p == link::parameter::kBatteryTempOffset ? 0.0f : 1.0f;
    model_.setParameter(p, base + static_cast<float>(static_cast<int>(rng() % 2000) - 1000) / 9973.0f);
  }
  ownFile_ = writeBackup("own.json", model_.settings.tag, 0.0f);
  otherFile_ = writeBackup("other.json", "OTHER UNIT", 0.05f);
  // A third of the benches reach the controller as a pseudo-terminal or serial server does.
  if (rng() % 3 == 0) {
    port_.setRequestsAtOnce(true);
    event("line: requests reach the controller at once");
  }

  ui_.onFailure = [this](const std::string& what) { violate("the window system: " + what); };
  ui_.answerer = [this](const platform::MessageBox& box) { return answerBox(box); };
  ui_.fileAnswerer = [this](bool open, const std::string& title) { return chooseFile(open, title); };
  ui_.afterEvent = [this] { afterEvent(); };

  journal_ = std::make_unique<service_record::ServiceJournal>((folder_ / "service.db").string(),
                                                              [this] { return ui_.now(); });
  const std::string program = schedule.cli ? "orvikctl" : "orvik-monitor";
  service_record::RecordConfirmedChanges(link_, *journal_, {program, "tech", [this] { return ui_.now(); }});
  auto record = link_.exchange().onConfirmed;
  link_.exchange().onConfirmed = [this, record](const link::ChangeNote& note) {
    recorded(note);
    record(note);
  };
  if (!schedule.cli) {
    main_ = std::make_unique<app::frmMain>(ui_, state_, link_, files_);
    main_->setServiceRecord(*journal_);
    files_.files["options.cfg"] = {1, 0};
  } else {
    link_.openPort(1);
  }
}

Bench::~Bench() {
  runner_.reset();
  main_.reset();
  journal_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string Bench::writeBackup(const std::string& file, const std::string& tag, float shift) {
  backup::BackupFile b;
  b.unit.tag = tag;
  b.unit.hardwareRevision = model_.settings.hardwareRevision;
  for (std::uint8_t p : link::parameter::kCalibrationConstants) {
    link::FloatBytesArray bytes{};
    link::FloatToBytes(model_.parameterValue(p) + shift, bytes);
    b.unit.constants[p] = bytes;
  }
  const std::string path = (folder_ / file).string();
  std::ofstream(path) << backup::BackupJson(b);
  return path;
}

void Bench::event(const std::string& what) {
  std::string line = std::to_string(ui_.nowMs()) + " ms: " + what;
  if (log_) std::printf("%s\n", line.c_str());
  last_.push_back(std::move(line));
  if (last_.size() > 40) last_.pop_front();
}

void Bench::violate(const std::string& what) {
  if (violation_.empty()) violation_ = what;
  event("VIOLATED: " + what);
  ui_.endProgram();
}

Outcome Bench::run() {
  if (main_) ui_.show(*main_);
  for (const Action& a : schedule_.actions)
    ui_.scheduleAt(a.atMs * 1000, [this, a] { perform(a); });
  ui_.scheduleAt(schedule_.lengthMs * 1000, [this] { ui_.endProgram(); });
  ui_.advance(std::chrono::milliseconds(schedule_.lengthMs + 1000));
  return {violation_, {last_.begin(), last_.end()}, ui_.nowMs()};
}

Confirmation& Bench::confirm(Confirmation::Kind kind, std::int64_t atMs) {
  Confirmation c;
  c.kind = kind;
  c.id = static_cast<int>(confirmations_.size()) + 1;
  c.fromMs = atMs;
  confirmations_.push_back(c);
  event("confirmed #" + std::to_string(c.id));
  return confirmations_.back();
}

void Bench::closeConfirmations(unsigned long dialog, std::int64_t atMs) {
  for (Confirmation& c : confirmations_)
    if (!c.closedMs && (dialog == 0 || c.dialog == dialog)) c.closedMs = atMs;
}

}  // namespace orvik::simulation::bench

namespace orvik::simulation {

using bench::Bench;
using bench::mix;
using bench::name;

std::string Describe(const Action& action) {
  return std::to_string(action.atMs) + " ms: " + name(action.act) + " " + std::to_string(action.arg);
}

Schedule MakeSchedule(std::uint64_t seed, std::int64_t lengthMs) {
  std::mt19937_64 rng(mix(seed, 0));
  Schedule s;
  s.seed = seed;
  s.lengthMs = lengthMs;
  s.cli = rng() % 5 == 0;
  s.commaLocale = rng() % 2 == 0;
  static const Act kMonitor[] = {Act::TrimTemp, Act::TrimVolts, Act::TrimVolts, Act::TrimTe,  Act::CalDate,
                                 Act::EditTag,  Act::Report,    Act::BackUp,    Act::Restore, Act::Undo};
  static const Act kWindow[] = {Act::Type,   Act::Type,  Act::Start,         Act::Start,
                                Act::Cancel, Act::Close, Act::ReportEditTag, Act::ReportResetLog};
  static const Act kCli[] = {Act::CliTrim, Act::CliTrim,    Act::CliRestore,  Act::CliUndo,
                             Act::CliTag,  Act::CliCalDate, Act::CliResetLog, Act::CliReport};
  static const Act kBench[] = {Act::Unplug,     Act::Replug,     Act::Busy,       Act::Replug,
                               Act::StoreOther, Act::StoreRight, Act::SensorOpen, Act::SensorOk};
  for (std::int64_t t = 3000; t < lengthMs;) {
    const int dice = static_cast<int>(rng() % 100);
    Act act;
    if (dice < 8) {
      act = kBench[rng() % std::size(kBench)];
    } else if (s.cli) {
      act = kCli[rng() % std::size(kCli)];
    } else if (dice < 30) {
      act = kMonitor[rng() % std::size(kMonitor)];
    } else {
      act = kWindow[rng() % std::size(kWindow)];
    }
    s.actions.push_back({t, act, static_cast<std::uint32_t>(rng() % 1000)});
    t += static_cast<std::int64_t>(rng() % 100 < 70 ? 100 + rng() % 1500 : 1500 + rng() % 6000);
  }
  // Every unplug is followed by a replug before the end, so the last polls can be judged.
  s.actions.push_back({lengthMs - 20000, Act::Replug, 0});
  std::sort(s.actions.begin(), s.actions.end(),
            [](const Action& a, const Action& b) { return a.atMs < b.atMs; });
  return s;
}

Outcome Run(const Schedule& schedule, bool log) {
  const bool comma = schedule.commaLocale && std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  Outcome outcome;
  {
    Bench bench(schedule, log);
    outcome = bench.run();
  }
  if (comma) std::setlocale(LC_ALL, "C");
  return outcome;
}

}  // namespace orvik::simulation
