#include "dialogs/button_row.h"

namespace orvik::dialogs {

namespace {
constexpr int kButtonHeight = 375;
}

void placeButtonRow(platform::Button& help, platform::Button& start, platform::Button& cancel, int left,
                    int right, int top, int width, bool startEnabled) {
  const int cancelLeft = right - width;
  help.place(left, top, width, kButtonHeight);
  help.setEnabled(false);
  help.setVisible(false);
  start.place((left + cancelLeft) / 2, top, width, kButtonHeight);
  start.setEnabled(startEnabled);
  start.setDefault(true);
  cancel.place(cancelLeft, top, width, kButtonHeight);
  cancel.setCancel(true);
}

}  // namespace orvik::dialogs
