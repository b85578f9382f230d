// The trend window from its plugin: found in the first folder that holds it, opened once, and a plain
// reason when no folder does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>

#include "trend/trend_plugin_loader.h"

namespace orvik::trend {
namespace {

int openTrendWindows() {
  int count = 0;
  for (const QWidget* widget : QApplication::topLevelWidgets())
    count += widget->isVisible() && widget->windowTitle() == "Live Trend";
  return count;
}

TEST(TrendPluginLoader, OpensOneWindowFromTheFirstFolderThatHoldsThePluginAndSaysWhyWhenNoneDoes) {
  QTemporaryDir empty;
  link::StatusStore store;
  std::string problem;
  const auto tell = [&problem](const std::string& text) { problem = text; };

  TrendPluginLoader missing(store, {empty.path()}, tell);
  missing.open();
  EXPECT_EQ(openTrendWindows(), 0);
  EXPECT_EQ(problem, "The live trend cannot be opened.\r" + empty.path().toStdString() + "/" +
                         ORVIK_TREND_PLUGIN_FILE + ": no such file.");

  problem.clear();
  {
    TrendPluginLoader found(store, {empty.path(), ORVIK_TREND_PLUGIN_FOLDER}, tell);
    found.open();
    found.open();
    EXPECT_EQ(openTrendWindows(), 1);
    EXPECT_EQ(problem, "");
  }
  EXPECT_EQ(openTrendWindows(), 0) << "the window closes with its opener";
}

}  // namespace
}  // namespace orvik::trend
