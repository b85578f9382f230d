#include "service_record/service_row.h"

#include <algorithm>
#include <array>

#include "link/parameter_numbers.h"
#include "service_record/change_rows.h"

namespace orvik::service_record {

namespace {

struct KindNames {
  ChangeKind kind;
  std::string_view name;
  std::string_view title;
};

constexpr std::array<KindNames, 8> kKinds{{
    {ChangeKind::BatteryVoltsGain, "battery-volts-gain", "Battery voltage gain"},
    {ChangeKind::TeVoltsGain, "te-volts-gain", "TE module voltage gain"},
    {ChangeKind::BatteryTempOffset, "battery-temp-offset", "Battery temperature offset"},
    {ChangeKind::CalibrationDate, "calibration-date", "Calibration date"},
    {ChangeKind::Tag, "tag", "Tag name"},
    {ChangeKind::LogReset, "log-reset", "Diagnostics log cleared"},
    {ChangeKind::Restore, "restore", "Restored"},
    {ChangeKind::Undo, "undo", "Trim undone"},
}};

const KindNames& names(ChangeKind kind) {
  for (const auto& k : kKinds)
    if (k.kind == kind) return k;
  return kKinds[0];
}

}  // namespace

std::string_view ChangeName(ChangeKind kind) {
  return names(kind).name;
}

std::string_view ChangeTitle(ChangeKind kind) {
  return names(kind).title;
}

std::string RowTitle(const ServiceRow& row) {
  const std::string_view title = ChangeTitle(row.change);
  if ((row.change != ChangeKind::Restore && row.change != ChangeKind::Undo) || !row.parameter) {
    return std::string(title);
  }
  const std::string_view constant = link::parameter::ConstantTitle(static_cast<std::uint8_t>(*row.parameter));
  if (constant.empty()) return std::string(title);
  return std::string(title) + ": " + std::string(constant);
}

std::optional<ChangeKind> ChangeFromName(std::string_view name) {
  for (const auto& k : kKinds)
    if (k.name == name) return k.kind;
  return std::nullopt;
}

bool IsTrim(ChangeKind kind) {
  return kind == ChangeKind::BatteryVoltsGain || kind == ChangeKind::TeVoltsGain ||
         kind == ChangeKind::BatteryTempOffset;
}

bool Undoable(const ServiceRow& row) {
  return IsTrim(row.change) && row.parameter && BytesFromHex(row.beforeBytes) &&
         BytesFromHex(row.writtenBytes);
}

std::vector<ServiceRow> UnitRows(const std::vector<ServiceRow>& newestFirst, const std::string& tag) {
  std::vector<std::string> names{tag};
  const auto named = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  std::vector<ServiceRow> rows;
  for (const ServiceRow& row : newestFirst) {
    const bool renamedToIt = row.change == ChangeKind::Tag && named(row.written);
    if (!named(row.tag) && !renamedToIt) continue;
    rows.push_back(row);
    if (renamedToIt && !named(row.tag)) names.push_back(row.tag);
  }
  return rows;
}

}  // namespace orvik::service_record
