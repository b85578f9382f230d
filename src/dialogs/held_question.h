#pragma once

#include <initializer_list>
#include <vector>

#include "platform/form.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace orvik::dialogs {

// Runs `show` (which shows a message box over `window`) with the window's `timers` held: none of them
// ticks while the box is open, so neither a step nor a time-out can act (or close the window) underneath
// it. Those that were running run again afterwards, each from a full interval, if the window is still
// there.
template <typename Show>
auto whileHeld(const platform::Form& window, std::initializer_list<platform::Timer*> timers, Show&& show) {
  std::vector<platform::Timer*> held;
  for (platform::Timer* t : timers) {
    if (t->enabled()) held.push_back(t);
    t->setEnabled(false);
  }
  auto answer = show();
  if (window.lifecycle().loaded) {
    for (platform::Timer* t : held)
      t->setEnabled(true);
  }
  return answer;
}

// Asks `box` over `window` with its `timers` held.
platform::MsgResult askHeld(platform::Form& window, std::initializer_list<platform::Timer*> timers,
                            const platform::MessageBox& box);

}  // namespace orvik::dialogs
