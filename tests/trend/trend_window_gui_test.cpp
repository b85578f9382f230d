// The live trend as a real window, offscreen: what it shows of the store, how it follows new readings,
// and its two saves.
#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QToolTip>
#include <filesystem>
#include <fstream>

#include "platform/qt/gui_input.h"
#include "trend/trend_window.h"

namespace orvik::trend {
namespace {

using Clock = std::chrono::system_clock;

link::StatusRecord reading(std::uint8_t alarm, float batTemp) {
  link::StatusRecord r;
  r.teVolts = 13.529f;
  r.batVolts = 12.5f;
  r.setpoint = 13.8f;
  r.pwmCount = 500;
  r.batTemp = batTemp;
  r.alarmCode = alarm;
  return r;
}

TEST(TrendWindow, ShowsTheStoreFollowsNewReadingsAndSavesBothFiles) {
  link::StatusStore store;
  const Clock::time_point start{std::chrono::hours(24 * 20000)};
  for (int i = 0; i < 600; ++i) {  // 20 minutes, with a missed poll and an alarm
    const auto at = start + std::chrono::seconds(2 * i);
    if (i == 100) {
      store.addMissed(at);
    } else {
      store.addRecord(at, reading(i >= 400 ? 3 : 0, 77));
    }
  }
  store.notePolling(start + std::chrono::seconds(900), true);  // a dialog had the line for 20 s
  store.notePolling(start + std::chrono::seconds(920), false);
  auto* window = new TrendWindow(store);
  QPointer<TrendWindow> alive = window;
  window->show();
  ASSERT_TRUE(
      testing::processEventsUntil([&] { return window->windowHandle() != nullptr && window->isVisible(); }));
  EXPECT_EQ(window->windowTitle(), "Live Trend");
  QStringList words;  // what the window says, in order: buttons, legend, axes
  for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
    words << button->text();
  ASSERT_EQ(window->plot().graphCount(), 5);
  for (int i = 0; i < 5; ++i)
    words << window->plot().graph(i)->name();
  for (const QCPAxis* axis :
       window->plot().axisRect()->axes(QCPAxis::atBottom | QCPAxis::atLeft | QCPAxis::atRight))
    words << axis->label();
  EXPECT_EQ(words.join(";"),
            "&Follow;Save as &CSV...;Save as &PNG...;TE module (V);Battery (V);Setpoint (V);Control (%);"
            "Battery temperature (°F);Volts (V);Control (%);Battery temperature (°F);Time");
  EXPECT_EQ(window->marks().size(), 1u);
  std::vector<const QCPItemRect*> bands;
  for (int i = 0; i < window->plot().itemCount(); ++i) {
    if (const auto* band = qobject_cast<QCPItemRect*>(window->plot().item(i))) bands.push_back(band);
  }
  ASSERT_EQ(bands.size(), 1u) << "the pause";
  EXPECT_EQ(bands[0]->layer()->name(), "grid") << "behind the lines";
  EXPECT_EQ(bands[0]->brush().color(), QColor(0, 0, 0, 28)) << "a light shade over the grid, no outline";
  EXPECT_EQ(bands[0]->pen().style(), Qt::NoPen);
  const QPointF inPause(
      window->plot().xAxis->coordToPixel(link::TrendSeconds(start + std::chrono::seconds(910))),
      window->plot().height() / 2);
  QMouseEvent hover(QEvent::MouseMove, inPause, window->plot().mapToGlobal(inPause), Qt::NoButton,
                    Qt::NoButton, Qt::NoModifier);
  emit window->plot().mouseMove(&hover);
  EXPECT_EQ(QToolTip::text(), "Polling paused: a dialog had the line");
  const double newest = link::TrendSeconds(start + std::chrono::seconds(1198));
  EXPECT_TRUE(window->following());
  EXPECT_NEAR(window->shownTo() - window->shownFrom(), kShownSeconds, 1) << "the last ten minutes";
  EXPECT_GT(window->shownTo(), newest);

  const auto last = start + std::chrono::seconds(1200);
  window->now = [&] { return last; };
  store.addRecord(last, reading(3, 150));
  const std::string values =
      "TE module 13.529 V, battery 12.50 V, setpoint 13.80 V, control 51%, battery temperature 150 °F";
  EXPECT_EQ(window->accessibleDescription().toStdString(), values);
  EXPECT_GT(window->shownTo(), newest + 2) << "the newest reading stays in view";
  EXPECT_NEAR(window->plot().yAxis->range().lower, 12.37, 1e-6) << "the volts shown, a tenth to spare";
  EXPECT_NEAR(window->plot().yAxis->range().upper, 13.93, 1e-6);
  // The controller falls silent: past the link's time-out the values are marked as no longer current.
  window->now = [&] { return last + std::chrono::seconds(3); };
  window->showLatest();
  const std::string since =
      QDateTime::fromSecsSinceEpoch(
          std::chrono::duration_cast<std::chrono::seconds>(last.time_since_epoch()).count())
          .toString("HH:mm:ss")
          .toStdString();
  EXPECT_EQ(window->accessibleDescription().toStdString(),
            "No answer since " + since + ". Last values: " + values);
  EXPECT_EQ(window->findChild<QLabel*>("lblLatest")->text(), window->accessibleDescription());

  // Dragging stops the following; the axis then stays where it was put.
  testing::drag(&window->plot(), {300, 200}, {200, 200});
  EXPECT_FALSE(window->following());
  const double shownTo = window->shownTo();
  store.addRecord(start + std::chrono::seconds(1202), reading(3, 77));
  EXPECT_EQ(window->shownTo(), shownTo);

  const auto folder = std::filesystem::temp_directory_path() / ("orvik-trend-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  QString asked;
  window->chooseFile = [&](const QString& title, const QString& name, const QString&) {
    asked += title + ";";
    return QString::fromStdString((folder / name.toStdString()).string());
  };
  window->saveCsv();
  window->savePng();
  EXPECT_EQ(asked, "Save as CSV;Save as PNG;");
  std::ifstream csv(folder / "orvik-trend.csv");
  std::vector<std::string> lines;
  for (std::string line; std::getline(csv, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 603u) << "the header and every poll in the store";
  EXPECT_NE(lines[101].find(",no response,"), std::string::npos) << lines[101];
  EXPECT_NE(lines[600].find(",77,3,"), std::string::npos) << lines[600];
  const QImage png(QString::fromStdString((folder / "orvik-trend.png").string()));
  EXPECT_EQ(png.size(), window->plot().size()) << "the chart as shown";
  std::filesystem::remove_all(folder);
  QString said;
  testing::BoxAnswerer answer([&](QMessageBox& box) {
    said = box.windowTitle() + ": " + box.text();
    box.accept();
  });
  window->chooseFile = [](auto&&...) { return QString("/nonexistent-folder/trend.csv"); };
  window->saveCsv();
  EXPECT_EQ(
      said,
      "Live Trend: The trend cannot be saved to /nonexistent-folder/trend.csv:\nNo such file or directory.");

  testing::pressKey(window, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull()) << "Esc closes the window and frees its plot";
  EXPECT_FALSE(store.onAdded) << "the store no longer tells a closed window";
}

}  // namespace
}  // namespace orvik::trend
