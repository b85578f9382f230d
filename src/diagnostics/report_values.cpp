#include "diagnostics/report_values.h"

#include "diagnostics/report_captions.h"
#include "link/alarm_text.h"
#include "link/display_format.h"
#include "link/parameter_numbers.h"
#include "link/status_decoder.h"
#include "link/status_view.h"

namespace orvik::diagnostics {

namespace {

using namespace link::parameter;

constexpr std::uint8_t kReadingLowCode = 6;
constexpr std::uint8_t kReadingHighCode = 5;

}  // namespace

std::string ReportValueText(std::uint8_t parameter, const link::FloatBytesArray& bytes) {
  if (parameter == kCalibrationDate) {
    const auto date = link::CalibrationDate(bytes[1], bytes[2], bytes[3]);
    return date ? link::mediumDate(*date) : "NO CALIBRATION";
  }
  try {
    const float value = link::FloatFromBytes(bytes);
    switch (parameter) {
      case kShutdownTeVolts:
      case kShutdownBatteryVolts:
        return link::formatFixed(value / 1000.0f, 2) + " Volts";
      case kShutdownBatteryTemp:
        return link::formatFahrenheit(value);
      default:
        return link::formatGeneral(value);
    }
  } catch (const link::ConversionError&) {
    return "-";
  }
}

ShutdownRecord ReadShutdownRecord(const link::FloatBytesArray& bytes, float liveBatteryTemp) {
  std::uint8_t reason = bytes[0];
  if (reason == 0 && liveBatteryTemp == link::kOpenSensorReading) reason = kReadingLowCode;
  if (reason == 0 && liveBatteryTemp == link::kShortedSensorReading) reason = kReadingHighCode;
  const auto mode = link::ChargeModeText(bytes[1]);
  return {link::AlarmText(reason), mode ? mode->text : "-", bytes[2], bytes[3]};
}

link::ChangeNote logResetChange(const link::FloatBytesArray& bytes, float liveBatteryTemp) {
  const ShutdownRecord record = ReadShutdownRecord(bytes, liveBatteryTemp);
  link::ChangeNote note;
  note.change = link::ChangeKind::LogReset;
  note.parameter = kShutdownStatus;
  note.before = std::string(caption::kShutdownCount) + " " + std::to_string(record.count) + ", " +
                caption::kPowerOnCycles + " " + std::to_string(record.powerOnCycles);
  if (!record.reason.empty()) note.before += ", " + record.reason;
  note.beforeBytes = bytes;
  note.written = "Log cleared";
  note.writtenBytes = link::FloatBytesArray{0, 0, 0, 0};
  return note;
}

}  // namespace orvik::diagnostics
