#include "dialogs/link_check.h"

namespace orvik::dialogs {

bool confirmLink(platform::Ui& ui, const link::ControllerLink& link) {
  if (link.works()) return true;
  ui.setPointer(platform::Pointer::Normal);
  ui.messageBox(
      {"Unable to communicate with the Orvik controller.\rCheck cable connections and make sure the Orvik "
       "is ON.\rCommunications must be established before trimming.",
       "Communications Link", platform::MsgIcon::Information, platform::MsgButtons::Ok});
  return false;
}

}  // namespace orvik::dialogs
