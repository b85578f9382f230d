// The Live Trend window on QCustomPlot. A link-down stretch is a NaN point between the records on
// either side of it: QCPGraph does not draw a line through a NaN value.
#include <qcustomplot.h>

#include <limits>

#include "probe_harness.h"

namespace {

using namespace probe;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
double seconds(std::int64_t ms) {
  return double(ms) / 1000.0;
}

class QcpTrend final : public TrendPlot {
 public:
  QcpTrend() {
    plot_ = new QCustomPlot;
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat("HH:mm:ss");
    ticker->setDateTimeSpec(Qt::UTC);
    plot_->xAxis->setTicker(ticker);
    plot_->yAxis->setLabel("V");
    plot_->yAxis->setRange(kVoltsMin, kVoltsMax);
    plot_->yAxis2->setVisible(true);
    plot_->yAxis2->setLabel("Control %");
    plot_->yAxis2->setRange(kPercentMin, kPercentMax);
    QCPAxis* temp = plot_->axisRect()->addAxis(QCPAxis::atRight);
    temp->setLabel("Battery °F");
    temp->setRange(kTempMin, kTempMax);
    for (const SeriesInfo& s : kSeries) {
      QCPAxis* y = s.axis == Axis::Volts ? plot_->yAxis : s.axis == Axis::Percent ? plot_->yAxis2 : temp;
      QCPGraph* g = plot_->addGraph(plot_->xAxis, y);
      g->setName(QString::fromUtf8(s.name));
      g->setPen(QPen(QColor(QRgb(s.rgb)), 1.5));
      graphs_.push_back(g);
    }
    plot_->legend->setVisible(true);
    plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignLeft | Qt::AlignBottom);
  }

  QWidget* widget() override { return plot_; }

  void load(const Store& store) override {
    const auto& records = store.records();
    for (size_t s = 0; s < graphs_.size(); ++s) {
      QVector<QCPGraphData> data;
      data.reserve(qsizetype(records.size() + 8));
      for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0 && Store::gapBetween(records[i - 1], records[i]))
          data.append({seconds(records[i - 1].tMs + kPollMs), kNaN});
        data.append({seconds(records[i].tMs), kSeries[s].value(records[i])});
      }
      graphs_[s]->data()->set(data, true);
    }
    for (const Alarm& a : store.alarms()) {
      auto* mark = new QCPItemStraightLine(plot_);
      mark->point1->setCoords(seconds(a.tMs), kVoltsMin);
      mark->point2->setCoords(seconds(a.tMs), kVoltsMax);
      mark->setPen(QPen(Qt::red, 1, Qt::DashLine));
    }
    lastMs_ = records.back().tMs;
  }

  void append(const Record& r) override {
    const bool gap = r.tMs - lastMs_ > kGapMs;
    for (size_t s = 0; s < graphs_.size(); ++s) {
      if (gap) graphs_[s]->addData(seconds(lastMs_ + kPollMs), kNaN);
      graphs_[s]->addData(seconds(r.tMs), kSeries[s].value(r));
    }
    lastMs_ = r.tMs;
  }

  void setRange(std::int64_t fromMs, std::int64_t toMs) override {
    plot_->xAxis->setRange(seconds(fromMs), seconds(toMs));
  }
  void redrawNow() override { plot_->replot(QCustomPlot::rpImmediateRefresh); }
  void redrawLive() override { plot_->replot(); }

 private:
  QCustomPlot* plot_;
  std::vector<QCPGraph*> graphs_;
  std::int64_t lastMs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  return probe::runProbe(argc, argv,
                         {"qcustomplot", [] { return QCustomPlot::staticMetaObject.className(); },
                          [](const QStringList&) { return std::make_unique<QcpTrend>(); }});
}
