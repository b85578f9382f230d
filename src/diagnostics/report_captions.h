#pragma once

namespace orvik::diagnostics::caption {

// The report's captions, the same in the report window and in orvikctl's report.
inline constexpr const char* kConstants = "Controller Constants";
inline constexpr const char* kBatteryVoltsGain = "Battery Voltage Gain:";
inline constexpr const char* kTeVoltsGain = "TE Module Voltage Gain:";
inline constexpr const char* kBatteryTempGain = "Battery Temperature Gain:";
inline constexpr const char* kBatteryTempOffset = "Battery Temperature Offset:";
inline constexpr const char* kLog = "Diagnostics Log";
inline constexpr const char* kPowerOnCycles = "Power On Cycles:";
inline constexpr const char* kShutdownCount = "Diagnostic Shutdown Count:";
inline constexpr const char* kShutdownMode = "Operating Mode at Last Shutdown:";
inline constexpr const char* kShutdownTeVolts = "TE Module Volts at Last Shutdown:";
inline constexpr const char* kShutdownBatteryVolts = "Battery Volts at Last Shutdown:";
inline constexpr const char* kShutdownBatteryTemp = "Battery Temp. at Last Shutdown:";

}  // namespace orvik::diagnostics::caption
