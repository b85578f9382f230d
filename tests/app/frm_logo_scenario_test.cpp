// The splash window closed by the user, on the headless window system.
#include <gtest/gtest.h>

#include "app/frm_logo.h"
#include "support/app_rig.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;
using Availability = platform::headless::MemorySerialPort::Availability;

// A run that begins with the splash window, its port settings selecting Comm 1.
struct SplashRun {
  SplashRun() {
    ui.onFailure = [](const std::string& what) { ADD_FAILURE() << what; };
    rig.configure({1, 0});
  }
  platform::headless::HeadlessUi ui;
  testing::AppRig rig{ui};
  frmLogo splash{ui, rig.main};
};

TEST(Splash, ClosedBeforeTheMainWindowAppearsItEndsTheProgramWithThePortNeverOpened) {
  for (std::chrono::milliseconds closedAt : {0ms, 1000ms, 1999ms}) {
    SCOPED_TRACE(closedAt.count());
    SplashRun run;
    run.ui.show(run.splash);
    run.ui.at(closedAt, [&] { run.ui.unload(run.splash); });  // its close box
    run.ui.advance(10s);
    EXPECT_TRUE(run.ui.ended());
    EXPECT_FALSE(run.rig.main.lifecycle().loaded);
    EXPECT_FALSE(run.rig.port.isOpen());
    EXPECT_EQ(run.rig.statusRequests(), 0u);
  }
}

TEST(Splash, ClosedWhileTheMainWindowIsLoadingItLeavesTheRunToTheMainWindow) {
  // The main window's load names the port it cannot open; the splash is closed behind that box.
  SplashRun run;
  run.rig.configure({2, 0});
  run.rig.port.setAvailability(2, Availability::Missing);
  run.ui.expectBox("Port Setup", platform::MsgResult::Ok, 1000ms);
  run.ui.expectBox("Setup Required...", platform::MsgResult::No);
  run.ui.show(run.splash);
  run.ui.at(2500ms, [&] { run.ui.unload(run.splash); });
  run.ui.advance(10s);
  EXPECT_FALSE(run.ui.ended());
  EXPECT_FALSE(run.splash.lifecycle().loaded);
  EXPECT_TRUE(run.rig.main.lifecycle().visible);
  EXPECT_EQ(run.ui.activeForm(), &run.rig.main);
  EXPECT_EQ(run.ui.boxTitles(), (std::vector<std::string>{"Port Setup", "Setup Required..."}));
}

}  // namespace
}  // namespace orvik::app
