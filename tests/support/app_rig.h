#pragma once

#include <vector>

#include "app/frm_main.h"
#include "link/controller_link.h"
#include "link/run_state.h"
#include "platform/headless/memory_serial_port.h"
#include "sim/controller_model.h"
#include "support/memory_files.h"
#include "support/model_peer.h"

namespace orvik::testing {

// The whole application on the headless window system: main window, in-memory port with a
// controller model on Comm 1, settings file in memory.
struct AppRig {
  explicit AppRig(platform::headless::HeadlessUi& u) : ui(u), port(u) {}

  void configure(std::vector<std::uint8_t> settings) { files.files["options.cfg"] = std::move(settings); }
  std::vector<std::uint8_t> settings() const {
    auto it = files.files.find("options.cfg");
    return it == files.files.end() ? std::vector<std::uint8_t>{} : it->second;
  }
  void start() { ui.show(main); }
  // The status requests the controller has seen.
  std::size_t statusRequests() const {
    std::size_t n = 0;
    for (const auto& r : model.requests())
      n += r[0] == '>' ? 1 : 0;
    return n;
  }

  platform::headless::HeadlessUi& ui;
  MemoryFiles files;
  link::RunState state;
  platform::headless::MemorySerialPort port;
  sim::ControllerModel model;
  ModelPeer peer{ui, port, model, 1};
  link::ControllerLink link{state, port, ui.timers()};
  app::frmMain main{ui, state, link, files};
};

}  // namespace orvik::testing
