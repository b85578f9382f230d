#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/subs.h"
#include "support/headless_fixture.h"
#include "support/link_rig.h"

namespace orvik::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using orvik::testing::HeadlessTest;
using orvik::testing::LinkRig;

class Commands : public HeadlessTest {
 protected:
  LinkRig rig{ui};
  ControllerLink& link = rig.link;
  const Bytes& wire() { return rig.port.written(); }
};

TEST_F(Commands, PutExactlyTheirPacketsOnTheWireAndArmTheirTimeouts) {
  struct Row {
    const char* what;
    std::function<void(ControllerLink&, RunState&)> send;
    Bytes bytes;
    int timeoutMs;
  };
  Bytes tag{0x44, 0x16, 'A', 'B', 'C'};
  tag.insert(tag.end(), 17, 0x20);
  tag.push_back(0x04);
  const std::vector<Row> rows = {
      {"status", [](ControllerLink& l, RunState&) { l.RequestStatus(); }, {0x3E, 0x02, 0xFE}, 2500},
      {"read tag", [](ControllerLink& l, RunState&) { l.ReadTagName(); }, {0x43, 0x02, 0xFE}, 2000},
      {"read 18", [](ControllerLink& l, RunState&) { l.ReadParameter(18); }, {0x42, 0x03, 0x12, 0xEB}, 2000},
      {"read 100",
       [](ControllerLink& l, RunState&) { l.ReadParameter(100); },
       {0x42, 0x03, 0x64, 0x99},
       2000},
      {"write 30 = 1.0",
       [](ControllerLink& l, RunState& s) {
         FloatToBytes(1.0f, s.FloatBytes);
         l.WriteParameter(30);
       },
       {0x3D, 0x07, 0x1E, 0x7F, 0x00, 0x00, 0x00, 0x5C},
       2500},
      {"clear log",
       [](ControllerLink& l, RunState& s) {
         s.FloatBytes = {0, 0, 0, 0};
         l.WriteParameter(100);
       },
       {0x3D, 0x07, 0x64, 0x00, 0x00, 0x00, 0x00, 0x95},
       2500},
      {"calibration date",
       [](ControllerLink& l, RunState& s) {
         s.FloatBytes = {0x00, 0x02, 0x0F, 0x05};
         l.WriteParameter(0);
       },
       {0x3D, 0x07, 0x00, 0x00, 0x02, 0x0F, 0x05, 0xE3},
       2500},
      {"write tag",
       [](ControllerLink& l, RunState&) {
         std::string t = "ABC";
         l.WriteTagName(t);
       },
       tag, 2000},
  };
  for (const auto& row : rows) {
    rig.port.clearWritten();
    rig.tmrRecvTimeout.setEnabled(false);
    row.send(link, rig.state);
    EXPECT_EQ(wire(), row.bytes) << row.what;
    EXPECT_TRUE(rig.tmrRecvTimeout.enabled()) << row.what;
    EXPECT_EQ(rig.tmrRecvTimeout.interval(), row.timeoutMs) << row.what;
  }
}

TEST_F(Commands, WriteTagNamePadsTheCallersTextAndSendsTwentyCharacters) {
  struct Row {
    std::string tag;
    std::string afterCall;
    std::string sent;
  };
  const std::vector<Row> rows = {
      {"ABC", "ABC                 ", "ABC                 "},
      {"", std::string(20, ' '), std::string(20, ' ')},
      {"EXACTLY-TWENTY-CHARS", "EXACTLY-TWENTY-CHARS", "EXACTLY-TWENTY-CHARS"},
      {"TWENTY-FIVE-CHARACTERS-X", "TWENTY-FIVE-CHARACTERS-X", "TWENTY-FIVE-CHARACTER"},
      {"Caf\xC3\xA9", "Caf\xC3\xA9                ", "Caf\xE9                "},
  };
  for (auto row : rows) {
    rig.port.clearWritten();
    link.WriteTagName(row.tag);
    EXPECT_EQ(row.tag, row.afterCall);
    ASSERT_EQ(wire().size(), 23u);
    EXPECT_EQ(std::string(wire().begin() + 2, wire().begin() + 22), row.sent.substr(0, 20));
  }
}

TEST_F(Commands, RefuseValuesThatDoNotFitABytePacket) {
  EXPECT_THROW(link.WriteParameter(256), ConversionError);
  EXPECT_THROW(link.WriteParameter(-1), ConversionError);
  std::string snowman = "\xE2\x98\x83";  // no Windows-1252 byte
  EXPECT_THROW(link.WriteTagName(snowman), ConversionError);
  EXPECT_EQ(snowman, "\xE2\x98\x83");
  EXPECT_TRUE(wire().empty());
}

TEST_F(Commands, SendingAbandonsAHalfReceivedAnswer) {
  auto handler = rig.port.onComm;
  rig.port.onComm = nullptr;
  rig.port.receiveNow({0x11, 0x22});  // bytes of an earlier answer still waiting in the input
  rig.port.onComm = handler;
  rig.state.PacketReady = true;
  rig.state.LinkDown = true;
  rig.state.RxCount = 7;
  rig.state.lastAnswer = {'B', 18};
  link.RequestStatus();
  EXPECT_FALSE(rig.state.PacketReady);
  EXPECT_FALSE(rig.state.LinkDown);
  EXPECT_EQ(rig.state.RxCount, 0);
  EXPECT_EQ(rig.state.lastAnswer, AcceptedAnswer{});
  EXPECT_EQ(rig.port.inBufferCount(), 0);
  EXPECT_EQ(rig.ledRefresh.fillColor(), platform::kRed);
}

TEST_F(Commands, OnlyThePacketsOwnBytesOfTheSharedBufferAreRewritten) {
  std::string tag = "ABC";
  link.WriteTagName(tag);
  link.RequestStatus();
  EXPECT_EQ(rig.state.TxBuffer[3], 'B') << "a shorter packet leaves the rest of the buffer as it was";
  EXPECT_EQ(rig.state.TxBuffer[2], 0xFE);
}

// A poll every 2000 ms must not postpone a 2500 ms time-out that is already running.
TEST_F(Commands, ARunningTimeoutKeepsItsDeadlineWhileRequestsGoOnEveryTwoSeconds) {
  std::vector<std::int64_t> firedAt;
  rig.tmrRecvTimeout.onTick = [&] {
    firedAt.push_back(ui.nowMs());
    link.tmrRecvTimeout_Timer();
  };
  for (int t = 0; t <= 8000; t += 2000)
    ui.at(std::chrono::milliseconds(t), [&] { link.RequestStatus(); });
  ui.advance(std::chrono::milliseconds(8600));
  EXPECT_EQ(firedAt, (std::vector<std::int64_t>{2500, 6500}))
      << "armed afresh by the request after each expiry";
}

TEST_F(Commands, AReceivedByteStillRearmsTheTimeoutWithTwoHundredMilliseconds) {
  link.RequestStatus();
  ui.advance(std::chrono::milliseconds(1000));
  rig.port.receiveNow({0x3E});
  EXPECT_EQ(rig.tmrRecvTimeout.interval(), 200);
  link.ReadTagName();  // the running 200 ms countdown is kept
  EXPECT_EQ(rig.tmrRecvTimeout.interval(), 200);
  ui.advance(std::chrono::milliseconds(199));
  EXPECT_TRUE(rig.tmrRecvTimeout.enabled());
  ui.advance(std::chrono::milliseconds(1));
  EXPECT_EQ(rig.lblRefresh.text(), "No Response");
}

TEST_F(Commands, AWriteToAClosedOrVanishedPortIsDroppedAndTheLinkStillTimesOut) {
  rig.port.close();
  EXPECT_NO_THROW(link.RequestStatus());
  EXPECT_TRUE(wire().empty());
  EXPECT_TRUE(rig.tmrRecvTimeout.enabled());
  ui.advance(std::chrono::milliseconds(2500));
  EXPECT_TRUE(rig.state.LinkDown);
  EXPECT_EQ(rig.lblRefresh.text(), "No Response");

  rig.port.open();
  rig.port.unplug();
  EXPECT_NO_THROW(link.ReadParameter(18));
  ui.advance(std::chrono::milliseconds(2000));
  EXPECT_TRUE(rig.state.LinkDown);
}

}  // namespace
}  // namespace orvik::link
