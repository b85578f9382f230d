#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "calibration/frm_cal_date.h"
#include "calibration/trim_dialog.h"
#include "support/app_rig.h"
#include "support/headless_fixture.h"

namespace orvik::testing {

using Bytes = std::vector<std::uint8_t>;

// Names the rows of a parameterised test after their `what`.
struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.what;
  }
};

// The application on a controller model that has answered its first status request.
//   startLinked()                               -> the main window shows live values
//   openTrim("frmBatVolts", [](TrimDialog& d){})  -> chooses the trim's menu item; the script runs in the
//                                                  dialog 10 ms after it shows; returns once it has closed
//   whileOpen(d, 300ms, action)                  -> runs `action` then, if `d` is still the active window
//   requests('=')                                -> the requests with that code the controller received
class CalibrationTest : public HeadlessTest {
 protected:
  void startLinked() {
    rig.configure({1, 0});
    rig.start();
    ASSERT_TRUE(ui.runUntil([&] { return rig.state.shown.batTemp.text != "-"; }, std::chrono::seconds(3)));
  }

  void openTrim(const std::string& formName, std::function<void(calibration::TrimDialog&)> script) {
    ui.whenShown(
        formName, [script](platform::Form& f) { script(static_cast<calibration::TrimDialog&>(f)); },
        std::chrono::milliseconds(10));
    if (formName == "frmBatVolts") rig.main.mnuTrimVolts.click();
    if (formName == "frmTEVolts") rig.main.mnuTrimTE.click();
    if (formName == "frmBatOffset") rig.main.mnuTrimTemp.click();
  }

  void openDate(std::function<void(calibration::frmCalDate&)> script) {
    ui.whenShown(
        "frmCalDate", [script](platform::Form& f) { script(static_cast<calibration::frmCalDate&>(f)); },
        std::chrono::milliseconds(10));
    rig.main.mnuCalDate.click();
  }

  void whileOpen(const platform::Form& dialog, std::chrono::milliseconds delay,
                 std::function<void()> action) {
    ui.at(std::chrono::milliseconds(ui.nowMs()) + delay, [this, &dialog, action] {
      if (ui.activeForm() == &dialog) action();
    });
  }

  std::vector<Bytes> requests(std::uint8_t code) const {
    std::vector<Bytes> out;
    for (const auto& r : rig.model.requests()) {
      if (r[0] == code) out.push_back(r);
    }
    return out;
  }

  AppRig rig{ui};
};

}  // namespace orvik::testing
