// orvikctl: polls the charger's controller from the command line and prints what the link reports.
#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string>

#include "cli/print_listener.h"
#include "link/controller_link.h"
#include "link/run_state.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_timer_engine.h"
#include "version.h"

namespace {

constexpr const char* kUsage = R"(Usage: orvikctl [--comm N] [--count K] watch

Polls the charger's controller on serial port Comm N (1..4, default 1), the first time at once and
then every two seconds, and prints
each packet sent and received, the live status in the monitor's own words, and "No Response" when
the controller does not answer. Stops after K polls (default 1). The environment variable
ORVIK_COMM<N> names the device of Comm N, for example ORVIK_COMM1=/dev/ttyUSB0.

Exit status: 0 when the last poll was answered, 1 when it was not, 2 for a usage or port error.
)";

constexpr int kPollPeriodMs = 2000;
// Beyond the receive time-out, so a silent controller is reported before the run ends.
constexpr int kSettleMs = 200;

bool parseNumber(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || n < low || n > high) return false;
  value = static_cast<int>(n);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int comm = 1;
  int count = 1;
  bool watch = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "orvikctl " << orvik::kVersionMajor << '.' << orvik::kVersionMinor << '.'
                << orvik::kVersionRevision << '\n';
      return 0;
    }
    if (arg == "--comm" && i + 1 < argc && parseNumber(argv[i + 1], 1, 4, comm)) {
      ++i;
    } else if (arg == "--count" && i + 1 < argc && parseNumber(argv[i + 1], 1, 1'000'000, count)) {
      ++i;
    } else if (arg == "watch") {
      watch = true;
    } else {
      std::cerr << "orvikctl: unexpected argument '" << arg << "'\n" << kUsage;
      return 2;
    }
  }
  if (!watch) {
    std::cerr << kUsage;
    return 2;
  }

  QCoreApplication app(argc, argv);
  orvik::platform::qt::QtTimerEngine timers;
  orvik::platform::qt::QtSerialPort port;
  orvik::link::RunState state;
  orvik::link::ControllerLink link(state, port, timers);
  orvik::cli::PrintListener listener(std::cout, state);
  link.setListener(&listener);
  link.resetReceiveState();
  try {
    link.openPort(comm);
  } catch (const orvik::platform::SerialError& e) {
    std::cerr << "orvikctl: Comm" << comm << " (" << port.deviceName(comm) << ") is unavailable: " << e.what()
              << '\n';
    return 2;
  }

  // One poll a period, as the monitor polls; after the last one the run ends once its answer or its
  // receive time-out has had time to be reported.
  int sent = 0;
  int answersBeforeLast = 0;
  QTimer poll;
  QTimer end;
  end.setSingleShot(true);
  const auto sendPoll = [&] {
    answersBeforeLast = listener.answers();
    link.RequestStatus();
    if (++sent < count) return;
    poll.stop();
    end.start(static_cast<int>(orvik::link::kStatusAnswerTimeout.count()) + kSettleMs);
  };
  QObject::connect(&poll, &QTimer::timeout, sendPoll);
  QObject::connect(&end, &QTimer::timeout,
                   [&] { QCoreApplication::exit(listener.answers() > answersBeforeLast ? 0 : 1); });
  sendPoll();
  if (sent < count) poll.start(kPollPeriodMs);
  const int status = QCoreApplication::exec();
  timers.halt();
  return status;
}
