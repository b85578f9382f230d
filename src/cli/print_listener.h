#pragma once

#include <ostream>

#include "link/link_listener.h"
#include "link/run_state.h"

namespace orvik::cli {

// A link listener that writes what the main window would show as lines of text: each packet sent and
// received, the live values in the window's own words, the link going down, and the live commands
// becoming available or not.
class PrintListener final : public link::LinkListener {
 public:
  PrintListener(std::ostream& out, link::RunState& state) : out_(out), state_(state) {}

  void packetSent() override;
  void packetReceived(std::span<const std::uint8_t> packet) override;
  void statusReceived(const link::StatusRecord& record) override;
  void linkDown() override;
  void liveCommandsAvailable(bool available) override;

  int answers() const { return answers_; }
  int timeouts() const { return timeouts_; }

 private:
  std::ostream& out_;
  link::RunState& state_;
  int answers_ = 0;
  int timeouts_ = 0;
  bool liveCommands_ = false;
};

}  // namespace orvik::cli
