// The main window from start to exit, on the headless window system.
#include <gtest/gtest.h>

#include "app/frm_about.h"
#include "app/frm_logo.h"
#include "support/app_rig.h"
#include "support/headless_fixture.h"
#include "version.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;
using Availability = platform::headless::MemorySerialPort::Availability;
using Bytes = std::vector<std::uint8_t>;

const char* const kSetupRequired = "Setup Required...";

class MainWindow : public testing::HeadlessTest {
 protected:
  bool allValueFieldsBlank() {
    auto& m = rig.main;
    for (auto* l : {&m.lblTEvolts, &m.lblChargeMode, &m.lblSetpoint, &m.lblPWMvalue, &m.lblBatVolts,
                    &m.lblBatTemp, &m.lblCalDate, &m.lblRevHardware, &m.lblRevSoftware}) {
      if (l->text() != "-") return false;
    }
    return m.lblAlarmCode.text().empty();
  }
  bool gatedDisabled() {
    auto& m = rig.main;
    return !m.mnuReport.enabled() && !m.mnuTrimTemp.enabled() && !m.mnuTrimVolts.enabled() &&
           !m.mnuTrimTE.enabled() && !m.mnuCalDate.enabled();
  }

  testing::AppRig rig{ui};
};

TEST_F(MainWindow, FirstStartWithoutASettingsFileAsksAtActivationAndNoLeavesItIdle) {
  ui.expectBox(kSetupRequired, MsgResult::No);
  rig.start();
  EXPECT_TRUE(rig.files.exists("options.cfg")) << "the read creates the file";
  EXPECT_TRUE(rig.settings().empty());
  EXPECT_TRUE(ui.boxes().empty()) << "nothing is shown while loading";
  ui.advance(10s);
  ASSERT_EQ(ui.boxes().size(), 1u);
  const auto& box = ui.boxes()[0].box;
  EXPECT_EQ(
      box.text,
      "This tool kit requires a serial port for communicating.\r\rWould you like to choose a port now? ");
  EXPECT_EQ(box.icon, platform::MsgIcon::Information);
  EXPECT_EQ(box.buttons, platform::MsgButtons::YesNo);
  EXPECT_TRUE(ui.beeps().empty());
  EXPECT_TRUE(allValueFieldsBlank());
  EXPECT_TRUE(gatedDisabled());
  EXPECT_TRUE(rig.port.written().empty()) << "no polling without a port";
  EXPECT_EQ(rig.main.lblRefresh.text(), "Communication Status");
  EXPECT_EQ(rig.main.lblTest.text(), "Comm Status");
  EXPECT_EQ(rig.main.ledRefresh.fillColor(), platform::kDarkRed);
  EXPECT_TRUE(rig.state.LinkDown);
}

TEST_F(MainWindow, ShowsItsFieldsInTheirInitialStateCentredOnTheScreen) {
  rig.configure({1, 0});
  rig.start();
  auto& m = rig.main;
  EXPECT_EQ(m.caption(), "Orvik Monitor");
  EXPECT_EQ(m.width(), 5550);
  EXPECT_EQ(m.height(), 7680);
  EXPECT_EQ(m.left(), (19200 - 5550) / 2);
  EXPECT_EQ(m.top(), (14400 - 7680) / 2);
  EXPECT_EQ(m.fraCharger.caption(), "Charger");
  EXPECT_EQ(m.fraBattery.caption(), "Battery");
  EXPECT_EQ(m.fraAlarm.caption(), "Alarm Messages");
  EXPECT_EQ(m.lblTECaption.text(), "TE Module");
  EXPECT_EQ(m.lblModeCaption.text(), "Mode");
  EXPECT_EQ(m.lblSetpointCaption.text(), "Setpoint");
  EXPECT_EQ(m.lblControlCaption.text(), "Control");
  EXPECT_EQ(m.lblBatVoltsCaption.text(), "Voltage");
  EXPECT_EQ(m.lblBatTempCaption.text(), "Temperature");
  EXPECT_EQ(m.lblAlarmCode.foreColor(), platform::kDarkRed);
  EXPECT_EQ(m.lblTest.foreColor(), platform::kGrey);
  EXPECT_EQ(m.lblCalCaption.text(), "Calibrated:");
  EXPECT_EQ(m.lblCalHint.text(), "day-mo-yr");
  EXPECT_EQ(m.lblCalHint.foreColor(), platform::kGrey);
  EXPECT_EQ(m.lblRevHardwareCaption.text(), "Hardware Revision:");
  EXPECT_EQ(m.lblRevSoftwareCaption.text(), "Software Revision:");
  EXPECT_EQ(m.cmdClose.caption(), "E&xit");
  for (auto* field :
       {&m.lblTEvolts, &m.lblChargeMode, &m.lblSetpoint, &m.lblPWMvalue, &m.lblBatVolts, &m.lblBatTemp}) {
    EXPECT_EQ(field->font().points, 13.5) << field->name();
    EXPECT_EQ(field->alignment(), platform::Alignment::Center) << field->name();
    EXPECT_EQ(field->foreColor(), platform::kGreen) << field->name();
    EXPECT_EQ(field->backColor(), platform::kBlack) << field->name();
    EXPECT_FALSE(field->description().empty()) << field->name();
  }
  EXPECT_EQ(m.lblBatVolts.description(), "Battery voltage");
  EXPECT_EQ(m.lblRefresh.description(), "Link status");
  EXPECT_EQ(m.ledRefresh.shape(), platform::ShapeKind::Circle);
}

TEST_F(MainWindow, AConfiguredPortThatCannotBeOpenedIsNamedOnceThenThePortIsAskedFor) {
  rig.configure({2, 0});
  rig.port.setAvailability(2, Availability::Missing);
  ui.expectBox("Port Setup", MsgResult::Ok);
  ui.expectBox(kSetupRequired, MsgResult::No);
  rig.start();
  ui.advance(5s);
  ASSERT_EQ(ui.boxTitles(), (std::vector<std::string>{"Port Setup", kSetupRequired}));
  EXPECT_EQ(ui.boxes()[0].box.text, "Comm2 is unavailable.\rSelect a different serial port.");
  EXPECT_EQ(ui.boxes()[0].box.icon, platform::MsgIcon::Exclamation);
  EXPECT_EQ(ui.beeps().size(), 1u);
  EXPECT_EQ(rig.state.PortNumber, 0);
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_EQ(rig.settings(), (Bytes{2, 0})) << "the file keeps the port for the next start";
}

TEST_F(MainWindow, BadSettingsFilesMeanNoPortAndNoMessageAtLoad) {
  struct Row {
    const char* what;
    std::optional<Bytes> bytes;
    testing::MemoryFiles::Fault fault;
  };
  const std::vector<Row> rows = {
      {"missing", std::nullopt, testing::MemoryFiles::Fault::None},
      {"empty", Bytes{}, testing::MemoryFiles::Fault::None},
      {"one byte", Bytes{3}, testing::MemoryFiles::Fault::None},
      {"port 5", Bytes{5, 0}, testing::MemoryFiles::Fault::None},
      {"minus one", Bytes{0xFF, 0xFF}, testing::MemoryFiles::Fault::None},
      {"port 0", Bytes{0, 0}, testing::MemoryFiles::Fault::None},
      {"port 256 + 1", Bytes{1, 1}, testing::MemoryFiles::Fault::None},
      {"a directory", std::nullopt, testing::MemoryFiles::Fault::IsDirectory},
      {"unreadable", Bytes{1, 0}, testing::MemoryFiles::Fault::Unreadable},
  };
  for (const auto& row : rows) {
    platform::headless::HeadlessUi u;
    u.onFailure = [&](const std::string& what) { ADD_FAILURE() << row.what << ": " << what; };
    testing::AppRig r{u};
    if (row.bytes) r.configure(*row.bytes);
    r.files.faults["options.cfg"] = row.fault;
    u.expectBox(kSetupRequired, MsgResult::No);
    r.start();
    u.advance(3s);
    EXPECT_EQ(u.boxTitles(), std::vector<std::string>{kSetupRequired}) << row.what;
    EXPECT_EQ(r.state.PortNumber, 0) << row.what;
    EXPECT_FALSE(r.port.isOpen()) << row.what;
  }
}

TEST_F(MainWindow, ANoIsNotAskedAgainUntilAnotherOfOurWindowsHasBeenActive) {
  ui.answerAlways(kSetupRequired, MsgResult::No);
  rig.start();
  ui.advance(10s);
  EXPECT_EQ(ui.boxes().size(), 1u);
  ui.userActivated(rig.main);  // focus back from another application
  ui.advance(1s);
  EXPECT_EQ(ui.boxes().size(), 1u);

  rig.main.mnuAbout.click();
  ui.advance(1s);
  ASSERT_NE(rig.main.aboutBox(), nullptr);
  rig.main.aboutBox()->cmdOK.click();
  ui.advance(1s);
  EXPECT_EQ(ui.boxes().size(), 2u) << "asked again when the main window is active again";
}

TEST_F(MainWindow, AWorkingPortIsPolledEveryTwoSecondsFromActivation) {
  rig.configure({1, 0});
  rig.start();
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(rig.state.PortNumber, 1);
  ui.advance(1999ms);
  EXPECT_EQ(rig.statusRequests(), 0u) << "the first request goes out one full period after the start";
  ui.advance(10ms);
  EXPECT_EQ(rig.statusRequests(), 1u);
  ui.advance(8s);
  EXPECT_EQ(rig.statusRequests(), 5u);
  EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(MainWindow, EveryExitEndsTheProgramWithoutAQuestion) {
  for (int way = 0; way < 3; ++way) {
    platform::headless::HeadlessUi u;
    testing::AppRig r{u};
    r.configure({1, 0});
    r.start();
    u.advance(3s);
    if (way == 0) r.main.cmdClose.click();
    if (way == 1) r.main.mnuExit.click();
    if (way == 2) u.unload(r.main);  // the close box
    EXPECT_TRUE(u.ended()) << way;
    EXPECT_TRUE(u.boxes().empty()) << way;
    const auto requests = r.statusRequests();
    u.advance(10s);
    EXPECT_EQ(r.statusRequests(), requests) << "nothing runs after the end";
    EXPECT_EQ(r.settings(), (Bytes{1, 0})) << "nothing is saved at exit";
  }
}

TEST_F(MainWindow, TheAboutBoxIsOneNonModalWindowBesideTheMain) {
  rig.configure({1, 0});
  rig.start();
  ui.advance(100ms);
  rig.main.mnuAbout.click();
  ui.advance(100ms);
  frmAbout* about = rig.main.aboutBox();
  ASSERT_NE(about, nullptr);
  rig.main.mnuAbout.click();
  EXPECT_EQ(rig.main.aboutBox(), about) << "a second choice brings the same box forward";
  EXPECT_EQ(about->caption(), "About Orvik Monitor");
  EXPECT_EQ(about->lblTitle.text(), "Orvik Monitor");
  EXPECT_EQ(
      about->lblDescription.text(),
      "Reads the live status of a thermo-electric battery charger's controller over a serial port, trims its "
      "calibration constants against a reference instrument, and shows its diagnostics.");
  EXPECT_EQ(about->Label1.text(), "For trained service technicians.");
  EXPECT_EQ(about->Label1.foreColor(), platform::kGrey);
  EXPECT_EQ(about->lblVersion.text(), versionText(kVersionMajor, kVersionMinor, kVersionRevision));
  EXPECT_EQ(about->left(), rig.main.left() + 200);
  EXPECT_EQ(about->top(), rig.main.top() + 500);
  EXPECT_TRUE(about->cmdOK.isDefault());
  EXPECT_TRUE(about->cmdOK.isCancel());
  ui.advance(6s);
  EXPECT_EQ(rig.statusRequests(), 3u) << "polling goes on while the box is open";
  about->cmdOK.click();
  EXPECT_FALSE(about->lifecycle().loaded);
}

TEST(VersionText, ShowsEachNumberPlainly) {
  EXPECT_EQ(versionText(2, 1, 3), "Version 2.1.3");
  EXPECT_EQ(versionText(1, 10, 0), "Version 1.10.0");
}

TEST_F(MainWindow, TheSplashOpensTheMainWindowAfterTwoSecondsAndDoesNotComeBack) {
  rig.configure({1, 0});
  frmLogo splash(ui, rig.main);
  EXPECT_EQ(splash.backColor(), platform::kWhite);
  EXPECT_EQ(splash.Picture2.source(), "orvik:splash");
  ui.show(splash);
  EXPECT_EQ(ui.pointer(), platform::Pointer::Busy);
  ui.advance(1999ms);
  EXPECT_FALSE(rig.main.lifecycle().visible);
  ui.advance(1ms);
  EXPECT_TRUE(rig.main.lifecycle().visible);
  EXPECT_FALSE(splash.lifecycle().visible);
  EXPECT_EQ(ui.pointer(), platform::Pointer::Normal);
  ui.advance(10s);
  EXPECT_FALSE(splash.lifecycle().visible);
  EXPECT_FALSE(splash.tmrLogo.enabled());
  EXPECT_EQ(ui.activeForm(), &rig.main);
}

}  // namespace
}  // namespace orvik::app
