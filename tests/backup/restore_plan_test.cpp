// What an undo and a cut-short restore tell the technician, each case once.
#include "backup/restore_plan.h"

#include <gtest/gtest.h>

#include "backup/constants_transfer.h"

namespace orvik::backup {
namespace {

using service_record::ServiceRow;

ServiceRow trimRow() {
  ServiceRow row;
  row.id = 4;
  row.tag = "BAY 4";
  row.hardwareRevision = 5;
  row.change = link::ChangeKind::BatteryVoltsGain;
  row.parameter = 18;
  row.beforeBytes = "7F000000";   // 1
  row.writtenBytes = "7F200000";  // 1.25
  return row;
}

TEST(PlanUndo, RefusesWhatItCannotTakeBackAndSaysWhenTheValueChangedSince) {
  struct Case {
    std::function<void(ServiceRow&)> edit;
    std::string tag;
    link::FloatBytesArray current;
    std::string said;  // the refusal, or what is said before asking again
  };
  const Case cases[] = {
      {[](ServiceRow& r) { r.change = link::ChangeKind::Tag; },
       "BAY 4",
       {0x7F, 0x20, 0, 0},
       "Row 4 is not a trim with its value before, so there is nothing to take back."},
      {[](ServiceRow& r) { r.tag.clear(); },
       "BAY 4",
       {0x7F, 0x20, 0, 0},
       "Row 4 does not say which unit it was made on, so it cannot be taken back on this one."},
      {[](ServiceRow& r) { r.hardwareRevision = 4; },
       "BAY 4",
       {0x7F, 0x20, 0, 0},
       "Row 4 is a trim of a controller of hardware revision 4; this one is hardware revision 5. Nothing was "
       "written."},
      {nullptr,
       "BAY 4",
       {0x7F, 0x40, 0, 0},
       "The battery voltage gain is now 1.5, not the 1.25 this trim wrote: it was changed since."},
      {nullptr, "BAY 4", {0x7F, 0x20, 0, 0}, ""},
  };
  for (const Case& c : cases) {
    ServiceRow row = trimRow();
    if (c.edit) c.edit(row);
    const auto planned = PlanUndo(row, c.tag, 5, c.current);
    const auto* plan = std::get_if<UndoPlan>(&planned);
    EXPECT_EQ(plan ? plan->changedSince : std::get<std::string>(planned), c.said);
    if (plan) {
      EXPECT_EQ(plan->line.wanted, (link::FloatBytesArray{0x7F, 0, 0, 0}));
    }
  }
}

TEST(WriteOutcomeText, SaysWhatWasReadBackAndWhetherTheStoppedOneMayBeStored) {
  WriteOutcome outcome;
  outcome.written = {18};
  outcome.stoppedAt = 22;
  outcome.why = "the controller holds 1 after 1.05 was written";
  outcome.notWritten = {26, 30};
  EXPECT_EQ(WriteOutcomeText(outcome),
            "Stopped at the TE module voltage gain: the controller holds 1 after 1.05 was written.\r"
            "Written and read back: Battery voltage gain.\r"
            "Not written: Battery temperature gain, Battery temperature offset.\r");
}

}  // namespace
}  // namespace orvik::backup
