#pragma once

namespace orvik::link::caption {

// The captions of the live display, the same in the main window and in orvikctl's output: the frames
// and, inside them, the fields.
inline constexpr const char* kCharger = "Charger";
inline constexpr const char* kTeModule = "TE Module";
inline constexpr const char* kMode = "Mode";
inline constexpr const char* kSetpoint = "Setpoint";
inline constexpr const char* kControl = "Control";
inline constexpr const char* kBattery = "Battery";
inline constexpr const char* kBatteryVolts = "Voltage";
inline constexpr const char* kBatteryTemp = "Temperature";
inline constexpr const char* kAlarmMessages = "Alarm Messages";
inline constexpr const char* kCalibrated = "Calibrated:";
inline constexpr const char* kHardwareRevision = "Hardware Revision:";
inline constexpr const char* kSoftwareRevision = "Software Revision:";

}  // namespace orvik::link::caption
