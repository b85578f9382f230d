#include "link/status_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/alarm_text.h"
#include "link/controller_link.h"
#include "link/status_view.h"
#include "link/subs.h"

namespace orvik::link {
namespace {

using platform::Colour;
using platform::kCyan;
using platform::kGreen;
using platform::kRed;
using platform::kYellow;

FloatBytesArray enc(float value) {
  FloatBytesArray bytes{};
  FloatToBytes(value, bytes);
  return bytes;
}

const FloatBytesArray kMinusOne{0xFF, 0xFF, 0xFF, 0xFF};
const FloatBytesArray kExponent255{0xFF, 0x10, 0x00, 0x00};

// One status answer; every field is in the packet unless `length` (the checksum index) cuts it off.
struct Record {
  FloatBytesArray te = enc(13500), bat = enc(13200), temp = enc(77), setpoint = enc(14100);
  std::uint8_t mode = 1, alarm = 0, pwmHigh = 0x01, pwmLow = 0x90, hw = 5, sw = 12;
  std::uint8_t month = 2, day = 15, year = 5, length = 31;
};

void put(RunState& state, const Record& r) {
  auto& rx = state.RxBuffer;
  rx[0] = '>';
  for (auto [index, bytes] :
       {std::pair{2, r.te}, {6, r.bat}, {10, FloatBytesArray{}}, {14, r.temp}, {18, r.setpoint}})
    std::copy(bytes.begin(), bytes.end(), rx.begin() + index);
  const std::uint8_t tail[] = {r.mode, r.alarm, r.pwmHigh, r.pwmLow, r.hw, r.sw, r.month, r.day, r.year};
  std::copy(std::begin(tail), std::end(tail), rx.begin() + 22);
  rx[1] = r.length;
  rx[r.length] = PacketChecksum(rx);
}

// The live display as it starts, fed one record after another.
struct LiveDisplay {
  void decode(const Record& r) {
    put(state, r);
    const StatusRecord record = DecodeStatusRecord(state.RxBuffer);
    TakeLiveValues(state, record);
    view = StatusView(record, view);
  }
  FieldText operator[](const std::string& name) const {
    if (name == "te") return view.teVolts;
    if (name == "bat") return view.batVolts;
    if (name == "temp") return view.batTemp;
    if (name == "setpoint") return view.setpoint;
    if (name == "mode") return view.chargeMode;
    if (name == "pwm") return view.pwm;
    if (name == "alarm") return {view.alarm};
    if (name == "hw") return {view.revHardware};
    if (name == "sw") return {view.revSoftware};
    return {view.calDate};
  }
  static inline const std::vector<std::string> kNames = {"te",    "bat", "temp", "setpoint", "mode",
                                                         "alarm", "pwm", "hw",   "sw",       "cal"};

  LiveView view;
  RunState state;
};

struct Shown {
  std::string label;
  std::string text;
  std::optional<Colour> colour = std::nullopt;
};

struct Row {
  std::string what;
  std::vector<Record> records;  // decoded in turn; the expectations hold after the last
  std::vector<Shown> shown;
};

// A record decoded after one that reported hardware revision `revision`.
std::vector<Record> atRevision(std::uint8_t revision, Record r) {
  Record before;
  before.hw = revision;
  return {before, r};
}

const std::string kOpen =
    "\rWARNING! Battery temperature sensor failure - circuit is open. Battery charge setpoint set to "
    "default.";
const std::string kShorted =
    "\rWARNING! Battery temperature sensor failure - circuit is shorted. Battery charge setpoint set to "
    "default.";
const std::string kDeg = std::string(" \xC2\xB0") + "F";  // the degree sign in UTF-8

TEST(StatusView, ShowsEachRecordAsTheTechnicianExpects) {
  const std::vector<Row> rows = {
      {"typical record",
       {Record{}},
       {{"te", "13.500 V", kGreen},
        {"bat", "13.20 V"},
        {"temp", "77" + kDeg},
        {"setpoint", "14.10 V"},
        {"mode", "Charging", kGreen},
        {"alarm", ""},
        {"pwm", "61%"},
        {"hw", "5"},
        {"sw", "12"},
        {"cal", "15-Feb-05"}}},
      {"rev 5: over 15 V", atRevision(5, {.te = enc(15500)}), {{"te", "ERROR", kRed}}},
      {"rev 5: exactly 15 V", atRevision(5, {.te = enc(15000)}), {{"te", "15.000 V", kGreen}}},
      {"rev 5: low output", atRevision(5, {.te = enc(3999)}), {{"te", "3.999 V", kYellow}}},
      {"rev 5: 4 V is not low", atRevision(5, {.te = enc(4000)}), {{"te", "4.000 V", kGreen}}},
      {"rev 4: low output not flagged", atRevision(4, {.te = enc(3999)}), {{"te", "3.999 V", kGreen}}},
      {"rev 4: over 15 V", atRevision(4, {.te = enc(15001)}), {{"te", "ERROR", kRed}}},
      {"first record judged as rev 0",
       {{.te = enc(3999), .alarm = 2, .hw = 5}},
       {{"te", "3.999 V", kGreen}, {"alarm", ""}, {"hw", "5"}}},
      {"negative TE clamps to 0", atRevision(4, {.te = enc(-250)}), {{"te", "0.000 V", kGreen}}},
      {"rounding half away, shortest form",
       {{.bat = enc(1005), .setpoint = enc(14125)}},
       {{"bat", "1.01 V"}, {"setpoint", "14.13 V"}}},
      {"temperatures", {{.temp = enc(-2.5f)}}, {{"temp", "-3" + kDeg}}},
      {"temperature near zero", {{.temp = enc(-0.4f)}}, {{"temp", "0" + kDeg}}},
      {"mode 0", {{.mode = 0}}, {{"mode", "Trickle", kGreen}}},
      {"mode 2", {{.mode = 2}}, {{"mode", "Starting", kYellow}}},
      {"mode 3", {{.mode = 3}}, {{"mode", "Warming", kCyan}}},
      {"mode 4", {{.mode = 4}}, {{"mode", "DISABLED", kRed}}},
      {"unknown mode keeps caption", {{.mode = 2}, {.mode = 7}}, {{"mode", "Starting", kYellow}}},
      {"open sensor, rev 5, alarm 6",
       atRevision(5, {.temp = enc(-50), .alarm = 6}),
       {{"alarm", AlarmText(6)}, {"temp", "-50" + kDeg}}},
      {"open sensor, rev 4, alarm 6", atRevision(4, {.temp = enc(-50), .alarm = 6}), {{"alarm", kOpen}}},
      {"open sensor, rev 5, no alarm", atRevision(5, {.temp = enc(-50)}), {{"alarm", kOpen}}},
      {"shorted sensor", atRevision(4, {.temp = enc(150)}), {{"alarm", kShorted}}},
      {"an alarm code without a message keeps the sensor warning",
       atRevision(5, {.temp = enc(150), .alarm = 7}),
       {{"alarm", kShorted}}},
      {"an alarm code without a message clears an earlier alarm",
       {{.alarm = 2, .hw = 5}, {.alarm = 9, .hw = 5}},
       {{"alarm", ""}}},
      {"149.9 is no warning", {{.temp = enc(-50)}, {.temp = enc(149.9f)}}, {{"alarm", ""}}},
      {"unknown alarm code", atRevision(5, {.alarm = 12}), {{"alarm", "Unknow Error Code,  12"}}},
      {"PWM 03 F5", {{.pwmHigh = 0x03, .pwmLow = 0xF5}}, {{"pwm", "0%"}}},
      {"PWM 03 F4", {{.pwmHigh = 0x03, .pwmLow = 0xF4}}, {{"pwm", "1%"}}},
      {"PWM 00 00", {{.pwmHigh = 0, .pwmLow = 0}}, {{"pwm", "100%"}}},
      {"PWM high byte 0x80 kept out", {{}, {.pwmHigh = 0x80, .pwmLow = 0}}, {{"pwm", "61%"}}},
      {"revisions", {{.hw = 7, .sw = 123}}, {{"hw", "7"}, {"sw", "123"}}},
      {"5 March 2003", {{.month = 3, .day = 5, .year = 3}}, {{"cal", "05-Mar-03"}}},
      {"month 13", {{.month = 13, .day = 1, .year = 5}}, {{"cal", "NO CALIBRATION"}}},
      {"year 0", {{.month = 2, .day = 15, .year = 0}}, {{"cal", "NO CALIBRATION"}}},
      {"day 0", {{.month = 2, .day = 0, .year = 5}}, {{"cal", "NO CALIBRATION"}}},
      {"day 32", {{.month = 1, .day = 32, .year = 5}}, {{"cal", "NO CALIBRATION"}}},
      {"year 30", {{.month = 1, .day = 1, .year = 30}}, {{"cal", "01-Jan-30"}}},
      {"31 Dec 99", {{.month = 12, .day = 31, .year = 99}}, {{"cal", "31-Dec-99"}}},
      {"31 February shown as stored", {{.month = 2, .day = 31, .year = 5}}, {{"cal", "31-Feb-05"}}},
      {"FF FF FF FF floats",
       atRevision(5, {.te = kMinusOne, .bat = kMinusOne, .temp = kMinusOne, .setpoint = kMinusOne}),
       {{"te", "0.000 V", kYellow}, {"bat", "0.00 V"}, {"temp", "-1" + kDeg}, {"setpoint", "0.00 V"}}},
      {"exponent 255 skips TE only",
       {{}, {.te = kExponent255, .bat = enc(12000), .alarm = 3, .hw = 6}},
       {{"te", "13.500 V", kGreen}, {"bat", "12.00 V"}, {"alarm", AlarmText(3)}, {"hw", "6"}}},
      {"exponent 255 skips temperature only",
       {{.temp = enc(-50)}, {.temp = kExponent255, .setpoint = enc(13000)}},
       {{"temp", "-50" + kDeg}, {"alarm", kOpen}, {"setpoint", "13.00 V"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    LiveDisplay display;
    for (const auto& record : row.records)
      display.decode(record);
    for (const auto& s : row.shown) {
      EXPECT_EQ(display[s.label].text, s.text) << s.label;
      if (s.colour) {
        EXPECT_EQ(display[s.label].colour, s.colour) << s.label;
      }
    }
  }
}

// Bytes past the checksum index are left over from an older packet: they are never shown. The sensor
// warning follows the temperature alone, even in a record too short for the alarm code.
TEST(StatusView, ShortRecordKeepsTheFieldsItDoesNotHold) {
  const Record changed{.te = enc(12000),
                       .bat = enc(12500),
                       .temp = enc(150),
                       .setpoint = enc(13000),
                       .mode = 4,
                       .alarm = 5,
                       .pwmHigh = 0,
                       .pwmLow = 0,
                       .hw = 9,
                       .sw = 40,
                       .month = 13,
                       .day = 1,
                       .year = 5};
  struct Cut {
    std::uint8_t length;
    std::vector<std::string> updated;  // every other field keeps the first record's text
    std::optional<std::string> alarm = std::nullopt;
  };
  const std::vector<Cut> cuts = {
      {2, {}},
      {6, {"te"}},
      {17, {"te", "bat"}},
      {18, {"te", "bat", "temp"}, kShorted},
      {22, {"te", "bat", "temp", "setpoint"}, kShorted},
      {23, {"te", "bat", "temp", "setpoint", "mode"}, kShorted},
      {24, {"te", "bat", "temp", "setpoint", "mode", "alarm"}},
      {27, {"te", "bat", "temp", "setpoint", "mode", "alarm", "pwm", "hw"}},
      {30, {"te", "bat", "temp", "setpoint", "mode", "alarm", "pwm", "hw", "sw"}},
      {31, {"te", "bat", "temp", "setpoint", "mode", "alarm", "pwm", "hw", "sw", "cal"}},
  };
  LiveDisplay full;
  full.decode({});
  full.decode(changed);
  for (const auto& cut : cuts) {
    SCOPED_TRACE("length " + std::to_string(cut.length));
    LiveDisplay display;
    display.decode({.temp = enc(-50)});
    const LiveDisplay first = display;
    Record r = changed;
    r.length = cut.length;
    display.decode(r);
    for (const auto& name : LiveDisplay::kNames) {
      const bool updated = std::find(cut.updated.begin(), cut.updated.end(), name) != cut.updated.end();
      const std::string expected =
          name == "alarm" && cut.alarm ? *cut.alarm : (updated ? full : first)[name].text;
      EXPECT_EQ(display[name].text, expected) << name;
    }
  }
}

TEST(StatusView, KeepsLiveValuesOfFieldsThatDoNotDecode) {
  LiveDisplay display;
  display.decode({.te = kMinusOne, .bat = kMinusOne, .temp = kMinusOne, .setpoint = kMinusOne});
  EXPECT_EQ(display.state.TEvolts, 0.0f);
  EXPECT_EQ(display.state.BatVolts, -0.001f);
  EXPECT_EQ(display.state.BatTemp, -1.0f);
  EXPECT_EQ(display.state.Setpoint, -0.001f);
  EXPECT_EQ(display.state.PWMvalue, 400);
  EXPECT_EQ(display.state.FloatBytes, kMinusOne);

  display.decode({.te = kExponent255, .setpoint = enc(14500), .pwmHigh = 0x80, .pwmLow = 0x01});
  EXPECT_EQ(display.state.TEvolts, 0.0f);
  EXPECT_EQ(display.state.BatVolts, 13.2f);
  EXPECT_EQ(display.state.Setpoint, 14.5f);
  EXPECT_EQ(display.state.PWMvalue, 400);
  EXPECT_EQ(display.state.FloatBytes, enc(14500)) << "after a full record FloatBytes holds the setpoint";

  display.decode({.temp = enc(81), .length = 17});
  EXPECT_EQ(display.state.BatTemp, 77.0f) << "temperature bytes 14..17 reach the checksum index";
}

TEST(CalibrationDate, GivesTheFullYearOrNothing) {
  EXPECT_EQ(CalibrationDate(2, 15, 5), (platform::Date{2005, 2, 15}));
  EXPECT_EQ(CalibrationDate(1, 1, 29), (platform::Date{2029, 1, 1}));
  EXPECT_EQ(CalibrationDate(1, 1, 30), (platform::Date{1930, 1, 1}));
  EXPECT_EQ(CalibrationDate(2, 31, 5), (platform::Date{2005, 2, 31}));
  EXPECT_EQ(CalibrationDate(12, 31, 99), (platform::Date{1999, 12, 31}));
  EXPECT_EQ(CalibrationDate(13, 1, 5), std::nullopt);
  EXPECT_EQ(CalibrationDate(0, 1, 5), std::nullopt);
  EXPECT_EQ(CalibrationDate(2, 15, 0), std::nullopt);
  EXPECT_EQ(CalibrationDate(2, 15, 100), std::nullopt);
}

}  // namespace
}  // namespace orvik::link
