#pragma once

#include "platform/controls.h"

namespace orvik::dialogs {

// The button row of a dialog that changes something in the controller: Help (there, but hidden and
// without an action) at `left`, Cancel (Esc) ending at `right`, the start button (Enter) midway, each
// `width` wide, at `top`. The start button begins disabled when `startEnabled` is false.
void placeButtonRow(platform::Button& help, platform::Button& start, platform::Button& cancel, int left,
                    int right, int top, int width, bool startEnabled);

}  // namespace orvik::dialogs
