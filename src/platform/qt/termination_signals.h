#pragma once

#include <functional>

namespace orvik::platform::qt {

// From now on SIGTERM, SIGINT and SIGHUP no longer kill the process outright: each runs `end` on the
// event loop (through a pipe written by the signal handler), so the program can end as its own Exit
// does and release the serial port and its lock file. Call once, with a QCoreApplication in place.
void endOnTerminationSignals(std::function<void()> end);

// Whether one of those signals has arrived, even while the event loop is held up (a write waiting on a
// pipe nobody reads asks this to know when to give up).
bool terminationRequested();

// A pipe or socket whose reader has gone no longer ends the program (SIGPIPE): the write fails with
// EPIPE instead, and the program says so and goes on.
void ignoreBrokenPipe();

}  // namespace orvik::platform::qt
