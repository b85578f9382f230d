#include "calibration/link_check.h"

#include "link/display_format.h"

namespace orvik::calibration {

bool confirmLink(platform::Ui& ui, const link::RunState& state) {
  const bool established = state.linkStatus != link::kLinkNoResponse &&
                           state.linkStatus != link::kLinkNotYetAnswered && state.shown.batTemp.text != "-";
  if (established) return true;
  ui.setPointer(platform::Pointer::Normal);
  ui.messageBox(
      {"Unable to communicate with the Orvik controller.\rCheck cable connections and make sure the Orvik "
       "is ON.\rCommunications must be established before trimming.",
       "Communications Link", platform::MsgIcon::Information, platform::MsgButtons::Ok});
  return false;
}

}  // namespace orvik::calibration
