#include "cli/json_output.h"

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <type_traits>

#include "link/display_format.h"
#include "link/parameter_numbers.h"
#include "link/status_csv.h"

namespace orvik::cli {

namespace {

using json = nlohmann::ordered_json;
using link::ChangeKind;

// A number as JSON: a whole one without a fraction ("77", not "77.0"), as its text shows it.
json number(double value) {
  constexpr double kLargestExactWhole = 9007199254740992.0;  // 2^53
  if (std::floor(value) == value && std::fabs(value) < kLargestExactWhole)
    return static_cast<std::int64_t>(value);
  return value;
}

json number(const std::optional<double>& value) {
  return value ? number(*value) : json(nullptr);
}

// A value at the decimals the display shows it with, as a number: written and read back by the link's
// own number texts, so the locale never touches it.
template <typename T>
json shownNumber(const std::optional<T>& value, int decimals) {
  return value ? number(link::ReadNumber(link::formatFixed(*value, decimals))) : json(nullptr);
}

// The number a text as shown begins with, up to its first blank ("12.48 Volts", "71 °F", "1"); null for
// a text that begins with none ("-", "NO CALIBRATION", "").
json numberOfText(const std::string& text) {
  return number(link::ReadNumber(std::string_view(text).substr(0, text.find(' '))));
}

// A value as the controller sent it.
template <typename T>
json raw(const std::optional<T>& value) {
  if (!value) return nullptr;
  if constexpr (std::is_floating_point_v<T>) {
    return number(static_cast<double>(*value));
  } else {
    return static_cast<int>(*value);
  }
}

// Invalid UTF-8 (a stray byte in a stored text) is written as U+FFFD rather than failing the output.
std::string written(const json& document, int indent) {
  return document.dump(indent, ' ', false, json::error_handler_t::replace);
}

json statusObject(const link::StatusRecord& r, const link::LiveView& v) {
  return {
      {"te_module_v", shownNumber(r.teVolts, link::kTeVoltsDecimals)},
      {"mode", v.chargeMode.text},
      {"setpoint_v", shownNumber(r.setpoint, link::kVoltsDecimals)},
      {"control_percent",
       r.pwmCount ? shownNumber(std::optional(link::ControlPercent(*r.pwmCount)), 0) : json(nullptr)},
      {"battery_voltage_v", shownNumber(r.batVolts, link::kVoltsDecimals)},
      {"battery_temperature_f", shownNumber(r.batTemp, link::kTemperatureDecimals)},
      {"alarm_code", raw(r.alarmCode)},
      {"alarm_messages", alarmText(v)},
      {"calibrated", v.calDate},
      {"hardware_revision", v.revHardware},
      {"software_revision", v.revSoftware},
      {"values",
       {{"te_module_volts", raw(r.teVolts)},
        {"battery_volts", raw(r.batVolts)},
        {"battery_temperature_f", raw(r.batTemp)},
        {"setpoint_volts", raw(r.setpoint)},
        {"charge_mode", raw(r.chargeMode)},
        {"alarm_code", raw(r.alarmCode)},
        {"pwm_count", raw(r.pwmCount)},
        {"hardware_revision", raw(r.hardwareRevision)},
        {"software_revision", raw(r.softwareRevision)}}},
      // The texts with units of earlier releases, kept for one release.
      {"te_module", v.teVolts.text},
      {"setpoint", v.setpoint.text},
      {"control", v.pwm.text},
      {"battery_voltage", v.batVolts.text},
      {"battery_temperature", v.batTemp.text},
  };
}

json watchObject(std::chrono::system_clock::time_point at, const char* linkState, json status) {
  json line{{"time", link::IsoUtcTime(at)}, {"link", linkState}};
  for (auto& [key, value] : status.items())
    line[key] = std::move(value);
  return line;
}

// The unit of a trim's reading and reference in the keys' names: volts, or degrees Fahrenheit.
const char* trimUnit(ChangeKind kind) {
  return kind == ChangeKind::BatteryTempOffset ? "_f" : "_v";
}

// The name of a calibration constant's number in a row: a gain, or the temperature offset in °F.
const char* constantKey(int parameter) {
  return parameter == link::parameter::kBatteryTempOffset ? "offset_f" : "gain";
}

}  // namespace

std::string statusJson(const link::StatusRecord& record, const link::LiveView& view) {
  return written(statusObject(record, view), 4) + '\n';
}

std::string watchJsonLine(std::chrono::system_clock::time_point at, const link::StatusRecord& record,
                          const link::LiveView& view) {
  return written(watchObject(at, "ok", statusObject(record, view)), -1) + '\n';
}

std::string watchJsonMissedLine(std::chrono::system_clock::time_point at) {
  json status = statusObject({}, {});
  for (auto& value : status)
    value = nullptr;
  return written(watchObject(at, "no response", std::move(status)), -1) + '\n';
}

std::string reportJson(const Report& r) {
  json report{{"tag", r.tag},
              {"calibration",
               {{"battery_voltage_gain", numberOfText(r.batteryVoltsGain)},
                {"te_module_voltage_gain", numberOfText(r.teVoltsGain)},
                {"battery_temperature_gain", numberOfText(r.batteryTempGain)},
                {"battery_temperature_offset_f", numberOfText(r.batteryTempOffset)}}},
              {"power_on_cycles", r.shutdown.powerOnCycles},
              {"diagnostic_shutdown_count", r.shutdown.count},
              {"last_shutdown_reason", r.shutdown.reason}};
  if (r.shutdown.count != 0) {
    report["last_shutdown"] = {{"operating_mode", r.shutdown.mode},
                               {"te_module_v", numberOfText(r.shutdownTeVolts)},
                               {"battery_voltage_v", numberOfText(r.shutdownBatteryVolts)},
                               {"battery_temperature_f", numberOfText(r.shutdownBatteryTemp)},
                               // The texts with units of earlier releases, kept for one release.
                               {"te_module_volts", r.shutdownTeVolts},
                               {"battery_volts", r.shutdownBatteryVolts},
                               {"battery_temperature", r.shutdownBatteryTemp}};
  }
  // The constants as texts, as earlier releases gave them, kept for one release.
  report["constants"] = {{"battery_voltage_gain", r.batteryVoltsGain},
                         {"te_module_voltage_gain", r.teVoltsGain},
                         {"battery_temperature_gain", r.batteryTempGain},
                         {"battery_temperature_offset", r.batteryTempOffset}};
  return written(report, 4) + '\n';
}

std::string historyJson(const std::vector<service_record::ServiceRow>& rows) {
  json list = json::array();
  for (const auto& r : rows) {
    json row{{"id", r.id},
             {"time", r.at},
             {"tag", r.tag},
             {"hardware_revision", raw(r.hardwareRevision)},
             {"software_revision", raw(r.softwareRevision)},
             {"program", r.program},
             {"user", r.user},
             {"change", service_record::ChangeName(r.change)},
             {"parameter", raw(r.parameter)},
             {"before", r.before},
             {"before_bytes", r.beforeBytes},
             {"written", r.written},
             {"written_bytes", r.writtenBytes},
             {"measured", r.measured},
             {"reference", r.reference},
             {"source", r.source}};
    if (service_record::IsTrim(r.change)) {
      const std::string unit = trimUnit(r.change);
      row["measured" + unit] = numberOfText(r.measured);
      row["reference" + unit] = numberOfText(r.reference);
    }
    if (r.parameter && *r.parameter >= 0 && *r.parameter <= 255 &&
        !link::parameter::ConstantTitle(static_cast<std::uint8_t>(*r.parameter)).empty()) {
      const std::string key = constantKey(*r.parameter);
      row["before_" + key] = numberOfText(r.before);
      row["written_" + key] = numberOfText(r.written);
    }
    list.push_back(std::move(row));
  }
  return written(list, 4) + '\n';
}

}  // namespace orvik::cli
