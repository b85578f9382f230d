#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/status_store.h"
#include "trend/trend_opening.h"

namespace orvik::trend {

// Where the monitor looks for the trend plugin, in order: the folder it is installed to beside the
// program, then the program's own folder (the build tree).
std::vector<QString> TrendPluginFolders();

// Opens the trend window from its plugin, loading the plugin at the first opening. The plugin stays
// loaded for the rest of the run: the window and the store's callback are its code.
class TrendPluginLoader {
 public:
  // `tellProblem` says why the window cannot open when no folder holds a plugin that loads.
  TrendPluginLoader(link::StatusStore& store, std::vector<QString> folders,
                    std::function<void(const std::string&)> tellProblem);
  ~TrendPluginLoader();
  TrendPluginLoader(const TrendPluginLoader&) = delete;
  TrendPluginLoader& operator=(const TrendPluginLoader&) = delete;

  void open();

 private:
  bool load();

  link::StatusStore& store_;
  std::vector<QString> folders_;
  std::function<void(const std::string&)> tellProblem_;
  std::unique_ptr<TrendOpening> opening_;
};

}  // namespace orvik::trend
