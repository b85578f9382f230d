// The five commands and the byte-wise send.
#include <algorithm>

#include "link/controller_link.h"
#include "link/subs.h"
#include "link/tag_text.h"

namespace orvik::link {

ControllerLink::ControllerLink(RunState& state, platform::SerialPort& port, platform::TimerEngine& timers)
    : tmrRecvTimeout(timers, "tmrRecvTimeout", 100),
      tmrRefresh(timers, "tmrRefresh", static_cast<int>(kLedHoldOff.count())),
      tmrAnswerDeadline(timers, "tmrAnswerDeadline", static_cast<int>(kStatusAnswerTimeout.count())),
      state_(state),
      port_(port),
      exchange_(*this, timers) {
  port_.onComm = [this] { SerialPort_OnComm(); };
  tmrRecvTimeout.onTick = [this] { tmrRecvTimeout_Timer(); };
  tmrRefresh.onTick = [this] { tmrRefresh_Timer(); };
  tmrAnswerDeadline.onTick = [this] { tmrAnswerDeadline_Timer(); };
  exchange_.onLineAnswered = [this](const Request& request, const Answer& answer) {
    learnFromAnswer(request, answer);
  };
}

void ControllerLink::preparePort(int number) {
  forgetHealth();
  port_.setHandshakingNone();
  port_.setCommPort(number);
}

void ControllerLink::portOpened() {
  reopenProblem_.clear();
  port_.discardInput();
  exchange_.portOpened();
  // Another port may have another unit on it.
  unit_ = {};
  tagWanted_ = true;
}

void ControllerLink::openPort(int number) {
  preparePort(number);
  port_.open();
  portOpened();
}

void ControllerLink::reopenLostPort() {
  // A missing device fails at once, and a network port that needs time opens in the background, so one
  // try costs nothing noticeable.
  if (port_.isOpen() || state_.PortNumber < 1 || state_.PortNumber > 4) return;
  try {
    preparePort(state_.PortNumber);
    if (port_.reopen()) portOpened();
  } catch (const platform::SerialError& e) {
    reopenProblem_ = e.what();
  }
}

void ControllerLink::WriteParameter(int number) {
  if (number < 0 || number > 255) throw ConversionError("parameter number out of range");
  auto& tx = state_.TxBuffer;
  tx[0] = kWriteParameter;
  tx[1] = 7;
  tx[2] = static_cast<std::uint8_t>(number);
  std::copy(state_.FloatBytes.begin(), state_.FloatBytes.end(), tx.begin() + 3);
  tx[7] = PacketChecksum(tx);
  finishCommand(kWriteAnswerTimeout);
}

void ControllerLink::RequestStatus() {
  auto& tx = state_.TxBuffer;
  tx[0] = kStatus;
  tx[1] = 2;
  tx[2] = PacketChecksum(tx);
  finishCommand(kStatusAnswerTimeout);
}

void ControllerLink::ReadParameter(std::uint8_t number) {
  auto& tx = state_.TxBuffer;
  tx[0] = kReadParameter;
  tx[1] = 3;
  tx[2] = number;
  tx[3] = PacketChecksum(tx);
  finishCommand(kReadAnswerTimeout);
}

void ControllerLink::ReadTagName() {
  auto& tx = state_.TxBuffer;
  tx[0] = kReadTag;
  tx[1] = 2;
  tx[2] = PacketChecksum(tx);
  finishCommand(kTagAnswerTimeout);
}

void ControllerLink::WriteTagName(std::string& tag) {
  std::string wire = TagBytesFromText(tag);  // throws before anything changes
  if (wire.size() < static_cast<std::size_t>(kTagLength)) {
    wire.append(kTagLength - wire.size(), ' ');
    tag = TagTextFromBytes(wire);
  }
  auto& tx = state_.TxBuffer;
  tx[0] = kWriteTag;
  tx[1] = 22;
  for (int k = 0; k < kTagLength; ++k)
    tx[k + 2] = static_cast<std::uint8_t>(wire[k]);
  tx[22] = PacketChecksum(tx);
  finishCommand(kTagAnswerTimeout);
}

void ControllerLink::finishCommand(std::chrono::milliseconds timeout) {
  state_.lastCommandCode = state_.TxBuffer[0];
  state_.lastCommandParameter = state_.TxBuffer[0] == kReadParameter ? state_.TxBuffer[2] : 0;
  SendPacket();
  // A running time-out keeps its deadline: were every command to restart it, a poll every 2000 ms
  // would postpone a 2500 ms limit for ever and a dead controller would look alive.
  for (platform::Timer* limit : {&tmrRecvTimeout, &tmrAnswerDeadline}) {
    if (!limit->enabled()) {
      limit->setInterval(static_cast<int>(timeout.count()));
      limit->setEnabled(true);
    }
  }
}

void ControllerLink::SendPacket() {
  state_.PacketReady = false;
  state_.LinkDown = false;
  state_.RxCount = 0;
  state_.lastAnswer = {};
  notify([](LinkListener& l) { l.packetSent(); });
  guardStep([&] { port_.discardInput(); });
  const int length = state_.TxBuffer[1];
  try {
    for (int i = 0; i <= length; ++i)
      port_.writeByte(state_.TxBuffer[i]);
  } catch (const platform::SerialError&) {
    // A closed or vanished port: the bytes are dropped and the receive time-out reports the link down.
  }
}

}  // namespace orvik::link
