#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvik::simulation {

// The whole bench in one process on the virtual clock: the monitor's windows or orvikctl's commands, a
// controller model behind a faulty line, and a technician pressing keys at seeded moments.
//   MakeSchedule(seed, ms) -> what the technician and the bench do, and when; the line's faults are drawn
//                             per request from the seed, so a schedule replays the same run exactly
//   Run(schedule)          -> the first invariant broken (empty when none held false) and the last events

// What happens at a moment of a run. The argument picks from a list: an entry, an answer, a command.
enum class Act : std::uint8_t {
  // The monitor: menu commands, then what is done in whatever window is open.
  TrimTemp,
  TrimVolts,
  TrimTe,
  CalDate,
  EditTag,
  Report,
  BackUp,
  Restore,
  Undo,
  Type,
  Start,
  Cancel,
  Close,
  ReportEditTag,
  ReportResetLog,
  // orvikctl: one command, run to its end.
  CliTrim,
  CliRestore,
  CliUndo,
  CliTag,
  CliCalDate,
  CliResetLog,
  CliReport,
  // The bench: the adapter and the controller.
  Unplug,
  Replug,
  Busy,
  StoreOther,
  StoreRight,
  SensorOpen,
  SensorOk,
};

struct Action {
  std::int64_t atMs;
  Act act;
  std::uint32_t arg;
};

struct Schedule {
  std::uint64_t seed = 0;
  bool cli = false;          // orvikctl's commands, else the monitor
  bool commaLocale = false;  // the desktop writes 1,5 for 1.5
  std::int64_t lengthMs = 0;
  std::vector<Action> actions;
};

Schedule MakeSchedule(std::uint64_t seed, std::int64_t lengthMs);

struct Outcome {
  std::string violation;  // the invariant that did not hold, with what broke it; empty when all held
  std::vector<std::string> lastEvents;
  std::int64_t virtualMs = 0;
};

// `log` prints every event as it happens (a replay).
Outcome Run(const Schedule& schedule, bool log = false);

// The action as a line: "12345 ms: TrimVolts 3".
std::string Describe(const Action& action);

}  // namespace orvik::simulation
