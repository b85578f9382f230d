#pragma once

#include "link/controller_link.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/memory_serial_port.h"
#include "sim/controller_model.h"

namespace orvik::testing {

// A controller link on an open in-memory port that has accepted one status answer, so the link works;
// requests go nowhere after that. For windows shown on another backend (the widget tests).
struct WorkingLink {
  WorkingLink(link::RunState& state, platform::TimerEngine& timers) : link(state, port, timers) {
    port.setCommPort(1);
    link.openPort(1);
    link.RequestStatus();
    port.receiveNow(sim::ControllerModel{}.statusAnswer(0));
    link.stopReceiveTimeout();
  }

  platform::headless::HeadlessUi portClock;  // the in-memory port's clock; nothing runs on it
  platform::headless::MemorySerialPort port{portClock};
  link::ControllerLink link;
};

}  // namespace orvik::testing
