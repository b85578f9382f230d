// The trims' computation: stored × actual / measured for a gain, stored + actual − measured for an
// offset, written as the controller's four bytes; the same bytes on a desktop whose decimal mark is a
// comma, since every number the computation passes through text is read and written without the locale.
#include "calibration/trim_computation.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "backup/backup_file.h"

namespace orvik::calibration {
namespace {

using link::FloatBytesArray;

struct Row {
  const char* what;
  Correction correction;
  FloatBytesArray stored;
  const char* measured;  // the reading as the trim shows it
  double actual;
  FloatBytesArray written;  // when `refusal` is empty
  std::string refusal;      // the start of the message saying why nothing is written
};

const Row kRows[] = {
    // 1.0124 × 14.6 / 13.712 = 1.07796382730455; a comma-decimal strtod read 1.0124 as 1 and wrote 7F000000.
    {"battery gain",
     Correction::Gain,
     {0x7F, 0x01, 0x96, 0x53},
     "13.712",
     14.6,
     {0x7F, 0x09, 0xFA, 0xB8},
     ""},
    {"gain of 1, reading 12.346",
     Correction::Gain,
     {0x7F, 0, 0, 0},
     "12.346",
     12.5,
     {0x7F, 0x01, 0x98, 0xBD},
     ""},
    {"TE gain 0.98",
     Correction::Gain,
     {0x7E, 0x7A, 0xE1, 0x48},
     "15.000",
     14.5,
     {0x7E, 0x72, 0x84, 0x70},
     ""},
    {"offset -1.5, 77 to 80", Correction::Offset, {0x7F, 0xC0, 0, 0}, "77", 80, {0x7F, 0x40, 0, 0}, ""},
    {"offset 0, no change: 1e-11", Correction::Offset, {0, 0, 0, 0}, "77", 77, {0x5A, 0x2F, 0xEB, 0xFF}, ""},
    {"offset 2.25, -5 to -50", Correction::Offset, {0x80, 0x10, 0, 0}, "-5", -50, {0x84, 0xAB, 0, 0}, ""},
    {"gain never stored",
     Correction::Gain,
     {0xFF, 0xFF, 0xFF, 0xFF},
     "13",
     13,
     {},
     "The controller has no gain"},
    {"offset never stored",
     Correction::Offset,
     {0xFF, 0xFF, 0xFF, 0xFF},
     "77",
     77,
     {},
     "The controller has no offset"},
    {"gain 0",
     Correction::Gain,
     {0, 0, 0, 0},
     "13",
     13,
     {},
     "The controller's stored gain is 0, not a positive"},
    {"gain -1",
     Correction::Gain,
     {0x7F, 0x80, 0, 0},
     "13",
     13,
     {},
     "The controller's stored gain is -1, not"},
    {"gain no number",
     Correction::Gain,
     {0xFF, 0x10, 0, 0},
     "13",
     13,
     {},
     "The controller's stored gain cannot"},
    {"reading 0", Correction::Gain, {0x7F, 0, 0, 0}, "0", 5, {}, "The measured reading is 0: no gain"},
    {"beyond a float",
     Correction::Gain,
     {0xFE, 0x61, 0xB1, 0xE6},
     "3",
     20,
     {},
     "The new gain works out as 2"},
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
    SCOPED_TRACE(row.what);
    const auto stored = storedConstant(row.correction, row.stored);
    std::variant<NewConstant, platform::MessageBox> next =
        std::get_if<platform::MessageBox>(&stored) != nullptr ? std::get<platform::MessageBox>(stored)
                                                              : platform::MessageBox{};
    if (const auto* text = std::get_if<std::string>(&stored))
      next = newConstant(row.correction, *text, row.measured, row.actual);
    if (row.refusal.empty()) {
      ASSERT_TRUE(std::holds_alternative<NewConstant>(next));
      EXPECT_EQ(std::get<NewConstant>(next).bytes, row.written);
    } else {
      ASSERT_TRUE(std::holds_alternative<platform::MessageBox>(next));
      EXPECT_EQ(std::get<platform::MessageBox>(next).text.rfind(row.refusal, 0), 0u)
          << std::get<platform::MessageBox>(next).text;
    }
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
