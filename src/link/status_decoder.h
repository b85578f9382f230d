#pragma once

#include <cstdint>
#include <optional>

#include "link/run_state.h"
#include "platform/controls.h"
#include "platform/date.h"

namespace orvik::link {

// The main window's live-status labels, which decoding a status record writes.
struct LiveLabels {
  platform::Label& lblTEvolts;
  platform::Label& lblBatVolts;
  platform::Label& lblBatTemp;
  platform::Label& lblSetpoint;
  platform::Label& lblChargeMode;
  platform::Label& lblAlarmCode;
  platform::Label& lblPWMvalue;
  platform::Label& lblRevHardware;
  platform::Label& lblRevSoftware;
  platform::Label& lblCalDate;
};

// Indices of the status record's fields in RxBuffer; a float field takes four bytes from its index.
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

// The calibration date the controller stores as month, day and two-digit year, with the full year;
// none when a part is out of range (0 < month <= 12, 0 < day <= 31, 0 < year <= 99). The day is not
// checked against its month.
std::optional<platform::Date> CalibrationDate(std::uint8_t month, std::uint8_t day,
                                              std::uint8_t twoDigitYear);

// Shows the status record in state.RxBuffer: updates the live values and their labels. Each field is
// its own step; a field the record is too short to hold, or that does not convert, keeps its previous
// value and caption. The hardware revision is judged from lblRevHardware as the previous record left it.
void DecodeStatusRecord(RunState& state, const LiveLabels& labels);

}  // namespace orvik::link
