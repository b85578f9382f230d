#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "link/exchange.h"
#include "link/link_listener.h"
#include "link/run_state.h"
#include "platform/serial_port.h"
#include "platform/timer.h"

namespace orvik::link {

// Command codes, which the controller's answers repeat.
inline constexpr std::uint8_t kWriteParameter = '=';
inline constexpr std::uint8_t kStatus = '>';
inline constexpr std::uint8_t kReadParameter = 'B';
inline constexpr std::uint8_t kReadTag = 'C';
inline constexpr std::uint8_t kWriteTag = 'D';

inline constexpr std::chrono::milliseconds kWriteAnswerTimeout{2500};
inline constexpr std::chrono::milliseconds kStatusAnswerTimeout{2500};
inline constexpr std::chrono::milliseconds kReadAnswerTimeout{2000};
inline constexpr std::chrono::milliseconds kTagAnswerTimeout{2000};
// From the first answer byte on, the limit between bytes.
inline constexpr std::chrono::milliseconds kInterByteTimeout{200};
// How long the link LED stays lit after a good answer.
inline constexpr std::chrono::milliseconds kLedHoldOff{100};

inline constexpr int kTagLength = 20;
// A "B" answer carries its value at indices 2..5, so its checksum sits at index 6 or later.
inline constexpr std::uint8_t kShortestParameterAnswer = 6;
// Put at RxBuffer[1] after a time-out or an overlong packet: a length no packet reaches.
inline constexpr std::uint8_t kNoStaleLength = 52;
inline constexpr int kMaxPacketIndex = 50;  // a packet has at most 51 bytes

// Runs one step of a handler; a step that fails is skipped and the handler goes on with the next.
template <typename Step>
void guardStep(Step&& step) noexcept {
  try {
    step();
  } catch (const std::exception&) {
  }
}

// Keeps the live values of a status record in `state`: each value the record holds replaces the one
// before, and FloatBytes keeps the last controller float decoded, as every float passes through it.
void TakeLiveValues(RunState& state, const StatusRecord& record);

// The controller link: the five commands, the receive parser and link supervision over one serial port,
// with the receive time-out and the LED hold-off on the timer engine. It takes over the port's receive
// event and tells one listener what happened.
class ControllerLink {
 public:
  ControllerLink(RunState& state, platform::SerialPort& port, platform::TimerEngine& timers);
  ControllerLink(const ControllerLink&) = delete;
  ControllerLink& operator=(const ControllerLink&) = delete;

  void setListener(LinkListener* listener) { listener_ = listener; }
  platform::SerialPort& port() { return port_; }
  RunState& state() { return state_; }
  // The requests that expect their own answer go through here.
  Exchange& exchange() { return exchange_; }

  // Opens "Comm n" (RunState::PortNumber is the caller's to set): no handshaking, that port number,
  // open, empty receive buffer. The link has not heard from the controller on it yet. Throws
  // platform::SerialError when the port is missing, held by another program or cannot be set up.
  void openPort(int number);
  // The configured port's device went away: one quiet attempt to open it again, so a device that is back
  // under the same name is used from now on.
  void reopenLostPort();
  // Why the last attempt to open the lost port again failed (the system's reason); empty once it is open
  // again, or while an attempt is still on its way.
  const std::string& reopenProblem() const { return reopenProblem_; }
  // The link works: an answer has been accepted since the port was opened, and none has missed its
  // deadline since the last one accepted.
  bool works() const { return answeringInTime_; }

  // The unit on the line, for the service record. With `readsTag` on, the link reads the tag once when it
  // first hears from a controller that has one (hardware revision 5 or later) after the port opened, and
  // again after a tag write; the tag of any tag answer is kept too.
  const UnitIdentity& unit() const { return unit_; }
  void setReadsTag(bool readsTag) { readsTag_ = readsTag; }

  // The commands. Each fills TxBuffer, sends it and arms the receive time-out.
  void WriteParameter(int number);  // value from FloatBytes; number outside 0..255 throws ConversionError
  void RequestStatus();
  void ReadParameter(std::uint8_t number);
  void ReadTagName();
  // Pads `tag` in place with blanks to 20 characters and sends the first 20.
  void WriteTagName(std::string& tag);
  void SendPacket();

  // Receive event of the serial port: collect bytes, check, handle a complete packet.
  void SerialPort_OnComm();
  // Link supervision.
  void tmrRecvTimeout_Timer();
  void tmrRefresh_Timer();
  void tmrAnswerDeadline_Timer();

  // Back to the state of a link that has not heard from the controller: LinkDown, nothing waiting, and no
  // stale length that could end the first packet.
  void resetReceiveState();
  // The port is about to close or change: no time-out is to report on it.
  void stopReceiveTimeout() {
    tmrRecvTimeout.setEnabled(false);
    tmrAnswerDeadline.setEnabled(false);
  }

  platform::Timer tmrRecvTimeout;
  platform::Timer tmrRefresh;
  // The limit for a good answer, armed with the command's time-out and stopped only by a packet that
  // passes its checksum. A bad packet stops tmrRecvTimeout; this one still reports a link on which
  // nothing passes as down, at the moment a silent controller's would be.
  platform::Timer tmrAnswerDeadline;

 private:
  void preparePort(int number);
  void portOpened();
  void finishCommand(std::chrono::milliseconds timeout);
  void collectBytes();
  void handlePacket();
  void acceptParameterAnswer();
  void acceptStatusAnswer();
  void learnFromAnswer(const Request& request, const Answer& answer);
  void readTagWhenFree();
  void forgetHealth() { answeringInTime_ = false; }
  void reportLinkDown();
  void notify(auto event) {
    if (listener_ != nullptr) guardStep([&] { event(*listener_); });
  }

  RunState& state_;
  platform::SerialPort& port_;
  LinkListener* listener_ = nullptr;
  bool answeringInTime_ = false;
  UnitIdentity unit_;
  bool readsTag_ = false;
  bool tagWanted_ = true;  // the tag is to be read when the line is free
  std::string reopenProblem_;
  // Declared last: it sends through the link, so it is built after everything it uses.
  Exchange exchange_;
};

}  // namespace orvik::link
