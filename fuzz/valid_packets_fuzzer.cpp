// Packets that pass their checksum, of any code and any length up to 51 bytes, built from the input so
// the fuzzer works past the checksum: fed one byte a receive event, whole, or whole with bytes after
// them in the same event. Every one must be accepted as it was sent and handled as its code says.
#include <cstddef>
#include <cstdint>

#include "fuzz_link.h"

using namespace orvik;

namespace {

enum class Feed { ByteByByte, Whole, WithTrailingBytes };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::LinkBench bench;
  std::size_t at = 0;
  while (at + 3 <= size) {
    const std::uint8_t mode = data[at];
    const std::uint8_t code = data[at + 1];
    const int checksumIndex = 2 + data[at + 2] % fuzz::kLengthRange;
    at += 3;
    fuzz::Bytes packet{code, static_cast<std::uint8_t>(checksumIndex)};
    for (int i = 2; i < checksumIndex; ++i)
      packet.push_back(at < size ? data[at++] : 0);
    packet.push_back(0);
    packet.back() = fuzz::checksumOf(packet);

    // A command before the answer, as the link is used, or an answer nobody asked for.
    if (mode & 0x08) bench.link.ReadParameter(mode);
    if (mode & 0x10) bench.link.RequestStatus();
    if (mode & 0x20) bench.ui.advance(std::chrono::milliseconds((mode >> 6) * 1000));

    const auto receivedBefore = bench.window.received.size();
    const int statusBefore = bench.window.statusRecords;
    const auto floatBefore = bench.state.FloatBytes;
    switch (static_cast<Feed>(mode % 3)) {
      case Feed::ByteByByte:
        for (std::uint8_t b : packet)
          bench.port.receiveNow({b});
        break;
      case Feed::Whole:
        bench.port.receiveNow(packet);
        break;
      case Feed::WithTrailingBytes: {
        fuzz::Bytes burst = packet;
        burst.insert(burst.end(), {0x3E, 0x02, 0xFE, 0x3E});  // discarded with the rest of the burst
        bench.port.receiveNow(burst);
        break;
      }
    }

    const auto& received = bench.window.received;
    if (received.size() != receivedBefore + 1) fuzz::fail("a valid packet was not accepted exactly once");
    if (received.back() != packet) fuzz::fail("the accepted packet differs from the one sent");
    if (bench.state.RxCount != 0 || bench.state.PacketReady)
      fuzz::fail("the parser is not idle after a packet");
    if (bench.port.inBufferCount() != 0) fuzz::fail("bytes after a packet were kept");
    if (bench.window.linkStatus != link::kLinkAnswered)
      fuzz::fail("a good packet does not show as an answer");
    const bool status = code == link::kStatus;
    if (bench.window.statusRecords != statusBefore + (status ? 1 : 0)) fuzz::fail("status handling differs");
    if (code == link::kReadParameter) {
      if (checksumIndex >= 6) {
        const std::array<std::uint8_t, 4> value{packet[2], packet[3], packet[4], packet[5]};
        if (bench.state.FloatBytes != value) fuzz::fail("a parameter answer's value was not taken");
      } else if (bench.state.FloatBytes != floatBefore) {
        fuzz::fail("a parameter answer too short for a value changed the value");
      }
    }
  }
  return 0;
}
