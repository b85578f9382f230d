// What both plot probes share: the modes, the store, the append timer and the timing of a redraw.
// Each probe supplies only a TrendPlot built on its library.
//
//   --mode closed   a bare main window; the plot library is loaded and the day's store is in memory,
//                   and a record is appended to the store every 2 s. No plot exists.
//   --mode open     the plot window, the whole store loaded in its series, showing the last 10 minutes;
//                   a record is appended every 2 s and the plot redraws once for it.
//   --mode scroll   the plot window as in "open", plus two minutes of appended records with a one-minute
//                   link-down stretch among them; then the x range is shifted back 3 minutes at a time
//                   and each synchronous redraw is timed; the whole day is redrawn and timed too;
//                   pictures are saved to --png-dir. Prints key=value lines and exits.
#pragma once

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "trend_store.h"

namespace probe {

class TrendPlot {
 public:
  virtual ~TrendPlot() = default;
  virtual QWidget* widget() = 0;
  // Puts every record and alarm of the store into the plot's series.
  virtual void load(const Store& store) = 0;
  // One new record; the plot is not redrawn yet.
  virtual void append(const Record& r) = 0;
  virtual void setRange(std::int64_t fromMs, std::int64_t toMs) = 0;
  // Redraws now and returns when the window shows the new picture.
  virtual void redrawNow() = 0;
  // Redraws for a newly arrived record, the way the live window would.
  virtual void redrawLive() = 0;
};

struct ProbeHooks {
  const char* library;
  // Makes sure the library is loaded in closed mode, where no plot is built.
  std::function<const char*()> touchLibrary;
  std::function<std::unique_ptr<TrendPlot>(const QStringList& args)> make;
};

inline constexpr std::int64_t kLiveSpanMs = 10 * 60'000;

inline double msSince(const QElapsedTimer& t) {
  return double(t.nsecsElapsed()) / 1e6;
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline void waitExposed(QWidget* w) {
  QElapsedTimer t;
  t.start();
  while (!(w->windowHandle() && w->windowHandle()->isExposed()) && t.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  // Let the first paint and the X server settle.
  while (t.elapsed() < 1000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

inline int runProbe(int argc, char** argv, const ProbeHooks& hooks) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption({"mode", "closed, open or scroll", "mode", "open"});
  parser.addOption({"pos", "window position x,y", "x,y", "0,0"});
  parser.addOption({"scrolls", "number of timed scrolls", "n", "50"});
  parser.addOption({"png-dir", "where scroll mode saves its pictures", "dir", "."});
  parser.addOption({"nan-gaps", "mark gaps with NaN points instead of separate segments"});
  parser.process(app);
  const QString mode = parser.value("mode");
  const QStringList pos = parser.value("pos").split(',');

  QElapsedTimer clock;
  clock.start();
  Store store;
  std::printf("store_records=%zu\nstore_ms=%.1f\n", store.records().size(), msSince(clock));

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("plot probe %1 %2").arg(hooks.library, mode));
  window.move(pos.value(0).toInt(), pos.value(1).toInt());
  std::unique_ptr<TrendPlot> plot;
  QTimer poll;
  poll.setInterval(int(kPollMs));

  if (mode == "closed") {
    window.setCentralWidget(
        new QLabel(QStringLiteral("%1 loaded; plot window closed").arg(hooks.touchLibrary())));
    window.resize(300, 80);
    QObject::connect(&poll, &QTimer::timeout, [&] { store.appendNext(); });
    window.show();
    poll.start();
    std::fflush(stdout);
    return app.exec();
  }

  clock.restart();
  plot = hooks.make(QCoreApplication::arguments());
  plot->load(store);
  const std::int64_t loadedLast = store.records().back().tMs;
  plot->setRange(loadedLast - kLiveSpanMs, loadedLast);
  window.setCentralWidget(plot->widget());
  window.resize(1000, 600);
  window.show();
  std::printf("load_ms=%.1f\n", msSince(clock));
  std::fflush(stdout);

  if (mode == "open") {
    QObject::connect(&poll, &QTimer::timeout, [&] {
      const Record& r = store.appendNext();
      plot->append(r);
      plot->setRange(r.tMs - kLiveSpanMs, r.tMs);
      plot->redrawLive();
    });
    poll.start();
    return app.exec();
  }

  // scroll
  // A link-down stretch that arrives live: a minute of records, one minute without, a minute more.
  for (int i = 0; i < 60; ++i) {
    const Record& r = store.appendNext(i == 30 ? 60'000 : 0);
    plot->append(r);
  }
  const std::int64_t last = store.records().back().tMs;
  plot->setRange(last - kLiveSpanMs, last);
  waitExposed(&window);
  const QString dir = parser.value("png-dir");
  QDir().mkpath(dir);
  const QString prefix = dir + '/' + hooks.library + (parser.isSet("nan-gaps") ? "-nan-gaps" : "");
  window.grab().save(prefix + "-live.png");

  auto timedRedraw = [&](std::int64_t from, std::int64_t to) {
    QElapsedTimer t;
    t.start();
    plot->setRange(from, to);
    plot->redrawNow();
    QCoreApplication::processEvents();  // whatever the library left queued belongs to the redraw
    return msSince(t);
  };
  const int scrolls = parser.value("scrolls").toInt();
  std::vector<double> times;
  for (int i = 1; i <= scrolls; ++i) {
    const std::int64_t to = last - i * 3 * 60'000;
    times.push_back(timedRedraw(to - kLiveSpanMs, to));
  }
  window.grab().save(prefix + "-scrolled.png");
  std::printf("scroll_redraw_ms_median=%.2f\nscroll_redraw_ms_min=%.2f\nscroll_redraw_ms_max=%.2f\n",
              median(times), *std::min_element(times.begin(), times.end()),
              *std::max_element(times.begin(), times.end()));

  // Around the second link-down stretch (09:30), so a gap and its alarm mark are in view.
  const std::int64_t gapAt = store.alarms()[1].tMs;
  timedRedraw(gapAt - 5 * 60'000, gapAt + 8 * 60'000);
  window.grab().save(prefix + "-gap.png");

  std::vector<double> dayTimes;
  const std::int64_t first = store.records().front().tMs;
  for (int i = 0; i < 10; ++i)
    dayTimes.push_back(timedRedraw(first + (i % 2) * 60'000, last));
  window.grab().save(prefix + "-day.png");
  std::printf("day_redraw_ms_median=%.2f\n", median(dayTimes));
  return 0;
}

}  // namespace probe
