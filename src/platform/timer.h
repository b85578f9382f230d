#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace orvik::platform {

class Form;
class Timer;

// What a backend provides to make timers tick: a one-shot countdown per timer.
class TimerEngine {
 public:
  virtual ~TimerEngine() = default;
  // Start (or restart) the countdown of `timer`; when it runs out the engine calls timer.fire().
  virtual void arm(Timer& timer, std::chrono::milliseconds interval) = 0;
  // Cancel any countdown of `timer`.
  virtual void disarm(Timer& timer) = 0;
  // `timer` is going away: cancel it and let go of whatever the engine keeps for it.
  virtual void forget(Timer& timer) { disarm(timer); }
};

// A periodic timer with the same semantics on every backend:
// - it ticks every interval while enabled;
// - enabling a stopped timer starts a full interval from that moment;
// - assigning an interval to a running timer restarts its countdown with the new interval;
// - enabling a running timer changes nothing.
class Timer {
 public:
  Timer(Form& owner, std::string name, int intervalMs);
  // A timer of no window, for code that runs without one (the controller link).
  Timer(TimerEngine& engine, std::string name, int intervalMs);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  const std::string& name() const { return name_; }
  int interval() const { return interval_; }
  void setInterval(int ms);
  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);

  std::function<void()> onTick;

  // Called by the engine when the countdown runs out.
  void fire();

 private:
  void start();

  TimerEngine& engine_;
  std::string name_;
  int interval_;
  bool enabled_ = false;
  Form* owner_ = nullptr;  // its timers stop when the window unloads
};

}  // namespace orvik::platform
