// Link supervision: the receive time-out and the link LED's hold-off after a good answer.
#include "link/controller_link.h"

namespace orvik::link {

void ControllerLink::tmrRecvTimeout_Timer() {
  reportLinkDown();
}

void ControllerLink::tmrAnswerDeadline_Timer() {
  reportLinkDown();
}

void ControllerLink::reportLinkDown() {
  answeringInTime_ = false;
  notify([](LinkListener& l) { l.linkDown(); });
  tmrRecvTimeout.setEnabled(false);
  tmrAnswerDeadline.setEnabled(false);
  guardStep([&] { port_.discardInput(); });
  state_.RxBuffer[1] = kNoStaleLength;
  state_.PacketReady = false;
  state_.RxCount = 0;
  state_.LinkDown = true;
  notify([](LinkListener& l) { l.liveCommandsAvailable(false); });
}

void ControllerLink::tmrRefresh_Timer() {
  tmrRefresh.setEnabled(false);
  notify([](LinkListener& l) { l.answerSettled(); });
}

void ControllerLink::resetReceiveState() {
  forgetHealth();
  state_.LinkDown = true;
  state_.PacketReady = false;
  state_.RxBuffer[1] = 255;  // no stale length can end the first packet
}

}  // namespace orvik::link
