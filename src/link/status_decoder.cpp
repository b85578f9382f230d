#include "link/status_decoder.h"

#include <algorithm>
#include <limits>
#include <string>

#include "link/alarm_text.h"
#include "link/controller_link.h"
#include "link/display_format.h"
#include "link/subs.h"
#include "platform/colour.h"

namespace orvik::link {

namespace {

namespace field = status_record;

constexpr float kMaxTeVolts = 15;
// From hardware revision 5 on, low TE output is flagged and the controller's alarm codes are shown.
constexpr double kFirstRevisionFlaggingLowTe = 5;
constexpr double kLastRevisionWithoutAlarmCodes = 4;
constexpr float kLowTeVolts = 4;
constexpr float kOpenSensorReading = -50;
constexpr float kShortedSensorReading = 150;
// PWM counts at or above this drive the output at 0 %.
constexpr int kPwmFullOff = 1013;
constexpr int kPwmRange = 1023;
constexpr double kPercentPerPwmCount = 0.09775;
constexpr const char* kDegreesFahrenheit = " \u00B0F";
// The leading carriage return puts a warning on a line of its own.
constexpr const char* kOpenSensorWarning =
    "\rWARNING! Battery temperature sensor failure - circuit is open. "
    "Battery charge setpoint set to default.";
constexpr const char* kShortedSensorWarning =
    "\rWARNING! Battery temperature sensor failure - circuit is shorted. "
    "Battery charge setpoint set to default.";

// Whether the record ends (at its checksum index L) after the byte at `lastIndex`, so the field is part
// of this packet rather than left over from an older one.
bool holds(const RunState& state, int lastIndex) {
  return lastIndex < state.RxBuffer[1];
}

// The float at `index`, passed through FloatBytes as every controller float is.
float floatAt(RunState& state, int index) {
  const auto first = state.RxBuffer.begin() + index;
  std::copy(first, first + 4, state.FloatBytes.begin());
  return FloatFromBytes(state.FloatBytes);
}

std::string volts(float value, int decimals) {
  return formatFixed(value, decimals) + " V";
}

void showChargeMode(platform::Label& label, std::uint8_t mode) {
  struct Mode {
    const char* text;
    platform::Colour colour;
  };
  static constexpr Mode kModes[] = {{"Trickle", platform::kGreen},
                                    {"Charging", platform::kGreen},
                                    {"Starting", platform::kYellow},
                                    {"Warming", platform::kCyan},
                                    {"DISABLED", platform::kRed}};
  if (mode >= std::size(kModes)) return;  // an unknown mode leaves the field as it was
  label.setText(kModes[mode].text);
  label.setForeColor(kModes[mode].colour);
}

}  // namespace

std::optional<platform::Date> CalibrationDate(std::uint8_t month, std::uint8_t day,
                                              std::uint8_t twoDigitYear) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || twoDigitYear < 1 || twoDigitYear > 99)
    return std::nullopt;
  return platform::Date{fullYear(twoDigitYear), month, day};
}

void DecodeStatusRecord(RunState& state, const LiveLabels& labels) {
  const auto& rx = state.RxBuffer;
  // lblRevHardware still shows the previous record's revision: this record's is taken last.
  const double revision = leadingNumber(labels.lblRevHardware.text());

  guardStep([&] {
    if (!holds(state, field::kTeMillivolts + 3)) return;
    const float te = std::max(floatAt(state, field::kTeMillivolts) / 1000.0f, 0.0f);
    state.TEvolts = te;
    auto& label = labels.lblTEvolts;
    if (te > kMaxTeVolts) {
      label.setForeColor(platform::kRed);
      label.setText("ERROR");
      return;
    }
    const bool low = revision >= kFirstRevisionFlaggingLowTe && te < kLowTeVolts;
    label.setForeColor(low ? platform::kYellow : platform::kGreen);
    label.setText(volts(te, 3));
  });

  guardStep([&] {
    if (!holds(state, field::kBatteryMillivolts + 3)) return;
    state.BatVolts = floatAt(state, field::kBatteryMillivolts) / 1000.0f;
    labels.lblBatVolts.setText(volts(state.BatVolts, 2));
  });

  guardStep([&] {
    if (!holds(state, field::kBatteryTemperature + 3)) return;
    state.BatTemp = floatAt(state, field::kBatteryTemperature);
    labels.lblBatTemp.setText(formatFixed(state.BatTemp, 0) + kDegreesFahrenheit);
  });

  guardStep([&] {
    if (!holds(state, field::kSetpointMillivolts + 3)) return;
    state.Setpoint = floatAt(state, field::kSetpointMillivolts) / 1000.0f;
    labels.lblSetpoint.setText(volts(state.Setpoint, 2));
  });

  guardStep([&] {
    if (!holds(state, field::kChargeMode)) return;
    showChargeMode(labels.lblChargeMode, rx[field::kChargeMode]);
  });

  // The alarm line shows a sensor warning, replaced by the controller's alarm where the hardware reports
  // one. It is left alone by a record without the alarm code, which would otherwise wipe a standing alarm.
  const bool holdsAlarm = holds(state, field::kAlarmCode);
  guardStep([&] {
    if (!holdsAlarm) return;
    if (state.BatTemp == kOpenSensorReading) {
      labels.lblAlarmCode.setText(kOpenSensorWarning);
    } else if (state.BatTemp == kShortedSensorReading) {
      labels.lblAlarmCode.setText(kShortedSensorWarning);
    } else {
      labels.lblAlarmCode.setText("");
    }
  });

  guardStep([&] {
    if (!holdsAlarm) return;
    const std::uint8_t code = rx[field::kAlarmCode];
    if (revision <= kLastRevisionWithoutAlarmCodes || code == 0) return;
    // Codes without a message must not blank out a sensor warning.
    if (std::string text = AlarmText(code); !text.empty()) labels.lblAlarmCode.setText(text);
  });

  guardStep([&] {
    if (!holds(state, field::kPwmLow)) return;
    const int count = rx[field::kPwmHigh] * 256 + rx[field::kPwmLow];
    // The count is a signed 16-bit number: a high byte of 128 or more does not fit and is not shown.
    if (count > std::numeric_limits<std::int16_t>::max()) return;
    state.PWMvalue = static_cast<std::int16_t>(count);
    labels.lblPWMvalue.setText(state.PWMvalue < kPwmFullOff
                                   ? formatWholeOrBlank((kPwmRange - state.PWMvalue) * kPercentPerPwmCount) +
                                         "%"
                                   : "0%");
  });

  guardStep([&] {
    if (!holds(state, field::kHardwareRevision)) return;
    labels.lblRevHardware.setText(std::to_string(rx[field::kHardwareRevision]));
  });

  guardStep([&] {
    if (!holds(state, field::kSoftwareRevision)) return;
    labels.lblRevSoftware.setText(std::to_string(rx[field::kSoftwareRevision]));
  });

  guardStep([&] {
    if (!holds(state, field::kCalibrationYear)) return;
    const auto date = CalibrationDate(rx[field::kCalibrationMonth], rx[field::kCalibrationDay],
                                      rx[field::kCalibrationYear]);
    // A day its month lacks (31 Feb) is shown as stored, not rolled over: the technician must see what the
    // controller holds.
    labels.lblCalDate.setText(date ? mediumDate(*date) : "NO CALIBRATION");
  });
}

}  // namespace orvik::link
