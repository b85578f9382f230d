#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "diagnostics/report_values.h"
#include "link/controller_link.h"
#include "link/session.h"
#include "link/status_view.h"
#include "service_record/service_report_html.h"

namespace orvik::diagnostics {

// What the diagnostics report reads from the controller, each value as the report shows it.
struct ReportValues {
  std::string tag;
  std::string batteryVoltsGain, teVoltsGain, batteryTempGain, batteryTempOffset;
  ShutdownRecord shutdown;
  link::FloatBytesArray shutdownBytes{};  // the diagnostics log as the controller sent it
  // Read only when the count is not 0.
  std::string shutdownTeVolts = "-", shutdownBatteryVolts = "-", shutdownBatteryTemp = "-";
};

// Reads the report's values as the report window does: the tag, the four constants, the diagnostics log
// and, after a shutdown, its three readings, one request at a time through `session`.
class ReportReader {
 public:
  explicit ReportReader(link::Session& session) : session_(session) {}

  // `done` with the values, or `failed` naming what did not come. `liveBatteryTemp` marks a failed sensor.
  // Each request goes out the moment the answer before it is in.
  void start(float liveBatteryTemp, std::function<void(const ReportValues&)> done,
             std::function<void(const std::string& what)> failed);
  // Drops the read: answers still to come are ignored.
  void stop();

  // Before each request goes out.
  std::function<void(const link::Request&)> onAsking;
  // Once the answer to `request` is taken into the values.
  std::function<void(const link::Request&, const ReportValues&)> onTaken;

 private:
  void next();
  void take(const link::Request& request, const link::Answer& answer);

  link::Session& session_;
  std::vector<link::Request> requests_;
  std::size_t at_ = 0;
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
