#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/display_format.h"
#include "link/status_view.h"

namespace orvik::link {

// The answer the receive side last accepted complete with a good checksum. Cleared whenever a command
// is sent, so a dialog can tell the answer to its own request from bytes left over from an earlier one.
struct AcceptedAnswer {
  std::uint8_t code = 0;       // 0: nothing accepted since the last command
  std::uint8_t parameter = 0;  // for a "B" answer: the parameter number of the request it answers
  std::uint8_t length = 0;     // the packet's checksum index: its content is at 2..length-1
  bool operator==(const AcceptedAnswer&) const = default;
};

// Everything the controller link and the windows share for one run of the program.
struct RunState {
  // Sending side.
  std::array<std::uint8_t, 41> TxBuffer{};
  std::array<std::uint8_t, 4> FloatBytes{};
  std::uint8_t lastCommandCode = 0;
  std::uint8_t lastCommandParameter = 0;

  // Receiving side.
  std::array<std::uint8_t, 56> RxBuffer{};
  int RxCount = 0;
  bool PacketReady = false;
  bool LinkDown = false;
  AcceptedAnswer lastAnswer;

  // Live status, from the latest status record.
  float TEvolts = 0;
  float BatVolts = 0;
  float BatTemp = 0;
  float Setpoint = 0;
  std::int16_t PWMvalue = 0;

  // What the main window shows of the controller.
  LiveView shown;

  // The configured serial port, 1..4, or 0 for none.
  int PortNumber = 0;
  // The step number of whichever dialog's step machine is running.
  int SequenceStep = 0;
};

}  // namespace orvik::link
