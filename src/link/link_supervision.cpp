// Link supervision: the receive time-out and the link LED's hold-off after a good answer.
#include "link/controller_link.h"
#include "platform/colour.h"

namespace orvik::link {

void ControllerLink::tmrRecvTimeout_Timer() {
  guardStep([&] { ui_.ledRefresh.setFillColor(platform::kDarkRed); });
  guardStep([&] { ui_.lblRefresh.setText("No Response"); });
  guardStep([&] { ui_.lblTest.setText("Timeout"); });
  ui_.tmrRecvTimeout.setEnabled(false);
  guardStep([&] { port_.discardInput(); });
  state_.RxBuffer[1] = kNoStaleLength;
  state_.PacketReady = false;
  state_.RxCount = 0;
  state_.LinkDown = true;
  setGatedCommandsEnabled(false);
}

void ControllerLink::tmrRefresh_Timer() {
  ui_.tmrRefresh.setEnabled(false);
  ui_.ledRefresh.setFillColor(platform::kDarkRed);
}

}  // namespace orvik::link
