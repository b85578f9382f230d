// The Live Trend window on Qt Charts. A QLineSeries joins all its points, so a link-down stretch
// starts a new series for each of the five lines (same pen, no second legend entry). With
// --nan-gaps the probe instead puts a NaN point into a single series per line, to show what that does.
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <limits>

#include "probe_harness.h"

namespace {

using namespace probe;

class ChartsTrend final : public TrendPlot {
 public:
  explicit ChartsTrend(bool nanGaps) : nanGaps_(nanGaps) {
    chart_ = new QChart;
    view_ = new QChartView(chart_);
    view_->setRenderHint(QPainter::Antialiasing);
    x_ = new QDateTimeAxis;
    x_->setFormat("HH:mm:ss");
    x_->setTickCount(7);
    chart_->addAxis(x_, Qt::AlignBottom);
    axes_[0] = makeAxis("V", kVoltsMin, kVoltsMax, Qt::AlignLeft);
    axes_[1] = makeAxis("Control %", kPercentMin, kPercentMax, Qt::AlignRight);
    axes_[2] = makeAxis("Battery °F", kTempMin, kTempMax, Qt::AlignRight);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    lines_.resize(std::size(kSeries));
  }

  QWidget* widget() override { return view_; }

  void load(const Store& store) override {
    const auto& records = store.records();
    for (size_t s = 0; s < lines_.size(); ++s) {
      QList<QPointF> points;
      points.reserve(qsizetype(records.size() + 8));
      for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0 && Store::gapBetween(records[i - 1], records[i])) {
          if (nanGaps_) {
            points.append({double(records[i - 1].tMs + kPollMs), std::numeric_limits<double>::quiet_NaN()});
          } else {
            newSegment(s)->replace(points);
            points.clear();
          }
        }
        points.append({double(records[i].tMs), kSeries[s].value(records[i])});
      }
      newSegment(s)->replace(points);
    }
    for (const Alarm& a : store.alarms()) {
      auto* mark = new QLineSeries;
      mark->append(double(a.tMs), kVoltsMin);
      mark->append(double(a.tMs), kVoltsMax);
      mark->setPen(QPen(Qt::red, 1, Qt::DashLine));
      chart_->addSeries(mark);
      mark->attachAxis(x_);
      mark->attachAxis(axes_[0]);
      for (QLegendMarker* m : chart_->legend()->markers(mark))
        m->setVisible(false);
    }
    std::printf("chart_series=%lld\n", (long long)chart_->series().size());
    lastMs_ = records.back().tMs;
  }

  void append(const Record& r) override {
    const bool gap = r.tMs - lastMs_ > kGapMs;
    for (size_t s = 0; s < lines_.size(); ++s) {
      if (gap) {
        if (nanGaps_)
          lines_[s].back()->append(double(lastMs_ + kPollMs), std::numeric_limits<double>::quiet_NaN());
        else
          newSegment(s);
      }
      lines_[s].back()->append(double(r.tMs), kSeries[s].value(r));
    }
    lastMs_ = r.tMs;
  }

  void setRange(std::int64_t fromMs, std::int64_t toMs) override {
    x_->setRange(QDateTime::fromMSecsSinceEpoch(fromMs, Qt::UTC),
                 QDateTime::fromMSecsSinceEpoch(toMs, Qt::UTC));
  }
  void redrawNow() override { view_->viewport()->repaint(); }
  void redrawLive() override {}  // the chart schedules its own repaint when a series or axis changes

 private:
  QValueAxis* makeAxis(const char* title, double min, double max, Qt::Alignment side) {
    auto* axis = new QValueAxis;
    axis->setTitleText(QString::fromUtf8(title));
    axis->setRange(min, max);
    chart_->addAxis(axis, side);
    return axis;
  }

  QLineSeries* newSegment(size_t s) {
    const SeriesInfo& info = kSeries[s];
    auto* series = new QLineSeries;
    series->setName(QString::fromUtf8(info.name));
    series->setPen(QPen(QColor(QRgb(info.rgb)), 1.5));
    chart_->addSeries(series);
    series->attachAxis(x_);
    series->attachAxis(axes_[int(info.axis)]);
    if (!lines_[s].empty())
      for (QLegendMarker* m : chart_->legend()->markers(series))
        m->setVisible(false);
    lines_[s].push_back(series);
    return series;
  }

  bool nanGaps_;
  QChart* chart_;
  QChartView* view_;
  QDateTimeAxis* x_;
  QValueAxis* axes_[3];
  std::vector<std::vector<QLineSeries*>> lines_;
  std::int64_t lastMs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  return probe::runProbe(
      argc, argv,
      {"qtcharts", [] { return QChart::staticMetaObject.className(); },
       [](const QStringList& args) { return std::make_unique<ChartsTrend>(args.contains("--nan-gaps")); }});
}
