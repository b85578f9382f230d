// The Qt serial backend against a real pseudo-terminal.
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_timer_engine.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cstdlib>

#include "platform/qt/pty_pair.h"
#include "support/link_rig.h"

namespace orvik::platform::qt {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using orvik::testing::processEventsUntil;
using orvik::testing::PtyPair;

class QtSerialPortTest : public ::testing::Test {
 protected:
  QtSerialPortTest() { ::setenv("ORVIK_COMM1", pty.device().c_str(), 1); }
  ~QtSerialPortTest() override { ::unsetenv("ORVIK_COMM1"); }

  void openPort() {
    port.setCommPort(1);
    port.setHandshakingNone();
    port.open();
    ASSERT_TRUE(port.isOpen());
  }

  PtyPair pty;
  QtSerialPort port;
};

TEST(QtSerialPortNames, MapCommNumbersToDevicesUnlessOverridden) {
  ::unsetenv("ORVIK_COMM3");
  EXPECT_EQ(QtSerialPort::deviceFor(1), "/dev/ttyS0");
  EXPECT_EQ(QtSerialPort::deviceFor(4), "/dev/ttyS3");
  ::setenv("ORVIK_COMM3", "/dev/ttyUSB0", 1);
  EXPECT_EQ(QtSerialPort::deviceFor(3), "/dev/ttyUSB0");
  ::unsetenv("ORVIK_COMM3");
}

TEST_F(QtSerialPortTest, AStatusRequestLeavesExactlyItsThreeBytesOnTheWire) {
  openPort();
  qt::QtTimerEngine timers;
  link::RunState state;
  link::ControllerLink link(state, port, timers);

  link.RequestStatus();
  Bytes seen;
  ASSERT_TRUE(processEventsUntil([&] {
    const Bytes more = pty.readAvailable();
    seen.insert(seen.end(), more.begin(), more.end());
    return seen.size() >= 3;
  }));
  processEventsUntil([] { return false; }, 100ms);  // anything more would show up by now
  const Bytes more = pty.readAvailable();
  seen.insert(seen.end(), more.begin(), more.end());
  EXPECT_EQ(seen, (Bytes{0x3E, 0x02, 0xFE}));

  // The answer raises the receive event and the parser accepts it.
  pty.write({0x3D, 0x02, 0xFE});
  ASSERT_TRUE(processEventsUntil([&] { return state.lastAnswer.code == 0x3D; }));
  EXPECT_EQ(state.RxBuffer[1], 2);
}

TEST_F(QtSerialPortTest, ReceivedBytesWaitUntilReadOrDiscarded) {
  openPort();
  int events = 0;
  port.onComm = [&] { ++events; };
  pty.write({1, 2, 3, 4});
  ASSERT_TRUE(processEventsUntil([&] { return port.inBufferCount() == 4; }));
  EXPECT_GE(events, 1);
  EXPECT_EQ(port.commEvent(), kCommEventReceive);
  EXPECT_EQ(port.readByte(), 1);
  port.discardInput();
  EXPECT_EQ(port.inBufferCount(), 0);
  EXPECT_THROW(port.readByte(), SerialError);
}

TEST_F(QtSerialPortTest, APortHeldByAnotherOpenerCannotBeOpened) {
  openPort();
  QtSerialPort second;
  second.setCommPort(1);
  EXPECT_THROW(second.open(), SerialError);
  EXPECT_FALSE(second.isOpen());
  port.close();
  EXPECT_NO_THROW(second.open()) << "free again once the first opener lets go";
}

TEST_F(QtSerialPortTest, AMissingDeviceCannotBeOpened) {
  ::setenv("ORVIK_COMM2", "/dev/orvik-no-such-port", 1);
  QtSerialPort missing;
  missing.setCommPort(2);
  EXPECT_THROW(missing.open(), SerialError);
  ::unsetenv("ORVIK_COMM2");
  EXPECT_THROW(missing.setCommPort(0), SerialError);
}

TEST_F(QtSerialPortTest, WaitingForOutputToDrainIsBoundedWhenTheFarEndNeverReads) {
  openPort();
  for (int i = 0; i < 200'000; ++i)
    port.writeByte(0x55);
  QElapsedTimer waited;
  waited.start();
  port.drainOutput(300ms);
  EXPECT_LT(waited.elapsed(), 3000) << "the wait gives up near its limit";
  EXPECT_GT(port.outBufferCount(), 0) << "the far end never read, so bytes are still waiting";
}

TEST_F(QtSerialPortTest, AFarEndThatHangsUpMidAnswerClosesThePortInsteadOfSpinning) {
  openPort();
  int events = 0;
  int lost = 0;
  port.onComm = [&] {
    ++events;
    if (port.commEvent() == kCommEventDeviceLost) ++lost;
  };
  pty.write({0x3E, 0x1F, 0x01});
  ASSERT_TRUE(processEventsUntil([&] { return port.inBufferCount() == 3; }));
  pty.hangUp();
  ASSERT_TRUE(processEventsUntil([&] { return !port.isOpen(); }));
  EXPECT_EQ(port.deviceErrors(), 1);
  EXPECT_EQ(lost, 1) << "the link is told once that the device went away";
  // Nothing keeps firing once closed.
  const int eventsAfter = events;
  processEventsUntil([] { return false; }, 300ms);
  EXPECT_EQ(events, eventsAfter);
  EXPECT_EQ(port.deviceErrors(), 1);
  EXPECT_THROW(port.writeByte(0x3E), SerialError);
}

}  // namespace
}  // namespace orvik::platform::qt
