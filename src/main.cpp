// orvik-monitor: the diagnostics monitor on Qt Widgets and a real serial port.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/frm_logo.h"
#include "app/frm_main.h"
#include "app/startup.h"
#include "history/history_window.h"
#include "history/service_report_pdf.h"
#include "link/controller_link.h"
#include "link/number_text.h"
#include "link/run_state.h"
#include "platform/files.h"
#include "platform/qt/file_questions.h"
#include "platform/qt/qt_comm_port.h"
#include "platform/qt/qt_ui.h"
#include "platform/qt/termination_signals.h"
#include "service_record/change_rows.h"
#include "service_record/service_journal.h"
#include "trend/measurement_fill.h"
#include "trend/trend_plugin_loader.h"
#include "version.h"

namespace {

QtMessageHandler qtMessages = nullptr;

// While the window system starts: Qt gives up on a display it cannot reach (a DISPLAY left from a
// closed session, a Wayland socket gone) with an abort and a core dump. Its warnings before that say
// why; the program then ends as it does without a display, with the way out.
void windowSystemStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    qtMessages(type, context, text);
    return;
  }
  std::fputs(orvik::app::noDisplayText(true).c_str(), stderr);
  std::fflush(stderr);
  std::_Exit(orvik::app::kNoDisplayStatus);
}

}  // namespace

int main(int argc, char** argv) {
  // Settled before the window system starts, so that --help and --version need no display.
  const orvik::app::Startup start = orvik::app::prepareStart({argv + 1, argv + argc}, std::getenv);
  std::fputs(start.output.c_str(), stdout);
  std::fputs(start.errors.c_str(), stderr);
  if (start.exitCode) return *start.exitCode;
  std::vector<std::string> qtArgs = start.windowSystemArgs;
  qtArgs.insert(qtArgs.begin(), argv[0]);
  std::vector<char*> qtArgv;
  for (std::string& arg : qtArgs)
    qtArgv.push_back(arg.data());
  qtArgv.push_back(nullptr);
  int qtArgc = static_cast<int>(qtArgs.size());

  qtMessages = qInstallMessageHandler(windowSystemStartMessage);
  QApplication app(qtArgc, qtArgv.data());
  qInstallMessageHandler(qtMessages);
  if (const QStringList rest = QApplication::arguments().mid(1); !rest.isEmpty()) {
    std::vector<std::string> leftovers;
    for (const QString& arg : rest)
      leftovers.push_back(arg.toStdString());
    std::fputs(orvik::app::unknownArguments(leftovers).c_str(), stderr);
    return 2;
  }
  QApplication::setApplicationName(orvik::kAppTitle);
  QApplication::setApplicationVersion(
      QString("%1.%2.%3").arg(orvik::kVersionMajor).arg(orvik::kVersionMinor).arg(orvik::kVersionRevision));
  // Lets the desktop match our windows with the menu entry (and its icon).
  QGuiApplication::setDesktopFileName(orvik::kAppId);
  // The program ends only through the main window (Exit or its close box).
  QApplication::setQuitOnLastWindowClosed(false);

  // The menu's monitor remembers where each kind of file was last saved, beside its other settings.
  if (!start.settingsFolder.empty()) {
    orvik::platform::qt::rememberFoldersIn(QString::fromStdString(start.settingsFolder) + "/" +
                                           orvik::platform::qt::kChosenFoldersFile);
  }
  orvik::platform::qt::QtUi ui;
  orvik::platform::qt::QtCommPort port(start.devices);
  // Each poll tries once to reconnect a network port that dropped; the window must not wait on it.
  port.network().setReopeningInBackground(true);
  port.network().onServerAnswer = [](const std::string& answer) {
    std::fputs(("orvik-monitor: " + answer + "\n").c_str(), stderr);
  };
  orvik::platform::LocalFiles files;
  orvik::link::RunState state;
  orvik::link::ControllerLink link(state, port, ui.timers());
  orvik::app::frmMain mainWindow(ui, state, link, files);
  const auto now = [&ui] { return ui.now(); };
  orvik::service_record::ServiceJournal serviceRecord(start.serviceDb, now);
  orvik::service_record::RecordConfirmedChanges(
      link, serviceRecord, {"orvik-monitor", orvik::service_record::OperatingSystemUser(), now});
  mainWindow.setServiceRecord(serviceRecord);
  orvik::history::HistoryWindowOpener history(
      [&serviceRecord](const std::optional<std::string>& tag, std::string* problem) {
        return serviceRecord.history(tag, problem);
      },
      [&link] { return link.unit().tag; });
  mainWindow.openHistory = [&history] { history.open(); };
  history.onUndo = [&mainWindow](std::int64_t rowId) { mainWindow.undoTrim(rowId); };
  // An open history shows each change as it is recorded.
  link.exchange().onConfirmed = [record = link.exchange().onConfirmed,
                                 &history](const orvik::link::ChangeNote& note) {
    record(note);
    if (orvik::history::HistoryWindow* window = history.window()) window->refresh();
  };
  mainWindow.savePdf = orvik::history::SaveServiceReportPdf;
  orvik::trend::TrendPluginLoader trend(
      mainWindow.statusStore(), orvik::trend::TrendPluginFolders(), [&ui](const std::string& problem) {
        ui.messageBox({problem, orvik::kAppTitle, orvik::platform::MsgIcon::Exclamation,
                       orvik::platform::MsgButtons::Ok});
      });
  mainWindow.openTrend = [&trend] { trend.open(); };
  // For measurements of the trend at its largest: a store filled with that many hours of readings, and
  // the trend open from the start.
  if (const char* hours = std::getenv("ORVIK_TREND_FILL_HOURS"); hours != nullptr) {
    orvik::trend::FillForMeasurement(mainWindow.statusStore(), orvik::link::leadingNumber(hours), ui.now());
  }
  if (const char* open = std::getenv("ORVIK_TREND_OPEN"); open != nullptr && std::string(open) == "1")
    trend.open();
  orvik::app::frmLogo splash(ui, mainWindow);
  // Ended by the system or from a terminal: leave as File > Exit does, so the port and its lock go, but
  // with no question to answer. In place before the first message box, which would otherwise die of
  // the signal.
  orvik::platform::qt::endOnTerminationSignals([&] { ui.endProgram(); });
  // A log's reader that goes away ends the log, never the program.
  orvik::platform::qt::ignoreBrokenPipe();
  if (!start.folderProblem.empty()) {
    ui.messageBox({start.folderProblem + "\rThe settings are kept in the working directory for this run.",
                   orvik::kAppTitle, orvik::platform::MsgIcon::Exclamation, orvik::platform::MsgButtons::Ok});
  }
  if (ui.ended()) return 0;
  ui.show(splash);
  const int status = QApplication::exec();
  // Rows still unwritten are said here too, however the program ended.
  serviceRecord.retry();
  std::fputs(orvik::service_record::UnwrittenAtExitText(serviceRecord).c_str(), stderr);
  return status;
}
