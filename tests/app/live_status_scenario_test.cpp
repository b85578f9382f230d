// Polling, the live display and link supervision of the main window against the controller model.
#include <gtest/gtest.h>

#include "support/app_rig.h"
#include "support/headless_fixture.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;

class LiveStatus : public testing::HeadlessTest {
 protected:
  LiveStatus() { rig.configure({1, 0}); }

  // The main window's link indicators at one moment.
  struct Link {
    std::string refresh;
    std::string test;
    platform::Colour led;
    bool linkDown;
    bool gatedEnabled;
    bool operator==(const Link&) const = default;
  };
  Link link() {
    auto& m = rig.main;
    const bool gated = m.mnuReport.enabled() && m.mnuTrimTemp.enabled() && m.mnuTrimVolts.enabled() &&
                       m.mnuTrimTE.enabled() && m.mnuCalDate.enabled();
    const bool anyGated = m.mnuReport.enabled() || m.mnuTrimTemp.enabled() || m.mnuTrimVolts.enabled() ||
                          m.mnuTrimTE.enabled() || m.mnuCalDate.enabled();
    EXPECT_EQ(gated, anyGated) << "the five controller commands go together";
    return {m.lblRefresh.text(), m.lblTest.text(), m.ledRefresh.fillColor(), rig.state.LinkDown, gated};
  }
  // Runs to virtual time `ms` and returns the indicators then.
  Link at(std::int64_t ms) {
    ui.advance(std::chrono::milliseconds(ms - ui.nowMs()));
    return link();
  }

  testing::AppRig rig{ui};
};

TEST_F(LiveStatus, FirstValuesAppearAboutTwoSecondsAfterTheWindowThenEveryTwoSeconds) {
  rig.start();
  ui.advance(1999ms);
  EXPECT_EQ(rig.main.lblBatVolts.text(), "-");
  EXPECT_EQ(rig.main.ledRefresh.fillColor(), platform::kDarkRed);
  ui.advance(2ms);
  EXPECT_EQ(rig.main.ledRefresh.fillColor(), platform::kRed) << "a request is outstanding";
  ASSERT_TRUE(ui.runUntil([&] { return rig.main.lblBatVolts.text() != "-"; }, 100ms));
  EXPECT_NEAR(static_cast<double>(ui.nowMs()), 2041, 2);
  EXPECT_EQ(rig.main.lblRefresh.text(), "Update");
  EXPECT_TRUE(link().gatedEnabled);
  EXPECT_FALSE(rig.state.LinkDown);
  ui.advance(99ms);
  EXPECT_EQ(rig.main.ledRefresh.fillColor(), platform::kRed);
  ui.advance(2ms);
  EXPECT_EQ(rig.main.ledRefresh.fillColor(), platform::kDarkRed) << "dark again 100 ms after the answer";

  const std::string first = rig.main.lblTest.text();
  EXPECT_EQ(first.rfind(" 62, 31,", 0), 0u) << first;
  ui.advance(2000ms);
  EXPECT_NE(rig.main.lblTest.text(), first) << "the next record has arrived";
  EXPECT_EQ(rig.statusRequests(), 2u);
}

TEST_F(LiveStatus, ASilentControllerIsReportedTwoAndAHalfSecondsAfterTheFirstUnansweredRequest) {
  rig.model.faults.silent = true;
  rig.start();
  const Link waiting{"Communication Status", "Comm Status", platform::kRed, false, false};
  const Link down{"No Response", "Timeout", platform::kDarkRed, true, false};
  EXPECT_EQ(at(2001), waiting);
  EXPECT_EQ(at(4001), waiting) << "the request at 4000 ms does not postpone the time-out";
  EXPECT_EQ(at(4499), waiting);
  EXPECT_EQ(at(4500), down);
  EXPECT_EQ(at(6000), (Link{"No Response", "Timeout", platform::kRed, false, false}))
      << "the next request clears the flag and lights the LED";
  EXPECT_EQ(at(8500), down);
  EXPECT_EQ(rig.main.lblBatVolts.text(), "-");
}

TEST_F(LiveStatus, AControllerThatSendsOnlyOneByteIsDroppedTwoHundredMillisecondsLater) {
  rig.model.faults.firstBytesOnly = 1;
  rig.start();
  ASSERT_TRUE(ui.runUntil([&] { return rig.state.RxCount == 1; }, 2100ms));
  const auto byteAt = ui.nowMs();
  EXPECT_TRUE(link().gatedEnabled) << "any received byte enables the controller commands";
  ASSERT_TRUE(ui.runUntil([&] { return rig.state.LinkDown; }, 1000ms));
  EXPECT_EQ(ui.nowMs() - byteAt, 200);
  EXPECT_EQ(link(), (Link{"No Response", "Timeout", platform::kDarkRed, true, false}));
}

// A noisy cable or a wrong baud rate: no answer passes its checksum. The link is shown down exactly
// when it would be for a silent controller, while every answer still lights the controller commands.
TEST_F(LiveStatus, ALinkOnWhichNoAnswerPassesItsChecksumIsShownDownWhenASilentOneWouldBe) {
  rig.model.faults.badChecksum = true;
  rig.start();
  const Link waiting{"Communication Status", "Comm Status", platform::kRed, false, true};
  EXPECT_EQ(at(2100), waiting);
  EXPECT_EQ(at(4499), waiting);
  EXPECT_EQ(at(4500), (Link{"No Response", "Timeout", platform::kDarkRed, true, false}));
  EXPECT_EQ(at(6100), (Link{"No Response", "Timeout", platform::kRed, false, true}));
  EXPECT_EQ(at(8500), (Link{"No Response", "Timeout", platform::kDarkRed, true, false}));
  EXPECT_EQ(rig.main.lblBatVolts.text(), "-");
  EXPECT_EQ(rig.main.lblRevHardware.text(), "-");
}

TEST_F(LiveStatus, OneBadAnswerBetweenGoodOnesChangesNothingTheTechnicianSees) {
  rig.model.faults.badChecksumEvery = 3;  // the answers at 6 s and 12 s are spoilt
  rig.start();
  std::string rawAt4s;
  for (int ms = 2100; ms <= 14000; ms += 10) {
    const Link l = at(ms);
    ASSERT_EQ(l.refresh, "Update") << ms;
    ASSERT_TRUE(l.gatedEnabled) << ms;
    ASSERT_FALSE(l.linkDown) << ms;
    if (ms == 4100) rawAt4s = l.test;
    if (ms == 6100) {
      EXPECT_EQ(l.test, rawAt4s) << "the spoilt answer at 6 s leaves the raw bytes of 4 s";
    }
  }
}

TEST_F(LiveStatus, AControllerPulledAndPluggedBackIsReportedBothWays) {
  rig.model.faults.unplugAtMs = 5000;  // answers at 2 s and 4 s, then nothing
  rig.start();
  EXPECT_EQ(at(4200).refresh, "Update");
  EXPECT_EQ(at(8499).refresh, "Update");
  EXPECT_EQ(at(8500), (Link{"No Response", "Timeout", platform::kDarkRed, true, false}))
      << "2.5 s after the first unanswered request at 6 s";
  rig.model.faults.unplugAtMs.reset();
  const Link back = at(10200);
  EXPECT_EQ(back.refresh, "Update");
  EXPECT_TRUE(back.gatedEnabled);
  EXPECT_FALSE(back.linkDown);
  EXPECT_EQ(back.led, platform::kDarkRed);
}

TEST_F(LiveStatus, ShowsTheControllersValuesWithTheirUnitsAndColours) {
  rig.model.settings.hardwareRevision = 5;
  rig.model.settings.softwareRevision = 14;
  rig.model.settings.sensor = sim::SensorFault::Open;
  rig.model.settings.alarmCode = 2;
  rig.model.settings.chargeMode = 3;
  rig.start();
  ui.advance(2100ms);
  auto& m = rig.main;
  EXPECT_EQ(m.lblRevHardware.text(), "5");
  EXPECT_EQ(m.lblRevSoftware.text(), "14");
  EXPECT_EQ(m.lblBatTemp.text(),
            "-50 \xC2\xB0"
            "F");
  EXPECT_EQ(m.lblChargeMode.text(), "Warming");
  EXPECT_EQ(m.lblChargeMode.foreColor(), platform::kCyan);
  EXPECT_EQ(m.lblCalDate.text(), "15-Feb-05");
  EXPECT_NE(m.lblAlarmCode.text().find("circuit is open"), std::string::npos)
      << "the first record is judged with revision 0, so the alarm code is not yet shown";
  ui.advance(2000ms);
  EXPECT_EQ(m.lblAlarmCode.text(),
            "Low TE module output. Check fuel pressure and flow. Possible restricted orifice in heater.");
  EXPECT_EQ(m.lblSetpoint.text(), "13.80 V");
  EXPECT_NE(m.lblBatVolts.text().find(" V"), std::string::npos);
  EXPECT_EQ(m.lblTEvolts.foreColor(), platform::kGreen);
  EXPECT_EQ(m.lblPWMvalue.text().back(), '%');
}

}  // namespace
}  // namespace orvik::app
