#include "cli/json_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace orvik::cli {

namespace {

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

template <typename T>
QJsonValue numberOrNull(const std::optional<T>& value) {
  return value ? QJsonValue(static_cast<double>(*value)) : QJsonValue(QJsonValue::Null);
}

std::string json(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace

std::string statusJson(const link::StatusRecord& r, const link::LiveView& v) {
  QJsonObject values{{"te_module_volts", numberOrNull(r.teVolts)},
                     {"battery_volts", numberOrNull(r.batVolts)},
                     {"battery_temperature_f", numberOrNull(r.batTemp)},
                     {"setpoint_volts", numberOrNull(r.setpoint)},
                     {"charge_mode", numberOrNull(r.chargeMode)},
                     {"alarm_code", numberOrNull(r.alarmCode)},
                     {"pwm_count", numberOrNull(r.pwmCount)},
                     {"hardware_revision", numberOrNull(r.hardwareRevision)},
                     {"software_revision", numberOrNull(r.softwareRevision)}};
  return json({{"te_module", q(v.teVolts.text)},
               {"mode", q(v.chargeMode.text)},
               {"setpoint", q(v.setpoint.text)},
               {"control", q(v.pwm.text)},
               {"battery_voltage", q(v.batVolts.text)},
               {"battery_temperature", q(v.batTemp.text)},
               {"alarm_messages", q(alarmText(v))},
               {"calibrated", q(v.calDate)},
               {"hardware_revision", q(v.revHardware)},
               {"software_revision", q(v.revSoftware)},
               {"values", values}});
}

std::string reportJson(const Report& r) {
  QJsonObject report{{"tag", q(r.tag)},
                     {"constants", QJsonObject{{"battery_voltage_gain", q(r.batteryVoltsGain)},
                                               {"te_module_voltage_gain", q(r.teVoltsGain)},
                                               {"battery_temperature_gain", q(r.batteryTempGain)},
                                               {"battery_temperature_offset", q(r.batteryTempOffset)}}},
                     {"power_on_cycles", r.shutdown.powerOnCycles},
                     {"diagnostic_shutdown_count", r.shutdown.count},
                     {"last_shutdown_reason", q(r.shutdown.reason)}};
  if (r.shutdown.count != 0) {
    report["last_shutdown"] = QJsonObject{{"operating_mode", q(r.shutdown.mode)},
                                          {"te_module_volts", q(r.shutdownTeVolts)},
                                          {"battery_volts", q(r.shutdownBatteryVolts)},
                                          {"battery_temperature", q(r.shutdownBatteryTemp)}};
  }
  return json(report);
}

std::string historyJson(const std::vector<service_record::ServiceRow>& rows) {
  QJsonArray list;
  for (const auto& r : rows) {
    list.append(QJsonObject{{"id", static_cast<double>(r.id)},
                            {"time", q(r.at)},
                            {"tag", q(r.tag)},
                            {"hardware_revision", numberOrNull(r.hardwareRevision)},
                            {"software_revision", numberOrNull(r.softwareRevision)},
                            {"program", q(r.program)},
                            {"user", q(r.user)},
                            {"change", q(std::string(service_record::ChangeName(r.change)))},
                            {"parameter", numberOrNull(r.parameter)},
                            {"before", q(r.before)},
                            {"before_bytes", q(r.beforeBytes)},
                            {"written", q(r.written)},
                            {"written_bytes", q(r.writtenBytes)},
                            {"measured", q(r.measured)},
                            {"reference", q(r.reference)},
                            {"source", q(r.source)}});
  }
  return QJsonDocument(list).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace orvik::cli
