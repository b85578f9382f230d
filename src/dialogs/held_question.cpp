#include "dialogs/held_question.h"

#include "platform/ui.h"

namespace orvik::dialogs {

platform::MsgResult askHeld(platform::Form& window, link::Exchange& exchange,
                            std::initializer_list<platform::Timer*> timers, const platform::MessageBox& box) {
  return whileHeld(window, exchange, timers, [&] { return window.ui().messageBox(box); });
}

}  // namespace orvik::dialogs
