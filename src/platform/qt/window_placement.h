#pragma once

class QWidget;

namespace orvik::platform::qt {

// Puts `window`, about to be shown for the first time, beside `opener` rather than over it: right of it
// where the screen has room, else left of it, else narrowed (not below its minimum width) into the
// wider side, and failing that against that side's screen edge, over as little of the opener as it can.
// Its top is the opener's, moved up as far as it must to end on the screen.
void placeBeside(QWidget& window, const QWidget* opener);

// Shows a window of its own opened from the active window, and brings it forward with the keyboard. The
// first time (`opening`) it goes beside that window, and when it is closed, hands the keyboard back to
// it, as a window manager would (and none may run, as on a kiosk's bare X server).
void showFromActiveWindow(QWidget& window, bool opening);

}  // namespace orvik::platform::qt
