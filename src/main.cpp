// orvik-monitor: the diagnostics monitor on Qt Widgets and a real serial port.
#include <QApplication>

#include "app/frm_logo.h"
#include "app/frm_main.h"
#include "link/controller_link.h"
#include "link/run_state.h"
#include "platform/files.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/termination_signals.h"
#include "version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(orvik::kAppTitle);
  QApplication::setApplicationVersion(
      QString("%1.%2.%3").arg(orvik::kVersionMajor).arg(orvik::kVersionMinor).arg(orvik::kVersionRevision));
  // The program ends only through the main window (Exit or its close box).
  QApplication::setQuitOnLastWindowClosed(false);

  orvik::platform::qt::QtUi ui;
  orvik::platform::qt::QtSerialPort port;
  orvik::platform::LocalFiles files;
  orvik::link::RunState state;
  orvik::link::ControllerLink link(state, port, ui.timers());
  orvik::app::frmMain mainWindow(ui, state, link, files);
  orvik::app::frmLogo splash(ui, mainWindow);
  // Ended by the system or from a terminal: leave as File > Exit does, so the port and its lock go.
  orvik::platform::qt::endOnTerminationSignals([&mainWindow] { mainWindow.mnuExit_Click(); });
  ui.show(splash);
  return QApplication::exec();
}
