// orvikctl: the charger's controller from the command line.
#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>

#include <csignal>
#endif

#include "cli/answer_line.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "link/controller_link.h"
#include "link/run_state.h"
#include "platform/file_start.h"
#include "platform/file_writing.h"
#include "platform/qt/qt_comm_port.h"
#include "platform/qt/qt_timer_engine.h"
#include "platform/qt/termination_signals.h"
#include "port_settings/comm_device_choice.h"
#include "port_settings/settings_file.h"  // kSettingsFile
#include "port_settings/user_folder.h"
#include "service_record/change_rows.h"
#include "service_record/service_journal.h"

namespace {

using namespace orvik;

constexpr int kStandardOutput = 1;  // the descriptor, on every system

class TerminalConsole final : public cli::Console {
 public:
  bool interactive() const override {
#ifndef _WIN32
    return ::isatty(STDIN_FILENO) != 0;
#else
    return false;
#endif
  }
  // Only a whole line answers: Ctrl+D or Ctrl+C before Enter, also after a typed "y", is none. The
  // termination signals interrupt the read here (they restart it everywhere else), and the event loop
  // then ends the run as for any signal.
  std::optional<std::string> ask(const std::string& question) override {
    std::cerr << question << std::flush;
#ifndef _WIN32
    struct sigaction saved[3]{};
    const int ending[3] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i) {
      ::sigaction(ending[i], nullptr, &saved[i]);
      struct sigaction interrupting = saved[i];
      interrupting.sa_flags &= ~SA_RESTART;
      ::sigaction(ending[i], &interrupting, nullptr);
    }
    const auto answer =
        cli::ReadAnswerLine([](char& c) { return static_cast<int>(::read(STDIN_FILENO, &c, 1)); });
    for (int i = 0; i < 3; ++i)
      ::sigaction(ending[i], &saved[i], nullptr);
    if (!answer) std::cerr << '\n';
    return answer;
#else
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return line;
#endif
  }
};

platform::Date localToday() {
  const std::tm local = service_record::LocalTime(std::chrono::system_clock::now());
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// The port the command line names, or the one the monitor's port dialog chose in `folder` (Comm 1
// without one).
int chosenPort(const cli::Invocation& inv, const std::filesystem::path& folder) {
  if (!inv.device.empty()) return 1;
  if (inv.comm != 0) return inv.comm;
  // Read only: the client neither creates the file nor needs to be allowed to write it.
  const auto record = platform::ReadFileStart((folder / port_settings::kSettingsFile).string(), 2);
  if (!record || record->size() != 2) return 1;
  const int configured =
      static_cast<unsigned char>((*record)[0]) | (static_cast<unsigned char>((*record)[1]) << 8);
  return configured >= 1 && configured <= 4 ? configured : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const cli::Parsed parsed = cli::parseArguments({argv + 1, argv + argc});
  std::cout << parsed.out << std::flush;
  std::cerr << parsed.err;
  if (!std::cout) {
    std::cerr << "orvikctl: standard output cannot be written: " << std::strerror(errno) << ".\n";
    return cli::kUsage;
  }
  if (!parsed.invocation) return parsed.exitCode;
  const cli::Invocation& inv = *parsed.invocation;

  // The monitor's settings: those of the working directory, or the menu entry's in the per-user folder.
  const std::filesystem::path settingsFolder = port_settings::settingsFolder(std::getenv);
  const port_settings::PortMap settled =
      port_settings::settleCommDevices(inv.commDevices, std::getenv, settingsFolder);
  for (const std::string& problem : settled.problems)
    std::cerr << "orvikctl: " << problem << '\n';
  // An empty device would leave the port to the next source or the default: Comm 1, whatever is on it.
  if (inv.device.empty() && inv.command != cli::Command::History && !settled.errors.empty()) {
    for (const std::string& error : settled.errors)
      std::cerr << "orvikctl: " << error << '\n';
    return cli::kUsage;
  }
  platform::CommDevices devices = settled.devices;
  if (!inv.device.empty()) devices[0] = inv.device;
  const int comm = chosenPort(inv, settingsFolder);

  QCoreApplication app(argc, argv);
  platform::qt::ignoreBrokenPipe();
  // Data on standard output is never waited on past a termination signal, and a lost write is said.
  platform::OutputBuffer outBuffer(kStandardOutput, platform::qt::terminationRequested);
  std::ostream out(&outBuffer);
  const auto now = [] { return std::chrono::system_clock::now(); };
  const std::string recordPath =
      inv.serviceDb.empty() ? service_record::DefaultServiceDbPath(std::getenv) : inv.serviceDb;
  service_record::ServiceJournal journal(recordPath, now);
  TerminalConsole console;
  const cli::Io io{out,
                   std::cerr,
                   console,
                   now,
                   localToday,
                   &journal,
                   [] { return service_record::LocalTimeText(std::chrono::system_clock::now()); },
                   service_record::OperatingSystemUser(),
                   [&outBuffer] { return outBuffer.problem(); },
                   kStandardOutput};
  platform::qt::QtTimerEngine timers;
  platform::qt::QtCommPort port(devices);
  port.network().onServerAnswer = [](const std::string& answer) {
    std::cerr << "orvikctl: " << answer << '\n';
  };
  link::RunState state;
  link::ControllerLink link(state, port, timers);
  if (inv.command == cli::Command::History) {
    // The history is the record's alone: no port is opened for it.
    cli::Runner runner(inv, link, timers, io);
    int status = cli::kSuccess;
    runner.onDone = [&status](int code) { status = code; };
    runner.start();
    return status;
  }
  state.PortNumber = comm;
  link.resetReceiveState();
  try {
    link.openPort(comm);
  } catch (const platform::SerialError& e) {
    std::cerr << "orvikctl: " << port.deviceName(comm) << " cannot be opened.\n";
    std::cerr << (e.details().empty() ? std::string(e.what()) : e.details()) << '\n';
    return cli::kPortError;
  }

  if (cli::Writes(inv)) {
    service_record::RecordConfirmedChanges(link, journal,
                                           {"orvikctl", service_record::OperatingSystemUser(), now});
  }
  cli::Runner runner(inv, link, timers, io);
  runner.onDone = [](int code) { QCoreApplication::exit(code); };
  // Ended by Ctrl+C or the system: stop as after the last reading, so the port and its lock file go.
  platform::qt::endOnTerminationSignals([&runner] { runner.interrupt(); });
  // Started inside the event loop, so a command that ends at once (a refusal) ends the loop too.
  QTimer::singleShot(0, [&runner] { runner.start(); });
  int status = QCoreApplication::exec();
  if (outBuffer.droppedAtStop()) {
    std::cerr << "orvikctl: stopped before standard output took all of the output.\n";
    status = cli::kInterrupted;
  }
  timers.halt();
  port.close();
  journal.retry();
  std::cerr << service_record::UnwrittenAtExitText(journal);
  return status;
}
