#pragma once

// The bench the simulator runs: the world (window system, port, controller model behind a faulty line,
// service record), the technician's hands (technician.cpp) and the invariants (invariants.cpp).

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "cli/commands.h"
#include "link/change_note.h"
#include "link/controller_link.h"
#include "link/subs.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/memory_serial_port.h"
#include "service_record/service_journal.h"
#include "service_record/service_row.h"
#include "sim/controller_model.h"
#include "simulation/simulation.h"
#include "support/memory_files.h"

namespace orvik::simulation::bench {

using link::FloatBytesArray;

// What a technician types: numbers, edge values, a decimal comma, letters, blanks, long texts, and tags
// that Windows-1252 cannot hold.
inline const std::vector<std::string> kEntries = {
    "12.5", "14.6", "13",      "10", "32",   "3",          "20",
    "-50",  "150",  "77",      "80", "12,5", "abc",        "",
    " ",    "1e3",  "32.0006", "0",  "-5",   "12.3456789", "9999999999999999999999"};
inline const std::vector<std::string> kTags = {"BAY 4",
                                               "  UNIT 42  ",
                                               "",
                                               "ABCDEFGHIJKLMNOPQRSTUVW",
                                               "K\xC3\xBChler 3",
                                               "\xCE\xA9mega",
                                               "\xE6\x97\xA5\xE6\x9C\xAC"};
inline const std::vector<std::string> kDates = {"15-Feb-2005", "31-Dec-2099", "1-Jan-2001",
                                                "29-Feb-2023", "abc",         ""};
inline const std::vector<std::string> kIsoDates = {"2005-02-15", "2099-12-31", "2001-01-01", "2023-02-29",
                                                   "x"};
inline const char* const kTrimNames[] = {"battery-temp", "battery-volts", "te-volts"};
// How orvikctl's question is answered: a whole line, the end of input, "y" then the end, Ctrl+C.
inline const std::vector<std::string> kConsole = {"y",     "yes",    "n",           "",
                                                  "<end>", "y<end>", "<interrupt>", "--yes"};

// A seed and a number mixed into a seed of their own (splitmix64).
std::uint64_t mix(std::uint64_t seed, std::uint64_t n);
// Words joined by blanks: a command line.
std::string joined(const std::vector<std::string>& words);
// Bytes as hex with a blank after each: "3D 07 12 ".
std::string hex(const std::vector<std::uint8_t>& bytes);
const char* name(Act a);
// The controller's four bytes of a date record, from "15-Feb-2005" or "2005-02-15"; none for anything else.
std::optional<FloatBytesArray> dateBytes(const std::string& text);

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

}  // namespace orvik::simulation::bench
