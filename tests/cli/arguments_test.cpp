// orvikctl's command line: what each form asks for, and the exit status of those it refuses.
#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace orvik::cli {
namespace {

struct ArgumentCase {
  std::vector<std::string> args;
  int exitCode;
  std::function<bool(const Invocation&)> check;  // for an invocation: what it must hold
  std::string text = "";                         // for a refusal or help: in stderr or stdout
};

void PrintTo(const ArgumentCase& c, std::ostream* os) {
  for (const std::string& arg : c.args)
    *os << arg << ' ';
}

class Arguments : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(Arguments, AreReadAsTheySay) {
  const ArgumentCase& c = GetParam();
  const Parsed parsed = parseArguments(c.args);
  EXPECT_EQ(parsed.exitCode, c.exitCode) << parsed.err;
  EXPECT_EQ(parsed.invocation.has_value(), c.check != nullptr) << parsed.err;
  if (parsed.invocation && c.check) {
    EXPECT_TRUE(c.check(*parsed.invocation));
  }
  EXPECT_NE((parsed.out + parsed.err).find(c.text), std::string::npos) << parsed.out << parsed.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Arguments,
    ::testing::Values(
        ArgumentCase{{}, kUsage, nullptr, "orvikctl: a command is required"},
        // A word nothing takes is named, with the nearest command or option, before anything it caused.
        ArgumentCase{
            {"stat"}, kUsage, nullptr, "'stat' is not an orvikctl command; did you mean 'status'?\n"},
        ArgumentCase{{"bogus"}, kUsage, nullptr, "'bogus' is not an orvikctl command\nRun 'orvikctl --help'"},
        ArgumentCase{{"re"}, kUsage, nullptr, "did you mean 'read', 'report', 'reset-log' or 'restore'?"},
        ArgumentCase{{"--bogus"}, kUsage, nullptr, "'--bogus' is not an orvikctl option\n"},
        ArgumentCase{
            {"--json", "status"}, kUsage, nullptr, "'--json' is an option of 'orvikctl status': give"},
        ArgumentCase{{"status", "--jsn"},
                     kUsage,
                     nullptr,
                     "'--jsn' is not an option of 'orvikctl status'; did you mean '--json'?"},
        ArgumentCase{
            {"trim", "battery-volts", "--actul", "12.5"}, kUsage, nullptr, "did you mean '--actual'?"},
        ArgumentCase{{"help"}, kSuccess, nullptr, "  reset-log "},
        ArgumentCase{{"help", "trim"}, kSuccess, nullptr, "Usage: orvikctl trim [OPTIONS] QUANTITY"},
        ArgumentCase{
            {"help", "stats"}, kUsage, nullptr, "'stats' is not an orvikctl command; did you mean 'status'?"},
        ArgumentCase{{"--help"}, kSuccess, nullptr, "orvikctl trim battery-volts --actual 12.5"},
        ArgumentCase{{"--help"}, kSuccess, nullptr, "tcp://HOST:PORT or rfc2217://HOST:PORT"},
        ArgumentCase{{"trim", "--help"}, kSuccess, nullptr, "Write? [y/N]"},
        ArgumentCase{{"--version"}, kSuccess, nullptr, "orvikctl 1."},
        ArgumentCase{{"status", "--json", "--device", "/dev/ttyUSB0"},
                     kSuccess,
                     [](const Invocation& i) {
                       return i.command == Command::Status && i.json && i.device == "/dev/ttyUSB0";
                     }},
        ArgumentCase{{"--comm", "2", "--comm2", "/dev/ttyACM0", "watch", "--interval", "0.5", "--count", "3"},
                     kSuccess,
                     [](const Invocation& i) {
                       return i.comm == 2 && i.commDevices[1] == "/dev/ttyACM0" && i.intervalSeconds == 0.5 &&
                              i.count == 3;
                     }},
        ArgumentCase{
            {"read", "temp-offset"}, kSuccess, [](const Invocation& i) { return i.parameter == 30; }},
        ArgumentCase{{"read", "255"}, kSuccess, [](const Invocation& i) { return i.parameter == 255; }},
        ArgumentCase{{"trim", "battery-temp", "--actual", "-5"},
                     kSuccess,
                     [](const Invocation& i) {
                       return i.trim == calibration::TrimKind::BatteryTemp && i.actual == "-5";
                     }},
        ArgumentCase{{"tag"}, kSuccess, [](const Invocation& i) { return !i.newTag; }},
        ArgumentCase{{"tag", "BAY 4", "--yes"},
                     kSuccess,
                     [](const Invocation& i) { return i.newTag == "BAY 4" && i.yes; }},
        ArgumentCase{{"watch", "--json"}, kSuccess, [](const Invocation& i) { return i.json; }},
        ArgumentCase{
            {"watch", "--json", "--csv", "-"}, kUsage, nullptr, "--json: standard output carries the log"},
        ArgumentCase{{"cal-date", "2026-12-07", "-y"},
                     kSuccess,
                     [](const Invocation& i) { return i.date == "2026-12-07" && i.yes; }},
        ArgumentCase{{"--comm", "5", "status"}, kUsage, nullptr, "--comm"},
        ArgumentCase{{"--device", "/dev/ttyUSB0", "--comm", "1", "status"}, kUsage, nullptr, "excludes"},
        ArgumentCase{{"--device", "", "restore", "f.json", "--yes"}, kUsage, nullptr, "names no device"},
        ArgumentCase{{"--comm1", "", "status"}, kUsage, nullptr, "names no device"},
        ArgumentCase{{"read", "256"}, kUsage, nullptr, "battery-gain (18)"},
        ArgumentCase{{"trim", "battery-volts"}, kUsage, nullptr, "--actual"},
        ArgumentCase{{"trim", "volts", "--actual", "12"}, kUsage, nullptr, "QUANTITY"},
        ArgumentCase{{"watch", "--interval", "0.1"}, kUsage, nullptr, "--interval"},
        ArgumentCase{{"watch", "--interval", "nan"}, kUsage, nullptr, "'nan' is no number of seconds"},
        // Every number is read whole by the one reader: no NaN, infinity, hex, fraction or sign.
        ArgumentCase{{"watch", "--interval", "inf"}, kUsage, nullptr, "--interval: 'inf' is no number"},
        ArgumentCase{
            {"watch", "--count", "nan"}, kUsage, nullptr, "--count: 'nan' is no whole number from 1"},
        ArgumentCase{{"watch", "--count", "2.5"}, kUsage, nullptr, "--count: '2.5' is no whole number"},
        ArgumentCase{{"watch", "--count", "0x10"}, kUsage, nullptr, "--count: '0x10' is no whole number"},
        ArgumentCase{{"watch", "--count", "1e9"}, kUsage, nullptr, "--count: '1e9' is no whole number"},
        ArgumentCase{
            {"--comm", "+2", "status"}, kUsage, nullptr, "--comm: '+2' is no whole number from 1 to 4"},
        ArgumentCase{
            {"status", "extra"}, kUsage, nullptr, "'extra' is an argument too many for 'orvikctl status'"},
        ArgumentCase{{"--yes", "restore", "bay.json"},
                     kUsage,
                     nullptr,
                     "'--yes' is an option of 'orvikctl restore': give it after the command"},
        ArgumentCase{{"restore", "bay.json", "--other-unit"},
                     kSuccess,
                     [](const Invocation& i) { return i.otherUnit && !i.yes && i.backupFile == "bay.json"; }},
        ArgumentCase{
            {"undo", "0"}, kUsage, nullptr, "'0' is no row id; give the id column of orvikctl history"}));

}  // namespace
}  // namespace orvik::cli
