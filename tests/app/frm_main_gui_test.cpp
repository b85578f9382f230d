// The main window and the About box as real widgets, offscreen.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

#include "app/frm_about.h"
#include "app/frm_logo.h"
#include "app/frm_main.h"
#include "link/run_state.h"
#include "platform/qt/gui_input.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/text_fit.h"
#include "support/memory_files.h"

namespace orvik::app {
namespace {

using orvik::testing::BoxAnswerer;
using orvik::testing::pressKey;
using orvik::testing::processEventsUntil;
using namespace std::chrono_literals;

class MainWindowWidgets : public ::testing::Test {
 protected:
  MainWindowWidgets() {
    for (int n = 1; n <= 4; ++n)
      ::setenv(("ORVIK_COMM" + std::to_string(n)).c_str(), "/dev/orvik-none", 1);
  }
  ~MainWindowWidgets() override {
    for (int n = 1; n <= 4; ++n)
      ::unsetenv(("ORVIK_COMM" + std::to_string(n)).c_str());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Shows the main window of a first start, answering the port question No; returns when it is active.
  void start() {
    BoxAnswerer no([&](QMessageBox& box) {
      questions.push_back(box.text());
      box.button(QMessageBox::No)->click();
    });
    ui.show(main);
    ASSERT_TRUE(processEventsUntil([&] { return questions.size() == 1 && ui.activeForm() == &main; }));
  }
  QLabel* label(const platform::Form& form, const std::string& name) {
    return qobject_cast<QLabel*>(ui.widgetOf(form, name));
  }
  QAction* action(const std::string& name) {
    return ui.windowOf(main)->findChild<QAction*>(QString::fromStdString(name));
  }

  platform::qt::QtUi ui;
  platform::qt::QtSerialPort port;
  testing::MemoryFiles files;
  link::RunState state;
  link::ControllerLink link{state, port, ui.timers()};
  frmMain main{ui, state, link, files};
  std::vector<QString> questions;
};

TEST_F(MainWindowWidgets, ShowTheInstrumentPanelWithItsFontsColoursAndDescriptions) {
  start();
  QWidget* window = ui.windowOf(main);
  EXPECT_EQ(window->windowTitle(), "Orvik Monitor");
  EXPECT_EQ(window->objectName(), "frmMain");
  struct Field {
    const char* name;
    const char* description;
  };
  for (const Field& f :
       {Field{"lblTEvolts", "TE module voltage"}, Field{"lblChargeMode", "Charge mode"},
        Field{"lblSetpoint", "Battery charge setpoint"}, Field{"lblPWMvalue", "Charger control output"},
        Field{"lblBatVolts", "Battery voltage"}, Field{"lblBatTemp", "Battery temperature"}}) {
    QLabel* l = label(main, f.name);
    ASSERT_NE(l, nullptr) << f.name;
    EXPECT_EQ(l->text(), "-") << f.name;
    EXPECT_EQ(l->font().pointSizeF(), 13.5) << f.name;
    EXPECT_TRUE(l->alignment() & Qt::AlignHCenter) << f.name;
    EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(0, 255, 0)) << f.name;
    EXPECT_EQ(l->palette().color(QPalette::Window), QColor(0, 0, 0)) << f.name;
    EXPECT_EQ(l->accessibleDescription(), f.description) << f.name;
  }
  for (const Field& f :
       {Field{"lblRefresh", "Link status"}, Field{"lblAlarmCode", "Alarm messages"},
        Field{"lblCalDate", "Calibration date"}, Field{"lblRevHardware", "Hardware revision"},
        Field{"lblRevSoftware", "Software revision"}}) {
    EXPECT_EQ(ui.widgetOf(main, f.name)->accessibleDescription(), f.description) << f.name;
  }
  // Screen readers speak each live value with its caption as the keyboard reaches it.
  // clang-format off
  const std::pair<const char*, const char*> captions[] = {
      {"lblTEvolts", "TE Module"}, {"lblChargeMode", "Mode"}, {"lblSetpoint", "Setpoint"}, {"lblPWMvalue", "Control"},
      {"lblBatVolts", "Voltage"}, {"lblBatTemp", "Temperature"}, {"lblCalDate", "Calibrated:"},
      {"lblRevHardware", "Hardware Revision:"}, {"lblRevSoftware", "Software Revision:"}};
  // clang-format on
  for (auto [field, caption] : captions)
    EXPECT_EQ(testing::captionOf(*ui.widgetOf(main, field)), caption) << field;
  EXPECT_EQ(label(main, "lblRefresh")->text(), "Communication Status");
  EXPECT_EQ(label(main, "lblTest")->text(), "Comm Status");
  EXPECT_EQ(label(main, "lblCalHint")->text(), "day-mo-yr");
  QWidget* led = ui.widgetOf(main, "ledRefresh");
  EXPECT_EQ(led->accessibleDescription(), "Link indicator");
  EXPECT_EQ(led->accessibleName(), "dark red");
  EXPECT_EQ(qobject_cast<QPushButton*>(ui.widgetOf(main, "cmdClose"))->text(), "E&xit");
}

TEST_F(MainWindowWidgets, TabReadsTheLiveFieldsInOrderAndNoStrayKeyEndsTheProgram) {
  start();
  QWidget* window = ui.windowOf(main);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::Window) << "an application window, not a dialog";

  const std::vector<std::string> order = {"lblTEvolts",     "lblChargeMode",  "lblSetpoint",  "lblPWMvalue",
                                          "lblBatVolts",    "lblBatTemp",     "lblAlarmCode", "lblCalDate",
                                          "lblRevHardware", "lblRevSoftware", "lblRefresh",   "lblTest",
                                          "cmdClose",       "lblTEvolts"};
  ASSERT_TRUE(processEventsUntil([&] { return QApplication::focusWidget() == ui.widgetOf(main, order[0]); }))
      << "the first value field has the keyboard when the window opens";
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    pressKey(window, key);
    EXPECT_FALSE(ui.ended()) << key;
  }
  main.lblTEvolts.setText("13.433 V");
  QAccessibleInterface* field = QAccessible::queryAccessibleInterface(QApplication::focusWidget());
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->state().focused);
  EXPECT_EQ(field->text(QAccessible::Name), "13.433 V") << "a screen reader reads the value";
  EXPECT_EQ(field->text(QAccessible::Description), "TE module voltage");

  QWidget* mode = ui.widgetOf(main, "lblChargeMode");
  const QImage unfocused = mode->grab().toImage();
  for (std::size_t i = 1; i < order.size(); ++i) {
    pressKey(window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ui.widgetOf(main, order[i])) << "Tab " << i << ": " << order[i];
    if (i == 1) {
      EXPECT_NE(mode->grab().toImage(), unfocused) << "the field with the keyboard shows it";
    }
  }
  pressKey(window, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), ui.widgetOf(main, "cmdClose"));
  EXPECT_FALSE(ui.ended());
  pressKey(window, Qt::Key_Space);  // on Exit
  EXPECT_TRUE(ui.ended());
}

TEST_F(MainWindowWidgets, ClosingTheSplashBeforeTheMainWindowEndsTheProgram) {
  frmLogo splash(ui, main);
  ui.show(splash);
  ASSERT_TRUE(processEventsUntil([&] { return ui.activeForm() == &splash; }));
  ui.windowOf(splash)->close();  // as its close box or Alt+F4
  EXPECT_TRUE(ui.ended());
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(5000);
  EXPECT_EQ(QCoreApplication::exec(), 0) << "the application loop ends";
  EXPECT_FALSE(main.lifecycle().loaded);
}

TEST_F(MainWindowWidgets, CarryTheMenuTreeWithItsShortcutsAndStates) {
  start();
  struct Item {
    const char* name;
    const char* caption;
    const char* shortcut;
    bool enabled;
  };
  const std::vector<Item> items = {
      {"mnuExit", "E&xit", "", true},
      {"mnuReport", "Orvik Report...", "Ctrl+R", false},
      {"mnuTrimTemp", "Trim Battery &Temp...", "F5", false},
      {"mnuTrimVolts", "Trim Battery &Voltage...", "F6", false},
      {"mnuTrimTE", "Trim TE &Module Voltage...", "F7", false},
      {"mnuCalDate", "Update Calibration &Date...", "", false},
      {"mnuEditTag", "&Edit Tag Name...", "Ctrl+T", true},
      {"mnuSerialPort", "Serial Port...", "Ctrl+P", true},
      {"mnuIndex", "&Contents...", "", false},
      {"mnuAbout", "&About", "", true},
  };
  for (const Item& item : items) {
    QAction* a = action(item.name);
    ASSERT_NE(a, nullptr) << item.name;
    EXPECT_EQ(a->text(), item.caption) << item.name;
    EXPECT_EQ(a->shortcut(), QKeySequence(item.shortcut)) << item.name;
    EXPECT_EQ(a->isEnabled(), item.enabled) << item.name;
  }
  QStringList menus;
  for (QAction* a : ui.windowOf(main)->findChild<QMenuBar*>()->actions())
    menus << a->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&Tools", "&Setup", "&Help"}));

  // The controller commands follow the link: enabled by the first received byte.
  main.mnuReport.setEnabled(true);
  EXPECT_TRUE(action("mnuReport")->isEnabled());
}

TEST_F(MainWindowWidgets, AskForAPortOnceUntilAnotherOfOurWindowsHasBeenActive) {
  start();
  ui.windowOf(main)->activateWindow();  // as when focus comes back from another application
  processEventsUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(
      questions[0],
      "This tool kit requires a serial port for communicating.\n\nWould you like to choose a port now? ");

  BoxAnswerer no([&](QMessageBox& box) {
    questions.push_back(box.text());
    box.button(QMessageBox::No)->click();
  });
  action("mnuAbout")->trigger();
  frmAbout* about = main.aboutBox();
  ASSERT_NE(about, nullptr);
  ASSERT_TRUE(processEventsUntil([&] { return ui.activeForm() == about; }));
  pressKey(ui.windowOf(*about), Qt::Key_Escape);
  ASSERT_TRUE(processEventsUntil([&] { return questions.size() == 2; }));
  EXPECT_FALSE(about->lifecycle().loaded);
}

TEST_F(MainWindowWidgets, TheAboutBoxShowsTheVersionAndClosesWithEnterOrEsc) {
  start();
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    BoxAnswerer no([&](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    action("mnuAbout")->trigger();
    frmAbout* about = main.aboutBox();
    ASSERT_TRUE(processEventsUntil([&] { return ui.activeForm() == about; }));
    QWidget* window = ui.windowOf(*about);
    EXPECT_EQ(window->windowTitle(), "About Orvik Monitor");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window)->role(), QAccessible::Dialog);
    EXPECT_EQ(label(*about, "lblVersion")->text(), "Version 1.0.0");
    EXPECT_EQ(label(*about, "lblTitle")->text(), "Orvik Monitor");
    pressKey(window, key);
    EXPECT_TRUE(processEventsUntil([&] { return !about->lifecycle().loaded; })) << key;
    processEventsUntil([&] { return ui.activeForm() == &main; });
  }
}

}  // namespace
}  // namespace orvik::app
