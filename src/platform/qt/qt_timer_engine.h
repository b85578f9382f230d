#pragma once

#include <QTimer>
#include <map>
#include <memory>

#include "platform/timer.h"

namespace orvik::platform::qt {

// Timer countdowns on QTimer. Nothing fires once `halted()` (the program has ended).
class QtTimerEngine final : public TimerEngine {
 public:
  void arm(Timer& timer, std::chrono::milliseconds interval) override;
  void disarm(Timer& timer) override;
  void forget(Timer& timer) override;
  void halt() { halted_ = true; }
  bool halted() const { return halted_; }

 private:
  std::map<Timer*, std::unique_ptr<QTimer>> timers_;
  bool halted_ = false;
};

}  // namespace orvik::platform::qt
