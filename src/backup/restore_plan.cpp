#include "backup/restore_plan.h"

#include <algorithm>
#include <cctype>

#include "diagnostics/report_values.h"
#include "link/parameter_numbers.h"
#include "link/tag_text.h"
#include "service_record/change_rows.h"

namespace orvik::backup {

namespace {

using link::parameter::kCalibrationConstants;

std::string shown(std::uint8_t parameter, const link::FloatBytesArray& bytes) {
  return diagnostics::ReportValueText(parameter, bytes);
}

std::string revisionText(const std::optional<int>& revision) {
  return revision ? std::to_string(*revision) : std::string("not known");
}

}  // namespace

std::string ConstantInSentence(std::uint8_t parameter) {
  std::string name(link::parameter::ConstantTitle(parameter));
  if (!name.empty() && name.compare(0, 2, "TE") != 0)
    name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
  return name;
}

std::vector<RestoreLine> RestoreLines(const UnitConstants& unit, const UnitConstants& file) {
  std::vector<RestoreLine> lines;
  for (std::uint8_t p : kCalibrationConstants) {
    const auto now = unit.constants.find(p);
    const auto wanted = file.constants.find(p);
    if (now == unit.constants.end() || wanted == file.constants.end()) continue;
    lines.push_back({p, now->second, wanted->second});
  }
  return lines;
}

std::vector<RestoreLine> ChangingLines(const std::vector<RestoreLine>& lines) {
  std::vector<RestoreLine> changing;
  for (const RestoreLine& line : lines)
    if (line.differs()) changing.push_back(line);
  return changing;
}

std::string RestoreTableText(const std::vector<RestoreLine>& lines, const std::string& wantedFrom) {
  std::string text;
  for (const RestoreLine& line : lines) {
    text += std::string(link::parameter::ConstantTitle(line.parameter)) + ": " +
            shown(line.parameter, line.current) + " now, " + shown(line.parameter, line.wanted) + " " +
            wantedFrom + (line.differs() ? "" : " (the same)") + "\r";
  }
  return text;
}

std::string RestoreRefusal(const UnitConstants& unit, const UnitConstants& file) {
  if (unit.hardwareRevision && file.hardwareRevision && *unit.hardwareRevision == *file.hardwareRevision)
    return {};
  return "The file is from a controller of hardware revision " + revisionText(file.hardwareRevision) +
         "; this one is hardware revision " + revisionText(unit.hardwareRevision) +
         ". Its constants do not fit this controller. Nothing was written.";
}

bool FromOtherUnit(const UnitConstants& unit, const UnitConstants& file) {
  return link::TrimmedTag(unit.tag) != link::TrimmedTag(file.tag);
}

std::string OtherUnitQuestion(const UnitConstants& unit, const UnitConstants& file) {
  return "The file was taken from the unit \"" + link::TrimmedTag(file.tag) +
         "\", but the controller connected is \"" + link::TrimmedTag(unit.tag) +
         "\". Calibration belongs to one unit.\r\rWrite the constants of \"" + link::TrimmedTag(file.tag) +
         "\" to \"" + link::TrimmedTag(unit.tag) + "\" all the same?";
}

std::variant<UndoPlan, std::string> PlanUndo(const service_record::ServiceRow& row, const std::string& tag,
                                             std::optional<int> hardwareRevision,
                                             const link::FloatBytesArray& current,
                                             const std::vector<service_record::ServiceRow>& unitRows) {
  const std::string which = "Row " + std::to_string(row.id);
  if (!service_record::Undoable(row))
    return which + " is not a trim with its value before, so there is nothing to take back.";
  if (row.tag.empty())
    return which + " does not say which unit it was made on, so it cannot be taken back on this one.";
  const bool renamedSince = std::any_of(unitRows.begin(), unitRows.end(),
                                        [&](const service_record::ServiceRow& r) { return r.id == row.id; });
  if (link::TrimmedTag(row.tag) != link::TrimmedTag(tag) && !renamedSince) {
    return which + " is a trim of the unit \"" + row.tag + "\"; the controller connected is \"" +
           link::TrimmedTag(tag) + "\". Nothing was written.";
  }
  if (row.hardwareRevision && hardwareRevision && *row.hardwareRevision != *hardwareRevision) {
    return which + " is a trim of a controller of hardware revision " +
           std::to_string(*row.hardwareRevision) + "; this one is hardware revision " +
           std::to_string(*hardwareRevision) + ". Nothing was written.";
  }
  const auto parameter = static_cast<std::uint8_t>(*row.parameter);
  UndoPlan plan;
  plan.line = {parameter, current, *service_record::BytesFromHex(row.beforeBytes)};
  const link::FloatBytesArray trimmed = *service_record::BytesFromHex(row.writtenBytes);
  if (current != trimmed) {
    plan.changedSince = "The " + ConstantInSentence(parameter) + " is now " + shown(parameter, current) +
                        ", not the " + shown(parameter, trimmed) + " this trim wrote: it was changed since.";
  }
  return plan;
}

}  // namespace orvik::backup
