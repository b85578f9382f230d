#include <gtest/gtest.h>

#include <vector>

#include "support/headless_fixture.h"
#include "support/link_rig.h"

namespace orvik::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using orvik::testing::HeadlessTest;
using orvik::testing::LinkRig;

Bytes withChecksum(Bytes p) {
  unsigned sum = 0;
  for (std::size_t i = 1; i < p.size(); ++i)
    sum += p[i];
  p.push_back(static_cast<std::uint8_t>((256 - sum % 256) % 256));
  return p;
}

Bytes statusAnswer() {
  Bytes p{'>', 31};
  for (int i = 2; i < 31; ++i)
    p.push_back(static_cast<std::uint8_t>(i * 7));
  return withChecksum(p);
}

class ReceiveParser : public HeadlessTest {
 protected:
  ReceiveParser() {
    rig.onStatus = [this] { ++decoded; };
    rig.disableGated();
  }
  void receive(const Bytes& bytes) { rig.port.receiveNow(bytes); }

  LinkRig rig{ui};
  RunState& state = rig.state;
  int decoded = 0;
};

TEST_F(ReceiveParser, AssemblesAStatusAnswerSplitAtAnyBoundaryAndHandlesItOnce) {
  const Bytes answer = statusAnswer();
  for (std::size_t first = 1; first < answer.size(); ++first) {
    for (std::size_t second = first; second < answer.size(); ++second) {
      decoded = 0;
      rig.link.RequestStatus();
      receive(Bytes(answer.begin(), answer.begin() + first));
      receive(Bytes(answer.begin() + first, answer.begin() + second));
      ASSERT_EQ(decoded, 0) << "split at " << first << "," << second;
      ASSERT_TRUE(rig.tmrRecvTimeout.enabled());
      receive(Bytes(answer.begin() + second, answer.end()));
      ASSERT_EQ(decoded, 1) << "split at " << first << "," << second;
      ASSERT_EQ(Bytes(state.RxBuffer.begin(), state.RxBuffer.begin() + answer.size()), answer);
      ASSERT_FALSE(rig.tmrRecvTimeout.enabled());
      ASSERT_EQ(state.RxCount, 0);
    }
  }
  EXPECT_EQ(rig.lblRefresh.text(), "Update");
  EXPECT_TRUE(rig.tmrRefresh.enabled());
  EXPECT_EQ(state.lastAnswer, (AcceptedAnswer{'>', 0, 31}));
}

TEST_F(ReceiveParser, ShowsTheWholePacketAsDecimalNumbers) {
  receive({0x3D, 0x02, 0xFE});
  EXPECT_EQ(rig.lblTest.text(), " 61, 2, 254,");
  EXPECT_EQ(state.RxBuffer[0], '=');
  EXPECT_EQ(decoded, 0);
  EXPECT_EQ(state.lastAnswer, (AcceptedAnswer{'=', 0, 2}));
}

TEST_F(ReceiveParser, ABadChecksumIsDroppedSilentlyAndTheNextPacketStartsAtIndexZero) {
  rig.link.RequestStatus();
  Bytes bad = statusAnswer();
  bad.back() ^= 0xFF;
  receive(bad);
  EXPECT_FALSE(state.PacketReady);
  EXPECT_FALSE(rig.tmrRecvTimeout.enabled()) << "no \"No Response\" follows a bad packet";
  EXPECT_EQ(rig.lblTest.text(), "Comm Status");
  EXPECT_EQ(rig.lblRefresh.text(), "Communication Status");
  EXPECT_EQ(rig.ledRefresh.fillColor(), platform::kRed);
  EXPECT_EQ(decoded, 0);
  EXPECT_EQ(state.lastAnswer, AcceptedAnswer{});
  EXPECT_TRUE(rig.gatedEnabled()) << "any received byte enables the controller commands";

  receive({0x44, 0x02, 0xFE});
  EXPECT_EQ(rig.lblTest.text(), " 68, 2, 254,");
}

TEST_F(ReceiveParser, NoStaleLengthEndsAPacketEarly) {
  // After start-up index 1 holds 255: a first byte cannot end anything.
  receive({0x02});
  EXPECT_EQ(state.RxCount, 1);
  EXPECT_FALSE(rig.tmrRefresh.enabled());

  // A stale length of 0 at index 1 must not turn the next code byte into a one-byte packet.
  state.RxCount = 0;
  state.RxBuffer[1] = 0;
  receive({0x3D, 0x02, 0xFE});
  EXPECT_EQ(rig.lblTest.text(), " 61, 2, 254,");
}

TEST_F(ReceiveParser, FiftyOneBytesWithoutAnEndAreThrownAway) {
  Bytes junk(51, 0x55);
  junk[1] = 200;
  rig.link.RequestStatus();
  receive(junk);
  EXPECT_EQ(state.RxCount, 0);
  EXPECT_EQ(state.RxBuffer[1], 52);
  EXPECT_FALSE(state.PacketReady);
  EXPECT_TRUE(rig.tmrRecvTimeout.enabled()) << "an overlong packet does not stop the time-out";
  receive({0x3D, 0x02, 0xFE});
  EXPECT_EQ(rig.lblTest.text(), " 61, 2, 254,");
}

TEST_F(ReceiveParser, BytesAfterAGoodPacketInTheSameBurstAreDiscarded) {
  receive({0x44, 0x02, 0xFE, 0x3D, 0x02, 0xFE});
  EXPECT_EQ(rig.lblTest.text(), " 68, 2, 254,");
  EXPECT_EQ(rig.port.inBufferCount(), 0);
  EXPECT_EQ(state.RxCount, 0);
}

TEST_F(ReceiveParser, AParameterAnswerHandsItsValueOverAndIsRecordedForItsRequest) {
  rig.link.ReadParameter(18);
  receive(withChecksum({'B', 6, 0x7F, 0x00, 0x00, 0x00}));
  EXPECT_EQ(state.FloatBytes, (std::array<std::uint8_t, 4>{0x7F, 0, 0, 0}));
  EXPECT_EQ(state.lastAnswer, (AcceptedAnswer{'B', 18, 6}));

  rig.link.ReadParameter(22);
  EXPECT_EQ(state.lastAnswer, AcceptedAnswer{}) << "a new command clears the record";
  Bytes bad = withChecksum({'B', 6, 0x80, 0x20, 0x00, 0x00});
  bad.back() ^= 1;
  receive(bad);
  EXPECT_EQ(state.FloatBytes, (std::array<std::uint8_t, 4>{0x7F, 0, 0, 0})) << "a bad answer changes nothing";
  EXPECT_EQ(state.RxBuffer[0], 'B') << "though its code byte is in the buffer";
  EXPECT_EQ(state.lastAnswer, AcceptedAnswer{});
}

TEST_F(ReceiveParser, AParameterAnswerTooShortToHoldAValueIsNotTakenAsOne) {
  rig.link.ReadParameter(18);
  receive(withChecksum({'B', 6, 0x7F, 0x00, 0x00, 0x00}));
  rig.link.ReadParameter(30);
  receive(withChecksum({'B', 4, 0x82, 0x48}));
  EXPECT_EQ(rig.lblRefresh.text(), "Update") << "the packet itself is good";
  EXPECT_EQ(state.FloatBytes, (std::array<std::uint8_t, 4>{0x7F, 0, 0, 0}));
  EXPECT_EQ(state.lastAnswer, AcceptedAnswer{});
}

TEST_F(ReceiveParser, OtherEventsOnlyHandleAPacketAlreadyWaiting) {
  state.RxBuffer = {};
  state.RxBuffer[0] = 'D';
  state.RxBuffer[1] = 2;
  state.RxBuffer[2] = 0xFE;
  state.PacketReady = true;
  rig.link.SerialPort_OnComm();  // the last event code was 0: not a receive event
  EXPECT_FALSE(rig.gatedEnabled());
  EXPECT_EQ(rig.lblTest.text(), " 68, 2, 254,");
  EXPECT_FALSE(state.PacketReady);
}

TEST_F(ReceiveParser, AStatusDecoderThatFailsDoesNotStopTheHandler) {
  rig.onStatus = [] { throw std::runtime_error("overflow"); };
  EXPECT_NO_THROW(receive(statusAnswer()));
  EXPECT_EQ(rig.lblRefresh.text(), "Update");
}

}  // namespace
}  // namespace orvik::link
