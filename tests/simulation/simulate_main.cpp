// orvik-simulate: seeded runs of the whole bench until a time budget is spent, the invariants checked after
// every event. A failing run prints its seed, its last events and the fewest of its actions that still
// fail, and --replay runs that seed again, event for event.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/number_text.h"
#include "simulation/simulation.h"

namespace {

using namespace orvik::simulation;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kRunLengthMs = 240'000;  // four minutes of bench time a schedule

// The kind of a violation: its words before the first colon.
std::string kindOf(const std::string& violation) {
  return violation.substr(0, violation.find(':'));
}

// Drops actions while the run still fails the same way, for at most `budget`.
Schedule shrink(Schedule schedule, const std::string& kind, Clock::duration budget) {
  const auto until = Clock::now() + budget;
  for (std::size_t chunk = schedule.actions.size() / 2; chunk >= 1; chunk /= 2) {
    for (std::size_t i = 0; i + chunk <= schedule.actions.size() && Clock::now() < until;) {
      Schedule fewer = schedule;
      fewer.actions.erase(fewer.actions.begin() + static_cast<long>(i),
                          fewer.actions.begin() + static_cast<long>(i + chunk));
      if (kindOf(Run(fewer).violation) == kind) {
        schedule = std::move(fewer);
      } else {
        i += chunk;
      }
    }
  }
  return schedule;
}

int usage() {
  std::fputs("Usage: orvik-simulate SECONDS [--seed N]\n       orvik-simulate --replay N\n", stderr);
  return 2;
}

std::optional<std::uint64_t> number(const char* text) {
  const auto value = orvik::link::ReadNumber(text);
  if (!value || *value < 0 || *value != static_cast<double>(static_cast<std::uint64_t>(*value))) return {};
  return static_cast<std::uint64_t>(*value);
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::uint64_t> seconds, seed, replay;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--seed" || arg == "--replay") && i + 1 < argc) {
      (arg == "--seed" ? seed : replay) = number(argv[++i]);
      if (!(arg == "--seed" ? seed : replay)) return usage();
    } else if (!seconds && (seconds = number(argv[i]))) {
    } else {
      return usage();
    }
  }
  if (replay) {
    const Schedule schedule = MakeSchedule(*replay, kRunLengthMs);
    std::printf("seed %llu: %s, %s locale, %zu actions\n", static_cast<unsigned long long>(*replay),
                schedule.cli ? "orvikctl" : "the monitor", schedule.commaLocale ? "comma-decimal" : "C",
                schedule.actions.size());
    const Outcome outcome = Run(schedule, true);
    std::printf("%s\n", outcome.violation.empty() ? "every invariant held" : outcome.violation.c_str());
    return outcome.violation.empty() ? 0 : 1;
  }
  if (!seconds) return usage();
  const std::uint64_t first =
      seed.value_or(static_cast<std::uint64_t>(Clock::now().time_since_epoch().count()) % 1'000'000'000);
  const auto start = Clock::now();
  const auto until = start + std::chrono::seconds(*seconds);
  std::uint64_t runs = 0;
  std::int64_t virtualMs = 0;
  for (std::uint64_t s = first; runs == 0 || Clock::now() < until; ++s, ++runs) {
    const Schedule schedule = MakeSchedule(s, kRunLengthMs);
    const Outcome outcome = Run(schedule);
    virtualMs += outcome.virtualMs;
    if (outcome.violation.empty()) continue;
    std::printf("seed %llu FAILED after %.1f s: %s\nIts last events:\n", static_cast<unsigned long long>(s),
                std::chrono::duration<double>(Clock::now() - start).count(), outcome.violation.c_str());
    for (const std::string& e : outcome.lastEvents)
      std::printf("  %s\n", e.c_str());
    const Schedule fewest = shrink(schedule, kindOf(outcome.violation), std::chrono::seconds(60));
    std::printf("It fails the same way with %zu of its %zu actions:\n", fewest.actions.size(),
                schedule.actions.size());
    for (const Action& a : fewest.actions)
      std::printf("  %s\n", Describe(a).c_str());
    std::printf("Run it again: scripts/simulate.sh --replay %llu\n", static_cast<unsigned long long>(s));
    return 1;
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf(
      "%llu schedules (seeds %llu..%llu), %.0f minutes of bench time in %.1f s: %.1f schedules a "
      "second; every invariant held\n",
      static_cast<unsigned long long>(runs), static_cast<unsigned long long>(first),
      static_cast<unsigned long long>(first + runs - 1), static_cast<double>(virtualMs) / 60000.0, wall,
      static_cast<double>(runs) / wall);
  return 0;
}
