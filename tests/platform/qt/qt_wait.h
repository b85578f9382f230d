#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <chrono>
#include <functional>

namespace orvik::testing {

// Run the Qt event loop until `done()` holds or `limit` passes; returns done().
inline bool processEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  QDeadlineTimer deadline(limit.count());
  while (!done()) {
    if (deadline.hasExpired()) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace orvik::testing
