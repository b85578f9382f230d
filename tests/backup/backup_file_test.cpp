// The constants' backup file: what is written is read back the same, to the bit, and a file whose
// value and bytes disagree is not taken.
#include "backup/backup_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "support/temp_folder.h"

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

// Written through a symbolic link, the backup lands in the file the link names and the link stays. A pipe
// (as a device) is written straight: a file renamed over it would take its place.
TEST(WriteFileWhole, WritesThroughALinkAndNeverPutsAFileInPlaceOfAPipe) {
  namespace fs = std::filesystem;
  testing::TempFolder folder;
  const std::string target = folder.path() + "/constants.json";
  const std::string link = folder.path() + "/latest.json";
  ASSERT_EQ(WriteFileWhole(target, "old"), "");
  fs::create_symlink(target, link);
  EXPECT_EQ(WriteFileWhole(link, "new"), "");
  EXPECT_TRUE(fs::is_symlink(link));
  std::string problem;
  EXPECT_EQ(ReadWholeFile(target, problem), "new");

#ifndef _WIN32
  const std::string pipe = folder.path() + "/pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::promise<std::string> read;
  std::future<std::string> got = read.get_future();
  std::thread([pipe, read = std::move(read)]() mutable {
    std::string why;
    read.set_value(ReadWholeFile(pipe, why).value_or(why));
  }).detach();  // left blocked on the pipe, should the pipe be replaced
  EXPECT_EQ(WriteFileWhole(pipe, "{}"), "");
  EXPECT_TRUE(fs::is_fifo(pipe));
  ASSERT_EQ(got.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(got.get(), "{}");
#endif
}

}  // namespace
}  // namespace orvik::backup
