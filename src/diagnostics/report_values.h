#pragma once

#include <cstdint>
#include <string>

#include "link/change_note.h"
#include "link/subs.h"

namespace orvik::diagnostics {

// A parameter's value as the report shows it, from the four bytes the controller sent: the constants
// (18, 22, 26, 30) in general form, the shutdown voltages (104, 108) as "12.34 Volts", the shutdown
// temperature (116) as "77 °F", the calibration date (0) as the main window shows it, any other
// parameter in general form. "-" for bytes that hold no number this program can show.
std::string ReportValueText(std::uint8_t parameter, const link::FloatBytesArray& bytes);

// The shutdown record (parameter 100): reason code, mode, shutdown count, power-on cycles.
struct ShutdownRecord {
  std::string reason;  // the reason's alarm text
  std::string mode;    // the charge mode's name; "-" for a mode this program does not know
  int count = 0;
  int powerOnCycles = 0;
};

// The record as the report shows it. A reason of 0 while the live battery temperature marks a failed
// sensor (exactly -50 or 150 °F) is that sensor's fault.
ShutdownRecord ReadShutdownRecord(const link::FloatBytesArray& bytes, float liveBatteryTemp);

// The change clearing the diagnostics log makes, from the log as read (its parameter bytes).
link::ChangeNote logResetChange(const link::FloatBytesArray& bytes, float liveBatteryTemp);

}  // namespace orvik::diagnostics
