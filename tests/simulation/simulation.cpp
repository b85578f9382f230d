#include "simulation/simulation.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>

#include <unistd.h>

#include "app/frm_main.h"
#include "backup/backup_commands.h"
#include "backup/backup_file.h"
#include "calibration/frm_cal_date.h"
#include "calibration/trim_dialog.h"
#include "cli/answer_line.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "diagnostics/frm_edit_tag.h"
#include "diagnostics/frm_report.h"
#include "diagnostics/report_captions.h"
#include "diagnostics/report_values.h"
#include "link/number_text.h"
#include "link/parameter_numbers.h"
#include "link/subs.h"
#include "link/tag_text.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/memory_serial_port.h"
#include "service_record/change_rows.h"
#include "service_record/service_journal.h"
#include "sim/controller_model.h"
#include "support/memory_files.h"

namespace orvik::simulation {

namespace {

using namespace std::chrono_literals;
using link::FloatBytesArray;
using platform::MsgButtons;
using platform::MsgResult;

// What a technician types: numbers, edge values, a decimal comma, letters, blanks, long texts, and tags
// that Windows-1252 cannot hold.
const std::vector<std::string> kEntries = {
    "12.5", "14.6", "13",      "10", "32",   "3",          "20",
    "-50",  "150",  "77",      "80", "12,5", "abc",        "",
    " ",    "1e3",  "32.0006", "0",  "-5",   "12.3456789", "9999999999999999999999"};
const std::vector<std::string> kTags = {"BAY 4",
                                        "  UNIT 42  ",
                                        "",
                                        "ABCDEFGHIJKLMNOPQRSTUVW",
                                        "K\xC3\xBChler 3",
                                        "\xCE\xA9mega",
                                        "\xE6\x97\xA5\xE6\x9C\xAC"};
const std::vector<std::string> kDates = {"15-Feb-2005", "31-Dec-2099", "1-Jan-2001",
                                         "29-Feb-2023", "abc",         ""};
const std::vector<std::string> kIsoDates = {"2005-02-15", "2099-12-31", "2001-01-01", "2023-02-29", "x"};
const char* const kTrimNames[] = {"battery-temp", "battery-volts", "te-volts"};
// How orvikctl's question is answered: a whole line, the end of input, "y" then the end, Ctrl+C.
const std::vector<std::string> kConsole = {"y", "yes", "n", "", "<end>", "y<end>", "<interrupt>", "--yes"};

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

// A step the technician confirmed, and what it allows to be written while it is open.
struct Confirmation {
  enum Kind { Trim, Date, Tag, LogReset, Restore, Undo, Command } kind = Trim;  // Command: orvikctl's, whole
  int id = 0;
  std::int64_t fromMs = 0;
  std::optional<std::int64_t> closedMs;
  unsigned long dialog = 0;  // the window's id; 0 for none
  std::uint8_t parameter = 0;
  double measured = 0, actual = 0;                  // a trim
  std::map<std::uint8_t, FloatBytesArray> allowed;  // exact values: the date, the log, a restore, an undo
  std::string tag;
  std::optional<std::uint8_t> stoppedAfter;  // a restore whose read-back differed here
};

class FaultyLine;

class Bench {
 public:
  Bench(const Schedule& schedule, bool log);
  ~Bench();
  Outcome run();

  // --- what the line reports
  void answered(const std::vector<std::uint8_t>& request, const std::vector<std::uint8_t>& answer);
  // A packet the line's faults made, which the host may take as a parameter's answer.
  void framed(const FloatBytesArray& value);
  void event(const std::string& what);
  std::uint64_t seed() const { return schedule_.seed; }

 private:
  void perform(const Action& a);
  void performCli(const Action& a);
  platform::headless::HeadlessUi::Answering answerBox(const platform::MessageBox& box);
  std::optional<std::string> chooseFile(bool open, const std::string& title);
  std::optional<std::string> consoleAnswer(std::uint32_t arg);
  void afterEvent();
  void checkWrites();
  void checkWrite(const std::vector<std::uint8_t>& packet);
  bool allows(Confirmation& c, const std::vector<std::uint8_t>& packet);
  void recorded(const link::ChangeNote& note);
  void checkReport();
  void checkShown(const std::string& shown, std::uint8_t parameter);
  void checkRestoreMessage(const std::string& text);
  void violate(const std::string& what);
  Confirmation& confirm(Confirmation::Kind kind, std::int64_t atMs);
  void closeConfirmations(unsigned long dialog, std::int64_t atMs);
  std::string writeBackup(const std::string& name, const std::string& tag, float shift);

  const Schedule schedule_;
  const bool log_;
  std::string violation_;
  std::deque<std::string> last_;
  std::filesystem::path folder_;
  std::string ownFile_, otherFile_, lastFile_;
  bool restoreOther_ = false;

  platform::headless::HeadlessUi ui_;
  platform::headless::MemorySerialPort port_{ui_};
  sim::ControllerModel model_;
  std::unique_ptr<FaultyLine> line_;
  link::RunState state_;
  link::ControllerLink link_{state_, port_, ui_.timers()};
  testing::MemoryFiles files_;
  std::unique_ptr<service_record::ServiceJournal> journal_;
  std::unique_ptr<app::frmMain> main_;

  // orvikctl: the command running, its output and its confirmation.
  std::unique_ptr<cli::Runner> runner_;
  std::ostringstream out_, err_;
  struct Console final : cli::Console {
    Bench* bench = nullptr;
    std::uint32_t arg = 0;
    bool interactive() const override { return true; }
    std::optional<std::string> ask(const std::string& question) override;
  } console_;
  struct CliCommand {
    Act act;
    std::vector<std::string> args;
    std::int64_t startMs;
    std::map<std::uint8_t, FloatBytesArray> constantsAtStart;
  };
  std::optional<CliCommand> command_;
  std::optional<service_record::ServiceRow> undoRow_;

  // --- what the invariants look at
  std::vector<Confirmation> confirmations_;
  std::map<std::pair<int, int>, int> rows_;  // rows per confirmation and parameter
  struct Read {
    std::int64_t atMs;
    FloatBytesArray value;
  };
  std::map<std::uint8_t, std::vector<Read>> reads_;      // the controller's answers to "B" requests
  std::map<std::uint8_t, std::set<std::string>> shown_;  // those answers as the report shows them
  std::size_t writtenSeen_ = 0;
  std::int64_t lastStatusMs_ = 0;
  std::int64_t boxOpenUntilUs_ = -1;
  std::int64_t questionOpenUntilUs_ = -1;
  std::int64_t idleSinceMs_ = 0;
  std::int64_t unpluggedUntilMs_ = -1;  // the adapter is out, or the port busy, until then
  std::int64_t lastAdvanceUs_ = 0;
  long sameMomentEvents_ = 0;
  std::map<unsigned long, bool> started_;
  std::uint64_t boxes_ = 0, questions_ = 0;
};

// The controller model behind a line that loses, repeats, delays, cuts and spoils answers, each request's
// faults drawn from the seed and the request's number.
class FaultyLine final : public platform::headless::MemorySerialPort::Peer {
 public:
  FaultyLine(Bench& bench, platform::headless::HeadlessUi& ui, platform::headless::MemorySerialPort& port,
             sim::ControllerModel& model)
      : bench_(bench), ui_(ui), port_(port), model_(model) {
    port_.attach(1, *this);
  }

  void hostWrote(std::uint8_t byte) override {
    auto answer = model_.receive(byte, ui_.nowMs());
    if (!answer) return;
    std::mt19937_64 rng(mix(bench_.seed(), ++requests_));
    const auto& request = model_.requests().back();
    bench_.answered(request, answer->bytes);
    std::vector<std::uint8_t> bytes = answer->bytes;
    const int dice = static_cast<int>(rng() % 100);
    const int range = static_cast<int>(rng() % 100);
    const auto delay = std::chrono::milliseconds(range < 70   ? rng() % 60
                                                 : range < 90 ? 100 + rng() % 600
                                                 : range < 98 ? 700 + rng() % 1300
                                                              : 2000 + rng() % 1000);
    const char* fault = dice < 3 || (request[0] == '=' && dice < 7) ? "lost"
                        : dice < 10                                 ? "spoilt"
                        : dice < 13                                 ? "cut short"
                        : dice < 16                                 ? "sent twice"
                                                                    : "";
    bench_.event("line: " + hex(request) + "-> " + hex(bytes) + "after " + std::to_string(delay.count()) +
                 " ms " + fault);
    if (dice < 3 || (request[0] == '=' && dice < 7)) return;
    if (dice < 10) bytes[rng() % bytes.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    if (dice >= 10 && dice < 13) bytes.resize(1 + rng() % (bytes.size() - 1));
    // Bytes reported in pieces of up to eight; an answer sent twice, as the port reports them one or two
    // at a time (a driver holding them back longer hides the back-to-back repeat: answers do not name
    // their parameter).
    const bool twice = dice >= 13 && dice < 16;
    const int chunk = static_cast<int>(twice ? 1 + rng() % 2 : rng() % 10 == 0 ? 1 + rng() % 8 : 1);
    port_.deliver(bytes, delay, chunk);
    if (twice) port_.deliver(bytes, delay, chunk);  // again, back to back
    if (dice >= 3 && dice < 13) suspects_.push_back(stream_.size());
    stream_.insert(stream_.end(), bytes.begin(), bytes.end());
    if (twice) stream_.insert(stream_.end(), bytes.begin(), bytes.end());
    findFrames();
  }

 private:
  // A spoilt or cut-short answer runs on into what comes after it on the line, and now and then the two
  // make a packet whose checksum holds (one in 256): no receiver can tell it from an answer. Such
  // packets are values the program may take for any parameter.
  void findFrames() {
    for (auto it = suspects_.begin(); it != suspects_.end();) {
      const std::size_t at = *it;
      if (stream_.size() < at + 2) {
        ++it;
        continue;
      }
      const std::size_t length = stream_[at + 1];
      if (length >= 6 && length <= 50 && stream_.size() < at + length + 1) {
        ++it;
        continue;
      }
      if (length >= 6 && length <= 50 && stream_[at] == 'B') {
        unsigned sum = 0;
        for (std::size_t i = at + 1; i < at + length; ++i)
          sum += stream_[i];
        if (static_cast<std::uint8_t>(sum + stream_[at + length]) == 0)
          bench_.framed({stream_[at + 2], stream_[at + 3], stream_[at + 4], stream_[at + 5]});
      }
      it = suspects_.erase(it);
    }
  }

  std::vector<std::uint8_t> stream_;  // every byte sent to the host, in the order it goes out
  std::vector<std::size_t> suspects_;
  Bench& bench_;
  platform::headless::HeadlessUi& ui_;
  platform::headless::MemorySerialPort& port_;
  sim::ControllerModel& model_;
  std::uint64_t requests_ = 0;
};

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

// --- the technician

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

// --- the invariants

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
    if (c.kind == Confirmation::Command) return command_ && command_->act == Act::CliTag;
    if (c.kind != Confirmation::Tag) return false;
    std::string sent(packet.begin() + 2, packet.begin() + 22);
    return link::TrimmedTag(link::TagTextFromBytes(sent)) == c.tag;
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

}  // namespace

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
