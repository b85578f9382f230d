#include "link/trend_series.h"

#include <algorithm>
#include <limits>

#include "link/alarm_text.h"
#include "link/controller_link.h"

namespace orvik::link {

namespace {

constexpr double kNoPoint = std::numeric_limits<double>::quiet_NaN();

template <typename T>
double value(const std::optional<T>& field) {
  return field ? static_cast<double>(*field) : kNoPoint;
}

TrendSample gapAt(double when) {
  TrendSample gap{when, {}};
  gap.values.fill(kNoPoint);
  return gap;
}

TrendSample sampleOf(double when, const StatusRecord& record) {
  TrendSample sample{when, {}};
  auto at = [&](TrendSeries s) -> double& { return sample.values[static_cast<std::size_t>(s)]; };
  at(TrendSeries::TeVolts) = value(record.teVolts);
  at(TrendSeries::BatteryVolts) = value(record.batVolts);
  at(TrendSeries::Setpoint) = value(record.setpoint);
  at(TrendSeries::ControlPercent) = record.pwmCount ? ControlPercent(*record.pwmCount) : kNoPoint;
  at(TrendSeries::BatteryTemp) =
      record.batTemp && !SensorFailed(*record.batTemp) ? *record.batTemp : kNoPoint;
  return sample;
}

}  // namespace

TrendMapper::Added TrendMapper::add(const StoredStatus& entry) {
  Added added;
  const double when = TrendSeconds(entry.at);
  if (!entry.record) {
    if (!broken_) added.samples.push_back(gapAt(when));
    broken_ = true;
    return added;
  }
  if (lastReading_ && !broken_ && entry.at - *lastReading_ > kTrendGapAfter) {
    // Between the two readings, so that neither loses its point.
    added.samples.push_back(gapAt((TrendSeconds(*lastReading_) + when) / 2));
  }
  added.samples.push_back(sampleOf(when, *entry.record));
  lastReading_ = entry.at;
  broken_ = false;
  if (const auto code = entry.record->alarmCode; code && *code != alarmCode_) {
    alarmCode_ = *code;
    added.mark = AlarmMark{when, *code, AlarmMarkText(*code)};
  }
  return added;
}

double TrendSeconds(std::chrono::system_clock::time_point at) {
  return std::chrono::duration<double>(at.time_since_epoch()).count();
}

std::string AlarmMarkText(std::uint8_t code) {
  if (code == 0) return "Alarm cleared";
  std::string text = AlarmText(code);
  return text.empty() ? "Alarm code " + std::to_string(code) : text;
}

std::string TrendLatestText(const LiveView& view, const std::string& silentSince) {
  const std::string values = "TE module " + view.teVolts.text + ", battery " + view.batVolts.text +
                             ", setpoint " + view.setpoint.text + ", control " + view.pwm.text +
                             ", battery temperature " + view.batTemp.text;
  return silentSince.empty() ? values : "No answer since " + silentSince + ". Last values: " + values;
}

std::optional<std::chrono::system_clock::time_point> TrendSilentSince(
    const StatusStore& store, std::chrono::system_clock::time_point now) {
  // Nothing is asked while polling is paused, and what was asked before a pause had until its end.
  if (store.paused()) return std::nullopt;
  std::optional<std::chrono::system_clock::time_point> since = store.lastAnswer();
  if (!since && !store.entries().empty()) since = store.entries().front().at;
  if (!since) return std::nullopt;
  auto waited = *since;
  if (!store.pauses().empty() && *store.pauses().back().to > waited) waited = *store.pauses().back().to;
  if (now - waited <= kStatusAnswerTimeout) return std::nullopt;
  return since;
}

AxisRange FittedAxisRange(double lowest, double highest, double narrowest) {
  const double centre = (lowest + highest) / 2;
  const double half = std::max(highest - lowest, narrowest) / 2 * 1.2;
  return {centre - half, centre + half};
}

}  // namespace orvik::link
