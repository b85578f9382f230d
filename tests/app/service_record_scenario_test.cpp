// The service record in the monitor: a confirmed trim is recorded, a record that cannot be written
// never stops the trim and is told once, and the service report is built from what the controller says.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fstream>
#include <memory>

#include "link/parameter_numbers.h"
#include "service_record/change_rows.h"
#include "support/calibration_rig.h"
#include "support/temp_folder.h"

namespace orvik::app {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;

class ServiceRecordInMonitor : public testing::CalibrationTest {
 protected:
  void useRecord(const std::string& path) {
    journal = std::make_unique<service_record::ServiceJournal>(path, [this] { return ui.now(); });
    service_record::RecordConfirmedChanges(rig.link, *journal,
                                           {"orvik-monitor", "tech", [this] { return ui.now(); }});
    rig.main.setServiceRecord(*journal);
  }
  void trimBatteryTo(const char* actual) {
    openTrim("frmBatVolts", [actual](calibration::TrimDialog& d) {
      d.entry.userEdit(actual);
      d.cmdTrim.click();
    });
  }

  testing::TempFolder folder;
  std::unique_ptr<service_record::ServiceJournal> journal;
};

TEST_F(ServiceRecordInMonitor, AConfirmedTrimIsOneRowOfTheUnitTheLinkReadTheTagOf) {
  useRecord(folder.path() + "/service.db");
  startLinked();
  trimBatteryTo("12.5");
  ASSERT_EQ(requests('=').size(), 1u);
  const auto rows = journal->history(std::string("ORVIK SIM 0001"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].change, link::ChangeKind::BatteryVoltsGain);
  EXPECT_EQ(rows[0].reference, "12.500");
  EXPECT_EQ(rows[0].writtenBytes, service_record::BytesHex({requests('=')[0][3], requests('=')[0][4],
                                                            requests('=')[0][5], requests('=')[0][6]}));
  EXPECT_EQ(rows[0].program, "orvik-monitor");
  ui.advance(2100ms);
  EXPECT_TRUE(ui.boxes().empty());
}

// However late the controller answers, and so however often a trim's write goes out before its
// acknowledgement is seen, one trim is one row.
class LateController : public ServiceRecordInMonitor, public ::testing::WithParamInterface<int> {};

TEST_P(LateController, ThreeTrimsAreThreeRows) {
  useRecord(folder.path() + "/service.db");
  startLinked();
  rig.model.faults.answerDelay = std::chrono::milliseconds(GetParam());
  for (const char* actual : {"12.5", "12.6", "12.7"}) {
    trimBatteryTo(actual);
    ui.advance(4500ms);  // a status record taken with the new gain
  }
  EXPECT_EQ(rig.model.writes().size() >= 3, true);
  EXPECT_EQ(journal->history(std::nullopt).size(), 3u) << requests('=').size() << " writes sent";
  EXPECT_TRUE(ui.boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Delays, LateController, ::testing::Values(5, 350, 450, 550, 650));

// The record's folder cannot be made (its parent is a file), for root as for anyone.
TEST_F(ServiceRecordInMonitor, AnUnwritableRecordNeverStopsATrimIsToldOnceAndItsRowsAreSaidAtExit) {
  const std::string blocker = folder.path() + "/not-a-folder";
  std::ofstream(blocker) << "x";
  useRecord(blocker + "/service.db");
  startLinked();
  ui.expectBox(kServiceRecordTitle, MsgResult::Ok);
  trimBatteryTo("12.5");
  ui.advance(2100ms);
  trimBatteryTo("12.6");
  ui.advance(4100ms);
  EXPECT_EQ(requests('=').size(), 2u) << "both trims wrote the controller";
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(
      ui.boxes()[0].box.text.rfind("The service record " + blocker + "/service.db cannot be written: ", 0),
      0u)
      << ui.boxes()[0].box.text;
  ui.expectBox(kServiceRecordTitle, MsgResult::Ok);
  rig.main.mnuExit.click();
  ASSERT_EQ(ui.boxes().size(), 2u);
  EXPECT_EQ(ui.boxes()[1].box.text.rfind("2 service record entries could not be written to ", 0), 0u)
      << ui.boxes()[1].box.text;
}

TEST_F(ServiceRecordInMonitor, TheServiceReportHoldsTheUnitItsConstantsAndItsHistory) {
  useRecord(folder.path() + "/service.db");
  rig.model.setParameter(22, 1.5f);
  startLinked();
  trimBatteryTo("12.5");
  std::string html, savedTo;
  rig.main.savePdf = [&](const std::string& h, const std::string& path) {
    html = h, savedTo = path;
    return std::string();
  };
  ui.expectSaveFile("Save Service Report", folder.path() + "/report.pdf");
  rig.main.mnuServiceReport.click();
  ASSERT_TRUE(ui.runUntil([&] { return !html.empty(); }, 5s));
  EXPECT_EQ(savedTo, folder.path() + "/report.pdf");
  for (const std::string& part :
       {std::string("ORVIK SIM 0001"), std::string("1.5"), journal->history(std::nullopt).at(0).written,
        std::string("Battery voltage gain")})
    EXPECT_NE(html.find(part), std::string::npos) << part;
  EXPECT_TRUE(rig.main.tmrUpdate.enabled());
  EXPECT_EQ(ui.pointer(), platform::Pointer::Normal);
}

TEST_F(ServiceRecordInMonitor, AFileThatIsNoDatabaseIsMovedAsideAndSaidAndTheTrimIsRecordedAnew) {
  const std::string path = folder.path() + "/service.db";
  std::ofstream(path) << "not a database";
  useRecord(path);
  startLinked();
  ui.expectBox(kServiceRecordTitle, MsgResult::Ok);
  trimBatteryTo("12.5");
  ui.advance(2100ms);
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].box.text, "The service record " + path + " was not a database. It was moved to " +
                                        path + ".not-a-database-20261207T120002Z and a new one started.");
  EXPECT_EQ(journal->history(std::nullopt).size(), 1u);
}

TEST_F(ServiceRecordInMonitor, TheMenuItemsAndAReportThatCannotBeSaved) {
  EXPECT_EQ(rig.main.mnuServiceReport.caption(), "Save Service &Report...");
  EXPECT_EQ(rig.main.mnuHistory.caption(), "Service &History...");
  EXPECT_EQ(rig.main.mnuHistory.shortcut(), "Ctrl+H");
  int opened = 0;
  rig.main.openHistory = [&] { ++opened; };
  rig.main.mnuHistory.click();
  EXPECT_EQ(opened, 1);

  useRecord(folder.path() + "/service.db");
  startLinked();
  rig.main.savePdf = [](const std::string&, const std::string&) {
    return std::string("No space left on device");
  };
  ui.expectSaveFile("Save Service Report", "/media/full/report.pdf");
  ui.expectBox("Orvik Monitor", MsgResult::Ok);
  rig.main.mnuServiceReport.click();
  ASSERT_TRUE(ui.runUntil([&] { return !ui.boxes().empty(); }, 5s));
  EXPECT_EQ(ui.boxes()[0].box.text,
            "The service report cannot be saved to /media/full/report.pdf:\rNo space left on device.");
}

// Ended in the middle of a restore, the monitor says how far it came before it goes.
TEST_F(ServiceRecordInMonitor, ExitDuringARestoreSaysWhatWasWrittenInFlightAndNotWritten) {
  useRecord(folder.path() + "/service.db");
  startLinked();
  const std::string file = folder.path() + "/bay.json";
  ui.expectSaveFile(backup::kBackUpTitle, file);
  ui.expectBox(backup::kBackUpTitle, MsgResult::Ok);
  rig.main.mnuBackUp.click();
  ui.advance(3000ms);
  for (std::uint8_t p : link::parameter::kCalibrationConstants)
    rig.model.setParameter(p, 2.0f);
  rig.model.faults.answerDelay = 400ms;
  ui.expectOpenFile(backup::kRestoreTitle, file);
  ui.expectBox(backup::kRestoreTitle, MsgResult::Yes);
  ui.expectBox(backup::kRestoreTitle, MsgResult::Ok);
  rig.main.mnuRestore.click();
  ASSERT_TRUE(ui.runUntil([&] { return requests('=').size() == 2; }, 10s));
  rig.main.mnuTrimVolts.click();  // waits: the restore has the line
  EXPECT_TRUE(ui.boxes().size() == 2 && ui.activeForm() == &rig.main);
  rig.main.mnuExit.click();
  EXPECT_EQ(
      ui.boxes().back().box.text,
      "Stopped at the TE module voltage gain: interrupted while its write was on the line.\r"
      "Written and read back: Battery voltage gain.\r"
      "Not written: Battery temperature gain, Battery temperature offset.\r"
      "The controller may hold the new TE module voltage gain all the same; read it before writing again.\r");
  EXPECT_TRUE(ui.ended());
}

// Backup, restore and undo from the menus: each question shows what will be written, another unit's
// file needs its own answer naming both tags, and polling goes on afterwards.
TEST_F(ServiceRecordInMonitor, ConstantsAreBackedUpRestoredAndATrimTakenBackFromTheMonitor) {
  useRecord(folder.path() + "/service.db");
  rig.model.settings.rawBatteryMillivolts = 13250;
  startLinked();
  const std::string file = folder.path() + "/bay.json";
  const auto lastBox = [this] { return ui.boxes().back().box.text; };
  ui.expectSaveFile(backup::kBackUpTitle, file);
  ui.expectBox(backup::kBackUpTitle, MsgResult::Ok);
  rig.main.mnuBackUp.click();
  ui.advance(3000ms);
  EXPECT_EQ(lastBox(), "The constants of \"ORVIK SIM 0001\" are backed up to " + file + ".");
  trimBatteryTo("12.5");

  rig.model.settings.tag = "BAY 9";
  ui.expectOpenFile(backup::kRestoreTitle, file);
  ui.expectBox(backup::kRestoreTitle, MsgResult::Yes);
  ui.expectBox(backup::kOtherUnitTitle, MsgResult::No);
  rig.main.mnuRestore.click();
  ui.advance(3000ms);
  ASSERT_EQ(ui.boxes().size(), 3u);
  EXPECT_EQ(ui.boxes()[1].box.text, "Restore the constants of " + file + " to \"BAY 9\"?\r\r" +
                                        "Battery voltage gain: 0.9433962 now, 1 in the file\r"
                                        "TE module voltage gain: 1 now, 1 in the file (the same)\r"
                                        "Battery temperature gain: 1 now, 1 in the file (the same)\r"
                                        "Battery temperature offset: 0 now, 0 in the file (the same)\r"
                                        "\rOnly the 1 constant that differs will be written.");
  EXPECT_EQ(
      lastBox(),
      "The file was taken from the unit \"ORVIK SIM 0001\", but the controller connected is \"BAY 9\". "
      "Calibration belongs to one unit.\r\rWrite the constants of \"ORVIK SIM 0001\" to \"BAY 9\" all the "
      "same?");
  EXPECT_EQ(requests('=').size(), 1u) << "only the trim wrote";

  rig.model.settings.tag = "ORVIK SIM 0001";
  ui.expectOpenFile(backup::kRestoreTitle, file);
  ui.expectBox(backup::kRestoreTitle, MsgResult::Yes);
  ui.expectBox(backup::kRestoreTitle, MsgResult::Ok);
  rig.main.mnuRestore.click();
  ui.advance(3000ms);
  EXPECT_EQ(lastBox(), "Written and read back: Battery voltage gain.\r");
  EXPECT_EQ(rig.model.parameter(18), (std::array<std::uint8_t, 4>{0x7F, 0, 0, 0}));

  trimBatteryTo("12.6");
  const auto trim = journal->history(std::nullopt).front();
  ui.expectBox(backup::kUndoTitle, MsgResult::Yes);
  ui.expectBox(backup::kUndoTitle, MsgResult::Ok);
  rig.main.undoTrim(trim.id);
  ui.advance(3000ms);
  EXPECT_EQ(ui.boxes()[ui.boxes().size() - 2].box.text,
            "Take back the trim of row " + std::to_string(trim.id) +
                "?\r\rBattery voltage gain: 0.9509434 now, 1 before the trim\r");
  EXPECT_EQ(rig.model.parameter(18), (std::array<std::uint8_t, 4>{0x7F, 0, 0, 0}));
  EXPECT_EQ(service_record::RowTitle(journal->history(std::nullopt).front()),
            "Trim undone: Battery voltage gain");
  EXPECT_TRUE(rig.main.tmrUpdate.enabled());
  EXPECT_TRUE(ui.failures().empty());
}

// Each way a backup, restore or undo cannot go ahead is said, and nothing is written.
TEST_F(ServiceRecordInMonitor, ConstantsCommandsSayWhyTheyWriteNothing) {
  useRecord(folder.path() + "/service.db");
  rig.model.settings.rawBatteryMillivolts = 13250;
  startLinked();
  EXPECT_EQ(rig.main.mnuBackUp.caption() + "|" + rig.main.mnuRestore.caption(),
            "&Back Up Constants...|Re&store Constants...");
  const std::string file = folder.path() + "/bay.json";
  ui.expectSaveFile(backup::kBackUpTitle, file);
  ui.expectBox(backup::kBackUpTitle, MsgResult::Ok);
  rig.main.mnuBackUp.click();
  ui.advance(3000ms);
  trimBatteryTo("12.5");
  const auto trimId = journal->history(std::nullopt).front().id;
  std::ofstream(folder.path() + "/other.json") << "{\"format\": \"something else\"}";
  struct Case {
    std::function<void()> act;
    const char* title;
    std::string text;
  };
  const Case cases[] = {
      {[&] {
         ui.expectSaveFile(backup::kBackUpTitle, "/nonexistent-folder/bay.json");
         rig.main.mnuBackUp.click();
       },
       backup::kBackUpTitle,
       "The constants cannot be saved to /nonexistent-folder/bay.json:\r" +
           std::string(std::strerror(ENOENT)) + "."},
      {[&] {
         ui.expectOpenFile(backup::kRestoreTitle, folder.path() + "/other.json");
         rig.main.mnuRestore.click();
       },
       backup::kRestoreTitle,
       folder.path() +
           "/other.json cannot be restored: it is not a constants backup.\r\rNothing was written."},
      {[&] { rig.main.undoTrim(99); }, backup::kUndoTitle, "The service record has no row 99."},
      {[&] {
         rig.model.setParameter(18, 0.5f);
         rig.main.undoTrim(trimId);
       },
       backup::kUndoTitle,
       "The battery voltage gain is now 0.5, not the 0.9433962 this trim wrote: it was changed since.\r\r"
       "Battery voltage gain: 0.5 now, 1 before the trim\r\rWrite the value from before the trim all the "
       "same?"},
      {[&] {
         rig.model.setParameter(18, 1.0f);
         rig.main.undoTrim(trimId);
       },
       backup::kUndoTitle,
       "Battery voltage gain: 1 now, 1 before the trim (the same)\r\rThe controller already holds the value "
       "from before the trim. Nothing was written."},
      {[&] {
         ui.expectOpenFile(backup::kRestoreTitle, file);
         rig.main.mnuRestore.click();
       },
       backup::kRestoreTitle,
       "The controller already holds every constant of " + file + ". Nothing was written."},
  };
  for (const Case& c : cases) {
    const std::size_t writes = requests('=').size();
    ui.expectBox(c.title, MsgResult::No);
    c.act();
    ui.advance(3000ms);
    EXPECT_EQ(ui.boxes().back().box.text, c.text);
    EXPECT_EQ(requests('=').size(), writes);
  }
  EXPECT_TRUE(ui.failures().empty());
}

}  // namespace
}  // namespace orvik::app
