// The trims' computation: stored × actual / measured for a gain, stored + actual − measured for an
// offset, written as the controller's four bytes; the same bytes on a desktop whose decimal mark is a
// comma, since every number the computation passes through text is read and written without the locale.
#include "calibration/trim_computation.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "backup/backup_file.h"
#include "service_record/change_rows.h"

namespace orvik::calibration {
namespace {

constexpr Correction kGain = Correction::Gain, kOffset = Correction::Offset;

// The stored constant's bytes, the reading as the trim shows it, the true value, and the bytes written or
// the start of the message saying why nothing is.
struct Row {
  Correction correction;
  const char* stored;
  const char* measured;
  double actual;
  std::string result;
};

const Row kRows[] = {
    // 1.0124 × 14.6 / 13.712: a comma-decimal strtod read the stored 1.0124 as 1 and wrote 7F000000.
    {kGain, "7F019653", "13.712", 14.6, "7F09FAB8"},
    {kGain, "7F000000", "12.346", 12.5, "7F0198BD"},  // 1.01247367568443
    {kGain, "7E7AE148", "15.000", 14.5, "7E728470"},  // 0.98 × 14.5 / 15
    {kOffset, "7FC00000", "77", 80, "7F400000"},      // -1.5 + 80 - 77
    {kOffset, "00000000", "77", 77, "5A2FEBFF"},      // 0 goes out as 1e-11
    {kOffset, "80100000", "-5", -50, "84AB0000"},     // 2.25 - 50 + 5
    {kGain, "FFFFFFFF", "13", 13, "The controller has no gain"},
    {kOffset, "FFFFFFFF", "77", 77, "The controller has no offset"},
    {kGain, "00000000", "13", 13, "The controller's stored gain is 0, not a positive"},
    {kGain, "7F800000", "13", 13, "The controller's stored gain is -1, not"},
    {kGain, "FF100000", "13", 13, "The controller's stored gain cannot"},
    {kGain, "7F000000", "0", 5, "The measured reading is 0: no gain"},
    {kGain, "FE61B1E6", "3", 20, "The new gain works out as 2"},  // 3e38 × 20 / 3
};

// The C library's number reading and writing follow LC_NUMERIC; the programs take it from the desktop.
class UnderLocale : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::setlocale(LC_ALL, GetParam()) == nullptr) {
      GTEST_SKIP() << GetParam() << " is not installed here (scripts/install-deps.sh makes it): not tried";
    }
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(UnderLocale, TrimsWriteTheProductOrSumOfTheirInputsOrSayWhyNot) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::string(row.stored) + " " + row.measured);
    const auto stored = storedConstant(row.correction, *service_record::BytesFromHex(row.stored));
    std::string result = std::holds_alternative<platform::MessageBox>(stored)
                             ? std::get<platform::MessageBox>(stored).text
                             : "";
    if (const auto* text = std::get_if<std::string>(&stored)) {
      const auto next = newConstant(row.correction, *text, row.measured, row.actual);
      result = std::holds_alternative<NewConstant>(next)
                   ? service_record::BytesHex(std::get<NewConstant>(next).bytes)
                   : std::get<platform::MessageBox>(next).text;
    }
    EXPECT_EQ(result.substr(0, row.result.size()), row.result) << result;
  }
}

// A backup names each constant's value beside its bytes and is refused when they disagree.
TEST_P(UnderLocale, ABackupReadsItsOwnValuesBack) {
  backup::BackupFile file;
  file.unit.tag = "BAY 4";
  file.unit.constants = {{18, {0x7F, 0x01, 0x96, 0x53}},
                         {22, {0x7E, 0x7A, 0xE1, 0x48}},
                         {26, {0x7F, 0, 0, 0}},
                         {30, {0x80, 0xA0, 0, 0}}};
  const auto read = backup::ParseBackup(backup::BackupJson(file));
  ASSERT_TRUE(std::holds_alternative<backup::BackupFile>(read)) << std::get<std::string>(read);
  EXPECT_EQ(std::get<backup::BackupFile>(read).unit.constants, file.unit.constants);
}

INSTANTIATE_TEST_SUITE_P(Desktops, UnderLocale, ::testing::Values("C", "de_DE.UTF-8", "tr_TR.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& desktop) {
                           return std::string(desktop.index == 0   ? "C"
                                              : desktop.index == 1 ? "German"
                                                                   : "Turkish");
                         });

}  // namespace
}  // namespace orvik::calibration
