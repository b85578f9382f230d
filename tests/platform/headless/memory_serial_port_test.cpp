#include "platform/headless/memory_serial_port.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvik::platform::headless {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

struct EchoPeer : MemorySerialPort::Peer {
  explicit EchoPeer(HeadlessUi& u) : ui(u) {}
  void hostWrote(std::uint8_t b) override { seen.push_back({ui.nowUs(), b}); }
  HeadlessUi& ui;
  std::vector<std::pair<std::int64_t, std::uint8_t>> seen;
};

TEST(MemorySerialPort, CarriesBytesBothWaysAtLineSpeed) {
  HeadlessUi ui;
  MemorySerialPort port(ui);
  EchoPeer peer(ui);
  port.attach(2, peer);
  port.setCommPort(2);
  port.open();
  for (auto b : Bytes{0x3E, 0x02, 0xFE})
    port.writeByte(b);
  EXPECT_EQ(port.outBufferCount(), 3);
  ui.advance(10ms);
  ASSERT_EQ(peer.seen.size(), 3u);
  EXPECT_EQ(peer.seen[2], (std::pair<std::int64_t, std::uint8_t>{3 * 1042, 0xFE}));
  EXPECT_EQ(port.outBufferCount(), 0);

  std::vector<int> waiting;
  port.onComm = [&] { waiting.push_back(port.inBufferCount()); };
  port.setReceiveChunk(4);
  port.deliver({1, 2, 3, 4, 5, 6}, 0us);
  ui.advance(10ms);
  EXPECT_EQ(waiting, (std::vector<int>{4, 6})) << "an event per four bytes and one at the end of the burst";
  EXPECT_EQ(port.commEvent(), kCommEventReceive);
  port.discardInput();
  EXPECT_EQ(port.inBufferCount(), 0);
}

TEST(MemorySerialPort, MissingHeldAndVanishedPortsFailAsARealPortWould) {
  HeadlessUi ui;
  MemorySerialPort port(ui);
  port.setAvailability(3, MemorySerialPort::Availability::Missing);
  port.setAvailability(4, MemorySerialPort::Availability::Held);
  port.setCommPort(3);
  EXPECT_THROW(port.open(), SerialError);
  port.setCommPort(4);
  EXPECT_THROW(port.open(), SerialError);
  EXPECT_THROW(port.setCommPort(5), SerialError);
  port.setCommPort(1);
  port.open();
  EXPECT_THROW(port.setCommPort(2), SerialError) << "the number changes only while closed";
  port.unplug();
  EXPECT_FALSE(port.isOpen());
  EXPECT_THROW(port.writeByte(0), SerialError);
  EXPECT_THROW(port.open(), SerialError);
}

TEST(MemorySerialPort, BytesInFlightWhenThePortClosesNeverArrive) {
  HeadlessUi ui;
  MemorySerialPort port(ui);
  port.setCommPort(1);
  port.open();
  int events = 0;
  port.onComm = [&] { ++events; };
  port.deliver({1, 2, 3}, 5ms);
  port.close();
  port.open();
  ui.advance(20ms);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(port.inBufferCount(), 0);
}

}  // namespace
}  // namespace orvik::platform::headless
