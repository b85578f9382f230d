#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "link/run_state.h"
#include "platform/controls.h"
#include "platform/menu.h"
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

inline constexpr int kTagLength = 20;
// Put at RxBuffer[1] after a time-out or an overlong packet: a length no packet reaches.
inline constexpr std::uint8_t kNoStaleLength = 52;
inline constexpr int kMaxPacketIndex = 50;  // a packet has at most 51 bytes

// The main window's indicators and timers that sending, receiving and supervision drive. They belong
// to the window; the link only writes them.
struct LinkIndicators {
  platform::Shape& ledRefresh;
  platform::Label& lblRefresh;
  platform::Label& lblTest;
  platform::Timer& tmrRecvTimeout;
  platform::Timer& tmrRefresh;
  // mnuReport, mnuTrimTemp, mnuTrimVolts, mnuTrimTE, mnuCalDate: they need a live controller.
  std::array<platform::MenuItem*, 5> gatedCommands;
};

// The controller link: the five commands, the receive parser and link supervision, over one serial
// port. It takes over the port's receive event and the ticks of the two link timers.
class ControllerLink {
 public:
  ControllerLink(RunState& state, platform::SerialPort& port, LinkIndicators indicators);
  ControllerLink(const ControllerLink&) = delete;
  ControllerLink& operator=(const ControllerLink&) = delete;

  // Where a good status record goes: the live display decodes RxBuffer from here.
  void setStatusDecoder(std::function<void()> decode) { statusDecoder_ = std::move(decode); }

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

  // Enables or disables the commands that need a live controller.
  void setGatedCommandsEnabled(bool enabled);

 private:
  void finishCommand(std::chrono::milliseconds timeout);
  void collectBytes();
  void handlePacket();
  void acceptParameterAnswer();

  RunState& state_;
  platform::SerialPort& port_;
  LinkIndicators ui_;
  std::function<void()> statusDecoder_;
};

// Runs one step of a handler; a step that fails is skipped and the handler goes on with the next.
template <typename Step>
void guardStep(Step&& step) noexcept {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace orvik::link
