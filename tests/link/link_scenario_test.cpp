// The link against the controller model through the in-memory port, on the virtual clock.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/controller_model.h"
#include "support/headless_fixture.h"
#include "support/link_rig.h"
#include "support/model_peer.h"
#include "support/reference_parser.h"

namespace orvik::link {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using orvik::testing::HeadlessTest;
using orvik::testing::LinkRig;
using orvik::testing::ModelPeer;
using orvik::testing::ReferenceParser;

class LinkWithController : public HeadlessTest {
 protected:
  LinkWithController() {
    rig.onStatus = [this] { ++decoded; };
  }

  LinkRig rig{ui};
  sim::ControllerModel model;
  ModelPeer peer{ui, rig.port, model};
  RunState& state = rig.state;
  int decoded = 0;
};

// What the listener is told, in order, for one status request against each kind of controller.
class LinkListenerEvents : public HeadlessTest {};

TEST_F(LinkListenerEvents, AreToldInTheOrderTheWindowShowsThem) {
  struct Row {
    const char* what;
    void (*fault)(sim::ControllerModel&);
    std::vector<std::string> events;
  };
  const std::vector<Row> rows = {
      {"a good answer", [](sim::ControllerModel&) {}, {"sent", "available", "received", "status", "settled"}},
      {"a bad checksum, at the time-out a silent controller would have",
       [](sim::ControllerModel& m) { m.faults.badChecksum = true; },
       {"sent", "available", "down", "unavailable"}},
      {"a silent controller",
       [](sim::ControllerModel& m) { m.faults.silent = true; },
       {"sent", "down", "unavailable"}},
      {"only the first byte",
       [](sim::ControllerModel& m) { m.faults.firstBytesOnly = 1; },
       {"sent", "available", "down", "unavailable"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LinkRig rig(ui);
    sim::ControllerModel model;
    row.fault(model);
    ModelPeer peer(ui, rig.port, model);
    rig.link.RequestStatus();
    ui.advance(3000ms);
    std::vector<std::string> kinds;
    for (const std::string& e : rig.events) {
      const std::string kind = e.substr(0, e.find(' '));
      if (kinds.empty() || kinds.back() != kind) kinds.push_back(kind);  // one per byte event is one
    }
    EXPECT_EQ(kinds, row.events);
  }
}

TEST_F(LinkWithController, AStatusRequestIsAnsweredAndAccepted) {
  rig.link.RequestStatus();
  const Bytes expected = model.statusAnswer(ui.nowMs() + 3);  // the model answers within a few ms
  ASSERT_TRUE(ui.runUntil([&] { return decoded == 1; }, 200ms));
  EXPECT_EQ(model.requests(), (std::vector<Bytes>{{0x3E, 0x02, 0xFE}}));
  EXPECT_EQ(Bytes(state.RxBuffer.begin(), state.RxBuffer.begin() + 32), expected);
  EXPECT_EQ(rig.lblRefresh.text(), "Update");
  EXPECT_FALSE(state.LinkDown);
  EXPECT_EQ(state.lastAnswer.code, '>');
  // 3 bytes out, 5 ms to answer, 32 bytes back at 9600 bit/s.
  EXPECT_NEAR(static_cast<double>(ui.nowMs()), 3 * 1.042 + 5 + 32 * 1.042, 1.5);
}

TEST_F(LinkWithController, AnAnswerWithABadChecksumLeavesTheParserIdleAndShowsNothing) {
  model.faults.badChecksum = true;
  rig.link.RequestStatus();
  ui.advance(300ms);
  EXPECT_EQ(decoded, 0);
  EXPECT_FALSE(state.PacketReady);
  EXPECT_EQ(state.RxCount, 0);
  EXPECT_EQ(state.RxBuffer[0], '>');
  EXPECT_FALSE(rig.tmrRecvTimeout.enabled());
  EXPECT_EQ(rig.lblTest.text(), "Comm Status");
  EXPECT_EQ(rig.ledRefresh.fillColor(), platform::kRed);
  ui.advance(2199ms);
  EXPECT_EQ(rig.lblRefresh.text(), "Communication Status") << "a bad packet shows nothing by itself";
  ui.advance(1ms);
  EXPECT_EQ(rig.lblRefresh.text(), "No Response") << "no good answer within the command's time-out";
}

TEST_F(LinkWithController, AControllerThatSendsOnlyTheFirstByteTimesOutTwoHundredMillisecondsLater) {
  model.faults.firstBytesOnly = 1;
  rig.link.RequestStatus();
  ASSERT_TRUE(ui.runUntil([&] { return state.RxCount == 1; }, 100ms));
  const auto byteAt = ui.nowMs();
  EXPECT_EQ(state.RxBuffer[0], '>');
  ASSERT_TRUE(ui.runUntil([&] { return state.LinkDown; }, 3000ms));
  EXPECT_EQ(ui.nowMs() - byteAt, 200);
  EXPECT_EQ(state.RxCount, 0);
  EXPECT_EQ(state.RxBuffer[1], 52);
  EXPECT_EQ(rig.lblRefresh.text(), "No Response");
  EXPECT_EQ(rig.lblTest.text(), "Timeout");
  EXPECT_TRUE(rig.gatedDisabled());
}

TEST_F(LinkWithController, AnOverlongAnswerIsThrownAwayAfterFiftyOneBytes) {
  model.faults.overlongAnswers = true;  // 60 bytes, length byte 255
  rig.link.RequestStatus();
  ui.advance(5ms + 60 * 2ms);
  EXPECT_EQ(decoded, 0);
  EXPECT_EQ(state.RxCount, 9) << "the nine bytes after the first fifty-one start a new packet";
  EXPECT_EQ(state.RxBuffer[0], 0x55);
  EXPECT_TRUE(rig.tmrRecvTimeout.enabled());
  ui.advance(300ms);
  EXPECT_EQ(state.RxBuffer[1], 52);
  EXPECT_EQ(rig.lblRefresh.text(), "No Response");
}

// Forwards to a model and keeps the last answer it put on the line.
struct RecordingPeer final : platform::headless::MemorySerialPort::Peer {
  RecordingPeer(platform::headless::HeadlessUi& u, platform::headless::MemorySerialPort& p)
      : ui(u), port(p) {}
  void hostWrote(std::uint8_t byte) override {
    if (auto a = model->receive(byte, ui.nowMs())) {
      sent = a->bytes;
      port.deliver(a->bytes, std::chrono::duration_cast<std::chrono::microseconds>(a->delay));
    }
  }
  platform::headless::HeadlessUi& ui;
  platform::headless::MemorySerialPort& port;
  sim::ControllerModel* model = nullptr;
  Bytes sent;
};

TEST_F(LinkWithController, GarbageBeforeAnAnswerLeavesExactlyTheStateTheReceiveRulesGive) {
  rig.port.setReceiveChunk(1000);  // one receive event a burst, as the oracle reads it
  RecordingPeer recorder{ui, rig.port};
  rig.port.attach(1, recorder);
  for (int garbage = 1; garbage <= 40; ++garbage) {
    sim::ControllerModel noisy({}, static_cast<std::uint32_t>(garbage));
    noisy.faults.garbageBytes = garbage;
    recorder.model = &noisy;
    decoded = 0;
    state.RxBuffer = {};
    state.RxBuffer[1] = 255;
    rig.link.stopReceiveTimeout();

    rig.link.RequestStatus();
    ui.advance(200ms);
    ReferenceParser oracle;
    oracle.rx[1] = 255;
    oracle.feed(recorder.sent);
    EXPECT_EQ(state.RxCount, oracle.count) << garbage << " junk bytes";
    EXPECT_EQ(state.RxBuffer[0], oracle.rx[0]) << garbage;
    EXPECT_EQ(state.RxBuffer[1], oracle.rx[1]) << garbage;
    EXPECT_EQ(decoded, oracle.packets) << garbage;
    EXPECT_FALSE(state.PacketReady);
  }
}

TEST_F(LinkWithController, AShortParameterAnswerNeverPassesOffOldBytesAsTheValue) {
  rig.link.ReadParameter(sim::ControllerModel::kBatteryGain);
  ui.advance(100ms);
  ASSERT_EQ(state.lastAnswer.code, 'B');
  ASSERT_EQ(state.lastAnswer.parameter, 18);
  const auto before = state.FloatBytes;
  model.faults.shortAnswers = true;
  rig.link.ReadParameter(sim::ControllerModel::kTempOffset);
  ui.advance(100ms);
  EXPECT_EQ(state.RxBuffer[0], 'B');
  EXPECT_EQ(state.FloatBytes, before);
  EXPECT_EQ(state.lastAnswer, AcceptedAnswer{});
}

}  // namespace
}  // namespace orvik::link
