#pragma once

#include <functional>

namespace orvik::platform::qt {

// From now on SIGTERM, SIGINT and SIGHUP no longer kill the process outright: each runs `end` on the
// event loop (through a pipe written by the signal handler), so the program can end as its own Exit
// does and release the serial port and its lock file. Call once, with a QCoreApplication in place.
void endOnTerminationSignals(std::function<void()> end);

}  // namespace orvik::platform::qt
