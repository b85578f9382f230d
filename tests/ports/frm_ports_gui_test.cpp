// The port dialog by keyboard, as real widgets offscreen, probing pseudo-terminals as Comm 1 to 3.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QRadioButton>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "app/frm_main.h"
#include "link/run_state.h"
#include "platform/qt/gui_input.h"
#include "platform/qt/pty_pair.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_ui.h"
#include "ports/frm_ports.h"
#include "support/memory_files.h"

namespace orvik::ports {
namespace {

using orvik::testing::pressKey;
using orvik::testing::processEventsUntil;
using orvik::testing::PtyPair;

class PortDialogKeyboard : public ::testing::Test {
 protected:
  PortDialogKeyboard() {
    for (int n = 1; n <= 3; ++n)
      ::setenv(("ORVIK_COMM" + std::to_string(n)).c_str(), ptys[n - 1].device().c_str(), 1);
    ::setenv("ORVIK_COMM4", "/dev/orvik-none", 1);
    files.files["options.cfg"] = {2, 0};
  }
  ~PortDialogKeyboard() override {
    for (int n = 1; n <= 4; ++n)
      ::unsetenv(("ORVIK_COMM" + std::to_string(n)).c_str());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Opens Setup > Serial Port... and, once the probe has offered the ports, runs `keys` in the dialog;
  // returns when the dialog has closed. A dialog the keys left open is closed after two seconds, and
  // `leftOpen` tells.
  void withDialog(const std::function<void(frmPorts&, QWidget&)>& keys) {
    ui.show(main);
    ASSERT_TRUE(processEventsUntil([&] { return ui.activeForm() == &main; }));
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
      auto* dialog = dynamic_cast<frmPorts*>(ui.activeForm());
      if (dialog == nullptr || dialog->picStatus.visible()) return;  // still looking for ports
      driver.stop();
      keys(*dialog, *ui.windowOf(*dialog));
      QTimer::singleShot(2000, &context, [this, id = dialog->lifecycle().id] {
        platform::Form* still = ui.activeForm();
        if (still == nullptr || still->lifecycle().id != id) return;
        leftOpen = true;
        still->close();
      });
    });
    driver.start();
    ui.windowOf(main)->findChild<QAction*>("mnuSerialPort")->trigger();
  }
  QWidget* widget(const frmPorts& dialog, const char* name) { return ui.widgetOf(dialog, name); }

  PtyPair ptys[3];
  platform::qt::QtUi ui;
  platform::qt::QtSerialPort port;
  testing::MemoryFiles files;
  link::RunState state;
  link::ControllerLink link{state, port, ui.timers()};
  app::frmMain main{ui, state, link, files};
  bool leftOpen = false;
  QObject context;  // the safety net's timer goes with the test
};

TEST_F(PortDialogKeyboard, TabLandsOnTheSelectedPortArrowsMoveAmongUsablePortsAndEscClosesWithoutSaving) {
  bool ran = false;
  withDialog([&](frmPorts& dialog, QWidget& window) {
    ran = true;
    EXPECT_TRUE(dialog.optCom2.value());
    EXPECT_FALSE(dialog.optCom4.enabled());
    EXPECT_EQ(QApplication::focusWidget(), widget(dialog, "cmdCancel"))
        << "the ports were disabled at opening";

    pressKey(&window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), widget(dialog, "optCom2")) << "Tab lands on the selected port";

    struct Step {
      Qt::Key key;
      const char* selected;
    };
    // Comm 4 cannot be opened: the arrows pass it by, and go round.
    for (Step step :
         {Step{Qt::Key_Right, "optCom3"}, Step{Qt::Key_Down, "optCom1"}, Step{Qt::Key_Left, "optCom3"},
          Step{Qt::Key_Up, "optCom2"}, Step{Qt::Key_Up, "optCom1"}}) {
      pressKey(&window, step.key);
      SCOPED_TRACE(step.selected);
      auto* option = static_cast<platform::OptionButton*>(dialog.findControl(step.selected));
      EXPECT_TRUE(option->value());
      EXPECT_TRUE(qobject_cast<QRadioButton*>(widget(dialog, step.selected))->isChecked());
      EXPECT_EQ(QApplication::focusWidget(), widget(dialog, step.selected));
    }
    EXPECT_FALSE(dialog.optCom2.value());

    pressKey(&window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), widget(dialog, "cmdCancel")) << "one stop for the whole group";
    pressKey(&window, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), widget(dialog, "optCom1"));

    pressKey(&window, Qt::Key_Escape);
  });
  ASSERT_TRUE(ran) << "the dialog offered its ports";
  EXPECT_FALSE(leftOpen) << "Esc closes the dialog";
  EXPECT_TRUE(processEventsUntil([&] { return ui.activeForm() == &main; }));
  EXPECT_FALSE(ui.ended());
  EXPECT_EQ(files.files["options.cfg"], (std::vector<std::uint8_t>{2, 0})) << "Esc saves nothing";
  EXPECT_FALSE(port.isOpen()) << "as the close box: the port stays closed";
  EXPECT_EQ(state.PortNumber, 2);
}

}  // namespace
}  // namespace orvik::ports
