#pragma once

#include <cstdint>

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

}  // namespace orvik::link::parameter
