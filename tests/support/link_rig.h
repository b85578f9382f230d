#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/controller_link.h"
#include "link/display_format.h"
#include "platform/controls.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/memory_serial_port.h"
#include "platform/menu.h"
#include "platform/timer.h"
#include "support/test_form.h"

namespace orvik::testing {

// The controller link on an open in-memory port 1, with a listener that shows what it is told on the
// indicators a main window has, and logs each event by name.
struct LinkRig : link::LinkListener {
  explicit LinkRig(platform::headless::HeadlessUi& ui) : form(ui), port(ui), link(state, port, ui.timers()) {
    link.setListener(this);
    state.RxBuffer[1] = 255;
    port.setCommPort(1);
    port.open();
  }

  void packetSent() override {
    events.push_back("sent");
    ledRefresh.setFillColor(platform::kRed);
  }
  void packetReceived(std::span<const std::uint8_t> packet) override {
    events.push_back("received " + link::PacketLine(packet));
    lblRefresh.setText(link::kLinkAnswered);
    lblTest.setText(link::PacketLine(packet));
  }
  void statusReceived(const link::StatusRecord&) override {
    events.push_back("status");
    if (onStatus) onStatus();
  }
  void answerSettled() override {
    events.push_back("settled");
    ledRefresh.setFillColor(platform::kDarkRed);
  }
  void linkDown() override {
    events.push_back("down");
    ledRefresh.setFillColor(platform::kDarkRed);
    lblRefresh.setText(link::kLinkNoResponse);
    lblTest.setText(link::kLinkTimedOut);
  }
  void liveCommandsAvailable(bool available) override {
    events.push_back(available ? "available" : "unavailable");
    for (auto* m : {&mnuReport, &mnuTrimTemp, &mnuTrimVolts, &mnuTrimTE, &mnuCalDate})
      m->setEnabled(available);
  }

  bool gatedEnabled() const {
    return mnuReport.enabled() && mnuTrimTemp.enabled() && mnuTrimVolts.enabled() && mnuTrimTE.enabled() &&
           mnuCalDate.enabled();
  }
  bool gatedDisabled() const {
    return !mnuReport.enabled() && !mnuTrimTemp.enabled() && !mnuTrimVolts.enabled() &&
           !mnuTrimTE.enabled() && !mnuCalDate.enabled();
  }
  void disableGated() {
    for (auto* m : {&mnuReport, &mnuTrimTemp, &mnuTrimVolts, &mnuTrimTE, &mnuCalDate})
      m->setEnabled(false);
  }

  TestForm form;
  platform::Shape ledRefresh{form, "ledRefresh", platform::ShapeKind::Circle, platform::kDarkRed};
  platform::Label lblRefresh{form, "lblRefresh", "Communication Status"};
  platform::Label lblTest{form, "lblTest", "Comm Status"};
  platform::MenuItem mnuController{form, "mnuController", "&Tools"};
  platform::MenuItem mnuReport{mnuController, "mnuReport", "Orvik Report..."};
  platform::MenuItem mnuTrimTemp{mnuController, "mnuTrimTemp", "Trim Battery &Temp..."};
  platform::MenuItem mnuTrimVolts{mnuController, "mnuTrimVolts", "Trim Battery &Voltage..."};
  platform::MenuItem mnuTrimTE{mnuController, "mnuTrimTE", "Trim TE &Module Voltage..."};
  platform::MenuItem mnuCalDate{mnuController, "mnuCalDate", "Update Calibration &Date..."};
  link::RunState state;
  platform::headless::MemorySerialPort port;
  link::ControllerLink link;
  platform::Timer& tmrRecvTimeout = link.tmrRecvTimeout;
  platform::Timer& tmrRefresh = link.tmrRefresh;
  std::vector<std::string> events;
  std::function<void()> onStatus;
};

}  // namespace orvik::testing
