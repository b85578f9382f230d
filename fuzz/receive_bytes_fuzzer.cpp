// Raw bytes from the line in receive events of any size, between commands and passing time: the
// receive parser, the status decoder and the answer handling behind them, checked against the receive
// rules written out plainly (ReferenceParser) after every operation.
#include <cstddef>
#include <cstdint>

#include "fuzz_link.h"
#include "support/reference_parser.h"

using namespace orvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LinkBench bench;
  testing::ReferenceParser oracle;
  oracle.rx[1] = bench.state.RxBuffer[1];
  std::size_t packetsSeen = 0;

  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t op = data[at++];
    const int downsBefore = bench.window.downs;
    std::vector<fuzz::Bytes> expected;
    if (op < fuzz::kOpCommandBase) {
      const std::size_t n = std::min<std::size_t>(op % fuzz::kMaxChunk + 1u, size - at);
      const fuzz::Bytes chunk(data + at, data + at + n);
      at += n;
      if (bench.port.isOpen()) expected = oracle.feed(chunk);
      bench.port.receiveNow(chunk);
    } else if (op < fuzz::kOpTimeBase) {
      const std::uint8_t arg = at < size ? data[at++] : 0;
      const int which = op % 8;
      fuzz::sendCommand(bench, which, arg);
      if (which != 5) oracle.commandSent();
    } else {
      bench.ui.advance(std::chrono::milliseconds((op % 64 + 1) * fuzz::kTimeStepMs));
    }
    if (bench.window.downs != downsBefore) oracle.timedOut();

    const auto& state = bench.state;
    if (state.PacketReady) fuzz::fail("a complete packet was left unhandled");
    if (state.RxCount < 0 || state.RxCount > link::kMaxPacketIndex) fuzz::fail("RxCount out of range");
    if (state.RxCount != oracle.count) fuzz::fail("RxCount differs from the receive rules");
    if (state.RxBuffer != oracle.rx) fuzz::fail("RxBuffer differs from the receive rules");
    const auto& received = bench.window.received;
    if (received.size() - packetsSeen != expected.size()) fuzz::fail("packets accepted differ");
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (received[packetsSeen + i] != expected[i]) fuzz::fail("an accepted packet differs");
    }
    packetsSeen = received.size();
  }
  return 0;
}
