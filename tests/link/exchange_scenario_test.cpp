// The exchange on the controller model, in virtual time.
#include "link/exchange.h"

#include <gtest/gtest.h>

#include "link/controller_link.h"
#include "platform/headless/headless_ui.h"
#include "support/model_peer.h"

namespace orvik::link {
namespace {

using namespace std::chrono_literals;
using Step = Exchange::Step;

struct ExchangeRig : ::testing::Test {
  ExchangeRig() { link.openPort(1); }
  std::size_t reads() const {
    std::size_t n = 0;
    for (const auto& r : model.requests())
      n += r[0] == kReadParameter ? 1 : 0;
    return n;
  }
  float valueOf(const Answer* answer) const { return answer ? FloatFromBytes(answer->value()) : -99.0f; }

  platform::headless::HeadlessUi ui;
  platform::headless::MemorySerialPort port{ui};
  sim::ControllerModel model;
  testing::ModelPeer peer{ui, port, model};
  RunState state;
  ControllerLink link{state, port, ui.timers()};
  Exchange& exchange = link.exchange();
};

// A "B" answer does not name its parameter: a read for another one goes out only once no earlier read
// can still be answered, so each answer is taken for its own request.
TEST_F(ExchangeRig, HoldsADifferentRequestWhileAnEarlierOneMayStillBeAnswered) {
  model.setParameter(18, 1.5f);
  model.setParameter(22, 2.5f);
  model.faults.answerDelay = 700ms;
  const Request gain18 = Request::readParameter(18), gain22 = Request::readParameter(22);
  exchange.ask(gain18);
  ui.advance(400ms);
  exchange.ask(gain18);  // asked again: the same request goes out again
  ui.advance(10ms);      // a request takes about 4 ms on the line
  EXPECT_EQ(reads(), 2u);
  ui.advance(390ms);  // the first answer is in, the second still to come
  EXPECT_EQ(valueOf(exchange.answerTo(gain18)), 1.5f);
  exchange.ask(gain22);
  EXPECT_EQ(exchange.step(), Step::Held);
  ASSERT_TRUE(ui.runUntil([&] { return reads() == 3; }, 1s)) << "sent the moment the second answer is in";
  EXPECT_GE(ui.nowMs(), 1100);
  ASSERT_TRUE(ui.runUntil([&] { return exchange.answerTo(gain22) != nullptr; }, 1s));
  EXPECT_EQ(valueOf(exchange.answerTo(gain22)), 2.5f);
}

// A request an asker left on the line is not sent again for the next asker of it: the two answers would
// come back to back, the second be thrown away with the input after the first, and the request after
// them wait out the whole answer time-out.
TEST_F(ExchangeRig, TakesTheAnswerOfTheSameRequestAnAskerLeftOnTheLine) {
  exchange.ask(Request::readTag());
  exchange.release();
  exchange.ask(Request::readTag());
  ASSERT_TRUE(ui.runUntil([&] { return exchange.answerTo(Request::readTag()) != nullptr; }, 1s));
  exchange.ask(Request::readParameter(0));
  ASSERT_TRUE(ui.runUntil([&] { return exchange.answerTo(Request::readParameter(0)) != nullptr; }, 3s));
  EXPECT_LT(ui.nowMs(), 200);
  EXPECT_EQ(model.requests().size(), 2u);
}

// A pseudo-terminal passes a request at once, and a controller answering at once has its answer in
// before the line has been quiet for kQuietGap after the answer before: only the same packet again, right
// behind itself, is the controller repeating it.
TEST_F(ExchangeRig, APacketRightBehindTheOneBeforeIsARepeatOnlyWhenItIsTheSamePacket) {
  model.faults.silent = true;  // the answers are put in the input by hand, the moment each request is out
  const std::vector<std::uint8_t> tag = {0x43, 0x16, 0x4F, 0x52, 0x56, 0x49, 0x4B, 0x20,
                                         0x53, 0x49, 0x4D, 0x20, 0x30, 0x30, 0x30, 0x31,
                                         0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0xB5};
  const std::vector<std::uint8_t> gain = {0x42, 0x06, 0x7F, 0x00, 0x00, 0x00, 0x7B};
  const Request gain18 = Request::readParameter(18), gain22 = Request::readParameter(22);
  exchange.ask(Request::readTag());
  port.receiveNow(tag);
  exchange.ask(gain18);
  port.receiveNow(gain);
  EXPECT_EQ(valueOf(exchange.answerTo(gain18)), 1.0f) << "another packet right behind the tag is an answer";
  ui.advance(10ms);
  exchange.ask(gain22);
  ui.advance(400ms);
  exchange.ask(gain22);  // sent twice
  port.receiveNow(gain);
  port.receiveNow(gain);  // the same packet right behind itself
  EXPECT_TRUE(exchange.outstanding()) << "a repeat counted against the second send";
}

// Without an answer the line is free once the answer time-out and the wait for a late answer have
// passed; an answer is delivered the moment it is accepted, with the bytes of that moment.
TEST_F(ExchangeRig, FreesTheLineAfterTheAnswerTimeOutAndDeliversEachAnswerWithItsOwnBytes) {
  model.setParameter(22, 2.5f);
  model.faults.silent = true;
  exchange.ask(Request::readParameter(18));
  exchange.ask(Request::readParameter(22));
  ui.advance(3499ms);
  EXPECT_EQ(reads(), 1u);
  model.faults.silent = false;
  std::vector<std::int64_t> deliveredAt;
  exchange.onAnswer = [&](const Answer&) { deliveredAt.push_back(ui.nowMs()); };
  ui.advance(10ms);
  EXPECT_EQ(reads(), 2u) << "sent when the first read's 2000 ms and 1500 ms more were over";
  ASSERT_TRUE(ui.runUntil([&] { return exchange.step() == Step::Answered; }, 100ms));
  EXPECT_EQ(deliveredAt, std::vector<std::int64_t>{ui.nowMs()});
  link.RequestStatus();
  ui.advance(100ms);  // a status answer now fills the receive buffer
  EXPECT_EQ(valueOf(exchange.answer() ? &*exchange.answer() : nullptr), 2.5f);
}

// Only an answer with the code of the request on the line is its answer: a tag answer to a parameter
// read would otherwise be decoded as the parameter.
TEST_F(ExchangeRig, TakesOnlyAnAnswerWithTheCodeOfTheRequestOnTheLine) {
  model.faults.wrongAnswers = true;  // every request answered as a tag read
  exchange.ask(Request::readParameter(18));
  ui.advance(1000ms);
  EXPECT_EQ(exchange.step(), Step::Sent);
  ui.advance(1000ms);
  EXPECT_EQ(exchange.step(), Step::Lapsed);
  EXPECT_FALSE(exchange.answer().has_value());
}

}  // namespace
}  // namespace orvik::link
