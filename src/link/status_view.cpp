#include "link/status_view.h"

#include <iterator>

#include "link/alarm_text.h"
#include "link/display_format.h"

namespace orvik::link {

namespace {

constexpr float kMaxTeVolts = 15;
// From hardware revision 5 on, low TE output is flagged and the controller's alarm codes are shown.
constexpr double kFirstRevisionFlaggingLowTe = 5;
constexpr double kLastRevisionWithoutAlarmCodes = 4;
constexpr float kLowTeVolts = 4;
// PWM counts at or above this drive the output at 0 %.
constexpr int kPwmFullOff = 1013;
constexpr int kPwmRange = 1023;
constexpr double kPercentPerPwmCount = 0.09775;
// The leading carriage return puts a warning on a line of its own.
constexpr const char* kOpenSensorWarning =
    "\rWARNING! Battery temperature sensor failure - circuit is open. "
    "Battery charge setpoint set to default.";
constexpr const char* kShortedSensorWarning =
    "\rWARNING! Battery temperature sensor failure - circuit is shorted. "
    "Battery charge setpoint set to default.";

std::string volts(float value, int decimals) {
  return formatFixed(value, decimals) + " V";
}

FieldText teVoltsText(float te, double revision) {
  if (te > kMaxTeVolts) return {"ERROR", platform::kRed};
  const bool low = revision >= kFirstRevisionFlaggingLowTe && te < kLowTeVolts;
  return {volts(te, kTeVoltsDecimals), low ? platform::kYellow : platform::kGreen};
}

std::string sensorWarning(float batTemp) {
  if (batTemp == kOpenSensorReading) return kOpenSensorWarning;
  if (batTemp == kShortedSensorReading) return kShortedSensorWarning;
  return "";
}

std::string pwmText(std::int16_t count) {
  if (count >= kPwmFullOff) return "0%";
  return formatWholeOrBlank(ControlPercent(count)) + "%";
}

}  // namespace

double ControlPercent(std::int16_t count) {
  return count >= kPwmFullOff ? 0.0 : (kPwmRange - count) * kPercentPerPwmCount;
}

std::optional<FieldText> ChargeModeText(std::uint8_t mode) {
  static constexpr struct {
    const char* text;
    platform::Colour colour;
  } kModes[] = {{"Trickle", platform::kGreen},
                {"Charging", platform::kGreen},
                {"Starting", platform::kYellow},
                {"Warming", platform::kCyan},
                {"DISABLED", platform::kRed}};
  if (mode >= std::size(kModes)) return std::nullopt;
  return FieldText{kModes[mode].text, kModes[mode].colour};
}

double ShownRevision(const LiveView& view) {
  return leadingNumber(view.revHardware);
}

LiveView StatusView(const StatusRecord& r, const LiveView& previous) {
  LiveView v = previous;
  const double revision = ShownRevision(previous);
  if (r.teVolts) v.teVolts = teVoltsText(*r.teVolts, revision);
  if (r.batVolts) v.batVolts.text = volts(*r.batVolts, kVoltsDecimals);
  if (r.batTemp) v.batTemp.text = formatFahrenheit(*r.batTemp);
  if (r.setpoint) v.setpoint.text = volts(*r.setpoint, kVoltsDecimals);
  if (r.chargeMode) v.chargeMode = ChargeModeText(*r.chargeMode).value_or(v.chargeMode);
  // The sensor warning follows the temperature alone; the controller's alarm, where the hardware reports
  // one, replaces it. Codes without a message must not blank out a sensor warning.
  if (r.batTemp) v.alarm = sensorWarning(*r.batTemp);
  if (r.alarmCode && revision > kLastRevisionWithoutAlarmCodes && *r.alarmCode != 0) {
    if (std::string text = AlarmText(*r.alarmCode); !text.empty()) v.alarm = std::move(text);
  }
  if (r.pwmCount) v.pwm.text = pwmText(*r.pwmCount);
  if (r.hardwareRevision) v.revHardware = std::to_string(*r.hardwareRevision);
  if (r.softwareRevision) v.revSoftware = std::to_string(*r.softwareRevision);
  if (r.calibration) {
    const auto& c = *r.calibration;
    // A day its month lacks (31 Feb) is shown as stored, not rolled over: the technician must see what the
    // controller holds.
    const auto date = CalibrationDate(c.month, c.day, c.year);
    v.calDate = date ? mediumDate(*date) : "NO CALIBRATION";
  }
  return v;
}

}  // namespace orvik::link
