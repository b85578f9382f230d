#pragma once

#include <initializer_list>
#include <vector>

#include "link/exchange.h"
#include "platform/form.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace orvik::dialogs {

// Runs `show` (which shows a message box over `window`) with the window's `timers` and the link's
// `exchange` held: none of the timers ticks while the box is open, so neither a step nor a time-out can
// act (or close the window) underneath it, and no request of the window's goes out, not even one that was
// waiting for a late answer. Those timers that were running run again afterwards, each from a full
// interval, if the window is still there; a request held goes out a moment after, unless the window
// has given it up by then.
template <typename Show>
auto whileHeld(const platform::Form& window, link::Exchange& exchange,
               std::initializer_list<platform::Timer*> timers, Show&& show) {
  std::vector<platform::Timer*> held;
  for (platform::Timer* t : timers) {
    if (t->enabled()) held.push_back(t);
    t->setEnabled(false);
  }
  auto answer = [&] {
    const link::Exchange::Hold hold(exchange);
    return show();
  }();
  if (window.lifecycle().loaded) {
    for (platform::Timer* t : held)
      t->setEnabled(true);
  }
  return answer;
}

// Asks `box` over `window` with its `timers` and the `exchange` held.
platform::MsgResult askHeld(platform::Form& window, link::Exchange& exchange,
                            std::initializer_list<platform::Timer*> timers, const platform::MessageBox& box);

}  // namespace orvik::dialogs
