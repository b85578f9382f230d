#include "trend/trend_plugin_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>
#include <utility>

namespace orvik::trend {

std::vector<QString> TrendPluginFolders() {
  const QString program = QCoreApplication::applicationDirPath();
  return {QDir::cleanPath(program + "/" + ORVIK_TREND_PLUGIN_DIR_FROM_PROGRAM), program};
}

TrendPluginLoader::TrendPluginLoader(link::StatusStore& store, std::vector<QString> folders,
                                     std::function<void(const std::string&)> tellProblem)
    : store_(store), folders_(std::move(folders)), tellProblem_(std::move(tellProblem)) {}

TrendPluginLoader::~TrendPluginLoader() = default;

void TrendPluginLoader::open() {
  if (opening_ || load()) opening_->open();
}

bool TrendPluginLoader::load() {
  QStringList problems;
  for (const QString& folder : folders_) {
    const QString file = folder + "/" + ORVIK_TREND_PLUGIN_FILE;
    if (!QFileInfo::exists(file)) {
      problems << file + ": no such file.";
      continue;
    }
    QLibrary plugin(file);
    const auto entry = reinterpret_cast<TrendPluginEntry>(plugin.resolve(kTrendPluginEntry));
    if (entry != nullptr) {
      opening_.reset(entry(&store_));
      return true;
    }
    problems << plugin.errorString();
  }
  if (tellProblem_) tellProblem_("The live trend cannot be opened.\r" + problems.join("\r").toStdString());
  return false;
}

}  // namespace orvik::trend
