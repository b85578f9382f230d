// The calibration date dialog against the controller model in virtual time.
#include <gtest/gtest.h>

#include "calibration/frm_cal_date.h"
#include "support/calibration_rig.h"

namespace orvik::calibration {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;
using testing::Bytes;

class CalDate : public testing::CalibrationTest {};

struct DateRow {
  const char* what;
  platform::Date today;
  const char* typed;  // null: the offered date is kept
  Bytes write;
};

class DateWrite : public testing::CalibrationTest, public ::testing::WithParamInterface<DateRow> {};

TEST_P(DateWrite, SendsMonthDayAndTwoDigitYearAsPlainBytes) {
  const DateRow& row = GetParam();
  ui.setToday(row.today);
  startLinked();
  ui.expectBox("Save Changes", MsgResult::Ok);
  openDate([&](frmCalDate& d) {
    if (row.typed != nullptr) d.txtCalDate.userEdit(row.typed);
    d.cmdTrim.click();
  });
  EXPECT_EQ(requests('B'), (std::vector<Bytes>{{0x42, 0x03, 0x00, 0xFD}}));
  EXPECT_EQ(requests('='), std::vector<Bytes>{row.write});
  EXPECT_EQ(rig.model.writes().size(), 1u);
  EXPECT_TRUE(rig.main.tmrUpdate.enabled()) << "polling goes on once the dialog has closed";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DateWrite,
    ::testing::Values(
        DateRow{"Offered", {2005, 2, 15}, nullptr, {0x3D, 0x07, 0x00, 0x00, 0x02, 0x0F, 0x05, 0xE3}},
        DateRow{"EndOf2099", {2026, 12, 7}, "31-Dec-2099", {0x3D, 0x07, 0x00, 0x00, 0x0C, 0x1F, 0x63, 0x6B}}),
    testing::RowName{});

TEST_F(CalDate, AnEntryThatIsNotADateOrHasAYearTheControllerCannotKeepIsRefusedAndNothingIsSent) {
  const std::pair<std::string, std::string> rows[] = {
      {"31-Feb-2005",
       "\"31-Feb-2005\" is not a date.\rType the day, the month and the year, for example 15-Feb-2005."},
      {"29 Feb 2000",
       "The year must lie between 2001 and 2099: the controller keeps two digits, and 00 means no "
       "calibration."},
  };
  startLinked();
  openDate([&](frmCalDate& d) {
    for (const auto& [typed, says] : rows) {
      ui.expectBox("Invalid Date", MsgResult::Ok);
      d.txtCalDate.userEdit(typed);
      d.cmdTrim.click();
      EXPECT_EQ(ui.boxes().back().box.text, says);
      EXPECT_TRUE(d.cmdTrim.enabled());
    }
    d.cmdCancel.click();
  });
  EXPECT_EQ(ui.boxTitles(), (std::vector<std::string>{"Invalid Date", "Invalid Date"})) << "no Save question";
  EXPECT_EQ(ui.beeps().size(), 2u);
  EXPECT_TRUE(requests('B').empty());
  EXPECT_TRUE(requests('=').empty());
}

TEST_F(CalDate, CancelAtTheSaveQuestionSendsNothingAndLeavesSaveEnabled) {
  startLinked();
  ui.expectBox("Save Changes", MsgResult::Cancel);
  bool saveEnabled = false;
  openDate([&](frmCalDate& d) {
    d.cmdTrim.click();
    saveEnabled = d.cmdTrim.enabled();
    d.cmdCancel.click();
  });
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].box.text, "OK to change Capibration Date?");
  EXPECT_EQ(ui.boxes()[0].box.buttons, platform::MsgButtons::OkCancel);
  EXPECT_TRUE(saveEnabled);
  EXPECT_TRUE(requests('B').empty());
}

TEST_F(CalDate, RetryAsksAgainAndCancelThereLeavesTheDialogStoppedWithSaveDisabled) {
  startLinked();
  rig.model.faults.silent = true;
  ui.expectBox("Save Changes", MsgResult::Ok);
  ui.expectBox("Communications Timeout", MsgResult::Retry);
  ui.expectBox("Save Changes", MsgResult::Cancel);
  bool stopped = false, saveDisabled = false, saveEnabledByEdit = false;
  openDate([&](frmCalDate& d) {
    d.cmdTrim.click();
    whileOpen(d, 6s, [&] {
      stopped = !d.tmrSequence.enabled() && !d.tmrTimeout.enabled();
      saveDisabled = !d.cmdTrim.enabled();
      d.txtCalDate.userEdit("8-Dec-2026");
      saveEnabledByEdit = d.cmdTrim.enabled();
      d.cmdCancel.click();
    });
  });
  EXPECT_EQ(ui.boxTitles(),
            (std::vector<std::string>{"Save Changes", "Communications Timeout", "Save Changes"}));
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(saveDisabled);
  EXPECT_TRUE(saveEnabledByEdit);
  EXPECT_TRUE(requests('=').empty());
}

TEST_F(CalDate, ALateAcknowledgementFinishesTheDateInsteadOfWritingItAgain) {
  ui.setToday({2005, 2, 15});
  startLinked();
  rig.model.faults.answerDelay = 150ms;
  ui.expectBox("Save Changes", MsgResult::Ok);
  openDate([](frmCalDate& d) { d.cmdTrim.click(); });
  EXPECT_EQ(requests('='), (std::vector<Bytes>{{0x3D, 0x07, 0x00, 0x00, 0x02, 0x0F, 0x05, 0xE3}}));
  EXPECT_EQ(ui.boxTitles(), std::vector<std::string>{"Save Changes"}) << "no time-out";
}

}  // namespace
}  // namespace orvik::calibration
