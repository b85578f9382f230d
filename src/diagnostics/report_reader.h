#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "diagnostics/report_values.h"
#include "link/controller_link.h"
#include "link/status_view.h"
#include "platform/timer.h"
#include "service_record/service_report_html.h"

namespace orvik::diagnostics {

// What the diagnostics report reads from the controller, each value as the report shows it.
struct ReportValues {
  std::string tag;
  std::string batteryVoltsGain, teVoltsGain, batteryTempGain, batteryTempOffset;
  ShutdownRecord shutdown;
  // Read only when the count is not 0.
  std::string shutdownTeVolts = "-", shutdownBatteryVolts = "-", shutdownBatteryTemp = "-";
};

// Reads the report's values through the exchange as the report window does: the tag, the four constants,
// the diagnostics log and, after a shutdown, its three readings. A request whose answer does not come in
// its answer time-out is sent again, three sends in all.
class ReportReader {
 public:
  explicit ReportReader(link::ControllerLink& link);
  ~ReportReader();
  ReportReader(const ReportReader&) = delete;
  ReportReader& operator=(const ReportReader&) = delete;

  // `done` with the values, or `failed` naming what did not come. `liveBatteryTemp` marks a failed sensor.
  void start(float liveBatteryTemp, std::function<void(const ReportValues&)> done,
             std::function<void(const std::string& what)> failed);
  bool running() const { return running_; }

 private:
  void ask(link::Request request);
  void answered(const link::Answer& answer);
  void next();

  link::ControllerLink& link_;
  std::vector<link::Request> requests_;
  std::size_t at_ = 0;
  int sendsLeft_ = 0;
  bool running_ = false;
  float liveBatteryTemp_ = 0;
  ReportValues values_;
  std::function<void(const ReportValues&)> done_;
  std::function<void(const std::string&)> failed_;
};

// A service report's content: the values read, the live display, the unit and its history.
service_record::ServiceReport ServiceReportContent(const ReportValues& values, const link::LiveView& live,
                                                   const link::UnitIdentity& unit,
                                                   std::vector<service_record::ServiceRow> history,
                                                   std::string technician, std::string date,
                                                   std::string program);

}  // namespace orvik::diagnostics
