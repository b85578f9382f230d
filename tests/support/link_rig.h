#pragma once

#include "link/controller_link.h"
#include "platform/controls.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/memory_serial_port.h"
#include "platform/menu.h"
#include "platform/timer.h"
#include "support/test_form.h"

namespace orvik::testing {

// The controller link with the indicators a main window would hand it, on an open in-memory port 1.
struct LinkRig {
  explicit LinkRig(platform::headless::HeadlessUi& ui) : form(ui), port(ui), link(state, port, indicators()) {
    state.RxBuffer[1] = 255;
    port.setCommPort(1);
    port.open();
  }

  link::LinkIndicators indicators() {
    return {ledRefresh,     lblRefresh, lblTest,
            tmrRecvTimeout, tmrRefresh, {&mnuReport, &mnuTrimTemp, &mnuTrimVolts, &mnuTrimTE, &mnuCalDate}};
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
  platform::Timer tmrRecvTimeout{form, "tmrRecvTimeout", 100};
  platform::Timer tmrRefresh{form, "tmrRefresh", 100};
  platform::MenuItem mnuController{form, "mnuController", "&Tools"};
  platform::MenuItem mnuReport{mnuController, "mnuReport", "Orvik Report..."};
  platform::MenuItem mnuTrimTemp{mnuController, "mnuTrimTemp", "Trim Battery &Temp..."};
  platform::MenuItem mnuTrimVolts{mnuController, "mnuTrimVolts", "Trim Battery &Voltage..."};
  platform::MenuItem mnuTrimTE{mnuController, "mnuTrimTE", "Trim TE &Module Voltage..."};
  platform::MenuItem mnuCalDate{mnuController, "mnuCalDate", "Update Calibration &Date..."};
  link::RunState state;
  platform::headless::MemorySerialPort port;
  link::ControllerLink link;
};

}  // namespace orvik::testing
