#include "platform/qt/file_questions.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QVariantMap>

namespace orvik::platform::qt {

namespace {

// The folders are kept on the application object: the trend window's plugin carries its own copy of
// this code, and the two must share what was chosen.
constexpr const char* kFolders = "orvikChosenFolders";
constexpr const char* kFoldersFile = "orvikChosenFoldersFile";

QString kindOf(const QString& filter) {
  const QRegularExpressionMatch extension = QRegularExpression(QStringLiteral(R"(\*\.(\w+))")).match(filter);
  return extension.hasMatch() ? extension.captured(1).toLower() : QString();
}

QVariantMap chosenFolders() {
  return qApp->property(kFolders).toMap();
}

void remember(const QString& filter, const QString& file) {
  if (file.isEmpty()) return;
  const QString folder = QFileInfo(file).absolutePath();
  QVariantMap folders = chosenFolders();
  folders[kindOf(filter)] = folder;
  qApp->setProperty(kFolders, folders);
  if (const QString kept = qApp->property(kFoldersFile).toString(); !kept.isEmpty()) {
    QSettings settings(kept, QSettings::IniFormat);
    settings.setValue(kindOf(filter), folder);
  }
}

}  // namespace

QString startFolder(const QString& filter) {
  if (const QString chosen = chosenFolders().value(kindOf(filter)).toString();
      !chosen.isEmpty() && QFileInfo(chosen).isDir()) {
    return chosen;
  }
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void rememberFoldersIn(const QString& file) {
  qApp->setProperty(kFoldersFile, file);
  const QSettings settings(file, QSettings::IniFormat);
  QVariantMap folders = chosenFolders();
  for (const QString& kind : settings.childKeys())
    folders.insert(kind, settings.value(kind));
  qApp->setProperty(kFolders, folders);
}

QString askSaveFile(QWidget* parent, const QString& title, const QString& suggestedName,
                    const QString& filter) {
  const QString file =
      QFileDialog::getSaveFileName(parent, title, QDir(startFolder(filter)).filePath(suggestedName), filter,
                                   nullptr, QFileDialog::DontUseNativeDialog);
  remember(filter, file);
  return file;
}

QString askOpenFile(QWidget* parent, const QString& title, const QString& filter) {
  const QString file = QFileDialog::getOpenFileName(parent, title, startFolder(filter), filter, nullptr,
                                                    QFileDialog::DontUseNativeDialog);
  remember(filter, file);
  return file;
}

}  // namespace orvik::platform::qt
