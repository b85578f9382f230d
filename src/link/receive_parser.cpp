// The receiving side: bytes into RxBuffer, the checksum, and the handling of a complete packet.
//
// Parser states: idle (RxCount 0) -> collecting (RxCount 1..50) -> complete-good (PacketReady, handled
// in the same event) | complete-bad (silently back to idle) | overlong (back to idle, RxBuffer[1] = 52).
#include <algorithm>

#include "link/controller_link.h"
#include "link/subs.h"

namespace orvik::link {

void ControllerLink::SerialPort_OnComm() {
  if (port_.commEvent() == platform::kCommEventDeviceLost) {
    // Nothing more can arrive: the link is down within one receive time-out, answer pending or not.
    if (!tmrRecvTimeout.enabled()) {
      tmrRecvTimeout.setInterval(static_cast<int>(kStatusAnswerTimeout.count()));
      tmrRecvTimeout.setEnabled(true);
    }
  }
  if (port_.commEvent() == platform::kCommEventReceive) {
    exchange_.lineActive();
    notify([](LinkListener& l) { l.liveCommandsAvailable(true); });
    if (state_.PacketReady) {
      guardStep([&] { port_.discardInput(); });
    } else {
      collectBytes();
    }
  }
  if (state_.PacketReady) handlePacket();
}

void ControllerLink::collectBytes() {
  auto& rx = state_.RxBuffer;
  while (true) {
    int waiting = 0;
    guardStep([&] { waiting = port_.inBufferCount(); });
    if (waiting <= 0) return;
    std::uint8_t byte = 0;
    try {
      byte = port_.readByte();
    } catch (const platform::SerialError&) {
      return;
    }
    rx[state_.RxCount] = byte;
    tmrRecvTimeout.setInterval(static_cast<int>(kInterByteTimeout.count()));
    tmrRecvTimeout.setEnabled(true);

    // The code byte can never be a checksum, even when a stale length of 0 sits at index 1.
    if (state_.RxCount >= 1 && state_.RxCount == rx[1]) {
      const bool good = PacketChecksum(rx) == rx[state_.RxCount];
      state_.PacketReady = good;
      state_.RxCount = 0;
      guardStep([&] { port_.discardInput(); });
      tmrRecvTimeout.setEnabled(false);
      return;  // the discard ended the burst
    }
    if (++state_.RxCount > kMaxPacketIndex) {
      state_.RxCount = 0;
      rx[1] = kNoStaleLength;
      state_.PacketReady = false;
      guardStep([&] { port_.discardInput(); });
    }
  }
}

void ControllerLink::handlePacket() {
  auto& rx = state_.RxBuffer;
  guardStep([&] { tmrRefresh.setEnabled(true); });
  tmrAnswerDeadline.setEnabled(false);
  state_.PacketReady = false;
  state_.LinkDown = false;
  state_.RxCount = 0;
  guardStep([&] { port_.discardInput(); });
  answeringInTime_ = true;
  const std::span<const std::uint8_t> packet(rx.data(), rx[1] + 1u);
  notify([&](LinkListener& l) { l.packetReceived(packet); });

  switch (rx[0]) {
    case kStatus:
      state_.lastAnswer = {kStatus, 0, rx[1]};
      acceptStatusAnswer();
      break;
    case kReadParameter:
      acceptParameterAnswer();
      break;
    default:
      state_.lastAnswer = {rx[0], 0, rx[1]};
      break;
  }
  guardStep([&] { exchange_.packetAccepted(packet); });
}

void ControllerLink::acceptParameterAnswer() {
  const auto& rx = state_.RxBuffer;
  // A packet too short to hold a value must not pass off older bytes as one.
  if (rx[1] < kShortestParameterAnswer) return;
  std::copy(rx.begin() + 2, rx.begin() + 6, state_.FloatBytes.begin());
  if (state_.lastCommandCode == kReadParameter)
    state_.lastAnswer = {kReadParameter, state_.lastCommandParameter, rx[1]};
}

void TakeLiveValues(RunState& state, const StatusRecord& record) {
  if (record.lastFloatIndex >= 0) {
    const auto first = state.RxBuffer.begin() + record.lastFloatIndex;
    std::copy(first, first + 4, state.FloatBytes.begin());
  }
  if (record.teVolts) state.TEvolts = *record.teVolts;
  if (record.batVolts) state.BatVolts = *record.batVolts;
  if (record.batTemp) state.BatTemp = *record.batTemp;
  if (record.setpoint) state.Setpoint = *record.setpoint;
  if (record.pwmCount) state.PWMvalue = *record.pwmCount;
}

void ControllerLink::acceptStatusAnswer() {
  const StatusRecord record = DecodeStatusRecord(state_.RxBuffer);
  TakeLiveValues(state_, record);
  if (record.hardwareRevision) unit_.hardwareRevision = *record.hardwareRevision;
  if (record.softwareRevision) unit_.softwareRevision = *record.softwareRevision;
  // Asked before anyone hears of the record, so a request asked in answer to it waits for the tag.
  readTagWhenFree();
  notify([&](LinkListener& l) { l.statusReceived(record); });
}

void ControllerLink::learnFromAnswer(const Request& request, const Answer& answer) {
  if (request.code == kReadTag && answer.packet.size() >= static_cast<std::size_t>(kTagLength) + 3) {
    unit_.tag = answer.tag();
    tagWanted_ = false;
  } else if (request.code == kWriteTag) {
    tagWanted_ = true;  // read back what the controller now holds
  }
}

void ControllerLink::readTagWhenFree() {
  constexpr int kFirstRevisionWithTag = 5;
  if (!readsTag_ || !tagWanted_ || unit_.hardwareRevision.value_or(0) < kFirstRevisionWithTag) return;
  if (exchange_.step() != Exchange::Step::Idle || exchange_.outstanding()) return;
  tagWanted_ = false;
  // Asked and let go at once: its answer comes back through onLineAnswered, and whoever asks next
  // waits for it.
  exchange_.ask(Request::readTag());
  exchange_.release();
}

}  // namespace orvik::link
