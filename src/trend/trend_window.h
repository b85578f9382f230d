#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>
#include <string_view>
#include <vector>

#include "link/status_store.h"
#include "link/status_view.h"
#include "link/trend_series.h"
#include "trend/trend_opening.h"

class QCheckBox;
class QCPAbstractItem;
class QCPAxis;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QMouseEvent;

namespace orvik::trend {

inline constexpr const char* kTrendTitle = "Live Trend";
// What a light band of the chart stands for.
inline constexpr const char* kPausedTip = "Polling paused: a dialog had the line";
// What the window shows when it opens, and how far it follows the newest reading.
inline constexpr double kShownSeconds = 10 * 60;

// The live trend: every reading of the run from the status store, plotted against time, the newest
// added as it arrives. It redraws only when a reading arrives or the user moves the time axis, and it
// lets go of its plot data when closed.
class TrendWindow : public QMainWindow {
 public:
  explicit TrendWindow(link::StatusStore& store);
  ~TrendWindow() override;

  // Asks where to save; an empty answer cancels. Qt's file dialog unless replaced (tests).
  std::function<QString(const QString& title, const QString& suggestedName, const QString& filter)>
      chooseFile;

  // The time now, against which the latest values are judged current or not (tests set it).
  std::function<std::chrono::system_clock::time_point()> now = [] {
    return std::chrono::system_clock::now();
  };
  // Looks again whether the latest values are still current, as a timer does every second.
  void showLatest();

  bool following() const;
  void setFollowing(bool follow);
  // The time axis, in seconds since the epoch.
  double shownFrom() const;
  double shownTo() const;
  // The alarm marks on the time axis.
  const std::vector<link::AlarmMark>& marks() const { return marks_; }
  QCustomPlot& plot() { return *plot_; }

  void saveCsv();
  void savePng();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Maps one stored reading: its samples go to `addSample`; its mark, values and time are kept.
  void take(const link::StoredStatus& entry, const std::function<void(const link::TrendSample&)>& addSample);
  void append(const link::StoredStatus& entry);
  void showTimes(double from, double to);
  void addMark(const link::AlarmMark& mark);
  // The times polling was paused, as light bands behind the lines; one that lasts reaches the time now.
  void showPauses();
  void dropBefore(double seconds);
  void followNewest();
  void rescaleValues();
  void plotMouseMoved(QMouseEvent* event);
  // Writes `bytes` to `file`; a failure is said as "`what` cannot be saved to FILE: why."
  void save(const QString& file, const QString& what, std::string_view bytes);

  link::StatusStore& store_;
  link::TrendMapper mapper_;
  link::LiveView latest_;
  std::vector<link::AlarmMark> marks_;
  std::vector<QCPAbstractItem*> markLines_;  // in the order of marks_
  std::vector<QCPAbstractItem*> pauseBands_;
  double drawnPauseEnd_ = 0;
  double newest_ = 0;
  QCustomPlot* plot_ = nullptr;
  QCPAxis* temperatureAxis_ = nullptr;
  std::vector<QCPGraph*> graphs_;
  QCheckBox* follow_ = nullptr;
  QLabel* latestLabel_ = nullptr;
};

// Opens the trend window, one at a time, and closes it with the program.
class TrendWindowOpener final : public TrendOpening {
 public:
  explicit TrendWindowOpener(link::StatusStore& store) : store_(store) {}
  ~TrendWindowOpener() override;
  TrendWindowOpener(const TrendWindowOpener&) = delete;
  TrendWindowOpener& operator=(const TrendWindowOpener&) = delete;

  void open() override;

 private:
  link::StatusStore& store_;
  QPointer<TrendWindow> window_;
};

}  // namespace orvik::trend
