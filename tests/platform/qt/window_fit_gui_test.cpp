// Every window at the desktop fonts technicians have (9, 11 and 14 pt): each caption and value lies
// whole inside its field, measured with the font's metrics, and no control of a form leaves its frame
// or overlaps another. One table: windows by fonts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <map>
#include <memory>

#include "app/frm_about.h"
#include "app/frm_main.h"
#include "calibration/frm_cal_date.h"
#include "calibration/trim_dialogs.h"
#include "diagnostics/frm_edit_tag.h"
#include "diagnostics/frm_report.h"
#include "history/history_window.h"
#include "link/alarm_text.h"
#include "link/display_format.h"
#include "platform/headless/headless_ui.h"
#include "platform/qt/gui_input.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/text_fit.h"
#include "ports/frm_ports.h"
#include "support/app_rig.h"
#include "support/memory_files.h"
#include "support/test_form.h"
#include "support/working_link.h"
#include "trend/trend_window.h"

namespace orvik::testing {
namespace {

using platform::Label;
using Texts = std::vector<std::pair<Label*, std::vector<std::string>>>;

// The live texts the main window shows for a controller with these settings, read from the window's
// fields after a few polls on the headless window system.
std::map<std::string, std::string> textsShownFor(const sim::ControllerSettings& settings) {
  platform::headless::HeadlessUi headless;
  AppRig rig(headless);
  rig.model.settings = settings;
  rig.configure({1, 0});
  rig.start();
  headless.advance(std::chrono::seconds(5));
  std::map<std::string, std::string> shown;
  for (platform::Control* c : rig.main.controls()) {
    if (c->kind() == platform::ControlKind::Label) shown[c->name()] = static_cast<Label*>(c)->text();
  }
  return shown;
}

// Every text a field of the main window can show at its widest, as the window shows it: each alarm and
// sensor warning, each mode and date, values at the ends of their ranges, and a 32-byte answer.
Texts mainWindowTexts(app::frmMain& main) {
  std::vector<std::string> alarms, modes;
  for (int code = 1; code <= 255; ++code) {
    sim::ControllerSettings alarm;
    alarm.alarmCode = static_cast<std::uint8_t>(code);
    alarms.push_back(textsShownFor(alarm)["lblAlarmCode"]);
  }
  for (sim::SensorFault fault : {sim::SensorFault::Open, sim::SensorFault::Shorted}) {
    sim::ControllerSettings failed;
    failed.sensor = fault;
    alarms.push_back(textsShownFor(failed)["lblAlarmCode"]);
  }
  EXPECT_EQ(alarms[256].rfind("\rWARNING! Battery temperature sensor failure - circuit is shorted.", 0), 0u);
  for (std::uint8_t mode = 0; mode <= 4; ++mode) {
    sim::ControllerSettings charger;
    charger.chargeMode = mode;
    modes.push_back(textsShownFor(charger)["lblChargeMode"]);
  }
  sim::ControllerSettings uncalibrated;
  uncalibrated.calMonth = uncalibrated.calDay = uncalibrated.calYear = 0;
  std::vector<std::string> dates = {textsShownFor(uncalibrated)["lblCalDate"]};
  for (int month = 1; month <= 12; ++month)
    dates.push_back(link::mediumDate({1999, month, 28}));
  std::string answer;
  for (int i = 0; i < 32; ++i)
    answer += " 255,";
  return {{&main.lblTEvolts, {"ERROR", "15.000 V"}},
          {&main.lblChargeMode, modes},
          {&main.lblSetpoint, {"-999.99 V", "999.99 V"}},
          {&main.lblPWMvalue, {"100%"}},
          {&main.lblBatVolts, {"-999.99 V"}},
          {&main.lblBatTemp, {"-9999 \u00B0F", "-459 \u00B0F"}},
          {&main.lblAlarmCode, alarms},
          {&main.lblCalDate, dates},
          {&main.lblRevHardware, {"255"}},
          {&main.lblRevSoftware, {"255"}},
          {&main.lblRefresh, {"Communication Status", "No Response"}},
          {&main.lblTest, {answer, "Timeout"}}};
}

class WindowsAtDesktopFonts : public ::testing::Test {
 protected:
  ~WindowsAtDesktopFonts() override {
    QApplication::setFont(QFont());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // Shows the form, tries `texts` in its fields one after another, and looks at the whole window.
  void check(platform::Form& form, const Texts& texts = {}) {
    ui.show(form);
    ASSERT_TRUE(
        processEventsUntil([&] { return ui.windowOf(form) != nullptr && ui.windowOf(form)->isVisible(); }));
    for (auto& [label, tries] : texts) {
      for (const std::string& text : tries) {
        label->setText(text);
        if (auto fits = showsWhole(*qobject_cast<QLabel*>(ui.widgetOf(form, label->name())), 1.0); !fits)
          cut.push_back(fits.message());
      }
    }
    look(*ui.windowOf(form), &form);
  }
  // What of `window` is cut, and for a form which control leaves its frame or overlaps another.
  void look(QWidget& window, const platform::Form* form) {
    const auto more = cutTexts(window);
    cut.insert(cut.end(), more.begin(), more.end());
    for (const platform::Control* c :
         form != nullptr ? form->controls() : std::vector<platform::Control*>{}) {
      const QWidget* w = ui.widgetOf(*form, c->name());
      if (!w->isVisibleTo(&window)) continue;
      if (!w->parentWidget()->contentsRect().contains(w->geometry()))
        cut.push_back(c->name() + " leaves its frame");
      for (const QWidget* other : w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != w && other->isVisibleTo(&window) && other->geometry().intersects(w->geometry()))
          cut.push_back(c->name() + " overlaps " + other->objectName().toStdString());
      }
    }
  }

  platform::qt::QtUi ui;
  link::RunState state;
  WorkingLink working{state, ui.timers()};
  MemoryFiles files;
  TestForm opener{ui, "frmMain"};
  std::vector<std::string> cut;
};

TEST_F(WindowsAtDesktopFonts, ShowEveryCaptionAndValueWholeAndNoControlOverAnother) {
  state.shown.calDate = "NO CALIBRATION";
  state.shown.batTemp.text = "-459 \u00B0F";
  using Opening = std::function<void()>;
  link::ControllerLink& link = working.link;
  const std::vector<std::pair<const char*, Opening>> windows = {
      {"main window",
       [&] {
         // Its own link: loading it without a port settles the link down, as at a first start.
         link::RunState mainState;
         WorkingLink mainLink{mainState, ui.timers()};
         app::frmMain main(ui, mainState, mainLink.link, files);
         BoxAnswerer no([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
         check(main, mainWindowTexts(main));
         ASSERT_TRUE(processEventsUntil(
             [&] { return ui.activeForm() == &main && !QApplication::activeModalWidget(); }));
       }},
      {"About", [&] { check(*std::make_unique<app::frmAbout>(ui, opener)); }},
      {"port setup",
       [&] {
         check(*std::make_unique<ports::frmPorts>(ui, opener, link, files));
         link.openPort(1);  // the dialog closed it
       }},
      {"calibration date",
       [&] {
         calibration::frmCalDate date(ui, link, state, opener);
         date.txtCalDate.setText("30-May-2026");
         check(date, {{&date.lblLastCal, {"Last Calibration - NO CALIBRATION"}},
                      {&date.lblStatus, {"Looking for TE Controller...", "Saving..."}}});
       }},
      {"trims",
       [&] {
         calibration::frmBatVolts volts(ui, link, state, opener);
         volts.txtBatVolts.setText("-12.3456");
         check(volts,
               {{&volts.lblBatVolts, {"-999.999"}},
                {&volts.lblStatus, {"Reading Battery Volts gain...", "Saving Battery Volts Gain..."}}});
         calibration::frmTEVolts te(ui, link, state, opener);
         check(te, {{&te.lblStatus, {"Reading TE Volts gain...", "Saving TE Volts Gain..."}}});
         calibration::frmBatOffset temperature(ui, link, state, opener);
         check(temperature,
               {{&temperature.lblStatus, {"Reading Battery Offset...", "Saving Battery Temp Offset..."}}});
       }},
      {"report",
       [&] {
         diagnostics::frmReport report(ui, link, opener);
         Texts texts = {{&report.lblTag, {"WWWWWWWWWWWWWWWWWWWW"}},
                        {&report.lblStatus, {"Reading Battery Temperature at Shutdown..."}}};
         for (Label* value : {&report.lblBVgain, &report.lblBToffset, &report.lblTEvolts, &report.lblBatTemp})
           texts.push_back({value, {"-1.234568E+07 Volts"}});
         for (int code = 0; code <= 255; ++code)
           texts.push_back({&report.lblShutdownReason, {link::AlarmText(static_cast<std::uint8_t>(code))}});
         check(report, texts);
       }},
      {"tag editor",
       [&] {
         diagnostics::frmEditTag editor(ui, link, opener);
         editor.txtTag.setText("WWWWWWWWWWWWWWWWWWWW");
         check(editor, {{&editor.lblStatus, {"Saving new Tag Name..."}}});
       }},
      {"live trend and service history",
       [&] {
         link::StatusStore store;
         store.addRecord(std::chrono::system_clock::now(), link::StatusRecord{});
         trend::TrendWindow trend(store);
         service_record::ServiceRow row;
         row.tag = "WWWWWWWWWWWWWWWWWWWW";
         history::HistoryWindow history([&](auto&&...) { return std::vector{row}; }, row.tag);
         for (QWidget* window : {static_cast<QWidget*>(&trend), static_cast<QWidget*>(&history)}) {
           window->show();
           ASSERT_TRUE(processEventsUntil([&] { return window->isVisible(); }));
           look(*window, nullptr);
         }
       }},
  };
  for (const double points : {9.0, 11.0, 14.0}) {
    QFont font("DejaVu Sans");
    font.setPointSizeF(points);
    QApplication::setFont(font);
    for (const auto& [name, open] : windows) {
      open();
      for (const std::string& problem : std::exchange(cut, {}))
        ADD_FAILURE() << name << " at " << points << " pt: " << problem;
    }
  }
}

}  // namespace
}  // namespace orvik::testing
