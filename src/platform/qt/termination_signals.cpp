#include "platform/qt/termination_signals.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#endif

namespace orvik::platform::qt {

#ifndef _WIN32
namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t terminating = 0;

// Only async-signal-safe work here: a flag, and one byte into the pipe.
void onTerminationSignal(int signal) {
  terminating = 1;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void endOnTerminationSignals(std::function<void()> end) {
  if (signalPipe[0] >= 0 || ::pipe(signalPipe) != 0) return;
  for (int fd : signalPipe) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
  }
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [end = std::move(end)] {
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    end();
  });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    ::sigaction(signal, &action, nullptr);
}

bool terminationRequested() {
  return terminating != 0;
}

void ignoreBrokenPipe() {
  std::signal(SIGPIPE, SIG_IGN);
}
#else
void endOnTerminationSignals(std::function<void()>) {}
bool terminationRequested() {
  return false;
}
void ignoreBrokenPipe() {}
#endif

}  // namespace orvik::platform::qt
