#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/date.h"

namespace orvik::link {

// Indices of the status record's fields in a packet; a float field takes four bytes from its index.
namespace status_record {
inline constexpr int kTeMillivolts = 2;
inline constexpr int kBatteryMillivolts = 6;
inline constexpr int kBatteryTemperature = 14;  // degrees Fahrenheit
inline constexpr int kSetpointMillivolts = 18;
inline constexpr int kChargeMode = 22;
inline constexpr int kAlarmCode = 23;
inline constexpr int kPwmHigh = 24;
inline constexpr int kPwmLow = 25;
inline constexpr int kHardwareRevision = 26;
inline constexpr int kSoftwareRevision = 27;
inline constexpr int kCalibrationMonth = 28;
inline constexpr int kCalibrationDay = 29;
inline constexpr int kCalibrationYear = 30;
}  // namespace status_record

// One status answer as plain values. A field is absent when the record ends (at its checksum index) before
// the field's last byte, or when its bytes do not convert: a float with exponent byte 255, a PWM count
// that does not fit a signed 16-bit number.
struct StatusRecord {
  std::optional<float> teVolts;   // volts; a negative reading is 0
  std::optional<float> batVolts;  // volts
  std::optional<float> batTemp;   // degrees Fahrenheit; exactly -50 and 150 mark a failed sensor
  std::optional<float> setpoint;  // volts
  std::optional<std::uint8_t> chargeMode;
  std::optional<std::uint8_t> alarmCode;
  std::optional<std::int16_t> pwmCount;
  std::optional<std::uint8_t> hardwareRevision;
  std::optional<std::uint8_t> softwareRevision;
  struct CalibrationBytes {
    std::uint8_t month = 0, day = 0, year = 0;
  };
  std::optional<CalibrationBytes> calibration;
  // Index of the last float field decoded, whose four bytes the controller float hand-over keeps.
  int lastFloatIndex = -1;
};

// The battery temperatures the controller reports for a failed sensor: an open circuit reads exactly
// -50 °F, a shorted one exactly 150 °F.
inline constexpr float kOpenSensorReading = -50;
inline constexpr float kShortedSensorReading = 150;
constexpr bool SensorFailed(float batteryTemp) {
  return batteryTemp == kOpenSensorReading || batteryTemp == kShortedSensorReading;
}

// The record in `packet` (code byte at 0, checksum index at 1).
StatusRecord DecodeStatusRecord(std::span<const std::uint8_t> packet);

// The calibration date the controller stores as month, day and two-digit year, with the full year;
// none when a part is out of range (0 < month <= 12, 0 < day <= 31, 0 < year <= 99). The day is not
// checked against its month.
std::optional<platform::Date> CalibrationDate(std::uint8_t month, std::uint8_t day,
                                              std::uint8_t twoDigitYear);

}  // namespace orvik::link
