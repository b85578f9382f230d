#pragma once

// What the fuzz targets share: the controller link on the headless in-memory port, a listener that does
// with each event what the main window does, and the byte layouts of the fuzz inputs, which the seed
// generator writes from the controller model's real answers.
//
// Receive-bytes input: a sequence of operations, each starting with one byte `op`:
//   op 0x00..0x7F  the next (op % 64) + 1 input bytes arrive in one receive event
//   op 0x80..0xBF  a command goes out: op % 8 picks it (see sendCommand), with the next byte as argument
//   op 0xC0..0xFF  ((op % 64) + 1) * 50 ms pass on the virtual clock (time-outs fire)
// Valid-packets input: a sequence of packets, each [mode][code][length][payload...]; the checksum
// index is 2 + length % 49 (so 2..50), the payload is taken from the input and the checksum computed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "link/controller_link.h"
#include "link/display_format.h"
#include "link/run_state.h"
#include "link/status_view.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/memory_serial_port.h"

namespace orvik::fuzz {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kOpTimeBase = 0xC0;
inline constexpr std::uint8_t kOpCommandBase = 0x80;
inline constexpr int kMaxChunk = 64;
inline constexpr int kTimeStepMs = 50;
inline constexpr int kLengthRange = 49;  // checksum index 2..50

// Stops the run with a message: libFuzzer records the input as a crash.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// The main window's part: texts, colours and the live display from what the link tells.
struct WindowListener final : link::LinkListener {
  explicit WindowListener(link::RunState& s) : state(s) {}

  void packetSent() override { ledLit = true; }
  void packetReceived(std::span<const std::uint8_t> packet) override {
    received.emplace_back(packet.begin(), packet.end());
    linkStatus = link::kLinkAnswered;
    rawLine = link::PacketLine(packet);
    // Every byte shows as a blank, one to three digits and a comma.
    const auto commas = static_cast<std::size_t>(std::count(rawLine.begin(), rawLine.end(), ','));
    if (commas != packet.size() || rawLine.size() < 3 * packet.size() || rawLine.size() > 5 * packet.size())
      fail("the raw line does not show the packet byte for byte");
  }
  void statusReceived(const link::StatusRecord& record) override {
    ++statusRecords;
    state.shown = link::StatusView(record, state.shown);
    (void)link::ShownRevision(state.shown);
  }
  void answerSettled() override { ledLit = false; }
  void linkDown() override {
    ++downs;
    ledLit = false;
    linkStatus = link::kLinkNoResponse;
    rawLine = link::kLinkTimedOut;
  }
  void liveCommandsAvailable(bool available) override { gated = available; }

  link::RunState& state;
  std::vector<Bytes> received;
  int statusRecords = 0;
  int downs = 0;
  bool ledLit = false;
  bool gated = false;
  std::string linkStatus = link::kLinkNotYetAnswered;
  std::string rawLine;
};

// One run of the link on Comm 1 of the in-memory port, as the main window leaves it after loading.
struct LinkBench {
  LinkBench() : port(ui), link(state, port, ui.timers()), window(state) {
    link.setListener(&window);
    link.resetReceiveState();
    port.setCommPort(1);
    port.open();
  }

  platform::headless::HeadlessUi ui;
  platform::headless::MemorySerialPort port;
  link::RunState state;
  link::ControllerLink link;
  WindowListener window;
};

// The commands a receive-bytes input can send, with `arg` as parameter number or tag length. Op 5 is
// the adapter pulled and plugged back, and the port opened again.
inline void sendCommand(LinkBench& bench, int which, std::uint8_t arg) {
  link::ControllerLink& link = bench.link;
  switch (which % 8) {
    case 1:
      link.ReadParameter(arg);
      break;
    case 2:
      link.ReadTagName();
      break;
    case 3:
      link.state().FloatBytes = {arg, 0x20, 0, 0};
      link.WriteParameter(arg);
      break;
    case 4: {
      std::string tag(arg % 24, 'T');
      link.WriteTagName(tag);
      break;
    }
    case 5:
      bench.port.unplug();
      bench.port.setAvailability(1, platform::headless::MemorySerialPort::Availability::Usable);
      bench.port.open();
      break;
    default:
      link.RequestStatus();
      break;
  }
}

inline std::uint8_t checksumOf(const Bytes& packet) {
  unsigned sum = 0;
  for (std::size_t i = 1; i + 1 < packet.size(); ++i)
    sum += packet[i];
  return static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

// --- writing inputs (the seed generator)

// Bytes arriving in receive events of at most `chunk` bytes each.
inline void appendArrival(Bytes& input, const Bytes& bytes, int chunk) {
  chunk = chunk < 1 ? 1 : (chunk > kMaxChunk ? kMaxChunk : chunk);
  for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(chunk)) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(chunk), bytes.size() - at);
    input.push_back(static_cast<std::uint8_t>(n - 1));
    input.insert(input.end(), bytes.begin() + static_cast<long>(at),
                 bytes.begin() + static_cast<long>(at + n));
  }
}
inline void appendCommand(Bytes& input, int which, std::uint8_t arg) {
  input.push_back(static_cast<std::uint8_t>(kOpCommandBase + which));
  input.push_back(arg);
}
inline void appendPause(Bytes& input, int ms) {
  const int steps = std::max(1, std::min(64, ms / kTimeStepMs));
  input.push_back(static_cast<std::uint8_t>(kOpTimeBase + steps - 1));
}
// One complete packet (code, checksum index, payload, checksum) as a valid-packets record.
inline void appendPacketRecord(Bytes& input, std::uint8_t mode, const Bytes& packet) {
  input.push_back(mode);
  input.push_back(packet[0]);
  input.push_back(static_cast<std::uint8_t>(packet[1] - 2));
  input.insert(input.end(), packet.begin() + 2, packet.end() - 1);
}

}  // namespace orvik::fuzz
