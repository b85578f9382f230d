#pragma once

#include "platform/headless/memory_serial_port.h"
#include "sim/controller_model.h"

namespace orvik::testing {

// Wires a controller model to one port number of the in-memory serial port.
class ModelPeer final : public platform::headless::MemorySerialPort::Peer {
 public:
  ModelPeer(platform::headless::HeadlessUi& ui, platform::headless::MemorySerialPort& port,
            sim::ControllerModel& model, int commNumber = 1)
      : ui_(ui), port_(port), model_(model) {
    port_.attach(commNumber, *this);
  }

  void hostWrote(std::uint8_t byte) override {
    if (auto answer = model_.receive(byte, ui_.nowMs())) {
      port_.deliver(answer->bytes, std::chrono::duration_cast<std::chrono::microseconds>(answer->delay));
    }
  }

 private:
  platform::headless::HeadlessUi& ui_;
  platform::headless::MemorySerialPort& port_;
  sim::ControllerModel& model_;
};

}  // namespace orvik::testing
