// The constants' backup file: what is written is read back the same, to the bit, and a file whose
// value and bytes disagree is not taken.
#include "backup/backup_file.h"

#include <gtest/gtest.h>

namespace orvik::backup {
namespace {

TEST(BackupFile, ReadsBackWhatItWroteToTheBitAndRefusesAnEditedValue) {
  BackupFile file;
  file.program = "orvikctl 1.2.3";
  file.takenAt = "2026-12-08T09:15:02Z";
  file.unit.tag = "BAY \"4\" \xC3\xA9";  // a quote and a non-ASCII letter
  file.unit.hardwareRevision = 5;
  file.unit.calibrationDate = {0, 12, 8, 26};
  // A gain whose last bit shows in no seven-digit text, and a negative offset.
  file.unit.constants = {
      {18, {0x7E, 0x70, 0xB3, 0x95}}, {22, {0x7F, 0, 0, 0}}, {26, {0x7F, 0, 0, 1}}, {30, {0x7F, 0xC0, 0, 0}}};
  const auto read = ParseBackup(BackupJson(file));
  ASSERT_TRUE(std::holds_alternative<BackupFile>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<BackupFile>(read), file);

  std::string edited = BackupJson(file);
  edited.replace(edited.find("\"-1.5\""), 6, "\"-2.5\"");
  ASSERT_TRUE(std::holds_alternative<std::string>(ParseBackup(edited)));
  EXPECT_EQ(std::get<std::string>(ParseBackup(edited)),
            "the battery temperature offset is -2.5 but its bytes carry -1.5");
}

}  // namespace
}  // namespace orvik::backup
