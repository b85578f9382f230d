// Choosing the serial port: the probe, the selection and OK, on the headless window system.
#include <gtest/gtest.h>

#include "app/frm_about.h"
#include "ports/frm_ports.h"
#include "support/app_rig.h"
#include "support/headless_fixture.h"

namespace orvik::ports {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;
using Availability = platform::headless::MemorySerialPort::Availability;
using Bytes = std::vector<std::uint8_t>;

// What the dialog showed at one moment.
struct Snapshot {
  std::array<bool, 4> enabled{};
  std::array<bool, 4> selected{};
  bool searching = false;
  int portNumber = 0;
};

class PortDialog : public testing::HeadlessTest {
 protected:
  // Opens the dialog from Setup > Serial Port... and runs `steps` while it is open.
  void openFromMenu(std::function<void(frmPorts&)> steps) {
    ui.whenShown("frmPorts", [steps](platform::Form& f) { steps(static_cast<frmPorts&>(f)); });
    rig.main.mnuSerialPort.click();
  }
  Snapshot snapshot(frmPorts& d) {
    Snapshot s;
    for (int i = 0; i < 4; ++i) {
      s.enabled[i] = d.options()[i]->enabled();
      s.selected[i] = d.options()[i]->value();
    }
    s.searching = d.picStatus.visible();
    s.portNumber = rig.state.PortNumber;
    return s;
  }
  void startWith(Bytes settings) {
    rig.configure(std::move(settings));
    rig.start();
    ui.advance(100ms);
  }

  testing::AppRig rig{ui};
};

TEST_F(PortDialog, WaitsThreeSecondsThenOffersTheUsablePortsWithTheConfiguredOneSelected) {
  startWith({2, 0});
  Snapshot before, after;
  frmPorts* seen = nullptr;
  openFromMenu([&](frmPorts& d) {
    seen = &d;
    ui.at(std::chrono::milliseconds(ui.nowMs() + 2999), [&] { before = snapshot(d); });
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3000), [&] {
      after = snapshot(d);
      d.cmdCancel.click();
    });
  });
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(before.enabled, (std::array<bool, 4>{false, false, false, false}));
  EXPECT_TRUE(before.searching);
  EXPECT_EQ(after.enabled, (std::array<bool, 4>{true, true, true, true}));
  EXPECT_EQ(after.selected, (std::array<bool, 4>{false, true, false, false}));
  EXPECT_FALSE(after.searching);
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(rig.port.commPort(), 2);
}

TEST_F(PortDialog, ShowsItsCaptionsAndNamesEachPortsDevice) {
  startWith({1, 0});
  openFromMenu([&](frmPorts& d) {
    EXPECT_EQ(d.caption(), "Setup Serial Port");
    EXPECT_EQ(d.Label1.text(), "Looking for available ports...");
    EXPECT_EQ(d.picStatus.backColor(), platform::Colour{0xE1FFFF}) << "a tooltip's pale yellow";
    EXPECT_EQ(d.fraPorts.caption(), "Serial Port");
    EXPECT_EQ(d.cmdCancel.caption(), "&OK");
    for (int n = 1; n <= 4; ++n) {
      EXPECT_EQ(d.options()[n - 1]->caption(), "Comm " + std::to_string(n));
      EXPECT_EQ(d.options()[n - 1]->toolTip(), "memory:" + std::to_string(n));
    }
    EXPECT_GE(d.left(), 100);
    EXPECT_EQ(d.left(), rig.main.left() + (rig.main.width() - d.width()) / 2);
    d.close();
  });
}

TEST_F(PortDialog, WithNoPortConfiguredTheLowestUsableOneIsChosenBeforeTheUserDoesAnything) {
  rig.port.setAvailability(1, Availability::Missing);
  rig.port.setAvailability(2, Availability::Missing);
  ui.expectBox("Setup Required...", MsgResult::Yes);
  Snapshot s;
  ui.whenShown("frmPorts", [&](platform::Form& f) {
    auto& d = static_cast<frmPorts&>(f);
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&] {
      s = snapshot(d);
      d.cmdCancel.click();
    });
  });
  rig.start();
  ui.advance(10s);
  EXPECT_EQ(s.enabled, (std::array<bool, 4>{false, false, true, true}));
  EXPECT_EQ(s.selected, (std::array<bool, 4>{false, false, true, false}));
  EXPECT_EQ(s.portNumber, 3);
  EXPECT_EQ(rig.settings(), (Bytes{3, 0}));
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(rig.port.commPort(), 3);
  EXPECT_TRUE(rig.main.tmrUpdate.enabled()) << "polling starts once the port is chosen";
  EXPECT_FALSE(rig.port.written().empty());
}

TEST_F(PortDialog, AConfiguredPortHeldByAnotherProgramMovesTheSelectionOn) {
  startWith({4, 0});
  rig.port.setAvailability(4, Availability::Held);  // another program takes it while we let go
  Snapshot s;
  openFromMenu([&](frmPorts& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&] {
      s = snapshot(d);
      d.close();
    });
  });
  EXPECT_EQ(s.selected, (std::array<bool, 4>{true, false, false, false}));
  EXPECT_EQ(s.enabled, (std::array<bool, 4>{true, true, true, false}));
}

TEST_F(PortDialog, AnUnusableConfiguredPortPassesTheSelectionToTheNextUsableOne) {
  startWith({2, 0});
  rig.port.setAvailability(2, Availability::Held);
  Snapshot s;
  openFromMenu([&](frmPorts& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&] {
      s = snapshot(d);
      d.cmdCancel.click();
    });
  });
  EXPECT_EQ(s.selected, (std::array<bool, 4>{false, false, true, false}));
  EXPECT_EQ(rig.settings(), (Bytes{3, 0}));
  EXPECT_EQ(rig.port.commPort(), 3);
}

TEST_F(PortDialog, SavingKeepsTheRestOfTheFileAndOpensThePort) {
  startWith({2, 0, 9, 9});
  openFromMenu([&](frmPorts& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3500), [&] {
      d.optCom4.click();
      d.cmdCancel.click();
    });
  });
  EXPECT_EQ(rig.settings(), (Bytes{4, 0, 9, 9}));
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(rig.port.commPort(), 4);
  EXPECT_EQ(rig.state.PortNumber, 4);
}

// The values on screen belonged to the device on the old port.
TEST_F(PortDialog, ChoosingAnotherPortShowsDashesUntilItsDeviceAnswers) {
  startWith({1, 0});
  ui.advance(2500ms);
  ASSERT_EQ(rig.main.lblRevHardware.text(), "5");
  openFromMenu([&](frmPorts& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3500), [&] {
      d.optCom2.click();  // nothing answers there
      d.cmdCancel.click();
    });
  });
  const link::LiveView dashes;
  EXPECT_EQ(rig.state.shown, dashes);
  for (const platform::Label* field :
       {&rig.main.lblTEvolts, &rig.main.lblChargeMode, &rig.main.lblSetpoint, &rig.main.lblPWMvalue,
        &rig.main.lblBatVolts, &rig.main.lblBatTemp, &rig.main.lblRevHardware, &rig.main.lblRevSoftware,
        &rig.main.lblCalDate}) {
    EXPECT_EQ(field->text(), "-") << field->name();
  }
  EXPECT_EQ(rig.main.lblAlarmCode.text(), "");
  EXPECT_EQ(rig.state.BatTemp, 0.0f);
}

TEST_F(PortDialog, OkWithinTheFirstThreeSecondsSavesAndReopensTheConfiguredPort) {
  startWith({1, 0});
  const int opensBefore = rig.port.opens();
  openFromMenu(
      [&](frmPorts& d) { ui.at(std::chrono::milliseconds(ui.nowMs() + 500), [&] { d.cmdCancel.click(); }); });
  EXPECT_EQ(rig.settings(), (Bytes{1, 0}));
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(rig.port.opens(), opensBefore + 1) << "no probe ran";
  const auto before = rig.statusRequests();
  ui.advance(4100ms);
  EXPECT_EQ(rig.statusRequests(), before + 2) << "polling resumes after the dialog";
}

TEST_F(PortDialog, OkWithNoPortToChooseSavesAndOpensNothingAndStaysOpen) {
  ui.expectBox("Setup Required...", MsgResult::Yes);
  ui.expectBox("Orvik Monitor", MsgResult::Ok);
  bool stillOpen = false;
  ui.whenShown("frmPorts", [&](platform::Form& f) {
    auto& d = static_cast<frmPorts&>(f);
    ui.at(std::chrono::milliseconds(ui.nowMs() + 1000), [&] {
      d.cmdCancel.click();
      stillOpen = d.lifecycle().visible;
      d.close();
    });
  });
  ui.answerAlways("Setup Required...", MsgResult::No);
  rig.start();
  ui.advance(3s);
  ASSERT_GE(ui.boxes().size(), 2u);
  EXPECT_EQ(ui.boxes()[1].box.text, "Invalid Port number");
  EXPECT_EQ(ui.boxes()[1].box.icon, platform::MsgIcon::None);
  EXPECT_TRUE(stillOpen);
  EXPECT_TRUE(rig.settings().empty());
  EXPECT_FALSE(rig.port.isOpen());
}

TEST_F(PortDialog, APortThatFailsToOpenAtOkIsNamedAndAnotherCanBeChosen) {
  startWith({4, 0});
  rig.port.setAvailability(1, Availability::Held);
  rig.port.setAvailability(4, Availability::Held);
  ui.expectBox("Port Setup", MsgResult::Ok);
  Snapshot s;
  bool stayed = false;
  openFromMenu([&](frmPorts& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&] {
      s = snapshot(d);
      d.cmdCancel.click();  // the selection moved from Comm 4 to Comm 1, which never probed usable
      stayed = d.lifecycle().visible;
      d.optCom2.click();
      d.cmdCancel.click();
    });
  });
  EXPECT_EQ(s.selected, (std::array<bool, 4>{true, false, false, false}));
  EXPECT_FALSE(s.enabled[0]);
  ASSERT_EQ(ui.boxTitles(), std::vector<std::string>{"Port Setup"});
  EXPECT_EQ(ui.boxes()[0].box.text, "Comm1 is unavailable.\rSelect a different serial port.");
  EXPECT_EQ(ui.boxes()[0].box.details, "Device: memory:1\nError: Device or resource busy");
  EXPECT_TRUE(stayed);
  EXPECT_EQ(rig.settings(), (Bytes{2, 0})) << "only the port that opened is saved";
  EXPECT_EQ(rig.port.commPort(), 2);
  EXPECT_TRUE(rig.port.isOpen());
}

TEST_F(PortDialog, ASettingsFileThatCannotBeWrittenIsReportedAndThePortStillOpens) {
  startWith({1, 0});
  rig.files.faults["options.cfg"] = testing::MemoryFiles::Fault::Unwritable;
  ui.expectBox("Port Setup", MsgResult::Ok);
  openFromMenu([&](frmPorts& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&] {
      d.optCom3.click();
      d.cmdCancel.click();
    });
  });
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].box.text,
            "The port choice could not be saved in options.cfg.\rComm 3 is used for this run only.");
  EXPECT_TRUE(rig.port.isOpen());
  EXPECT_EQ(rig.port.commPort(), 3);
  EXPECT_EQ(rig.settings(), (Bytes{1, 0}));
}

TEST_F(PortDialog, NoUsablePortAtAllIsAStopMessageAndTheDialogStays) {
  startWith({1, 0});
  for (int n = 1; n <= 4; ++n)
    rig.port.setAvailability(n, Availability::Missing);
  ui.expectBox("Port Error", MsgResult::Ok);
  Snapshot s;
  openFromMenu([&](frmPorts& d) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&] {
      s = snapshot(d);
      d.close();
    });
  });
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(
      ui.boxes()[0].box.text,
      "No unused serial ports were detected!\rThis program requires an RS232 port to communicate with the "
      "register.");
  EXPECT_EQ(ui.boxes()[0].box.icon, platform::MsgIcon::Critical);
  EXPECT_EQ(ui.beeps().size(), 1u);
  EXPECT_EQ(s.enabled, (std::array<bool, 4>{false, false, false, false}));
  EXPECT_FALSE(rig.port.isOpen());
}

TEST_F(PortDialog, PortsThereButNotTheUsersAreExplainedOnceWithTheWayOutAndNotAskedForAgain) {
  // A configured Comm 1 that is not the user's, Comm 2 the same, Comm 3 and 4 missing.
  rig.configure({1, 0});
  for (int n = 1; n <= 4; ++n)
    rig.port.setAvailability(n, n <= 2 ? Availability::Denied : Availability::Missing);
  for (const char* title :
       {"Port Setup", "Port Setup", "Setup Required...", "Port Error", "Port Setup", "Orvik Monitor"})
    ui.expectBox(title, title[0] == 'S' ? MsgResult::Yes : MsgResult::Ok);
  bool closedByOk = false;
  ui.whenShown("frmPorts", [&](platform::Form& f) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&] {
      static_cast<frmPorts&>(f).cmdCancel.click();
      closedByOk = !f.lifecycle().loaded;
    });
  });
  rig.start();
  ui.advance(10s);
  rig.main.mnuAbout.click();  // the main window is active again after another of its windows
  ui.advance(1s);
  rig.main.aboutBox()->cmdOK.click();
  ui.advance(1s);
  const std::string remedy =
      "The device belongs to the group \"dialout\". Ask an administrator to make you a member of it, for "
      "example with\n    sudo usermod -a -G dialout tech\nthen log out and log in again.";
  ASSERT_EQ(ui.boxes().size(), 6u) << "no question after the explanation";
  EXPECT_EQ(ui.boxes()[0].box.text, "Comm1 is unavailable.\rSelect a different serial port.");
  EXPECT_EQ(ui.boxes()[1].box.text, "Comm 1 (memory:1) cannot be opened: Permission denied.\r\r" + remedy);
  EXPECT_EQ(ui.boxes()[4].box.text,
            "Comm 1 (memory:1) cannot be opened: Permission denied.\rComm 2 (memory:2) cannot be opened: "
            "Permission denied.\r\r" +
                remedy);
  EXPECT_EQ(ui.boxes()[4].box.icon, platform::MsgIcon::Exclamation);
  EXPECT_EQ(ui.boxes()[5].box.text, "Invalid Port number");
  EXPECT_TRUE(closedByOk) << "after a probe that found nothing, OK leaves the dialog";
  EXPECT_EQ(rig.settings(), (Bytes{1, 0}));
}

TEST_F(PortDialog, TheCloseBoxSavesNothingAndLeavesThePortClosedAndPollingStopped) {
  ui.expectBox("Setup Required...", MsgResult::Yes);
  ui.whenShown("frmPorts", [&](platform::Form& f) {
    ui.at(std::chrono::milliseconds(ui.nowMs() + 3100), [&f] { f.close(); });
  });
  rig.start();
  ui.advance(10s);
  EXPECT_EQ(rig.state.PortNumber, 1) << "the probe's choice stays in memory";
  EXPECT_EQ(ui.boxes().size(), 1u) << "so the question is not asked again";
  EXPECT_TRUE(rig.settings().empty());
  EXPECT_FALSE(rig.port.isOpen());
  EXPECT_EQ(rig.statusRequests(), 0u);
}

TEST_F(PortDialog, TheDialogStopsTheReceiveTimeoutAndClosesThePortWhileItIsOpen) {
  startWith({1, 0});
  ui.advance(2100ms);  // a request is outstanding
  ASSERT_TRUE(rig.link.tmrRecvTimeout.enabled() || rig.state.lastAnswer.code == '>');
  rig.link.tmrRecvTimeout.setEnabled(true);
  openFromMenu([&](frmPorts& d) {
    EXPECT_FALSE(rig.link.tmrRecvTimeout.enabled());
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_FALSE(rig.main.tmrUpdate.enabled());
    d.close();
  });
  EXPECT_FALSE(rig.main.tmrUpdate.enabled()) << "the port stayed closed, so polling stays stopped";
}

}  // namespace
}  // namespace orvik::ports
