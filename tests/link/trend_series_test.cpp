// What the trend plots for a run of readings: where lines break, which values are left out, where the
// alarm marks go, and which readings a full store still holds.
#include "link/trend_series.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvik::link {
namespace {

using Clock = std::chrono::system_clock;

// A poll `at` seconds into the run: a reading (alarm code, battery temperature), or a missed poll.
struct Poll {
  double at;
  bool answered = true;
  std::uint8_t alarm = 0;
  float batTemp = 77;
};
Poll missed(double at) {
  return {at, false};
}

struct Case {
  const char* name;
  std::vector<Poll> polls;
  // Each plotted sample as "seconds:" and one letter a series, v for a value and - for none, in the
  // order TE, battery, setpoint, control, temperature.
  std::vector<std::string> samples;
  std::vector<std::string> marks;  // "seconds:code:text"
  std::size_t capacity = StatusStore::kCapacity;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class TrendSeriesTable : public testing::TestWithParam<Case> {};

TEST_P(TrendSeriesTable, PlotsWhatWasReadAndNothingElse) {
  const Case& c = GetParam();
  StatusStore store(c.capacity);
  int added = 0;
  store.onAdded = [&](const StoredStatus&) { ++added; };
  for (const Poll& p : c.polls) {
    const Clock::time_point at{std::chrono::milliseconds(std::llround(p.at * 1000))};
    if (!p.answered) {
      store.addMissed(at);
      continue;
    }
    StatusRecord r;
    r.teVolts = 13.5f;
    r.batVolts = 12.6f;
    r.setpoint = 13.8f;
    r.pwmCount = 500;
    r.batTemp = p.batTemp;
    r.alarmCode = p.alarm;
    store.addRecord(at, r);
  }
  EXPECT_EQ(added, static_cast<int>(c.polls.size())) << "every poll is told as it is kept";
  EXPECT_LE(store.entries().size(), c.capacity);

  TrendMapper mapper;
  std::vector<std::string> samples, marks;
  for (const StoredStatus& entry : store.entries()) {
    const TrendMapper::Added a = mapper.add(entry);
    for (const TrendSample& s : a.samples) {
      std::string shape = std::to_string(std::lround(s.seconds)) + ":";
      for (double v : s.values)
        shape += std::isnan(v) ? '-' : 'v';
      samples.push_back(shape);
    }
    if (a.mark) {
      marks.push_back(std::to_string(std::lround(a.mark->seconds)) + ":" + std::to_string(a.mark->code) +
                      ":" + a.mark->text);
    }
  }
  EXPECT_EQ(samples, c.samples);
  EXPECT_EQ(marks, c.marks);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, TrendSeriesTable,
    testing::Values(Case{"ReadingsAtThePollJoin", {{0}, {2}, {4}}, {"0:vvvvv", "2:vvvvv", "4:vvvvv"}, {}},
                    Case{"MissedPollsBreakTheLineOnce",
                         {{0}, missed(2), missed(4), {6}, missed(8)},
                         {"0:vvvvv", "2:-----", "6:vvvvv", "8:-----"},
                         {}},
                    Case{"ARunThatStartsUnansweredDrawsNoGapFirst", {missed(0), {2}}, {"2:vvvvv"}, {}},
                    Case{"APauseLongerThanSixSecondsBreaksBetweenItsReadings",
                         {{0}, {6}, {20}},
                         {"0:vvvvv", "6:vvvvv", "13:-----", "20:vvvvv"},
                         {}},
                    Case{"FailedSensorMarkersAreNoTemperatures",
                         {{0, true, 0, -50}, {2, true, 0, 150}, {4, true, 0, 149.5f}},
                         {"0:vvvv-", "2:vvvv-", "4:vvvvv"},
                         {}},
                    Case{"EachAlarmChangeIsMarkedWithItsText",
                         {{0}, {2, true, 3}, {4, true, 3}, missed(6), {8, true, 7}, {10}},
                         {"0:vvvvv", "2:vvvvv", "4:vvvvv", "6:-----", "8:vvvvv", "10:vvvvv"},
                         {"2:3:Low TE output in Charge Mode.", "8:7:Alarm code 7", "10:0:Alarm cleared"}},
                    Case{"AnAlarmFromTheFirstReadingIsMarked",
                         {{0, true, 250}},
                         {"0:vvvvv"},
                         {"0:250:Unknow Error Code,  250"}},
                    Case{"AFullStoreKeepsTheNewest",
                         {{0, true, 2}, {2}, missed(4), {6}, {8}},
                         {"6:vvvvv", "8:vvvvv"},
                         {},
                         3}),
    [](const testing::TestParamInfo<Case>& row) { return row.param.name; });

// Values are marked as not current once no answer came for longer than the link's time-out, from the
// last answer of any kind, or from the first poll when none came yet.
TEST(TrendSilence, IsCountedFromTheLastAnswerPastTheLinksTimeOut) {
  using namespace std::chrono_literals;
  const Clock::time_point t0{std::chrono::hours(24 * 20000)};
  StatusStore store;
  EXPECT_EQ(TrendSilentSince(store, t0 + 1h), std::nullopt) << "nothing polled yet";
  store.addMissed(t0);
  EXPECT_EQ(TrendSilentSince(store, t0 + 2500ms), std::nullopt);
  EXPECT_EQ(TrendSilentSince(store, t0 + 2501ms), t0) << "never answered: since the first poll";
  store.addRecord(t0 + 2s, {});
  store.noteAnswer(t0 + 3s);  // a tag read, say
  EXPECT_EQ(TrendSilentSince(store, t0 + 5500ms), std::nullopt);
  EXPECT_EQ(TrendSilentSince(store, t0 + 5501ms), t0 + 3s);
  // A dialog pauses polling: no silence while it lasts, nor until the time-out after it.
  store.notePolling(t0 + 4s, true);
  EXPECT_EQ(TrendSilentSince(store, t0 + 1min), std::nullopt);
  store.notePolling(t0 + 1min, false);
  EXPECT_EQ(TrendSilentSince(store, t0 + 1min + 2500ms), std::nullopt);
  EXPECT_EQ(TrendSilentSince(store, t0 + 1min + 2501ms), t0 + 3s);
  EXPECT_EQ(
      TrendLatestText(LiveView{}, "14:03:12").rfind("No answer since 14:03:12. Last values: TE module ", 0),
      0u);
}

}  // namespace
}  // namespace orvik::link
