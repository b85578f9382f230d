// A day of charger status records, as the Live Trend window would hold them: one record per 2 s poll,
// with link-down stretches (no records, so a time jump) and alarm marks. Deterministic, so that both
// probes plot the same data and their pictures can be compared.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace probe {

inline constexpr std::int64_t kPollMs = 2000;
inline constexpr int kDayRecords = 43200;  // 24 h of 2 s polls
// A time step longer than this between two records means the link was down: no line across it.
inline constexpr std::int64_t kGapMs = 3 * kPollMs / 2;

struct Record {
  std::int64_t tMs;  // ms since the epoch, UTC
  double teVolts;
  double batteryVolts;
  double setpointVolts;
  double controlPercent;
  double batteryTempF;
};

struct Alarm {
  std::int64_t tMs;
  std::string text;
};

class Store {
 public:
  Store() : rng_(20240301) {
    // Link-down stretches: after record index, for so many seconds. The last one falls inside the
    // final ten minutes so the live view shows a gap.
    const struct {
      int index;
      int seconds;
    } gaps[] = {{5400, 300}, {17100, 180}, {30600, 480}, {kDayRecords - 150, 180}};
    std::int64_t t = kStartMs;
    int g = 0;
    records_.reserve(kDayRecords);
    for (int i = 0; i < kDayRecords; ++i) {
      if (g < 4 && i == gaps[g].index) {
        alarms_.push_back({t, "link lost"});
        t += gaps[g].seconds * 1000;
        ++g;
      }
      records_.push_back(make(t));
      t += kPollMs;
    }
    alarms_.push_back({kStartMs + 5 * 3600'000 + 52 * 60'000, "control saturated"});
    alarms_.push_back({kStartMs + 14 * 3600'000 + 20 * 60'000, "battery temperature high"});
  }

  const std::vector<Record>& records() const { return records_; }
  const std::vector<Alarm>& alarms() const { return alarms_; }

  // The next poll's record, kept in the store; linkDownMs makes it the first after a link-down stretch.
  const Record& appendNext(std::int64_t linkDownMs = 0) {
    records_.push_back(make(records_.back().tMs + kPollMs + linkDownMs));
    return records_.back();
  }

  static bool gapBetween(const Record& a, const Record& b) { return b.tMs - a.tMs > kGapMs; }

 private:
  static constexpr std::int64_t kStartMs = 1709251200000;  // 2024-03-01 00:00:00 UTC

  Record make(std::int64_t tMs) {
    const double h = double(tMs - kStartMs) / 3600'000.0;
    // Three charge cycles a day: bulk rise, then float at a lower setpoint.
    const double phase = std::fmod(h, 8.0) / 8.0;
    const double setpoint = phase < 0.7 ? 13.8 : 13.6;
    double battery = 12.2 + 1.75 * (1.0 - std::exp(-phase * 6.0)) + noise_(rng_) * 0.02;
    if (phase >= 0.7) battery = std::min(battery, 13.62 + noise_(rng_) * 0.01);
    const double te = std::clamp(13.45 + 0.3 * std::sin(h * 1.7) + noise_(rng_) * 0.03, 13.0, 14.0);
    const double control = std::clamp((setpoint - battery) * 60.0 + 8.0 + noise_(rng_) * 2.0, 0.0, 100.0);
    const double tempF = 75.0 + 12.0 * std::sin(2 * M_PI * (h - 9.0) / 24.0) + noise_(rng_) * 0.3;
    return {tMs, te, battery, setpoint, control, tempF};
  }

  std::vector<Record> records_;
  std::vector<Alarm> alarms_;
  std::mt19937 rng_;
  std::normal_distribution<double> noise_{0.0, 1.0};
};

// The five series the window plots, in order, with the axis each is drawn against.
enum class Axis { Volts, Percent, TempF };
struct SeriesInfo {
  const char* name;
  unsigned rgb;
  Axis axis;
  double (*value)(const Record&);
};
inline constexpr SeriesInfo kSeries[] = {
    {"TE module V", 0x1f77b4, Axis::Volts, [](const Record& r) { return r.teVolts; }},
    {"Battery V", 0x2ca02c, Axis::Volts, [](const Record& r) { return r.batteryVolts; }},
    {"Setpoint V", 0x7f7f7f, Axis::Volts, [](const Record& r) { return r.setpointVolts; }},
    {"Control %", 0xff7f0e, Axis::Percent, [](const Record& r) { return r.controlPercent; }},
    {"Battery °F", 0x9467bd, Axis::TempF, [](const Record& r) { return r.batteryTempF; }},
};

inline constexpr double kVoltsMin = 11.5, kVoltsMax = 14.5;
inline constexpr double kPercentMin = -5, kPercentMax = 105;
inline constexpr double kTempMin = 55, kTempMax = 95;

}  // namespace probe
