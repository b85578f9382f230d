#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orvik::link::parameter {

// The controller's numbered parameters, read with "B" and written with "=".
inline constexpr std::uint8_t kCalibrationDate = 0;  // raw bytes 0, month, day, two-digit year
inline constexpr std::uint8_t kBatteryVoltsGain = 18;
inline constexpr std::uint8_t kTeVoltsGain = 22;
inline constexpr std::uint8_t kBatteryTempGain = 26;
inline constexpr std::uint8_t kBatteryTempOffset = 30;  // degrees Fahrenheit
inline constexpr std::uint8_t kShutdownStatus = 100;
inline constexpr std::uint8_t kShutdownTeVolts = 104;       // millivolts
inline constexpr std::uint8_t kShutdownBatteryVolts = 108;  // millivolts
inline constexpr std::uint8_t kShutdownBatteryTemp = 116;   // degrees Fahrenheit

// The calibration constants, in the order the report shows them: what a backup holds.
inline constexpr std::array<std::uint8_t, 4> kCalibrationConstants{kBatteryVoltsGain, kTeVoltsGain,
                                                                   kBatteryTempGain, kBatteryTempOffset};

// A calibration constant's name for a person; empty for any other parameter.
constexpr std::string_view ConstantTitle(std::uint8_t parameter) {
  switch (parameter) {
    case kBatteryVoltsGain:
      return "Battery voltage gain";
    case kTeVoltsGain:
      return "TE module voltage gain";
    case kBatteryTempGain:
      return "Battery temperature gain";
    case kBatteryTempOffset:
      return "Battery temperature offset";
    default:
      return {};
  }
}

// The gains scale a reading and must be positive; the offset is added and may be any number.
constexpr bool IsGain(std::uint8_t parameter) {
  return parameter == kBatteryVoltsGain || parameter == kTeVoltsGain || parameter == kBatteryTempGain;
}

}  // namespace orvik::link::parameter
