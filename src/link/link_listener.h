#pragma once

#include <cstdint>
#include <span>

#include "link/status_decoder.h"

namespace orvik::link {

// What the controller link tells whoever shows it. Every event has a default that ignores it, so a
// listener takes only what it shows; the link runs as well with none.
class LinkListener {
 public:
  virtual ~LinkListener() = default;
  // A command went out: the link LED lights.
  virtual void packetSent() {}
  // A packet passed its checksum; `packet` holds it from the code byte to the checksum.
  virtual void packetReceived(std::span<const std::uint8_t> /*packet*/) {}
  // That packet was a status answer.
  virtual void statusReceived(const StatusRecord& /*record*/) {}
  // The LED's hold-off after a good answer is over: it goes dark again.
  virtual void answerSettled() {}
  // No complete answer came in time.
  virtual void linkDown() {}
  // The commands that need a live controller became available (bytes arrived) or not (time-out).
  virtual void liveCommandsAvailable(bool /*available*/) {}
};

}  // namespace orvik::link
