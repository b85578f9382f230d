// The diagnostics report against the controller model, on the virtual clock.
#include "diagnostics/frm_report.h"

#include <gtest/gtest.h>

#include "diagnostics/diagnostics_rig.h"
#include "link/alarm_text.h"
#include "link/subs.h"

namespace orvik::diagnostics {
namespace {

using namespace std::chrono_literals;
using platform::MsgResult;
using sim::ControllerModel;

// What the report showed when it was looked at.
struct Seen {
  std::string tag, bvGain, teGain, btGain, btOffset, cycles, count, reason, mode, teVolts, batVolts, batTemp;
  bool shutdownShown = false, editTagEnabled = false, resetEnabled = false;
  std::int64_t finishedAtMs = -1;
};

struct ReportSession : testing::ControllerSession {
  // Opens the report from the menu, lets `open` pass, looks at it and closes it.
  Seen openReport(std::chrono::milliseconds open = 4s, std::function<void(frmReport&)> meanwhile = {}) {
    Seen seen;
    ui.whenShown("frmReport", [&, open, meanwhile](platform::Form& f) {
      auto& r = static_cast<frmReport&>(f);
      if (meanwhile) meanwhile(r);
      ui.at(std::chrono::milliseconds(ui.nowMs()) + open, [&] {
        seen = {r.lblTag.text(),           r.lblBVgain.text(),
                r.lblTEgain.text(),        r.lblBTgain.text(),
                r.lblBToffset.text(),      r.lblPowerOnCycles.text(),
                r.lblShutdownCount.text(), r.lblShutdownReason.text(),
                r.lblShutdownMode.text(),  r.lblTEvolts.text(),
                r.lblBatVolts.text(),      r.lblBatTemp.text(),
                r.fraShutdown.visible(),   r.cmdEditTag.enabled(),
                r.cmdResetLog.enabled(),   finishedAt};
        if (r.lifecycle().loaded) r.cmdClose.click();
      });
      statuses = {r.lblStatus.text()};  // the read started as the window loaded
      r.lblStatus.setObserver([&r, this] {
        if (statuses.empty() || statuses.back() != r.lblStatus.text()) statuses.push_back(r.lblStatus.text());
      });
      r.cmdEditTag.setObserver([&r, this] {
        if (r.cmdEditTag.enabled() && finishedAt < 0) finishedAt = ui.nowMs();
      });
    });
    opened = ui.nowMs();
    rig.main.mnuReport.click();
    return seen;
  }

  // How long `requests` and the model's answers to them take on the line at 9600 8N1.
  static double wireMs(const std::vector<Bytes>& requests) {
    std::size_t bytes = 0;
    for (const Bytes& r : requests)
      bytes += r.size() + (r[0] == 'C' ? 23 : 7);
    return static_cast<double>(bytes) * 10.0 / 9.6;
  }

  std::int64_t opened = 0;
  std::int64_t finishedAt = -1;
  std::vector<std::string> statuses;  // the status line as it changed, repeats folded
};

class Report : public ::testing::Test, protected ReportSession {};

TEST_F(Report, ShowsTheTagTheConstantsAndTheLastShutdown) {
  rig.model.settings.tag = "  UNIT 42";
  rig.model.settings.shutdownCount = 3;
  rig.model.settings.shutdownReason = 2;
  rig.model.settings.shutdownMode = 3;
  rig.model.settings.powerCycles = 250;
  rig.model.setParameter(ControllerModel::kBatteryGain, 1.0234f);
  rig.model.setParameter(ControllerModel::kTeGain, 0.98f);
  rig.model.setParameter(ControllerModel::kTempGain, 1.0f);
  rig.model.setParameter(ControllerModel::kTempOffset, -2.5f);
  rig.model.setParameter(ControllerModel::kShutdownTe, 12345.0f);
  rig.model.setParameter(ControllerModel::kShutdownBattery, 400.0f);
  rig.model.setParameter(ControllerModel::kShutdownTemp, -4.6f);
  startPolling();
  rig.model.faults.answerDelay = 0ms;
  // As through a pseudo-terminal: each answer can follow the one before within a byte time.
  rig.port.setRequestsAtOnce(true);
  const std::size_t before = rig.model.requests().size();
  const Seen s = openReport();
  EXPECT_EQ(s.tag, "UNIT 42");
  EXPECT_EQ(s.bvGain, "1.0234");
  EXPECT_EQ(s.teGain, "0.98");
  EXPECT_EQ(s.btGain, "1");
  EXPECT_EQ(s.btOffset, "-2.5");
  EXPECT_EQ(s.cycles, "250");
  EXPECT_EQ(s.count, "3");
  EXPECT_EQ(s.reason, link::AlarmText(2));
  EXPECT_EQ(s.mode, "Warming");
  EXPECT_EQ(s.teVolts, "12.35 Volts");
  EXPECT_EQ(s.batVolts, "0.40 Volts");
  EXPECT_EQ(s.batTemp, "-5 \u00B0F");
  EXPECT_TRUE(s.shutdownShown);
  EXPECT_TRUE(s.editTagEnabled && s.resetEnabled);
  EXPECT_EQ(statuses,
            (std::vector<std::string>{
                "Reading Tag Name...", "Reading Battery Voltage Gain...", "Reading TE Module Voltage Gain...",
                "Reading Battery Temperature Gain...", "Reading Battery Temperature Offset...",
                "Reading Shutdown Status...", "Reading TE Module Volts at Shutdown...",
                "Reading Battery Volts at Shutdown...", "Reading Battery Temperature at Shutdown...", ""}));
  const auto requests = requestsSince(before);
  EXPECT_EQ(requests.front(), (Bytes{0x43, 0x02, 0xFE}));
  for (int p : {18, 22, 26, 30, 100, 104, 108, 116})
    EXPECT_EQ(readsOf(requests, static_cast<std::uint8_t>(p)), 1) << p;
  // Each request goes out the moment the answer before it is in.
  RecordProperty("ReportMsAtNoDelay", static_cast<int>(finishedAt - opened));
  EXPECT_LE(static_cast<double>(finishedAt - opened), 1.3 * wireMs(requests));
  EXPECT_TRUE(rig.model.writes().empty());
  EXPECT_TRUE(ui.beeps().empty());
  EXPECT_EQ(ui.pointer(), platform::Pointer::Normal);
  const std::size_t polls = rig.statusRequests();
  ui.advance(2100ms);
  EXPECT_EQ(rig.statusRequests(), polls + 1) << "polling resumes after the report";
}

TEST_F(Report, TheShutdownRecordFollowsItsCountReasonAndTheLiveTemperature) {
  struct Row {
    const char* what;
    std::uint8_t count, reason, mode;
    sim::SensorFault sensor;
    std::string shownReason, shownMode;
    bool groupShown;
  };
  const std::vector<Row> rows = {
      {"no shutdown", 0, 0, 1, sim::SensorFault::None, "", "Charging", false},
      {"one shutdown", 1, 4, 0, sim::SensorFault::None, link::AlarmText(4), "Trickle", true},
      {"255 shutdowns", 255, 12, 4, sim::SensorFault::None, "Unknow Error Code,  12", "DISABLED", true},
      {"reason 0, open sensor", 1, 0, 2, sim::SensorFault::Open, link::AlarmText(6), "Starting", true},
      {"reason 0, shorted sensor", 1, 0, 2, sim::SensorFault::Shorted, link::AlarmText(5), "Starting", true},
      {"mode 5 is left as it was", 1, 1, 5, sim::SensorFault::None, link::AlarmText(1), "-", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ReportSession run;
    run.rig.model.settings.shutdownCount = row.count;
    run.rig.model.settings.shutdownReason = row.reason;
    run.rig.model.settings.shutdownMode = row.mode;
    run.rig.model.settings.sensor = row.sensor;
    run.startPolling();
    const std::size_t before = run.rig.model.requests().size();
    const Seen s = run.openReport();
    EXPECT_EQ(s.reason, row.shownReason);
    EXPECT_EQ(s.mode, row.shownMode);
    EXPECT_EQ(s.count, std::to_string(row.count));
    EXPECT_EQ(s.shutdownShown, row.groupShown);
    const auto requests = run.requestsSince(before);
    EXPECT_EQ(readsOf(requests, 104), row.count != 0 ? 1 : 0);
    EXPECT_EQ(readsOf(requests, 108), row.count != 0 ? 1 : 0);
    EXPECT_EQ(readsOf(requests, 116), row.count != 0 ? 1 : 0);
  }
}

TEST_F(Report, AControllerThatNeverAnswersIsAskedForTheTagAgainWithABeepThenTheTimeOutClosesTheReport) {
  startPolling();
  rig.model.faults.silent = true;
  const std::size_t before = rig.model.requests().size();
  const std::size_t beepsBefore = ui.beeps().size();
  ui.expectBox("Communications Timeout", MsgResult::Ok);
  opened = ui.nowMs();
  rig.main.mnuReport.click();  // returns once the report has closed
  EXPECT_EQ(ui.nowMs() - opened, 5000) << "closed by the time-out, at once";
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].atMs - opened, 5000);
  EXPECT_EQ(ui.boxes()[0].box.text, "Unable to communicate with the Orvik.  Check cable connections.");
  EXPECT_EQ(ui.boxes()[0].box.icon, platform::MsgIcon::Information);
  const auto requests = requestsSince(before);
  for (const Bytes& r : requests)
    EXPECT_EQ(r, (Bytes{0x43, 0x02, 0xFE}));
  EXPECT_EQ(requests.size(), 3u) << "at once, then after each 2 s answer time-out";
  EXPECT_EQ(ui.beeps().size() - beepsBefore, 3u) << "a beep per request sent again and one at the time-out";
}

TEST_F(Report, AControllerThatStopsAfterTheTagIsAskedForTheFirstGainAgainWithoutABeep) {
  startPolling();
  const std::size_t before = rig.model.requests().size();
  ui.expectBox("Communications Timeout", MsgResult::Ok);
  ui.whenShown("frmReport", [&](platform::Form& f) {
    auto& r = static_cast<frmReport&>(f);
    r.lblTag.setObserver([this] { rig.model.faults.silent = true; });
  });
  const std::size_t beepsBefore = ui.beeps().size();
  rig.main.mnuReport.click();
  const auto requests = requestsSince(before);
  EXPECT_EQ(readsOf(requests, 18), static_cast<int>(requests.size()) - 1) << "nothing but the tag and 18";
  EXPECT_EQ(readsOf(requests, 18), 3);
  EXPECT_EQ(ui.beeps().size() - beepsBefore, 1u) << "only the time-out beeps";
}

// Against a slow controller each field shows its own parameter's value, and the read completes: it
// times out only after 5 s without an answer.
class SlowReport : public Report, public ::testing::WithParamInterface<int> {};

TEST_P(SlowReport, CompletesWithEveryValueUnderItsOwnName) {
  for (auto [number, value] : {std::pair{18, 1.5f},
                               {22, 2.5f},
                               {26, 3.5f},
                               {30, 4.5f},
                               {104, 5500.0f},
                               {108, 6500.0f},
                               {116, 75.0f}})
    rig.model.setParameter(static_cast<std::uint8_t>(number), value);
  rig.model.settings.shutdownCount = 1;
  startPolling();
  rig.model.faults.answerDelay = std::chrono::milliseconds(GetParam());
  const std::size_t before = rig.model.requests().size();
  const Seen s = openReport(std::chrono::milliseconds(9 * (GetParam() + 100)));
  for (auto [shown, own] : {std::pair{s.tag, "ORVIK SIM 0001"},
                            {s.bvGain, "1.5"},
                            {s.teGain, "2.5"},
                            {s.btGain, "3.5"},
                            {s.btOffset, "4.5"},
                            {s.teVolts, "5.50 Volts"},
                            {s.batVolts, "6.50 Volts"},
                            {s.batTemp, "75 \u00B0F"}})
    EXPECT_EQ(shown, own);
  ASSERT_GT(finishedAt, 0) << "the read completes";
  const auto requests = requestsSince(before);
  EXPECT_EQ(requests.size(), 9u) << "each asked once";
  RecordProperty("FinishedAfterMs", static_cast<int>(finishedAt - opened));
  EXPECT_LE(static_cast<double>(finishedAt - opened), 9 * GetParam() + 1.3 * wireMs(requests));
}

INSTANTIATE_TEST_SUITE_P(Delays, SlowReport, ::testing::Values(250, 450, 700, 1100, 1900));

TEST_F(Report, ResetLogClearsTheLogOnlyOnOkAndReadsEverythingAgain) {
  rig.model.settings.shutdownCount = 2;
  startPolling();
  ui.expectBox("Clear Diagnostics Log", MsgResult::Cancel);
  Seen s = openReport(3s, [&](frmReport& r) {
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 2600ms, [&] { r.cmdResetLog.click(); });
  });
  EXPECT_TRUE(rig.model.writes().empty()) << "Cancel changes nothing";
  EXPECT_EQ(s.count, "2");
  ASSERT_EQ(ui.boxes().back().box.text, "OK to clear the diagnostics log?");
  EXPECT_EQ(ui.boxes().back().box.icon, platform::MsgIcon::Question);

  ui.expectBox("Clear Diagnostics Log", MsgResult::Ok);
  const std::size_t before = rig.model.requests().size();
  s = openReport(8s, [&](frmReport& r) {
    ui.at(std::chrono::milliseconds(ui.nowMs()) + 2600ms, [&] { r.cmdResetLog.click(); });
  });
  ASSERT_EQ(rig.model.writes().size(), 1u);
  const auto requests = requestsSince(before);
  const auto write = std::find(requests.begin(), requests.end(), Bytes{0x3D, 0x07, 0x64, 0, 0, 0, 0, 0x95});
  ASSERT_NE(write, requests.end());
  EXPECT_EQ(*(write + 1), (Bytes{0x43, 0x02, 0xFE})) << "everything is read again";
  EXPECT_EQ(s.count, "0");
  EXPECT_FALSE(s.shutdownShown);
}

TEST_F(Report, AValueThatCannotBeDecodedShowsADashAndTheReportGoesOn) {
  rig.model.setParameter(ControllerModel::kTeGain, std::array<std::uint8_t, 4>{0xFF, 0x10, 0, 0});
  startPolling();
  const Seen s = openReport();
  EXPECT_EQ(s.teGain, "-");
  EXPECT_EQ(s.btGain, "1");
  EXPECT_TRUE(s.editTagEnabled);
}

TEST_F(Report, IsRefusedBelowHardwareRevisionFive) {
  rig.model.settings.hardwareRevision = 4;
  startPolling();
  ui.expectBox("Feature not Supported", MsgResult::Ok);
  const std::size_t beeps = ui.beeps().size();
  rig.main.mnuReport.click();
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].box.text, "This feature requires Hardware Version 5 or higher.");
  EXPECT_EQ(ui.beeps().size() - beeps, 1u);
  EXPECT_EQ(ui.pointer(), platform::Pointer::Normal);
}

}  // namespace
}  // namespace orvik::diagnostics
