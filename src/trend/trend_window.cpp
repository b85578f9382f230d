#include "trend/trend_window.h"

#include <qcustomplot.h>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>

#include "link/status_csv.h"
#include "platform/file_writing.h"
#include "platform/qt/file_questions.h"
#include "platform/qt/window_placement.h"

namespace orvik::trend {

namespace {

using link::TrendSeries;

struct SeriesStyle {
  const char* name;
  QColor colour;
  Qt::PenStyle line;
};
// In the order of link::TrendSeries.
const std::array<SeriesStyle, link::kTrendSeriesCount> kSeries = {{
    {"TE module (V)", QColor(230, 120, 0), Qt::SolidLine},
    {"Battery (V)", QColor(30, 90, 200), Qt::SolidLine},
    {"Setpoint (V)", QColor(0, 140, 60), Qt::DashLine},
    {"Control (%)", QColor(110, 110, 110), Qt::SolidLine},
    {"Battery temperature (°F)", QColor(200, 30, 30), Qt::SolidLine},
}};
// A whole day of readings, and not less than a minute, fits the time axis.
constexpr double kLongestShown = 24 * 3600;
constexpr double kShortestShown = 60;
constexpr double kFollowMargin = 0.02;  // room right of the newest reading, as a share of the axis
// How often the latest values are looked at again, to mark them once the controller has gone silent.
constexpr int kSilenceCheckMs = 1000;

}  // namespace

TrendWindow::TrendWindow(link::StatusStore& store) : store_(store) {
  setObjectName("frmTrend");
  setWindowTitle(kTrendTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  resize(900, 540);
  // A main window of its own, so that assistive tools list it as a window ("frame") beside the main one.
  auto* content = new QWidget(this);
  setCentralWidget(content);

  follow_ = new QCheckBox("&Follow", content);
  follow_->setObjectName("chkFollow");
  follow_->setChecked(true);
  follow_->setToolTip("Keep the newest reading in view");
  auto* saveCsvButton = new QPushButton("Save as &CSV...", content);
  saveCsvButton->setObjectName("cmdSaveCsv");
  auto* savePngButton = new QPushButton("Save as &PNG...", content);
  savePngButton->setObjectName("cmdSavePng");
  latestLabel_ = new QLabel(content);
  latestLabel_->setObjectName("lblLatest");
  latestLabel_->setAccessibleDescription("Latest values");
  latestLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  latestLabel_->setWordWrap(true);  // the window may be narrowed to fit beside the main window

  plot_ = new QCustomPlot(content);
  plot_->setObjectName("pltTrend");
  plot_->setAccessibleName("Trend chart");
  plot_->setFocusPolicy(Qt::StrongFocus);
  // Never so narrow that the times under the chart run into each other, or the legend over an axis.
  plot_->setMinimumWidth(8 * fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")));
  // Axis numbers as every other number of the program shows them, with a full stop on every desktop.
  plot_->setLocale(QLocale::c());
  plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot_->axisRect()->setRangeDrag(Qt::Horizontal);
  plot_->axisRect()->setRangeZoom(Qt::Horizontal);
  plot_->axisRect()->setRangeZoomAxes(plot_->xAxis, nullptr);
  plot_->axisRect()->setRangeDragAxes(plot_->xAxis, nullptr);

  auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
  ticker->setDateTimeFormat("HH:mm:ss");
  plot_->xAxis->setTicker(ticker);
  plot_->xAxis->setLabel("Time");
  plot_->yAxis->setLabel("Volts (V)");
  plot_->yAxis2->setVisible(true);
  plot_->yAxis2->setLabel("Control (%)");
  plot_->yAxis2->setRange(-5, 105);
  temperatureAxis_ = plot_->axisRect()->addAxis(QCPAxis::atRight);
  temperatureAxis_->setLabel("Battery temperature (°F)");
  temperatureAxis_->setRange(0, 120);

  for (std::size_t i = 0; i < kSeries.size(); ++i) {
    QCPAxis* valueAxis = plot_->yAxis;
    if (i == static_cast<std::size_t>(TrendSeries::ControlPercent)) valueAxis = plot_->yAxis2;
    if (i == static_cast<std::size_t>(TrendSeries::BatteryTemp)) valueAxis = temperatureAxis_;
    QCPGraph* graph = plot_->addGraph(plot_->xAxis, valueAxis);
    graph->setName(kSeries[i].name);
    graph->setPen(QPen(kSeries[i].colour, 1.5, kSeries[i].line));
    graph->setAdaptiveSampling(true);
    graphs_.push_back(graph);
  }
  plot_->legend->setVisible(true);
  plot_->legend->setFont(font());
  plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignLeft | Qt::AlignTop);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(follow_);
  buttons->addStretch();
  buttons->addWidget(saveCsvButton);
  buttons->addWidget(savePngButton);
  auto* layout = new QVBoxLayout(content);
  layout->addLayout(buttons);
  layout->addWidget(plot_, 1);
  layout->addWidget(latestLabel_);

  chooseFile = [this](const QString& title, const QString& suggestedName, const QString& filter) {
    const QString file = platform::qt::askSaveFile(this, title, suggestedName, filter);
    activateWindow();  // the keyboard back, also where no window manager runs
    return file;
  };
  connect(follow_, &QCheckBox::toggled, this, [this](bool on) {
    if (on) followNewest();
  });
  connect(saveCsvButton, &QPushButton::clicked, this, &TrendWindow::saveCsv);
  connect(savePngButton, &QPushButton::clicked, this, &TrendWindow::savePng);
  connect(plot_, &QCustomPlot::mouseMove, this, &TrendWindow::plotMouseMoved);
  connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this](const QCPRange& range) {
            // Keeps the axis between a minute and a day; a zoom while following stays on the newest reading.
            const double width = std::clamp(range.size(), kShortestShown, kLongestShown);
            if (width != range.size()) {
              const double centre = range.center();
              plot_->xAxis->setRange(centre - width / 2, centre + width / 2);
              return;
            }
            if (following() && std::abs(range.upper - (newest_ + kFollowMargin * width)) > 1e-6)
              followNewest();
            rescaleValues();
          });

  // Everything kept so far, in one pass.
  std::array<QVector<double>, link::kTrendSeriesCount> keys, values;
  for (const link::StoredStatus& entry : store_.entries()) {
    take(entry, [&](const link::TrendSample& sample) {
      for (std::size_t i = 0; i < sample.values.size(); ++i) {
        keys[i].push_back(sample.seconds);
        values[i].push_back(sample.values[i]);
      }
    });
  }
  for (std::size_t i = 0; i < graphs_.size(); ++i)
    graphs_[i]->setData(keys[i], values[i], true);
  if (store_.entries().empty()) {
    newest_ = link::TrendSeconds(std::chrono::system_clock::now());
  }
  store_.onAdded = [this](const link::StoredStatus& entry) { append(entry); };
  auto* silenceCheck = new QTimer(this);
  connect(silenceCheck, &QTimer::timeout, this, &TrendWindow::showLatest);
  silenceCheck->start(kSilenceCheckMs);
  showLatest();
  plot_->xAxis->setRange(newest_ - (1 - kFollowMargin) * kShownSeconds,
                         newest_ + kFollowMargin * kShownSeconds);
  followNewest();
}

TrendWindow::~TrendWindow() {
  store_.onAdded = nullptr;
}

bool TrendWindow::following() const {
  return follow_->isChecked();
}

void TrendWindow::setFollowing(bool follow) {
  follow_->setChecked(follow);
}

double TrendWindow::shownFrom() const {
  return plot_->xAxis->range().lower;
}

double TrendWindow::shownTo() const {
  return plot_->xAxis->range().upper;
}

void TrendWindow::showTimes(double from, double to) {
  plot_->xAxis->setRange(from, to);
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendWindow::take(const link::StoredStatus& entry,
                       const std::function<void(const link::TrendSample&)>& addSample) {
  const link::TrendMapper::Added added = mapper_.add(entry);
  for (const link::TrendSample& sample : added.samples)
    addSample(sample);
  if (added.mark) addMark(*added.mark);
  if (entry.record) latest_ = link::StatusView(*entry.record, latest_);
  newest_ = link::TrendSeconds(entry.at);
}

void TrendWindow::append(const link::StoredStatus& entry) {
  take(entry, [this](const link::TrendSample& sample) {
    for (std::size_t i = 0; i < graphs_.size(); ++i)
      graphs_[i]->addData(sample.seconds, sample.values[i]);
  });
  const auto& kept = store_.entries();
  if (!kept.empty()) dropBefore(link::TrendSeconds(kept.front().at));
  showLatest();
  if (following()) {
    followNewest();
  } else {
    rescaleValues();
  }
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendWindow::addMark(const link::AlarmMark& mark) {
  auto* line = new QCPItemStraightLine(plot_);
  line->setPen(QPen(QColor(220, 0, 0), 1, Qt::DotLine));
  line->point1->setCoords(mark.seconds, 0);
  line->point2->setCoords(mark.seconds, 1);
  marks_.push_back(mark);
  markLines_.push_back(line);
}

void TrendWindow::dropBefore(double seconds) {
  // The store has let go of its oldest readings: so does the plot.
  for (QCPGraph* graph : graphs_)
    graph->data()->removeBefore(seconds);
  std::size_t gone = 0;
  while (gone < marks_.size() && marks_[gone].seconds < seconds)
    ++gone;
  if (gone == 0) return;
  marks_.erase(marks_.begin(), marks_.begin() + static_cast<std::ptrdiff_t>(gone));
  for (std::size_t i = 0; i < gone; ++i)
    plot_->removeItem(markLines_[i]);
  markLines_.erase(markLines_.begin(), markLines_.begin() + static_cast<std::ptrdiff_t>(gone));
}

void TrendWindow::followNewest() {
  const double width = plot_->xAxis->range().size();
  const double upper = newest_ + kFollowMargin * width;
  plot_->xAxis->setRange(upper - width, upper);
  rescaleValues();
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendWindow::rescaleValues() {
  // The volts axis fits the three volts series over the time shown; a day of readings is scanned in
  // well under a millisecond.
  std::optional<QCPRange> volts;
  for (TrendSeries s : {TrendSeries::TeVolts, TrendSeries::BatteryVolts, TrendSeries::Setpoint}) {
    bool found = false;
    const QCPRange range =
        graphs_[static_cast<std::size_t>(s)]->getValueRange(found, QCP::sdBoth, plot_->xAxis->range());
    if (found) volts = volts ? volts->expanded(range) : range;
  }
  if (volts) {
    const link::AxisRange fitted = link::FittedAxisRange(volts->lower, volts->upper, link::kNarrowestVolts);
    plot_->yAxis->setRange(fitted.lower, fitted.upper);
  }
  bool found = false;
  const QCPRange temperatures = graphs_[static_cast<std::size_t>(TrendSeries::BatteryTemp)]->getValueRange(
      found, QCP::sdBoth, plot_->xAxis->range());
  if (found) temperatureAxis_->setRange(temperatures.lower - 5, temperatures.upper + 5);
}

void TrendWindow::showPauses() {
  // Drawn again when a pause begins, ends or is let go of, and at each look while one lasts.
  const auto& pauses = store_.pauses();
  const double lastEnd = pauses.empty() ? 0 : link::TrendSeconds(pauses.back().to.value_or(now()));
  if (!store_.paused() && pauses.size() == pauseBands_.size() && lastEnd == drawnPauseEnd_) return;
  drawnPauseEnd_ = lastEnd;
  for (QCPAbstractItem* band : pauseBands_)
    plot_->removeItem(band);
  pauseBands_.clear();
  for (const link::PollingPause& pause : pauses) {
    auto* band = new QCPItemRect(plot_);
    band->setLayer(QStringLiteral("grid"));  // behind the lines
    band->setPen(Qt::NoPen);
    band->setBrush(QColor(0, 0, 0, 28));
    band->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
    band->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
    band->topLeft->setCoords(link::TrendSeconds(pause.from), 0);
    band->bottomRight->setCoords(link::TrendSeconds(pause.to.value_or(now())), 1);
    pauseBands_.push_back(band);
  }
  plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TrendWindow::showLatest() {
  showPauses();
  std::string silentSince;
  if (const auto since = link::TrendSilentSince(store_, now())) {
    // As the time axis shows times: local, to the second.
    silentSince =
        QDateTime::fromMSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::milliseconds>(since->time_since_epoch()).count())
            .toString("HH:mm:ss")
            .toStdString();
  }
  const QString text = QString::fromStdString(link::TrendLatestText(latest_, silentSince));
  if (text == latestLabel_->text()) return;
  latestLabel_->setText(text);
  setAccessibleDescription(text);
  plot_->setAccessibleDescription(text);
}

void TrendWindow::plotMouseMoved(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    setFollowing(false);  // the user drags the time axis: it stays where it is put
    return;
  }
  const double x = event->position().x();
  const link::AlarmMark* nearest = nullptr;
  double distance = 5;  // pixels
  for (const link::AlarmMark& mark : marks_) {
    const double d = std::abs(plot_->xAxis->coordToPixel(mark.seconds) - x);
    if (d <= distance) {
      distance = d;
      nearest = &mark;
    }
  }
  const double at = plot_->xAxis->pixelToCoord(x);
  const auto& pauses = store_.pauses();
  const bool paused = std::any_of(pauses.begin(), pauses.end(), [&](const link::PollingPause& p) {
    return at >= link::TrendSeconds(p.from) && at <= link::TrendSeconds(p.to.value_or(now()));
  });
  if (nearest != nullptr) {
    QToolTip::showText(event->globalPosition().toPoint(), QString::fromStdString(nearest->text), plot_);
  } else if (paused) {
    QToolTip::showText(event->globalPosition().toPoint(), kPausedTip, plot_);
  } else {
    QToolTip::hideText();
  }
}

void TrendWindow::keyPressEvent(QKeyEvent* event) {
  const QCPRange range = plot_->xAxis->range();
  switch (event->key()) {
    case Qt::Key_Escape:
      close();
      return;
    case Qt::Key_Left:
    case Qt::Key_Right:
      setFollowing(false);
      showTimes(range.lower + (event->key() == Qt::Key_Left ? -0.25 : 0.25) * range.size(),
                range.upper + (event->key() == Qt::Key_Left ? -0.25 : 0.25) * range.size());
      return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus: {
      const double factor = event->key() == Qt::Key_Minus ? 2.0 : 0.5;
      plot_->xAxis->scaleRange(factor, following() ? newest_ : range.center());
      plot_->replot(QCustomPlot::rpQueuedReplot);
      return;
    }
    case Qt::Key_End:
      setFollowing(true);
      return;
    default:
      QMainWindow::keyPressEvent(event);
  }
}

void TrendWindow::saveCsv() {
  const QString file = chooseFile("Save as CSV", "orvik-trend.csv", "CSV files (*.csv)");
  if (file.isEmpty()) return;
  save(file, "The trend", link::StatusCsvText(store_.entries()));
}

void TrendWindow::savePng() {
  const QString file = chooseFile("Save as PNG", "orvik-trend.png", "PNG images (*.png)");
  if (file.isEmpty()) return;
  // Drawn in memory, then written whole as every file is: a pipe or a full disk is said, never waited on.
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!plot_->toPixmap().save(&buffer, "PNG")) {
    QMessageBox::warning(this, kTrendTitle,
                         "The chart cannot be saved to " + file + ": it could not be drawn.");
    return;
  }
  save(file, "The chart", std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
}

void TrendWindow::save(const QString& file, const QString& what, std::string_view bytes) {
  const std::string problem = platform::WriteFileWhole(QFile::encodeName(file).toStdString(), bytes);
  if (problem.empty()) return;
  QMessageBox box(QMessageBox::Warning, kTrendTitle,
                  what + " cannot be saved to " + file + ":\n" + QString::fromStdString(problem) + ".",
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);  // the path is the user's, not markup
  box.exec();
}

TrendWindowOpener::~TrendWindowOpener() {
  delete window_.data();
}

void TrendWindowOpener::open() {
  const bool opening = window_.isNull();
  if (opening) window_ = new TrendWindow(store_);
  platform::qt::showFromActiveWindow(*window_, opening);
}

}  // namespace orvik::trend
