#include "platform/timer.h"

#include <algorithm>

#include "platform/form.h"
#include "platform/ui.h"

namespace orvik::platform {

Timer::Timer(Form& owner, std::string name, int intervalMs)
    : engine_(owner.ui().timers()), name_(std::move(name)), interval_(intervalMs), owner_(&owner) {
  owner_->timers_.push_back(this);
}

Timer::Timer(TimerEngine& engine, std::string name, int intervalMs)
    : engine_(engine), name_(std::move(name)), interval_(intervalMs) {}

Timer::~Timer() {
  engine_.forget(*this);
  if (owner_ != nullptr) std::erase(owner_->timers_, this);
}

void Timer::setInterval(int ms) {
  interval_ = ms;
  if (enabled_) start();
}

void Timer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_) {
    start();
  } else {
    engine_.disarm(*this);
  }
}

void Timer::start() {
  // An interval of 0 never ticks, as with the timers of the classic window systems.
  if (interval_ > 0) {
    engine_.arm(*this, std::chrono::milliseconds(interval_));
  } else {
    engine_.disarm(*this);
  }
}

void Timer::fire() {
  if (!enabled_) return;
  start();  // periodic: the next countdown runs from now, and the handler may still change it
  if (onTick) onTick();
}

}  // namespace orvik::platform
