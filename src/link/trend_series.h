#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/status_store.h"
#include "link/status_view.h"

namespace orvik::link {

// The five values a trend plots, in this order.
enum class TrendSeries { TeVolts, BatteryVolts, Setpoint, ControlPercent, BatteryTemp };
inline constexpr std::size_t kTrendSeriesCount = 5;

// A moment on the time axis: seconds since the epoch, and each series' value, NaN where the series has
// no point (the record lacks the value, the sensor has failed, or the line must break for a gap).
struct TrendSample {
  double seconds = 0;
  std::array<double, kTrendSeriesCount> values{};
};

// A moment as the time axis counts it: seconds since the epoch.
double TrendSeconds(std::chrono::system_clock::time_point at);

// A change of the alarm code, marked on the time axis with its text.
struct AlarmMark {
  double seconds = 0;
  std::uint8_t code = 0;
  std::string text;
};

// Readings further apart than this were not polled in between (the monitor was in a dialog, or the
// computer slept): the line breaks rather than draw values nobody read.
inline constexpr std::chrono::seconds kTrendGapAfter{6};

// Turns stored readings, oldest first, into plot points. A missed poll, or a pause longer than
// kTrendGapAfter, becomes a sample of NaNs so that no line is drawn across it; a failed temperature
// sensor's marker readings (-50 and 150 °F) are not plotted as temperatures; each change of the alarm
// code, and an alarm present from the first reading, is a mark.
class TrendMapper {
 public:
  struct Added {
    std::vector<TrendSample> samples;
    std::optional<AlarmMark> mark;
  };
  Added add(const StoredStatus& entry);

 private:
  std::optional<std::chrono::system_clock::time_point> lastReading_;
  bool broken_ = true;  // the line is already broken: another gap adds nothing
  std::uint8_t alarmCode_ = 0;
};

// The alarm text of a mark: the alarm's own text, or what a code without one means.
std::string AlarmMarkText(std::uint8_t code);

// The latest value of each series as the live display shows it, for assistive tools:
// "TE module 13.214 V, battery 12.50 V, setpoint 13.80 V, control 45%, battery temperature 77 °F".
// With `silentSince` (a time as the time axis shows it), they are marked as no longer current:
// "No answer since 14:03:12. Last values: TE module 13.214 V, ...".
std::string TrendLatestText(const LiveView& view, const std::string& silentSince = {});

// Since when the controller has been silent, once no answer has been accepted for longer than the link's
// time-out, polling paused not counting: the last answer, or the first poll when none has come yet.
// None while it answers, and while polling is paused.
std::optional<std::chrono::system_clock::time_point> TrendSilentSince(
    const StatusStore& store, std::chrono::system_clock::time_point now);

// What a value axis shows for values from `lowest` to `highest`: all of them with a tenth to spare on
// each side, and at least `narrowest` wide, so that a steady value is neither lost nor drawn as noise.
struct AxisRange {
  double lower = 0;
  double upper = 0;
};
AxisRange FittedAxisRange(double lowest, double highest, double narrowest);
// The narrowest the volts axis gets.
inline constexpr double kNarrowestVolts = 1.0;

}  // namespace orvik::link
