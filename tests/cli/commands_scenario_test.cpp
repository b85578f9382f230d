// orvikctl's commands on the controller model, in virtual time.
#include "cli/commands.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "link/number_text.h"
#include "link/parameter_numbers.h"
#include "platform/headless/headless_ui.h"
#include "service_record/change_rows.h"
#include "support/model_peer.h"
#include "support/temp_folder.h"
#include "version.h"

namespace orvik::cli {
namespace {

using namespace std::chrono_literals;

struct ScriptedConsole : Console {
  bool interactive() const override { return terminal; }
  std::optional<std::string> ask(const std::string& question) override {
    asked += question;
    return answer;
  }
  bool terminal = false;
  std::optional<std::string> answer;
  std::string asked;
};

struct CliRig : ::testing::Test {
  CliRig() { link.openPort(1); }

  // Runs `args` to its end, or `limit` of virtual time; the exit status, -1 when it had not ended.
  int run(const std::vector<std::string>& args, std::chrono::milliseconds limit = 30s) {
    const Parsed parsed = parseArguments(args);
    EXPECT_TRUE(parsed.invocation) << parsed.err;
    int exitCode = -1;
    if (Writes(*parsed.invocation)) {
      service_record::RecordConfirmedChanges(link, journal, {"orvikctl", "tech", virtualNow()});
    }
    Runner runner(*parsed.invocation, link, ui.timers(),
                  {*output, err, console, virtualNow(),
                   [] {
                     return platform::Date{2026, 12, 7};
                   },
                   &journal, [] { return std::string("2026-12-07 10:00"); }, "tech",
                   [] { return std::string(std::strerror(ENOSPC)); }, outDescriptor});
    runner.onDone = [&](int code) { exitCode = code; };
    runner.start();
    if (midway.when && ui.runUntil(midway.when, limit)) midway.then();
    ui.runUntil([&] { return exitCode != -1; }, limit);
    if (exitCode == -1 && stopAfter) {
      runner.interrupt();
      ui.advance(10ms);
    }
    return exitCode;
  }
  // The requests as their command codes, a parameter read or write with its number: "> C B18 =100".
  std::string requests() const {
    std::string text;
    for (const auto& r : model.requests()) {
      text += (text.empty() ? "" : " ") + std::string(1, static_cast<char>(r[0]));
      if (r[0] == 'B' || r[0] == '=') text += std::to_string(r[2]);
    }
    return text;
  }

  std::function<std::chrono::system_clock::time_point()> virtualNow() {
    return [this] { return std::chrono::system_clock::time_point(ui.nowMs() * 1ms); };
  }

  testing::TempFolder folder;
  service_record::ServiceJournal journal{folder.path() + "/service.db", virtualNow()};
  platform::headless::HeadlessUi ui;
  platform::headless::MemorySerialPort port{ui};
  sim::ControllerModel model;
  testing::ModelPeer peer{ui, port, model};
  link::RunState state;
  link::ControllerLink link{state, port, ui.timers()};
  std::ostringstream out, err;
  std::ostream* output = &out;  // standard output; `lost` for one that takes nothing
  std::ostream lost{nullptr};
  int outDescriptor = -1;  // under standard output, for "--csv -"
  ScriptedConsole console;
  bool stopAfter = false;
  // Something done to the controller once `when` holds, while the command runs.
  struct {
    std::function<bool()> when;
    std::function<void()> then;
  } midway;
};

struct CommandCase {
  std::vector<std::string> args;
  std::function<void(sim::ControllerModel&, ScriptedConsole&)> setUp;
  int exitCode;
  std::string requests;  // as CliRig::requests shows them
  std::string output;    // in stdout, or for a refusal in stderr
};

void PrintTo(const CommandCase& c, std::ostream* os) {
  for (const std::string& arg : c.args)
    *os << arg << ' ';
}

class Commands : public CliRig, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(Commands, SendTheirRequestsAndPrintTheWindowsTexts) {
  const CommandCase& c = GetParam();
  if (c.setUp) c.setUp(model, console);
  EXPECT_EQ(run(c.args), c.exitCode) << err.str();
  EXPECT_EQ(requests(), c.requests);
  const std::string& shown = c.exitCode == kSuccess ? out.str() : err.str();
  EXPECT_NE(shown.find(c.output), std::string::npos) << shown;
  if (c.exitCode == kRefused) {
    EXPECT_TRUE(model.writes().empty());
  }
}

const auto hold = [](double batteryMillivolts) {
  return [batteryMillivolts](sim::ControllerModel& m, ScriptedConsole&) {
    m.settings.rawBatteryMillivolts = batteryMillivolts;
  };
};

INSTANTIATE_TEST_SUITE_P(
    Table, Commands,
    ::testing::Values(
        CommandCase{{"status"}, nullptr, kSuccess, ">", "  TE Module  "},
        // A record is judged by its own hardware revision: the alarm shows in the first reading.
        CommandCase{{"status"},
                    [](auto& m, auto&) { m.settings.alarmCode = 2; },
                    kSuccess,
                    ">",
                    "Alarm Messages\n  Low TE module output. Check fuel pressure"},
        CommandCase{{"read", "battery-gain"},
                    [](auto& m, auto&) { m.setParameter(18, 1.25f); },
                    kSuccess,
                    "B18",
                    "1.25\n"},
        CommandCase{
            {"report"}, nullptr, kSuccess, "> C B18 B22 B26 B30 B100", "Diagnostic Shutdown Count:  0"},
        CommandCase{{"report"},
                    [](auto& m, auto&) { m.settings.shutdownCount = 2; },
                    kSuccess,
                    "> C B18 B22 B26 B30 B100 B104 B108 B116",
                    "  TE Module Volts at Last Shutdown:  "},
        CommandCase{{"tag", "BAY 4", "--yes"},
                    nullptr,
                    kSuccess,
                    "> C D C",
                    "Tag name: \"ORVIK SIM 0001\" -> \"BAY 4\"\nBAY 4\n"},
        CommandCase{{"reset-log", "--yes"}, nullptr, kSuccess, "> C B100 =100", "Diagnostics log cleared."},
        CommandCase{{"cal-date", "--yes"}, nullptr, kSuccess, "> C B0 =0", "15-Feb-05 -> 07-Dec-26"},
        CommandCase{{"trim", "battery-volts", "--actual", "12.5", "--yes"},
                    hold(12345.6),
                    kSuccess,
                    "> C B18 =18 >",
                    "battery voltage gain: 1 -> 1.01247367568443"},
        CommandCase{{"trim", "battery-volts", "--actual", "12.5"},
                    [](auto& m, auto& c) {
                      m.settings.rawBatteryMillivolts = 12345.6;
                      c.terminal = true;
                      c.answer = "y";
                    },
                    kSuccess,
                    "> C B18 =18 >",
                    "Measured battery voltage now: 12.500"},
        // Refused: nothing is written.
        CommandCase{{"trim", "battery-volts", "--actual", "12.5"},
                    hold(12345.6),
                    kRefused,
                    "> C B18",
                    "confirm with --yes"},
        CommandCase{{"trim", "battery-volts", "--actual", "12.5"},
                    [](auto&, auto& c) {
                      c.terminal = true;
                      c.answer = "n";
                    },
                    kRefused,
                    "> C B18",
                    "nothing written."},
        CommandCase{{"trim", "battery-volts", "--actual", "32.5"},
                    nullptr,
                    kRefused,
                    "",
                    "Range Error: Voltage entered exceeds operating range."},
        CommandCase{{"trim", "te-volts", "--actual", "12,5"},
                    nullptr,
                    kRefused,
                    "",
                    "Invalid Number: \"12,5\" is not a number."},
        CommandCase{{"trim", "battery-volts", "--actual", "12.5", "--yes"},
                    [](auto& m, auto&) { m.setParameter(18, 0.0f); },
                    kRefused,
                    "> C B18",
                    "Trim Not Possible: The controller's stored gain is 0"},
        CommandCase{{"trim", "battery-temp", "--actual", "70", "--yes"},
                    [](auto& m, auto&) { m.settings.sensor = sim::SensorFault::Open; },
                    kRefused,
                    ">",
                    "Temperature Sensor Error"},
        CommandCase{{"report"},
                    [](auto& m, auto&) { m.settings.hardwareRevision = 4; },
                    kRefused,
                    ">",
                    "requires Hardware Version 5"},
        CommandCase{{"tag", "BAY 4"}, nullptr, kRefused, "> C", "confirm with --yes"},
        CommandCase{{"tag", "ABCDEFGHIJKLMNOPQRSTU"}, nullptr, kRefused, "", "has 21 characters"},
        CommandCase{{"tag", "\xCE\xA9"}, nullptr, kRefused, "", "Tag Name: "},
        CommandCase{{"watch", "--csv", "/nonexistent-folder/log.csv"},
                    nullptr,
                    kUsage,
                    "",
                    "cannot write /nonexistent-folder/log.csv: "},
        CommandCase{
            {"cal-date", "2100-01-01", "--yes"}, nullptr, kRefused, "", "The year must lie between 2001"},
        // Not answered: three sends, then status 4; a lost acknowledgement says the value may be stored.
        CommandCase{{"status"},
                    [](auto& m, auto&) { m.faults.silent = true; },
                    kNoAnswer,
                    "> > >",
                    "did not answer a status request"},
        CommandCase{{"status"},
                    [](auto& m, auto&) { m.faults.wrongAnswers = true; },
                    kNoAnswer,
                    "> > >",
                    "did not answer a status request in time"},
        CommandCase{{"reset-log", "--yes"},
                    [](auto& m, auto&) { m.faults.writeAcksLost = true; },
                    kNoAnswer,
                    "> C B100 =100 =100 =100",
                    "may already be stored"},
        CommandCase{{"read", "te-gain"},
                    [](auto& m, auto&) { m.faults.dropEvery = 1; },
                    kNoAnswer,
                    "B22 B22 B22",
                    "did not answer the read of parameter 22"},
        // Every second request lost, and a controller slower than any step: each read still completes.
        CommandCase{{"report"},
                    [](auto& m, auto&) { m.faults.dropEvery = 2; },
                    kSuccess,
                    "> C C B18 B18 B22 B22 B26 B26 B30 B30 B100 B100",
                    "Tag: ORVIK SIM 0001"},
        CommandCase{{"report"},
                    [](auto& m, auto&) { m.faults.answerDelay = 1900ms; },
                    kSuccess,
                    "> C B18 B22 B26 B30 B100",
                    "Battery Voltage Gain:        1\n"},
        // The service report's file is opened before the controller is asked anything.
        CommandCase{{"service-report", "--html", "/nonexistent/unit.html"},
                    nullptr,
                    kUsage,
                    "",
                    "cannot write /nonexistent/unit.html: "}));

// Slower than the answer time-out: every read goes out twice, and the next read waits for the answer
// to the second send, so that answer cannot be taken for the next parameter's.
TEST_F(CliRig, AnAnswerToAnEarlierSendIsNeverTakenForTheNextRequest) {
  model.faults.answerDelay = 2050ms;
  model.setParameter(18, 1.25f);
  model.setParameter(22, 1.5f);
  model.setParameter(26, 1.75f);
  EXPECT_EQ(run({"report"}, 90s), kSuccess) << err.str();
  EXPECT_EQ(requests(), "> C C B18 B18 B22 B22 B26 B26 B30 B30 B100 B100");
  EXPECT_NE(out.str().find("Voltage Gain:        1.25\n  TE Module Voltage Gain:      1.5\n  Battery "
                           "Temperature Gain:    1.75\n"),
            std::string::npos)
      << out.str();
}

TEST_F(CliRig, WatchLogsEveryReadingAndSaysWhichOneWasMissed) {
  const auto path =
      std::filesystem::temp_directory_path() / ("orvikctl-watch-" + std::to_string(::getpid()) + ".csv");
  model.faults.dropEvery = 2;
  EXPECT_EQ(run({"watch", "--count", "3", "--csv", path.string()}), kSuccess) << err.str();
  EXPECT_EQ(requests(), "> > >");
  EXPECT_NE(out.str().find("T00:00:02Z  No Response\n"), std::string::npos) << out.str();
  std::ifstream csv(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(csv, line);)
    lines.push_back(line);
  std::filesystem::remove(path);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("time,link,te_module_v,", 0), 0u);
  EXPECT_EQ(lines[2], "1970-01-01T00:00:02Z,no response,,,,,,,,,,,");
  EXPECT_NE(lines[3].find(",ok,"), std::string::npos);
  EXPECT_NE(lines[3].find(",Charging,"), std::string::npos);
}

// A port that went away (an adapter pulled, a serial server stopped) and is not back at the next reading
// ends the watch; one back by then is read on.
TEST_F(CliRig, WatchEndsWhenItsPortWentAwayAndIsNotBackAtTheNextReading) {
  state.PortNumber = 1;
  midway = {[&] { return model.requests().size() == 2; },
            [&] {
              port.unplug();
              port.setAvailability(1, platform::headless::MemorySerialPort::Availability::Usable);
            }};
  EXPECT_EQ(run({"watch", "--count", "4", "--interval", "0.5"}), kSuccess) << err.str();
  EXPECT_EQ(requests(), "> > > >");
  EXPECT_NE(out.str().find(link::kLinkNoResponse), std::string::npos) << out.str();
  midway = {[&] { return model.requests().size() == 6; }, [&] { port.unplug(); }};
  EXPECT_EQ(run({"watch", "--interval", "0.5"}), kNoAnswer);
  EXPECT_EQ(err.str(), "orvikctl: memory:1 went away and cannot be opened again: no such device.\n");
  EXPECT_EQ(run({"status"}), kNoAnswer);
  EXPECT_NE(err.str().find("in time.\nmemory:1 went away and cannot be opened again: no such device.\n"),
            std::string::npos)
      << err.str();
}

TEST_F(CliRig, WatchEndsCleanlyWhenInterrupted) {
  stopAfter = true;
  EXPECT_EQ(run({"watch", "--interval", "0.5"}, 2200ms), kSuccess);
  EXPECT_EQ(requests(), "> > > > >");
  EXPECT_EQ(out.str().find(link::kLinkNoResponse), std::string::npos) << out.str();
}

// Each write the controller acknowledged is one row: the unit as the link knew it, the value before and
// the value written, as text and as controller bytes.
TEST_F(CliRig, EachConfirmedWriteIsOneRowOfTheServiceRecord) {
  model.setParameter(18, 1.25f);
  struct Case {
    std::vector<std::string> args;
    std::string expected;  // change|parameter|before|before bytes|written|written bytes|measured|reference
  };
  const Case cases[] = {
      {{"trim", "battery-volts", "--actual", "12.5", "--yes"},
       "battery-volts-gain|18|1.25|7F200000|0.943083051665862|7E716DE4|16.568|12.500"},
      {{"cal-date", "2026-12-07", "--yes"}, "calibration-date|0|15-Feb-05|00020F05|07-Dec-26|000C071A||"},
      {{"reset-log", "--yes"},
       "log-reset|100|Diagnostic Shutdown Count: 0, Power On Cycles: 17|00000011|Log cleared|00000000||"},
      {{"tag", "BAY 4", "--yes"}, "tag|-1|ORVIK SIM 0001||BAY 4|||"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(run(c.args), kSuccess) << err.str();
    const auto rows = journal.history(std::nullopt);
    ASSERT_FALSE(rows.empty());
    const auto& r = rows.front();
    EXPECT_EQ(std::string(service_record::ChangeName(r.change)) + '|' +
                  std::to_string(r.parameter.value_or(-1)) + '|' + r.before + '|' + r.beforeBytes + '|' +
                  r.written + '|' + r.writtenBytes + '|' + r.measured + '|' + r.reference,
              c.expected);
    EXPECT_EQ(r.tag + '|' + std::to_string(r.hardwareRevision.value_or(-1)) + '|' +
                  std::to_string(r.softwareRevision.value_or(-1)) + '|' + r.program + '|' + r.user,
              "ORVIK SIM 0001|5|12|orvikctl|tech");
  }
  EXPECT_EQ(journal.history(std::string("ORVIK SIM 0001")).size(), 4u);
  EXPECT_EQ(run({"history", "--tag", "ORVIK SIM 0001", "--csv"}), kSuccess);
  EXPECT_NE(out.str().find(",tag,,ORVIK SIM 0001,,BAY 4,"), std::string::npos) << out.str();
  out.str("");
  EXPECT_EQ(run({"history", "--json"}), kSuccess);
  const auto rows = nlohmann::json::parse(out.str());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3]["before"], "1.25") << "the text of earlier releases";
  EXPECT_EQ(rows[3].value("measured_v", 0.0), 16.568);
  EXPECT_EQ(rows[3].value("reference_v", 0.0), 12.5);
  EXPECT_EQ(rows[3].value("before_gain", 0.0), 1.25);
  EXPECT_EQ(rows[3].value("written_gain", 0.0), 0.943083051665862);
  EXPECT_FALSE(rows[0].contains("measured_v") || rows[0].contains("before_gain")) << rows[0];
}

// A fresh run, whose link has not learnt the tag yet, reads the tag it replaces for the row.
TEST_F(CliRig, ATagWriteKeepsTheTagBeforeInItsRow) {
  ASSERT_EQ(run({"tag", "BAY 4", "--yes"}), kSuccess) << err.str();
  EXPECT_EQ(journal.history(std::nullopt).at(0).before, "ORVIK SIM 0001");
}

// A stored text that is not UTF-8 (another program's row) is written with U+FFFD, never failing.
TEST_F(CliRig, HistoryJsonWritesAStoredTextThatIsNotUtf8) {
  service_record::ServiceRow row;
  row.tag = "BAY \xFF";
  journal.record(row);
  ASSERT_EQ(run({"history", "--json"}), kSuccess) << err.str();
  EXPECT_EQ(nlohmann::json::parse(out.str()).at(0)["tag"], "BAY \xEF\xBF\xBD");
}

// watch --json writes a JSON object a line, with the same keys for a missed reading, all null. The
// numbers, in status, watch and report alike, are those the texts show, whatever the locale.
TEST_F(CliRig, JsonGivesTheShownNumbersWithTheirUnitsAndWatchALineAReading) {
  model.settings.rawBatteryMillivolts = 13266.6;
  model.settings.rawFahrenheit = 76.5;
  model.faults.dropEvery = 2;
  ASSERT_EQ(run({"watch", "--count", "3", "--json"}), kSuccess) << err.str();
  std::vector<nlohmann::json> readings;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);)
    readings.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(readings.size(), 3u) << out.str();
  EXPECT_EQ(readings[1]["time"], "1970-01-01T00:00:02Z");
  EXPECT_EQ(readings[1]["link"], "no response");
  EXPECT_TRUE(readings[1]["battery_voltage_v"].is_null() && readings[1]["values"].is_null());
  EXPECT_EQ(readings[1].size(), readings[2].size()) << "the same keys";
  EXPECT_NE(out.str().find("\"battery_voltage_v\":13.27,"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("\"battery_temperature_f\":77,"), std::string::npos) << out.str();

  model.faults.dropEvery = 0;
  model.setParameter(30, -1.5f);
  model.settings.shutdownCount = 2;
  out.str("");
  ASSERT_EQ(run({"status", "--json"}), kSuccess) << err.str();
  const auto status = nlohmann::json::parse(out.str());
  for (const auto& [number, text] : {std::pair{"te_module_v", "te_module"},
                                     {"setpoint_v", "setpoint"},
                                     {"control_percent", "control"},
                                     {"battery_voltage_v", "battery_voltage"},
                                     {"battery_temperature_f", "battery_temperature"}}) {
    EXPECT_EQ(status[number].get<double>(), link::leadingNumber(status[text].get<std::string>())) << number;
  }
  out.str("");
  ASSERT_EQ(run({"report", "--json"}), kSuccess) << err.str();
  const auto report = nlohmann::json::parse(out.str());
  EXPECT_EQ(report["calibration"]["battery_temperature_offset_f"], -1.5);
  EXPECT_EQ(report["constants"]["battery_temperature_offset"], "-1.5");
  const auto& shutdown = report["last_shutdown"];
  EXPECT_EQ(shutdown["battery_voltage_v"].get<double>(),
            link::leadingNumber(shutdown["battery_volts"].get<std::string>()));
}

TEST_F(CliRig, AHistoryThatCannotBeReadIsAUsageErrorAndAsksTheControllerNothing) {
  std::filesystem::create_directory(journal.path());  // a folder where the file should be
  EXPECT_EQ(run({"history"}), kUsage);
  EXPECT_EQ(err.str().rfind("orvikctl: the service record cannot be read: ", 0), 0u) << err.str();
  EXPECT_EQ(requests(), "");
}

// Output that is lost is a failure that says why, whenever it is lost; a pipe nobody reads is refused
// before the controller is asked anything.
TEST_F(CliRig, OutputThatCannotBeWrittenIsAFailureWithTheSystemsReason) {
  output = &lost;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"status"}, {"history"}, {"watch", "--count", "3"}, {"backup", "-"}}) {
    err.str("");
    EXPECT_EQ(run(args), kUsage) << args[0];
    EXPECT_EQ(err.str(),
              "orvikctl: standard output cannot be written: " + std::string(std::strerror(ENOSPC)) + ".\n")
        << args[0];
  }
  EXPECT_EQ(requests(), "> > > C B0 B18 B22 B26 B30") << "watch ends at its first lost line";
  ASSERT_EQ(::mkfifo((folder.path() + "/pipe").c_str(), 0600), 0);
  output = &out;
  err.str("");
  EXPECT_EQ(run({"watch", "--csv", folder.path() + "/pipe"}), kUsage);
  EXPECT_EQ(err.str(), "orvikctl: cannot write " + folder.path() +
                           "/pipe: it is a named pipe that no program is reading.\n");
}

// "-" is standard output: the log alone (lines it cannot take at once are dropped and counted), or the
// backup, whose summary then goes with the messages.
TEST_F(CliRig, ADashIsStandardOutput) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  outDescriptor = ends[1];
  EXPECT_EQ(run({"watch", "--count", "2", "--interval", "0.5", "--csv", "-"}), kSuccess) << err.str();
  char text[1024] = {};
  ASSERT_GT(::read(ends[0], text, sizeof text - 1), 0);
  EXPECT_EQ(std::string(text).rfind("time,link,te_module_v,", 0), 0u) << text;
  EXPECT_EQ(std::count(text, text + std::strlen(text), '\n'), 3) << text;
  EXPECT_EQ(out.str(), "") << "no reading lines among the log's";
  ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
  while (::write(ends[1], text, sizeof text) > 0) {
  }
  EXPECT_EQ(run({"watch", "--count", "2", "--interval", "0.5", "--csv", "-"}), kSuccess);
  EXPECT_EQ(err.str(),
            "orvikctl: standard output does not take the readings as fast as they come; a line was dropped.\n"
            "orvikctl: 3 lines were dropped from standard output.\n");
  ::close(ends[0]);
  ::close(ends[1]);

  err.str("");
  ASSERT_EQ(run({"backup", "-"}), kSuccess) << err.str();
  EXPECT_EQ(out.str().rfind("{\n  \"format\": \"orvik-constants-backup\",", 0), 0u) << out.str();
  EXPECT_EQ(err.str().rfind("Backed up \"ORVIK SIM 0001\" to standard output:\nCalibration date:", 0), 0u)
      << err.str();
}

// Back up, trim, restore: the constants come back to the bit, only what differs is written, each write
// is read back, and the history holds the trim and the restore.
TEST_F(CliRig, ARestoreWritesBackOnlyWhatDiffersToTheBit) {
  model.setParameter(30, -1.5f);
  const std::string file = folder.path() + "/bay.json";
  ASSERT_EQ(run({"backup", file}), kSuccess) << err.str();
  EXPECT_EQ(out.str(),
            "Backed up \"ORVIK SIM 0001\" to " + file +
                ":\nCalibration date: 15-Feb-05\nBattery voltage gain: 1\nTE module voltage gain: 1\n"
                "Battery temperature gain: 1\nBattery temperature offset: -1.5\n");
  std::ifstream in(file);
  std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(json.substr(0, json.find("\"taken_at\"")) + json.substr(json.find("\"unit\"")),
            R"({
  "format": "orvik-constants-backup",
  "schema_version": 1,
  "program": "orvikctl )" +
                std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
                std::to_string(kVersionRevision) + R"(",
  "unit": {
    "tag": "ORVIK SIM 0001",
    "hardware_revision": 5,
    "software_revision": 12
  },
  "calibration_date": {
    "value": "15-Feb-05",
    "bytes": "00020F05"
  },
  "constants": [
    {
      "parameter": 18,
      "name": "Battery voltage gain",
      "value": "1",
      "bytes": "7F000000"
    },
    {
      "parameter": 22,
      "name": "TE module voltage gain",
      "value": "1",
      "bytes": "7F000000"
    },
    {
      "parameter": 26,
      "name": "Battery temperature gain",
      "value": "1",
      "bytes": "7F000000"
    },
    {
      "parameter": 30,
      "name": "Battery temperature offset",
      "value": "-1.5",
      "bytes": "7FC00000"
    }
  ]
}
)");
  ASSERT_EQ(run({"trim", "battery-volts", "--actual", "12.5", "--yes"}), kSuccess) << err.str();
  model.setParameter(30, 2.0f);
  const std::size_t before = model.requests().size();
  ASSERT_EQ(run({"restore", file, "--yes"}), kSuccess) << err.str();
  std::string restoreRequests;
  for (std::size_t i = before; i < model.requests().size(); ++i) {
    const auto& r = model.requests()[i];
    restoreRequests += std::string(1, static_cast<char>(r[0])) +
                       (r[0] == '>' || r[0] == 'C' ? "" : std::to_string(r[2])) + " ";
  }
  EXPECT_EQ(restoreRequests, "> C B0 B18 B22 B26 B30 =18 B18 =30 B30 ");
  EXPECT_EQ(model.parameter(18), (std::array<std::uint8_t, 4>{0x7F, 0, 0, 0}));
  EXPECT_EQ(model.parameter(30), (std::array<std::uint8_t, 4>{0x7F, 0xC0, 0, 0}));
  EXPECT_NE(out.str().find("TE module voltage gain: 1 now, 1 in the file (the same)\n"), std::string::npos);
  const auto rows = journal.history(std::string("ORVIK SIM 0001"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(service_record::RowTitle(rows[0]) + "|" + rows[0].before + "|" + rows[0].written + "|" +
                rows[0].writtenBytes + "|" + rows[0].source,
            "Restored: Battery temperature offset|2|-1.5|7FC00000|" + file);
  EXPECT_EQ(rows[1].change, link::ChangeKind::Restore);
  EXPECT_EQ(rows[2].change, link::ChangeKind::BatteryVoltsGain);
}

// Every refusal writes nothing; a file that cannot be used is refused before the controller is asked.
TEST_F(CliRig, ARestoreThatDoesNotFitTheUnitWritesNothing) {
  const std::string file = folder.path() + "/bay.json";
  ASSERT_EQ(run({"backup", file}), kSuccess) << err.str();
  model.setParameter(18, 1.25f);
  struct Case {
    std::function<void()> setUp;
    std::vector<std::string> extra;
    int exitCode;
    std::string message;
  };
  const auto rewrite = [&](const std::string& from, const std::string& to) {
    return [&, from, to] {
      std::ifstream in(file);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      text.replace(text.find(from), from.size(), to);
      std::ofstream(folder.path() + "/edited.json") << text;
    };
  };
  const Case cases[] = {
      {rewrite("{", "["), {}, kUsage, "cannot be restored: it is not a JSON document"},
      {rewrite("\"schema_version\": 1", "\"schema_version\": 2"), {}, kUsage, "its schema version is 2"},
      {rewrite("\"value\": \"1\"", "\"value\": \"-1\""),
       {},
       kUsage,
       "battery voltage gain is -1, not a positive"},
      {rewrite("\"7F000000\"", "\"FF000000\""), {}, kUsage, "(FF000000) do not decode"},
      {[&] { model.settings.hardwareRevision = 6; },
       {},
       kRefused,
       "hardware revision 5; this one is hardware revision 6"},
      {[&] { model.settings.tag = "BAY 9"; },
       {},
       kRefused,
       "taken from the unit \"ORVIK SIM 0001\", but the controller connected is \"BAY 9\""},
      {nullptr, {}, kRefused, "nothing written: without a terminal to ask on, confirm with --yes."},
  };
  for (const Case& c : cases) {
    std::ofstream(folder.path() + "/edited.json") << std::ifstream(file).rdbuf();
    err.str("");
    model.settings.hardwareRevision = 5;
    model.settings.tag = "ORVIK SIM 0001";
    if (c.setUp) c.setUp();
    const std::size_t asked = model.requests().size();
    std::vector<std::string> args{"restore", folder.path() + "/edited.json"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    EXPECT_EQ(run(args), c.exitCode) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    if (c.exitCode == kUsage) {
      EXPECT_EQ(model.requests().size(), asked) << "the controller was asked";
    }
    EXPECT_TRUE(model.writes().empty()) << c.message;
  }
  // Another unit's file, once the technician says so.
  model.settings.tag = "BAY 9";
  EXPECT_EQ(run({"restore", file, "--yes", "--other-unit"}), kSuccess) << err.str();
  EXPECT_EQ(model.parameterValue(18), 1.0f);
}

// A restore that stops part-way says which constants were written and read back, which one it stopped
// at and why, and which were not written; the service record holds what the controller holds.
TEST_F(CliRig, ARestoreCutShortSaysExactlyWhichConstantsWereWritten) {
  const std::string file = folder.path() + "/bay.json";
  ASSERT_EQ(run({"backup", file}), kSuccess);
  struct Row {
    const char* what;
    const char* from;  // done once these requests have come
    std::function<void()> midway;
    int exitCode;
    std::string said;
    const char* recordedTeGain;  // the bytes its row holds; "" for none (no acknowledgement came)
    bool mayHold;                // the controller may hold the new value, unconfirmed
  };
  const std::string mayHold =
      "The controller may hold the new TE module voltage gain all the same; read it before writing again.\n";
  const std::vector<Row> rows = {
      {"the line goes after the acknowledgement", "=22", [&] { model.faults.unplugAtMs = ui.nowMs(); },
       kNoAnswer,
       "Stopped at the TE module voltage gain: the controller acknowledged the write but did not answer its "
       "read-back.\n",
       "7F000000", true},
      {"the read-back differs", "=18 B18", [&] { model.faults.storesOtherValue = true; }, kNoAnswer,
       "Stopped at the TE module voltage gain: the controller holds 1 (bytes 7F000001) after 1 (bytes "
       "7F000000) was written.\n",
       "7F000001", false},
      {"Ctrl+C with the write on the line", "=18 B18",
       [&] {
         model.faults.answerDelay = 5s;
         stopAfter = true;
       },
       kInterrupted, "Stopped at the TE module voltage gain: interrupted while its write was on the line.\n",
       "", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    model = sim::ControllerModel();
    for (std::uint8_t p : link::parameter::kCalibrationConstants)
      model.setParameter(p, 2.0f);
    const std::size_t recorded = journal.history(std::nullopt).size();
    err.str("");
    stopAfter = false;
    midway.when = [&] { return requests().ends_with(row.from); };
    midway.then = row.midway;
    EXPECT_EQ(run({"restore", file, "--yes"}, row.exitCode == kInterrupted ? 2s : 20s), row.exitCode);
    EXPECT_EQ(err.str(), "orvikctl: " + row.said + "Written and read back: Battery voltage gain.\n" +
                             "Not written: Battery temperature gain, Battery temperature offset.\n" +
                             (row.mayHold ? mayHold : ""));
    const auto history = journal.history(std::nullopt);
    const bool teGainRecorded = row.recordedTeGain[0] != '\0';
    ASSERT_EQ(history.size() - recorded, teGainRecorded ? 2u : 1u);
    if (teGainRecorded) {
      EXPECT_EQ(history.front().writtenBytes, row.recordedTeGain);
    }
  }
}

// An undo asks again when the value is no longer the trim's, and never without a person to answer.
TEST_F(CliRig, AnUndoOfAValueChangedSinceNeedsAPersonsAnswer) {
  model.settings.rawBatteryMillivolts = 13250;
  ASSERT_EQ(run({"trim", "battery-volts", "--actual", "12.5", "--yes"}), kSuccess);
  model.setParameter(18, 0.5f);
  EXPECT_EQ(run({"undo", "1", "--yes"}), kRefused);
  EXPECT_NE(out.str().find("The battery voltage gain is now 0.5, not the 0.9433962 this trim wrote"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(model.writes().size(), 1u);
  console.terminal = true;
  console.answer = "y";
  EXPECT_EQ(run({"undo", "1", "--yes"}), kSuccess) << err.str();
  EXPECT_EQ(console.asked, "Write the value from before the trim all the same? [y/N] ");
  EXPECT_EQ(model.parameterValue(18), 1.0f);
  const auto row = journal.history(std::nullopt).front();
  EXPECT_EQ(service_record::RowTitle(row) + "|" + row.source, "Trim undone: Battery voltage gain|row 1");
  model.settings.tag = "BAY 9";
  EXPECT_EQ(run({"undo", "1", "--yes"}), kRefused);
  EXPECT_NE(
      err.str().find("Row 1 is a trim of the unit \"ORVIK SIM 0001\"; the controller connected is \"BAY 9\""),
      std::string::npos);
  // Renamed since the trim, it is still the trim's unit.
  model.settings.tag = "ORVIK SIM 0001";
  ASSERT_EQ(run({"tag"}), kSuccess);  // the link learns the tag back, as a fresh run would
  ASSERT_EQ(run({"tag", "BAY 7"}), kSuccess);
  EXPECT_EQ(run({"undo", "1", "--yes"}), kSuccess) << err.str();
  EXPECT_NE(out.str().find("Nothing to write: the controller holds the value from before the trim."),
            std::string::npos);
}

}  // namespace
}  // namespace orvik::cli
