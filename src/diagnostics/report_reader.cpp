#include "diagnostics/report_reader.h"

#include <utility>

#include "diagnostics/report_captions.h"
#include "link/live_captions.h"
#include "link/parameter_numbers.h"

namespace orvik::diagnostics {

using namespace link::parameter;

void ReportReader::start(float liveBatteryTemp, std::function<void(const ReportValues&)> done,
                         std::function<void(const std::string& what)> failed) {
  liveBatteryTemp_ = liveBatteryTemp;
  done_ = std::move(done);
  failed_ = std::move(failed);
  values_ = {};
  requests_ = {link::Request::readTag(),
               link::Request::readParameter(kBatteryVoltsGain),
               link::Request::readParameter(kTeVoltsGain),
               link::Request::readParameter(kBatteryTempGain),
               link::Request::readParameter(kBatteryTempOffset),
               link::Request::readParameter(kShutdownStatus)};
  at_ = 0;
  next();
}

void ReportReader::stop() {
  session_.cancel();
  requests_.clear();
  at_ = 0;
}

void ReportReader::next() {
  if (at_ == requests_.size()) return done_(values_);
  const link::Request request = requests_[at_];
  if (onAsking) onAsking(request);
  session_.ask(
      request,
      [this, request](const link::Answer& answer) {
        take(request, answer);
        if (onTaken) onTaken(request, values_);
        ++at_;
        next();
      },
      [this, request] { failed_(link::RequestName(request)); });
}

void ReportReader::take(const link::Request& request, const link::Answer& answer) {
  if (request.code == link::kReadTag) {
    values_.tag = answer.tag();
    return;
  }
  const std::string shown = ReportValueText(request.parameter, answer.value());
  switch (request.parameter) {
    case kBatteryVoltsGain:
      values_.batteryVoltsGain = shown;
      break;
    case kTeVoltsGain:
      values_.teVoltsGain = shown;
      break;
    case kBatteryTempGain:
      values_.batteryTempGain = shown;
      break;
    case kBatteryTempOffset:
      values_.batteryTempOffset = shown;
      break;
    case kShutdownStatus:
      values_.shutdown = ReadShutdownRecord(answer.value(), liveBatteryTemp_);
      values_.shutdownBytes = answer.value();
      if (values_.shutdown.count != 0) {
        for (std::uint8_t p : {kShutdownTeVolts, kShutdownBatteryVolts, kShutdownBatteryTemp})
          requests_.push_back(link::Request::readParameter(p));
      }
      break;
    case kShutdownTeVolts:
      values_.shutdownTeVolts = shown;
      break;
    case kShutdownBatteryVolts:
      values_.shutdownBatteryVolts = shown;
      break;
    default:
      values_.shutdownBatteryTemp = shown;
      break;
  }
}

service_record::ServiceReport ServiceReportContent(const ReportValues& values, const link::LiveView& live,
                                                   const link::UnitIdentity& unit,
                                                   std::vector<service_record::ServiceRow> history,
                                                   std::string technician, std::string date,
                                                   std::string program) {
  namespace lc = link::caption;
  // A sensor warning starts on a line of its own on the screen.
  const std::string alarm =
      !live.alarm.empty() && live.alarm.front() == '\r' ? live.alarm.substr(1) : live.alarm;
  service_record::ServiceReport report;
  report.tag = values.tag;
  report.hardwareRevision = unit.hardwareRevision;
  report.softwareRevision = unit.softwareRevision;
  report.calibrationDate = live.calDate;
  report.batteryVoltsGain = values.batteryVoltsGain;
  report.teVoltsGain = values.teVoltsGain;
  report.batteryTempGain = values.batteryTempGain;
  report.batteryTempOffset = values.batteryTempOffset;
  report.shutdown = {{caption::kPowerOnCycles, std::to_string(values.shutdown.powerOnCycles)},
                     {caption::kShutdownCount, std::to_string(values.shutdown.count)}};
  if (!values.shutdown.reason.empty()) report.shutdown.emplace_back("Reason:", values.shutdown.reason);
  // As in the report window, the last shutdown's readings only after a shutdown.
  if (values.shutdown.count != 0) {
    report.shutdown.insert(report.shutdown.end(),
                           {{caption::kShutdownMode, values.shutdown.mode},
                            {caption::kShutdownTeVolts, values.shutdownTeVolts},
                            {caption::kShutdownBatteryVolts, values.shutdownBatteryVolts},
                            {caption::kShutdownBatteryTemp, values.shutdownBatteryTemp}});
  }
  report.live = {{lc::kTeModule, live.teVolts.text},
                 {lc::kMode, live.chargeMode.text},
                 {lc::kSetpoint, live.setpoint.text},
                 {lc::kControl, live.pwm.text},
                 {std::string(lc::kBattery) + " " + lc::kBatteryVolts, live.batVolts.text},
                 {std::string(lc::kBattery) + " " + lc::kBatteryTemp, live.batTemp.text},
                 {lc::kAlarmMessages, alarm.empty() ? "none" : alarm}};
  report.history = std::move(history);
  report.technician = std::move(technician);
  report.date = std::move(date);
  report.program = std::move(program);
  return report;
}

}  // namespace orvik::diagnostics
