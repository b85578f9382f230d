#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "backup/constants_transfer.h"
#include "cli/arguments.h"
#include "cli/output.h"
#include "link/controller_link.h"
#include "link/session.h"
#include "link/status_view.h"
#include "platform/date.h"
#include "platform/file_writing.h"
#include "platform/message_box.h"
#include "platform/timer.h"
#include "service_record/service_journal.h"

namespace orvik::cli {

using link::kAttempts;

// Where a command talks to the person running it.
struct Console {
  virtual ~Console() = default;
  // A person can answer questions: input comes from a terminal.
  virtual bool interactive() const = 0;
  // Shows `question` and reads one whole line of answer; none when input ended or was interrupted first.
  virtual std::optional<std::string> ask(const std::string& question) = 0;
};

struct Io {
  std::ostream& out;  // data
  std::ostream& err;  // messages
  Console& console;
  std::function<std::chrono::system_clock::time_point()> now;
  std::function<platform::Date()> today;  // the local date
  // The service record: the history read, and where confirmed changes go. None: no record.
  service_record::ServiceJournal* journal = nullptr;
  // The report's date and technician, for the service report.
  std::function<std::string()> localTimeText;
  std::string technician;
  // Why `out` failed, when it did (the system's reason).
  std::function<std::string()> outProblem;
  // The descriptor under `out`, for a log written to standard output ("--csv -").
  int outDescriptor = -1;
};

// Runs one command against the controller on an open link, and reports its exit status through onDone.
class Runner {
 public:
  Runner(const Invocation& invocation, link::ControllerLink& link, platform::TimerEngine& timers, Io io);

  void start();
  // Ctrl+C, SIGTERM or SIGHUP: watch ends as after its last reading, anything else stops where it is.
  void interrupt();
  std::function<void(int exitCode)> onDone;

 private:
  using Values = std::map<std::uint8_t, link::FloatBytesArray>;

  void finish(int exitCode);
  void fail(int exitCode, const std::string& message);
  // Says, once, that standard output could not be written; false while it can.
  bool outputLost();
  // Writes `text` whole to the output file `name` opened as `file`, or to standard output for "-"; false,
  // with the run failed, when it cannot.
  bool save(platform::WholeFileWrite& file, const std::string& name, const std::string& text);
  // Opens the output file `name` ahead of its content (none for "-"); false, with the run failed, when it
  // cannot be written.
  bool openOutput(platform::WholeFileWrite& file, const std::string& name);
  void refuse(const platform::MessageBox& box);
  void noAnswer(const std::string& what);
  // A status reading whose view is judged by the record's own hardware revision.
  void status(int attempts, std::function<void(const link::StatusRecord&)> then);
  void readParameters(std::vector<std::uint8_t> numbers, std::function<void(const Values&)> then);
  // A status reading, then a refusal unless the hardware reports (revision 5 or later).
  void whenReporting(std::function<void()> then);
  // --yes, or a "y" on the terminal; without a terminal, a refusal.
  bool confirmed(const std::string& question);
  // A "y" on the terminal, or a refusal.
  bool answeredYes(const std::string& question);
  // Writes `request`, which makes the change `note` says, for the service record.
  void write(const link::Request& request, link::ChangeNote note, const std::string& what,
             std::function<void()> then);
  // Says what the service record has to say (once a run) on stderr.
  void tellRecord();
  // A write has gone out that the controller may hold though it was not seen acknowledged.
  bool writeMayBeStored() const;
  std::string device() const;
  // "DEVICE went away and cannot be opened again: REASON."
  std::string lostPortSentence() const;

  void runStatus();
  void runWatch();
  void pollWatch();
  void watchReadingDone(bool answered);
  // A reading's line on standard output, unless that carries the log; false when it could not be written.
  bool showLine(const std::string& line);
  // A line of the --csv log; false when the log could not be written on.
  bool logCsv(const std::string& line);
  std::string csvName() const;
  void runRead();
  void runReport();
  void runTag();
  void runTrim();
  void runCalDate();
  void runResetLog();
  void runHistory();
  void runServiceReport();
  void runBackup();
  void runRestore();
  void runUndo();
  // Writes each line's constant back, each read back before the next, recorded as `kind` from `source`.
  void writeConstants(std::vector<backup::RestoreLine> lines, link::ChangeKind kind, std::string source);

  Invocation inv_;
  link::ControllerLink& link_;
  link::Session session_;
  std::unique_ptr<diagnostics::ReportReader> reportReader_;
  std::unique_ptr<backup::ConstantsWriter> writer_;
  Io io_;
  link::LiveView view_;
  bool done_ = false;
  bool interrupted_ = false;
  bool outputTold_ = false;
  std::optional<link::Request> write_;  // the single write asked, if any

  platform::Timer tmrWatch_;
  platform::LineFile csv_;
  std::size_t dropped_ = 0;  // log lines a pipe or device did not take at once
  int readings_ = 0;
  bool reading_ = false;
  bool due_ = false;
};

}  // namespace orvik::cli
