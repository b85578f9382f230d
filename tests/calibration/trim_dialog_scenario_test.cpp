// The three trims against the controller model in virtual time: exactly which bytes reach the controller,
// and how many writes it accepts.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "calibration/trim_dialogs.h"
#include "support/calibration_rig.h"

namespace orvik::calibration {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;
using testing::Bytes;

const Bytes kReadBatteryGain = {0x42, 0x03, 0x12, 0xEB};
// A reading of 12.3456 V (shown 12.346) with gain 1, trimmed to 12.5 V: 12500 / 12346 = 1.01247367568443,
// plus 1e-11, to the nearest single.
const Bytes kCorrectedBatteryGain = {0x3D, 0x07, 0x12, 0x7F, 0x01, 0x98, 0xBD, 0x12};
const std::array<std::uint8_t, 4> kCorrectedGainValue = {0x7F, 0x01, 0x98, 0xBD};

class Trim : public testing::CalibrationTest {
 protected:
  void startAt12_3456() {
    rig.model.settings.rawBatteryMillivolts = 12345.6;
    startLinked();
  }
  static void typeAndTrim(TrimDialog& d, const char* text) {
    d.entry.userEdit(text);
    d.cmdTrim.click();
  }
};

TEST_F(Trim, BatteryTrimReadsTheGainWritesTheCorrectedOneOnceAndCloses) {
  startAt12_3456();
  const auto polls = rig.statusRequests();
  const std::size_t pointerChanges = ui.pointerHistory().size();
  openTrim("frmBatVolts", [](TrimDialog& d) { typeAndTrim(d, "12.5"); });
  EXPECT_EQ(requests('B'), std::vector<Bytes>{kReadBatteryGain});
  EXPECT_EQ(requests('='), std::vector<Bytes>{kCorrectedBatteryGain});
  ASSERT_EQ(rig.model.writes().size(), 1u);
  EXPECT_EQ(rig.model.writes()[0].value, kCorrectedGainValue);
  EXPECT_TRUE(ui.beeps().empty());
  EXPECT_TRUE(ui.boxes().empty());
  EXPECT_EQ(rig.statusRequests(), polls) << "no status request while the dialog is open";
  std::vector<platform::Pointer> pointers;
  for (std::size_t i = pointerChanges; i < ui.pointerHistory().size(); ++i)
    pointers.push_back(ui.pointerHistory()[i].pointer);
  using enum platform::Pointer;
  // The menu command, the dialog's load, the start, the last step.
  EXPECT_EQ(pointers, (std::vector{Busy, Normal, Busy, Normal}));
}

struct OffsetRow {
  const char* what;
  double rawFahrenheit;
  float storedOffset;
  const char* entry;
  Bytes write;
};

class OffsetTrim : public testing::CalibrationTest, public ::testing::WithParamInterface<OffsetRow> {};

TEST_P(OffsetTrim, MovesTheStoredOffsetByTheEntryLessTheWholeDegreeReading) {
  const OffsetRow& row = GetParam();
  rig.model.settings.rawFahrenheit = row.rawFahrenheit;
  rig.model.setParameter(sim::ControllerModel::kTempOffset, row.storedOffset);
  startLinked();
  openTrim("frmBatOffset", [&](TrimDialog& d) {
    d.entry.userEdit(row.entry);
    d.cmdTrim.click();
  });
  EXPECT_EQ(requests('='), std::vector<Bytes>{row.write});
  EXPECT_EQ(rig.model.writes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OffsetTrim,
    ::testing::Values(
        // Reads 77.4, shown 77: (80 - 77) + -1.5 = 1.5.
        OffsetRow{"ThreeDegreesUp", 78.9, -1.5f, "80", {0x3D, 0x07, 0x1E, 0x7F, 0x40, 0x00, 0x00, 0x1C}},
        // Entry equal to the shown 77 and offset 0: the new offset 0 goes out as 1e-11.
        OffsetRow{"Unchanged", 77.4, 0.0f, "77", {0x3D, 0x07, 0x1E, 0x5A, 0x2F, 0xEB, 0xFF, 0x68}}),
    testing::RowName{});

struct LimitRow {
  const char* what;
  const char* form;
  const char* typed;
  const char* rewritten;  // the entry after the start action
  const char* refusal;    // the Range Error text, or null when the trim goes ahead
};

class Limits : public testing::CalibrationTest, public ::testing::WithParamInterface<LimitRow> {};

TEST_P(Limits, AreInclusiveAndJudgeTheRewrittenEntry) {
  const LimitRow& row = GetParam();
  startLinked();
  std::string rewritten;
  bool trimEnabled = false;
  if (row.refusal != nullptr) {
    ui.expectBox("Range Error", MsgResult::Ok);
    ui.answerAlways(
        std::string(row.form) == "frmBatOffset" ? "Battery Temperature Trim" : "Battery Voltage Trim",
        MsgResult::Yes);
  }
  openTrim(row.form, [&](TrimDialog& d) {
    d.entry.userEdit(row.typed);
    d.cmdTrim.click();
    rewritten = d.entry.text();
    trimEnabled = d.cmdTrim.enabled();
    if (row.refusal != nullptr) d.cmdCancel.click();
  });
  EXPECT_EQ(rewritten, row.rewritten);
  if (row.refusal == nullptr) {
    EXPECT_EQ(rig.model.writes().size(), 1u);
    EXPECT_TRUE(ui.boxes().empty());
    return;
  }
  ASSERT_FALSE(ui.boxes().empty());
  EXPECT_EQ(ui.boxes()[0].box.text, row.refusal);
  EXPECT_EQ(ui.boxes()[0].box.icon, platform::MsgIcon::Exclamation);
  EXPECT_EQ(ui.beeps().size(), 2u) << "one for the range error, one for the cancel question";
  EXPECT_TRUE(trimEnabled);
  EXPECT_TRUE(requests('B').empty()) << "nothing is asked of the controller";
  EXPECT_TRUE(rig.model.writes().empty());
}

constexpr const char* kVoltageRange = "Voltage entered exceeds operating range.";
constexpr const char* kTemperatureRange = "Temperature entered exceeds operating range.";
INSTANTIATE_TEST_SUITE_P(
    Rows, Limits,
    ::testing::Values(
        LimitRow{"BatteryAt10", "frmBatVolts", "10", "10.000", nullptr},
        LimitRow{"BatteryAt32", "frmBatVolts", "32", "32.000", nullptr},
        LimitRow{"BatteryRoundedDownTo32", "frmBatVolts", "32.0004", "32.000", nullptr},
        LimitRow{"BatteryRoundedUpPast32", "frmBatVolts", "32.0006", "32.001", kVoltageRange},
        LimitRow{"BatteryBelow10", "frmBatVolts", "9.999", "9.999", kVoltageRange},
        LimitRow{"TeAt3", "frmTEVolts", "3", "3.000", nullptr},
        LimitRow{"TeAt20", "frmTEVolts", "20", "20.000", nullptr},
        LimitRow{
            "TeBelow3", "frmTEVolts", "2.999", "2.999",
            "Actual TE module voltage must be greater than 3.0 volts\rbefore the trimming can be performed."},
        LimitRow{"TeAbove20", "frmTEVolts", "20.001", "20.001", kVoltageRange},
        LimitRow{"TemperatureAtMinus50", "frmBatOffset", "-50", "-50", nullptr},
        LimitRow{"TemperatureAt150", "frmBatOffset", "150", "150", nullptr},
        LimitRow{"TemperatureBelowMinus50", "frmBatOffset", "-51", "-51", kTemperatureRange},
        LimitRow{"TemperatureAbove150", "frmBatOffset", "151", "151", kTemperatureRange}),
    testing::RowName{});

// Each entry is refused as typed, and Cancel then asks, even for a text that starts with the reading.
TEST_F(Trim, AnEntryThatIsNotAWholeNumberIsRefusedAsTypedAndNothingIsSent) {
  const std::pair<std::string, std::string> rows[] = {
      {"frmBatVolts", ""},    {"frmBatVolts", "abc"},   {"frmBatVolts", "12,5"}, {"frmBatVolts", "nan"},
      {"frmBatVolts", "inf"}, {"frmBatVolts", "1e400"}, {"frmBatVolts", "0x10"}, {"frmBatVolts", "13.5V"},
      {"frmBatVolts", "+5"},  {"frmBatVolts", "1.2.3"}, {"frmBatVolts", "-1.5"}, {"frmBatOffset", "77F"},
  };
  rig.model.settings.rawBatteryMillivolts = 13500;  // entry offered as 13.500
  rig.model.settings.rawFahrenheit = 77.2;          // entry offered as 77
  startLinked();
  for (const std::string form : {"frmBatVolts", "frmBatOffset"}) {
    const bool temperature = form == "frmBatOffset";
    openTrim(form, [&](TrimDialog& d) {
      for (const auto& [rowForm, typed] : rows) {
        if (rowForm != form) continue;
        ui.expectBox("Invalid Number", MsgResult::Ok);
        ui.expectBox(temperature ? "Battery Temperature Trim" : "Battery Voltage Trim", MsgResult::No);
        d.entry.userEdit(typed);
        d.cmdTrim.click();
        EXPECT_EQ(ui.boxes().back().box.text,
                  "\"" + typed + "\" is not a number.\r" +
                      (temperature ? "Type the temperature in degrees Fahrenheit, for example 77 or -5."
                                   : "Type the voltage with a decimal point, for example 12.5."));
        EXPECT_EQ(ui.boxes().back().box.icon, platform::MsgIcon::Exclamation);
        EXPECT_EQ(d.entry.text(), typed);
        EXPECT_TRUE(d.cmdTrim.enabled()) << typed;
        d.cmdCancel.click();
        EXPECT_EQ(ui.boxes().back().box.text, "Cancel changes?           ") << typed;
      }
      ui.expectBox(temperature ? "Battery Temperature Trim" : "Battery Voltage Trim", MsgResult::Yes);
      d.cmdCancel.click();
    });
  }
  EXPECT_EQ(ui.beeps().size(), ui.boxes().size()) << "a beep before each box";
  EXPECT_TRUE(requests('B').empty());
  EXPECT_TRUE(rig.model.writes().empty());
}

TEST_F(Trim, AControllerAnswering150msLateCostsABeepPerMissedTickAndOnlyEverGetsTheOneValue) {
  startAt12_3456();
  rig.model.faults.answerDelay = 150ms;
  openTrim("frmBatVolts", [](TrimDialog& d) { typeAndTrim(d, "12.5"); });
  // Each answer misses its step's one look and is in before the repeat is due, so nothing is repeated.
  EXPECT_EQ(requests('B').size(), 1u);
  EXPECT_EQ(requests('='), std::vector<Bytes>{kCorrectedBatteryGain});
  EXPECT_EQ(ui.beeps().size(), 2u) << "a beep for each missed tick";
  EXPECT_TRUE(ui.boxes().empty()) << "done well within the time-out";
  for (const auto& w : rig.model.writes())
    EXPECT_EQ(w.value, kCorrectedGainValue);
}

// The close box is the trim's Cancel: with the write on the line it asks, then says the gain may be stored,
// even when the entry still says what a 9.2 V reading filled it with (10.000), and nothing more is sent.
TEST_F(Trim, TheCloseBoxDuringTheWriteAsksAndTellsThatTheGainMayBeStored) {
  rig.model.settings.rawBatteryMillivolts = 9200;
  startLinked();
  ui.expectBox("Battery Voltage Trim", MsgResult::Yes);
  ui.expectBox("Battery Voltage Trim", MsgResult::Ok);
  openTrim("frmBatVolts", [this](TrimDialog& d) {
    typeAndTrim(d, "10");
    whileOpen(d, 350ms, [this, &d] { ui.requestClose(d); });  // the write went out at 300 ms
  });
  ASSERT_EQ(ui.boxes().size(), 2u);
  EXPECT_EQ(ui.boxes()[0].box.text, "Cancel changes?           ");
  EXPECT_EQ(
      ui.boxes()[1].box.text,
      "The new gain may already be stored in the controller.\rCheck the next reading before trimming again.");
  EXPECT_EQ(requests('=').size(), 1u);
}

// Retry after the adapter was plugged back in opens the port again and trims.
TEST_F(Trim, RetryAfterTheAdapterIsBackTrims) {
  startAt12_3456();
  ui.expectBox("Communications Timeout", MsgResult::Retry);
  openTrim("frmBatVolts", [this](TrimDialog& d) {
    rig.port.unplug();
    typeAndTrim(d, "12.5");
    whileOpen(d, 3s, [this] {
      rig.port.setAvailability(1, platform::headless::MemorySerialPort::Availability::Usable);
    });
  });
  EXPECT_EQ(requests('='), std::vector<Bytes>{kCorrectedBatteryGain});
}

// However late the controller answers, only the intended value is written; a time-out is answered with
// Cancel, and the technician is told when a write went out.
class SlowTrim : public Trim, public ::testing::WithParamInterface<int> {};

TEST_P(SlowTrim, WritesOnlyTheIntendedValue) {
  startAt12_3456();
  rig.model.faults.answerDelay = std::chrono::milliseconds(GetParam());
  for (const char* title : {"Communications Timeout", "Battery Voltage Trim"})
    ui.answerAlways(title, MsgResult::Cancel);
  ui.answerAlways("Battery Voltage Trim", MsgResult::Yes);
  openTrim("frmBatVolts", [](TrimDialog& d) { typeAndTrim(d, "12.5"); });
  for (const Bytes& w : requests('='))
    EXPECT_EQ(w, kCorrectedBatteryGain);
  for (const auto& w : rig.model.writes())
    EXPECT_EQ(w.value, kCorrectedGainValue);
  RecordProperty("Writes", static_cast<int>(requests('=').size()));
}

INSTANTIATE_TEST_SUITE_P(Delays, SlowTrim, ::testing::Values(450, 700, 1100, 1900));

TEST_F(Trim, ASilentControllerGetsOneTimeoutAfterFiveSecondsWithBothTimersStoppedAndRetryReadsAgain) {
  startAt12_3456();
  rig.model.faults.silent = true;
  std::int64_t trimmedAt = 0;
  bool timersStoppedDuringBox = false;
  std::size_t requestsBeforeRetry = 0;
  ui.expectBox("Communications Timeout", MsgResult::Retry, 50ms);
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    typeAndTrim(d, "12.5");
    trimmedAt = ui.nowMs();
    whileOpen(d, 5020ms, [&] {
      timersStoppedDuringBox = !d.tmrSequence.enabled() && !d.tmrTimeout.enabled();
      requestsBeforeRetry = rig.model.requests().size();
      rig.model.faults.silent = false;
    });
  });
  ASSERT_EQ(ui.boxes().size(), 1u);
  const auto& timeout = ui.boxes()[0];
  EXPECT_EQ(timeout.atMs, trimmedAt + 5000);
  EXPECT_EQ(timeout.box.text, "Unable to communicate with the Orvik.  Check cable connections.");
  EXPECT_EQ(timeout.box.icon, platform::MsgIcon::Information);
  EXPECT_EQ(timeout.box.buttons, platform::MsgButtons::RetryCancel);
  EXPECT_TRUE(timersStoppedDuringBox);
  ASSERT_GT(rig.model.requests().size(), requestsBeforeRetry);
  EXPECT_EQ(rig.model.requests()[requestsBeforeRetry], kReadBatteryGain) << "Retry starts at the read";
  EXPECT_EQ(requests('='), std::vector<Bytes>{kCorrectedBatteryGain});
}

struct AnswerRow {
  const char* what;
  void (*spoil)(sim::ControllerFaults&);
  bool firstReadAnswered;  // the controller answers the first read before it fails
};

class UnusableAnswer : public Trim, public ::testing::WithParamInterface<AnswerRow> {};

TEST_P(UnusableAnswer, NeverPassesForTheAnswerToTheRead) {
  const AnswerRow& row = GetParam();
  startAt12_3456();
  if (!row.firstReadAnswered) row.spoil(rig.model.faults);
  std::size_t requestsAtTimeout = 0;
  const std::size_t requestsBefore = rig.model.requests().size();
  ui.expectBox("Communications Timeout", MsgResult::Retry);
  ui.expectBox("Communications Timeout", MsgResult::Cancel);
  ui.answerAlways("Battery Voltage Trim", MsgResult::Yes);
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    typeAndTrim(d, "12.5");
    // The read is answered; then the controller breaks down before the write is acknowledged.
    whileOpen(d, 150ms, [&] {
      if (row.firstReadAnswered) row.spoil(rig.model.faults);
    });
    whileOpen(d, 5000ms, [&] { requestsAtTimeout = rig.model.requests().size(); });
  });
  ASSERT_GE(ui.boxTitles().size(), 2u);
  EXPECT_EQ(ui.boxTitles()[1], "Communications Timeout") << "Retry ran into a second time-out";
  const auto& all = rig.model.requests();
  for (std::size_t i = row.firstReadAnswered ? requestsAtTimeout : requestsBefore; i < all.size(); ++i)
    EXPECT_EQ(all[i], kReadBatteryGain) << "request " << i << ": only reads after the read went unanswered";
  EXPECT_TRUE(rig.model.writes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnusableAnswer,
    ::testing::Values(
        AnswerRow{"HalfReceived", [](sim::ControllerFaults& f) { f.firstBytesOnly = 3; }, false},
        AnswerRow{"BadChecksum", [](sim::ControllerFaults& f) { f.badChecksum = true; }, false},
        // After Retry the new read goes unanswered while the earlier "B" is still the last code received.
        AnswerRow{"LeftOverFromTheFirstRead", [](sim::ControllerFaults& f) { f.silent = true; }, true}),
    testing::RowName{});

struct CancelRow {
  const char* what;
  const char* entry;
  bool asks;
};

class CancelAfterTimeout : public testing::CalibrationTest,
                           public ::testing::WithParamInterface<CancelRow> {};

TEST_P(CancelAfterTimeout, AsksOnlyForAChangedEntryAndNoLeavesTheDialogStoppedUntilAnEdit) {
  const CancelRow& row = GetParam();
  rig.model.settings.rawBatteryMillivolts = 12345.6;
  startLinked();
  rig.model.faults.silent = true;
  ui.expectBox("Communications Timeout", MsgResult::Cancel, 20ms);
  if (row.asks) ui.expectBox("Battery Voltage Trim", MsgResult::No);
  bool openAfterNo = false, stoppedAfterNo = false, trimDisabledAfterNo = false, trimEnabledByEdit = false;
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    d.entry.userEdit(row.entry);
    d.cmdTrim.click();
    whileOpen(d, 6s, [&] {
      openAfterNo = true;
      stoppedAfterNo = !d.tmrSequence.enabled() && !d.tmrTimeout.enabled();
      trimDisabledAfterNo = !d.cmdTrim.enabled();
      d.entry.userEdit("12.4");
      trimEnabledByEdit = d.cmdTrim.enabled();
      ui.expectBox("Battery Voltage Trim", MsgResult::Yes);
      d.cmdCancel.click();
    });
  });
  EXPECT_EQ(openAfterNo, row.asks);
  EXPECT_TRUE(rig.model.writes().empty());
  if (!row.asks) {
    EXPECT_EQ(ui.boxTitles(), std::vector<std::string>{"Communications Timeout"});
    return;
  }
  ASSERT_EQ(ui.boxes().size(), 3u);
  const platform::MessageBox& question = ui.boxes()[1].box;
  EXPECT_EQ(question.text, "Cancel changes?           ");
  EXPECT_EQ(question.icon, platform::MsgIcon::Question);
  EXPECT_EQ(question.buttons, platform::MsgButtons::YesNo);
  EXPECT_TRUE(question.rightAligned);
  EXPECT_EQ(std::count(ui.beeps().begin(), ui.beeps().end(), ui.boxes()[1].atMs), 1)
      << "a beep before the question";
  EXPECT_TRUE(stoppedAfterNo);
  EXPECT_TRUE(trimDisabledAfterNo);
  EXPECT_TRUE(trimEnabledByEdit);
}

INSTANTIATE_TEST_SUITE_P(Rows, CancelAfterTimeout,
                         ::testing::Values(CancelRow{"ChangedEntry", "12.5", true},
                                           CancelRow{"EntryAsReading", "12.346", false}),
                         testing::RowName{});

TEST_F(Trim, CancelBeforeTheWriteLeavesTheControllerUntouched) {
  startAt12_3456();
  ui.expectBox("Battery Voltage Trim", MsgResult::Yes);
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    typeAndTrim(d, "12.5");
    whileOpen(d, 150ms, [&d] { d.cmdCancel.click(); });
  });
  EXPECT_EQ(requests('B').size(), 1u);
  EXPECT_TRUE(requests('=').empty());
  EXPECT_EQ(ui.boxTitles(), std::vector<std::string>{"Battery Voltage Trim"})
      << "nothing went out to warn of";
}

struct LinkRow {
  const char* what;
  const char* form;
  bool answeredBefore;  // the controller gave one good status answer before it broke down
};

class LinkCheck : public testing::CalibrationTest, public ::testing::WithParamInterface<LinkRow> {};

TEST_P(LinkCheck, ADialogOpenedWithoutAWorkingLinkSaysSoAndClosesWithoutSending) {
  const LinkRow& row = GetParam();
  if (row.answeredBefore) {
    startLinked();
  } else {
    rig.configure({1, 0});
    rig.start();
  }
  // From now on only the first byte of each answer arrives: that enables the menu commands, and each
  // poll clears LinkDown until its answer times out.
  rig.model.faults.firstBytesOnly = 1;
  ASSERT_TRUE(ui.runUntil(
      [&] { return !rig.link.works() && !rig.state.LinkDown && rig.main.mnuCalDate.enabled(); }, 6s));
  const std::size_t requestsBefore = rig.model.requests().size();
  ui.expectBox("Communications Link", MsgResult::Ok);
  const std::string form = row.form;
  if (form == "frmCalDate") {
    rig.main.mnuCalDate.click();
  } else {
    openTrim(form, [](TrimDialog&) {});
  }
  EXPECT_EQ(ui.boxTitles(), std::vector<std::string>{"Communications Link"});
  EXPECT_EQ(rig.model.requests().size(), requestsBefore) << "the dialog sent nothing";
}

INSTANTIATE_TEST_SUITE_P(Rows, LinkCheck,
                         ::testing::Values(LinkRow{"NoResponseBattery", "frmBatVolts", true},
                                           LinkRow{"NoResponseDate", "frmCalDate", true},
                                           LinkRow{"NeverAnsweredTe", "frmTEVolts", false},
                                           LinkRow{"NeverAnsweredTemperature", "frmBatOffset", false}),
                         testing::RowName{});

struct RefusalRow {
  const char* what;
  const char* form;
  std::uint8_t parameter;
  std::array<std::uint8_t, 4> stored;  // put in the controller just before the dialog opens
  double rawBatteryMillivolts;
  const char* entry;
  const char* says;
};

class Refusal : public testing::CalibrationTest, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(Refusal, AnUnusableComputationIsNeverWrittenAndTheDialogStaysReady) {
  const RefusalRow& row = GetParam();
  rig.model.settings.rawBatteryMillivolts = row.rawBatteryMillivolts;
  startLinked();
  rig.model.setParameter(row.parameter, row.stored);
  ui.expectBox("Trim Not Possible", MsgResult::Ok);
  ui.answerAlways(
      std::string(row.form) == "frmBatOffset" ? "Battery Temperature Trim" : "Battery Voltage Trim",
      MsgResult::Yes);
  bool trimEnabled = false, stopped = false;
  openTrim(row.form, [&](TrimDialog& d) {
    d.entry.userEdit(row.entry);
    d.cmdTrim.click();
    whileOpen(d, 1s, [&] {
      trimEnabled = d.cmdTrim.enabled();
      stopped = !d.tmrSequence.enabled() && !d.tmrTimeout.enabled();
      d.cmdCancel.click();
    });
  });
  ASSERT_FALSE(ui.boxes().empty());
  const platform::MessageBox& box = ui.boxes()[0].box;
  EXPECT_EQ(box.title, "Trim Not Possible");
  EXPECT_NE(box.text.find(row.says), std::string::npos) << box.text;
  EXPECT_TRUE(box.text.ends_with("\rNothing has been written to the controller.")) << box.text;
  EXPECT_TRUE(trimEnabled);
  EXPECT_TRUE(stopped);
  EXPECT_EQ(ui.pointerHistory().back().pointer, platform::Pointer::Normal);
  EXPECT_TRUE(requests('=').empty());
  EXPECT_TRUE(rig.model.writes().empty());
}

constexpr std::uint8_t kGain = sim::ControllerModel::kBatteryGain;
INSTANTIATE_TEST_SUITE_P(
    Rows, Refusal,
    ::testing::Values(
        RefusalRow{"GainZero", "frmBatVolts", kGain, {0, 0, 0, 0}, 13000, "13", "stored gain is 0,"},
        RefusalRow{
            "GainNeverStored", "frmBatVolts", kGain, {255, 255, 255, 255}, 13000, "13", "no gain stored"},
        RefusalRow{
            "GainNegative", "frmBatVolts", kGain, {0x7F, 0x80, 0, 0}, 13000, "13", "stored gain is -1,"},
        RefusalRow{"GainUndecodable",
                   "frmBatVolts",
                   kGain,
                   {255, 0, 0, 0},
                   13000,
                   "13",
                   "stored gain cannot be read"},
        RefusalRow{
            "ReadingZero", "frmBatVolts", kGain, {0x7F, 0, 0, 0}, 0, "13", "measured reading is 0.000:"},
        RefusalRow{"ReadingNegative",
                   "frmBatVolts",
                   kGain,
                   {0x7F, 0, 0, 0},
                   -500,
                   "13",
                   "measured reading is -0.500:"},
        // The largest single times 32 / 13 overflows single precision.
        RefusalRow{"GainTooLargeToStore",
                   "frmBatVolts",
                   kGain,
                   {0xFE, 0x7F, 0xFF, 0xFF},
                   13000,
                   "32",
                   "cannot store"},
        RefusalRow{"OffsetUndecodable",
                   "frmBatOffset",
                   sim::ControllerModel::kTempOffset,
                   {255, 1, 2, 3},
                   13000,
                   "70",
                   "stored offset cannot be read"}),
    testing::RowName{});

struct ClampRow {
  const char* what;
  double rawBatteryMillivolts;
  const char* shown;
  const char* prefilled;
  Bytes write;  // for an entry of 13: gain 13 / reading
};

class UnclampedReading : public testing::CalibrationTest, public ::testing::WithParamInterface<ClampRow> {};

TEST_P(UnclampedReading, ShowsAndCorrectsAgainstTheReadingWithTheEntryHeldInsideItsLimits) {
  const ClampRow& row = GetParam();
  rig.model.settings.rawBatteryMillivolts = row.rawBatteryMillivolts;
  startLinked();
  std::string shown, prefilled;
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    shown = d.measured.text();
    prefilled = d.entry.text();
    d.cmdCancel.click();
  });
  EXPECT_EQ(shown, row.shown);
  EXPECT_EQ(prefilled, row.prefilled);
  EXPECT_TRUE(ui.boxes().empty()) << "an untouched pre-filled entry is not a change";
  openTrim("frmBatVolts", [](TrimDialog& d) {
    d.entry.userEdit("13");
    d.cmdTrim.click();
  });
  EXPECT_EQ(requests('='), std::vector<Bytes>{row.write});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnclampedReading,
    ::testing::Values(
        ClampRow{"Discharged", 9200, "9.200", "10.000", {0x3D, 0x07, 0x12, 0x7F, 0x34, 0xDE, 0x9C, 0xBA}},
        ClampRow{"ReadingHigh", 35000, "35.000", "32.000", {0x3D, 0x07, 0x12, 0x7D, 0x3E, 0x2B, 0xE3, 0x1E}}),
    testing::RowName{});

TEST_F(Trim, AWriteStoredButUnacknowledgedIsRepeatedWithTheSameValueAfterRetryNeverCompounded) {
  startAt12_3456();
  rig.model.faults.writeAcksLost = true;
  std::size_t storedBeforeRetry = 0;
  ui.expectBox("Communications Timeout", MsgResult::Retry, 20ms);
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    typeAndTrim(d, "12.5");
    whileOpen(d, 5010ms, [&] {
      storedBeforeRetry = rig.model.writes().size();
      rig.model.faults.writeAcksLost = false;
    });
  });
  ASSERT_GE(storedBeforeRetry, 1u) << "the controller holds the corrected gain when Retry re-reads it";
  EXPECT_GT(rig.model.writes().size(), storedBeforeRetry);
  for (const Bytes& w : requests('='))
    EXPECT_EQ(w, kCorrectedBatteryGain);
  EXPECT_EQ(rig.model.parameter(kGain), kCorrectedGainValue);
}

TEST_F(Trim, AnEntryEditedWhileTheSequenceRunsChangesNothingWrittenAndOnlyOffersANewStart) {
  startAt12_3456();
  bool trimOffered = false;
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    typeAndTrim(d, "12.5");
    whileOpen(d, 50ms, [&] {
      d.entry.userEdit("");
      trimOffered = d.cmdTrim.enabled();
    });
  });
  EXPECT_TRUE(trimOffered);
  EXPECT_EQ(requests('='), std::vector<Bytes>{kCorrectedBatteryGain});
}

struct HeldRow {
  const char* what;
  MsgResult answer;
  std::vector<std::string> boxes;
};

class CancelQuestion : public testing::CalibrationTest, public ::testing::WithParamInterface<HeldRow> {};

TEST_P(CancelQuestion, HoldsTheSequenceSoTheDialogCannotCloseUnderIt) {
  const HeldRow& row = GetParam();
  rig.model.settings.rawBatteryMillivolts = 12345.6;
  startLinked();
  ui.expectBox("Battery Voltage Trim", row.answer, 500ms);
  ui.expectBox("Battery Voltage Trim", MsgResult::Ok);
  bool openWhileAsking = false;
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    d.entry.userEdit("12.5");
    d.cmdTrim.click();
    // The write goes out on the third tick; its acknowledgement arrives while the question is open.
    whileOpen(d, 305ms, [&d] { d.cmdCancel.click(); });
    whileOpen(d, 700ms, [&] { openWhileAsking = d.lifecycle().loaded; });
  });
  EXPECT_TRUE(openWhileAsking);
  EXPECT_EQ(ui.boxTitles(), row.boxes);
  if (row.answer == MsgResult::Yes) {
    EXPECT_EQ(ui.boxes()[1].box.text,
              "The new gain may already be stored in the controller.\rCheck the next reading before trimming "
              "again.");
  }
  EXPECT_EQ(requests('='), std::vector<Bytes>{kCorrectedBatteryGain});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CancelQuestion,
    ::testing::Values(HeldRow{"NoResumesAndFinishes", MsgResult::No, {"Battery Voltage Trim"}},
                      HeldRow{"YesSaysTheValueMayBeStored",
                              MsgResult::Yes,
                              {"Battery Voltage Trim", "Battery Voltage Trim"}}),
    testing::RowName{});

// Against a controller slower than the step, the write waits for the late answers to the repeated read.
// Cancel's question holds it: nothing goes out while the question is open, and nothing after Yes; after
// No the trim goes on.
class HeldWrite : public testing::CalibrationTest,
                  public ::testing::WithParamInterface<std::tuple<int, MsgResult>> {};

TEST_P(HeldWrite, NothingGoesOutWhileCancelsQuestionIsOpenNorAfterYes) {
  const auto [delay, answer] = GetParam();
  rig.model.settings.rawBatteryMillivolts = 12345.6;
  startLinked();
  rig.model.faults.answerDelay = std::chrono::milliseconds(delay);
  ui.expectBox("Battery Voltage Trim", answer, 10s);
  bool writeWaiting = false;
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    d.entry.userEdit("12.5");
    d.cmdTrim.click();
    // Once the read's answer is in, the write asked after it waits for the answers to the repeated read.
    for (int t = delay; t < delay + 1000; t += 20) {
      whileOpen(d, std::chrono::milliseconds(t), [&] {
        if (writeWaiting || rig.link.exchange().step() != link::Exchange::Step::Held) return;
        writeWaiting = true;
        d.cmdCancel.click();
      });
    }
  });
  ui.advance(10s);
  ASSERT_TRUE(writeWaiting) << "the write was waiting when Cancel was pressed";
  ASSERT_EQ(ui.boxes().size(), 1u);
  const std::int64_t closedAt = ui.boxes()[0].atMs + 10000;
  if (answer == MsgResult::Yes) {
    EXPECT_TRUE(rig.model.writes().empty());
  } else {
    ASSERT_FALSE(rig.model.writes().empty());
    EXPECT_GE(rig.model.writes().front().atMs, closedAt);
    EXPECT_EQ(rig.model.writes().front().value, kCorrectedGainValue);
  }
}

INSTANTIATE_TEST_SUITE_P(Delays, HeldWrite,
                         ::testing::Combine(::testing::Values(1500, 1900),
                                            ::testing::Values(MsgResult::Yes, MsgResult::No)));

// A write that went out and was never acknowledged may be stored: Cancel after the time-out says so,
// even with the entry still what the reading filled it with.
TEST_F(Trim, CancelAfterAWriteTimedOutSaysTheValueMayBeStoredWhateverTheEntry) {
  rig.model.settings.rawBatteryMillivolts = 12345.6;
  startLinked();
  rig.model.faults.writeAcksLost = true;
  ui.expectBox("Communications Timeout", MsgResult::Cancel);
  ui.expectBox("Battery Voltage Trim", MsgResult::Yes);
  ui.expectBox("Battery Voltage Trim", MsgResult::Ok);
  openTrim("frmBatVolts", [](TrimDialog& d) { typeAndTrim(d, "12.346"); });
  ASSERT_EQ(ui.boxes().size(), 3u);
  EXPECT_EQ(
      ui.boxes()[2].box.text,
      "The new gain may already be stored in the controller.\rCheck the next reading before trimming again.");
  EXPECT_FALSE(rig.model.writes().empty());
}

TEST_F(Trim, ATrimThatWroteIsRefusedUntilAStatusRecordCarriesTheReadingTakenWithTheNewGain) {
  startAt12_3456();
  openTrim("frmBatVolts", [](TrimDialog& d) { typeAndTrim(d, "12.5"); });
  ASSERT_EQ(rig.model.writes().size(), 1u);
  ui.expectBox("Reading Not Updated", MsgResult::Ok);
  rig.main.mnuTrimVolts.click();
  ASSERT_EQ(ui.boxTitles(), std::vector<std::string>{"Reading Not Updated"});
  EXPECT_EQ(ui.boxes()[0].box.text,
            "The controller has not yet sent a reading taken with the new calibration.\rWait for the next "
            "reading, then trim again.");
  EXPECT_TRUE(rig.main.tmrUpdate.enabled()) << "polling goes on";

  ui.advance(2100ms);
  std::string shown;
  openTrim("frmBatVolts", [&](TrimDialog& d) {
    shown = d.measured.text();
    d.cmdCancel.click();
  });
  EXPECT_EQ(shown, "12.500") << "the next poll shows the corrected reading";
  EXPECT_EQ(rig.model.writes().size(), 1u);
}

}  // namespace
}  // namespace orvik::calibration

namespace orvik::calibration {
namespace {

// The adapter is pulled while the corrected gain is on its way: the technician is told, nothing else is
// written, and the main window shows the link down.
TEST_F(Trim, ADeviceGoneInTheMiddleOfTheWriteIsReportedAndNothingElseIsWritten) {
  startAt12_3456();
  ui.expectBox("Communications Timeout", MsgResult::Cancel);
  ui.expectBox("Battery Voltage Trim", MsgResult::Yes);  // "Cancel changes?"
  ui.expectBox("Battery Voltage Trim", MsgResult::Ok);   // the gain may already be stored
  openTrim("frmBatVolts", [this](TrimDialog& d) {
    typeAndTrim(d, "12.5");
    const auto writeOnTheLine = [this] {
      const Bytes sent = rig.port.written();
      return std::find(sent.begin(), sent.end(), 0x3D) != sent.end();
    };
    ASSERT_TRUE(ui.runUntil(writeOnTheLine, 1s));
    rig.port.unplug();
  });
  ASSERT_EQ(ui.boxes().size(), 3u);
  EXPECT_EQ(ui.boxes()[0].box.text, "Unable to communicate with the Orvik.  Check cable connections.");
  EXPECT_NE(ui.boxes()[2].box.text.find("may already be stored"), std::string::npos);
  EXPECT_LE(rig.model.writes().size(), 1u);
  for (const auto& w : rig.model.writes())
    EXPECT_EQ(w.value, kCorrectedGainValue) << "nothing but the corrected gain";
  for (const Bytes& r : requests('='))
    EXPECT_EQ(r, kCorrectedBatteryGain);
  ui.advance(3s);
  EXPECT_EQ(rig.main.lblRefresh.text(), "No Response");
  EXPECT_FALSE(rig.main.mnuTrimVolts.enabled());
}

}  // namespace
}  // namespace orvik::calibration
