// Where the file choosers open: the documents folder first, then the folder last chosen for that kind of
// file, kept across runs in the settings folder when asked.
#include "platform/qt/file_questions.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QSettings>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "platform/qt/gui_input.h"
#include "support/temp_folder.h"

namespace orvik::platform::qt {
namespace {

namespace fs = std::filesystem;

TEST(FileQuestions, OpenInTheDocumentsFolderThenWhereThatKindOfFileWentLast) {
  testing::TempFolder home;
  const QString homePath = QString::fromStdString(home.path());
  const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", homePath.toUtf8());
  qputenv("XDG_CONFIG_HOME", (homePath + "/.config").toUtf8());
  fs::create_directories(home.path() + "/.config");
  fs::create_directories(home.path() + "/Papers");
  fs::create_directories(home.path() + "/logs");
  const QString csv = "CSV files (*.csv)", pdf = "PDF files (*.pdf)",
                kept = homePath + "/.config/save-folders.cfg";
  EXPECT_EQ(startFolder(csv), homePath) << "no documents folder: the home folder";
  std::ofstream(home.path() + "/.config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
  EXPECT_EQ(startFolder(csv), homePath + "/Papers");

  rememberFoldersIn(kept);
  QString openedIn;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      answer.stop();
      openedIn = dialog->directory().absolutePath() + "|" + dialog->selectedFiles().value(0);
      dialog->selectFile(homePath + "/logs/bench-3.csv");
      QMetaObject::invokeMethod(dialog, "accept");
    }
  });
  answer.start(5);
  EXPECT_EQ(askSaveFile(nullptr, "Log to CSV", "orvik-status.csv", csv), homePath + "/logs/bench-3.csv");
  EXPECT_EQ(openedIn, homePath + "/Papers|" + homePath + "/Papers/orvik-status.csv");
  EXPECT_EQ(startFolder(csv), homePath + "/logs");
  EXPECT_EQ(startFolder(pdf), homePath + "/Papers") << "another kind keeps its own folder";
  EXPECT_EQ(QSettings(kept, QSettings::IniFormat).value("csv").toString(), homePath + "/logs");

  QSettings(kept, QSettings::IniFormat).setValue("pdf", homePath);
  rememberFoldersIn(kept);  // as at the next run's start
  EXPECT_EQ(startFolder(pdf), homePath);
  fs::remove_all(home.path() + "/logs");
  EXPECT_EQ(startFolder(csv), homePath + "/Papers") << "a folder gone since: the documents folder";
  for (const auto& [name, value] : {std::pair{"HOME", oldHome}, std::pair{"XDG_CONFIG_HOME", oldConfig}}) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
}

}  // namespace
}  // namespace orvik::platform::qt
