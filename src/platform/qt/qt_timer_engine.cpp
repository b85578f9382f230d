#include "platform/qt/qt_timer_engine.h"

namespace orvik::platform::qt {

void QtTimerEngine::arm(Timer& timer, std::chrono::milliseconds interval) {
  if (halted_) return;
  auto& q = timers_[&timer];
  if (!q) {
    q = std::make_unique<QTimer>();
    q->setSingleShot(true);
    q->setTimerType(Qt::PreciseTimer);
    Timer* t = &timer;
    QObject::connect(q.get(), &QTimer::timeout, [this, t] {
      if (!halted_) t->fire();
    });
  }
  q->start(static_cast<int>(interval.count()));
}

void QtTimerEngine::disarm(Timer& timer) {
  auto it = timers_.find(&timer);
  if (it != timers_.end()) it->second->stop();
}

void QtTimerEngine::forget(Timer& timer) {
  auto it = timers_.find(&timer);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second.release()->deleteLater();  // the timer may be going away inside its own tick
  timers_.erase(it);
}

}  // namespace orvik::platform::qt
