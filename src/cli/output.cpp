#include "cli/output.h"

#include <initializer_list>
#include <utility>

#include "diagnostics/report_captions.h"
#include "link/display_format.h"
#include "link/live_captions.h"
#include "link/status_csv.h"

namespace orvik::cli {

namespace {

namespace caption = link::caption;
namespace report_caption = diagnostics::caption;

}  // namespace

std::string alarmText(const link::LiveView& view) {
  std::string alarm = view.alarm;
  if (!alarm.empty() && alarm.front() == '\r') alarm.erase(0, 1);
  return alarm;
}

namespace {

std::string rows(std::initializer_list<std::pair<std::string, std::string>> list, const char* indent) {
  std::size_t width = 0;
  for (const auto& [name, value] : list)
    width = std::max(width, name.size());
  std::string text;
  for (const auto& [name, value] : list)
    text += indent + name + std::string(width - name.size() + 2, ' ') + value + '\n';
  return text;
}

}  // namespace

std::string statusText(const link::LiveView& v) {
  const std::string alarm = alarmText(v);
  return std::string(caption::kCharger) + '\n' +
         rows({{caption::kTeModule, v.teVolts.text},
               {caption::kMode, v.chargeMode.text},
               {caption::kSetpoint, v.setpoint.text},
               {caption::kControl, v.pwm.text}},
              "  ") +
         caption::kBattery + '\n' +
         rows({{caption::kBatteryVolts, v.batVolts.text}, {caption::kBatteryTemp, v.batTemp.text}}, "  ") +
         caption::kAlarmMessages + '\n' + "  " + (alarm.empty() ? "none" : alarm) + '\n' +
         rows({{caption::kCalibrated, v.calDate},
               {caption::kHardwareRevision, v.revHardware},
               {caption::kSoftwareRevision, v.revSoftware}},
              "");
}

std::string watchLine(std::chrono::system_clock::time_point at, const link::LiveView& v) {
  std::string line = link::IsoUtcTime(at) + "  " + caption::kTeModule + ' ' + v.teVolts.text + "  " +
                     caption::kMode + ' ' + v.chargeMode.text + "  " + caption::kSetpoint + ' ' +
                     v.setpoint.text + "  " + caption::kControl + ' ' + v.pwm.text + "  " +
                     caption::kBattery + ' ' + v.batVolts.text + ' ' + v.batTemp.text;
  if (const std::string alarm = alarmText(v); !alarm.empty()) line += "  " + alarm;
  return line + '\n';
}

std::string watchMissedLine(std::chrono::system_clock::time_point at) {
  return link::IsoUtcTime(at) + "  " + link::kLinkNoResponse + '\n';
}

std::string reportText(const Report& r) {
  std::string text = "Tag: " + r.tag + '\n' + report_caption::kConstants + '\n' +
                     rows({{report_caption::kBatteryVoltsGain, r.batteryVoltsGain},
                           {report_caption::kTeVoltsGain, r.teVoltsGain},
                           {report_caption::kBatteryTempGain, r.batteryTempGain},
                           {report_caption::kBatteryTempOffset, r.batteryTempOffset}},
                          "  ") +
                     report_caption::kLog + '\n' +
                     rows({{report_caption::kPowerOnCycles, std::to_string(r.shutdown.powerOnCycles)},
                           {report_caption::kShutdownCount, std::to_string(r.shutdown.count)}},
                          "  ") +
                     "  " + r.shutdown.reason + '\n';
  if (r.shutdown.count != 0) {
    text += rows({{report_caption::kShutdownMode, r.shutdown.mode},
                  {report_caption::kShutdownTeVolts, r.shutdownTeVolts},
                  {report_caption::kShutdownBatteryVolts, r.shutdownBatteryVolts},
                  {report_caption::kShutdownBatteryTemp, r.shutdownBatteryTemp}},
                 "  ");
  }
  return text;
}

}  // namespace orvik::cli
