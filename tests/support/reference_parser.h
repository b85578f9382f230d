#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace orvik::testing {

// The receive rules written out once more, plainly, as an oracle for arbitrary byte streams: `feed`
// takes the bytes of one receive event and returns the packets that passed their checksum.
struct ReferenceParser {
  using Bytes = std::vector<std::uint8_t>;

  std::array<std::uint8_t, 56> rx{};
  int count = 0;
  int packets = 0;

  std::vector<Bytes> feed(const Bytes& bytes) {
    std::vector<Bytes> good;
    for (auto b : bytes) {
      rx[count] = b;
      if (count >= 1 && count == rx[1]) {
        unsigned sum = 0;
        for (int i = 1; i < count; ++i)
          sum += rx[i];
        if ((256 - sum % 256) % 256 == rx[count]) {
          ++packets;
          good.emplace_back(rx.begin(), rx.begin() + count + 1);
        }
        count = 0;
        return good;  // the rest of the event's bytes are discarded
      }
      if (++count > 50) {
        count = 0;
        rx[1] = 52;
        return good;
      }
    }
    return good;
  }
  // A command went out: the next byte starts a packet.
  void commandSent() { count = 0; }
  // The receive time-out: no stale length can end the next packet.
  void timedOut() {
    count = 0;
    rx[1] = 52;
  }
};

}  // namespace orvik::testing
