#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "backup/backup_file.h"
#include "service_record/service_row.h"

namespace orvik::backup {

// One calibration constant of a restore or an undo: what the controller holds, and what is to be
// written back.
struct RestoreLine {
  std::uint8_t parameter = 0;
  link::FloatBytesArray current{};
  link::FloatBytesArray wanted{};
  bool differs() const { return current != wanted; }
  bool operator==(const RestoreLine&) const = default;
};

// The four constants of `unit` beside those of `file`, in the report's order.
std::vector<RestoreLine> RestoreLines(const UnitConstants& unit, const UnitConstants& file);
// The lines that would change the controller.
std::vector<RestoreLine> ChangingLines(const std::vector<RestoreLine>& lines);
// One line a constant, "Battery voltage gain: 0.9401324 now, 0.95 from the file", "(the same)" where
// nothing changes; lines end with a carriage return, as in a message box.
std::string RestoreTableText(const std::vector<RestoreLine>& lines, const std::string& wantedFrom);

// Why `file` may not be restored to `unit` at all; empty when it may. Calibration fits one hardware
// revision's sensors.
std::string RestoreRefusal(const UnitConstants& unit, const UnitConstants& file);
// The file was taken from a unit of another tag.
bool FromOtherUnit(const UnitConstants& unit, const UnitConstants& file);
// The second question a file of another unit needs; it names both tags.
std::string OtherUnitQuestion(const UnitConstants& unit, const UnitConstants& file);

// Taking back the trim of one service record row: the constant to write back, and, when the controller
// no longer holds what the trim wrote, what to say before asking again.
struct UndoPlan {
  RestoreLine line;
  std::string changedSince;  // empty when the controller still holds the trim's value
};
// The plan, or why the row cannot be undone on the unit of `tag` and `hardwareRevision` whose constant
// is now `current`. `unitRows` are that unit's rows across its renamings: a trim made under an earlier
// tag of the same unit is among them.
std::variant<UndoPlan, std::string> PlanUndo(const service_record::ServiceRow& row, const std::string& tag,
                                             std::optional<int> hardwareRevision,
                                             const link::FloatBytesArray& current,
                                             const std::vector<service_record::ServiceRow>& unitRows = {});

// A calibration constant's name within a sentence: "battery voltage gain", "TE module voltage gain".
std::string ConstantInSentence(std::uint8_t parameter);

}  // namespace orvik::backup
