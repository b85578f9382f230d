#include "service_record/service_row.h"

#include <gtest/gtest.h>

namespace orvik::service_record {
namespace {

ServiceRow row(std::string tag, ChangeKind change, std::string written = "") {
  ServiceRow r;
  r.tag = std::move(tag);
  r.change = change;
  r.written = std::move(written);
  return r;
}

// A unit keeps its history across renamings; another unit's rows, and those of a name it only had
// later, are not its.
TEST(UnitRows, FollowTheUnitBackAcrossItsTagChanges) {
  const std::vector<ServiceRow> newestFirst{
      row("BAY 4", ChangeKind::BatteryVoltsGain),    // 0
      row("SPARE", ChangeKind::TeVoltsGain),         // 1: another unit
      row("B2", ChangeKind::Tag, "BAY 4"),           // 2: B2 became BAY 4
      row("B2", ChangeKind::CalibrationDate),        // 3
      row("ORVIK SIM 0001", ChangeKind::Tag, "B2"),  // 4: and was first ORVIK SIM 0001
      row("ORVIK SIM 0001", ChangeKind::LogReset),   // 5
  };
  const auto ids = [&](const std::string& tag) {
    std::string out;
    for (const ServiceRow& r : UnitRows(newestFirst, tag))
      for (std::size_t i = 0; i < newestFirst.size(); ++i)
        if (newestFirst[i] == r) out += std::to_string(i);
    return out;
  };
  EXPECT_EQ(ids("BAY 4"), "02345");
  EXPECT_EQ(ids("SPARE"), "1");
  EXPECT_EQ(ids("B2"), "2345");
  EXPECT_EQ(ids("NONE"), "");
}

}  // namespace
}  // namespace orvik::service_record
