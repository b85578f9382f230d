#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service_record/service_row.h"

namespace orvik::service_record {

// What a service report shows. Every text is UTF-8 and is data: the builder escapes it.
struct ServiceReport {
  std::string tag;
  std::optional<int> hardwareRevision;
  std::optional<int> softwareRevision;
  std::string calibrationDate;  // as the main window shows it
  // The four constants, as the diagnostics report shows them.
  std::string batteryVoltsGain, teVoltsGain, batteryTempGain, batteryTempOffset;
  // The shutdown record, caption and value, in the diagnostics report's order.
  std::vector<std::pair<std::string, std::string>> shutdown;
  // The live values at the moment of the report, caption and value.
  std::vector<std::pair<std::string, std::string>> live;
  std::vector<ServiceRow> history;  // the unit's rows, newest first
  std::string technician;           // the operating-system user
  std::string date;                 // when the report was made, local time as a person reads it
  std::string program;              // "Orvik Monitor 2.1.3"
};

// `text` with &, <, >, " and ' as character references.
std::string HtmlEscaped(std::string_view text);

// The report as one HTML document (UTF-8), for a PDF writer or a browser.
std::string ServiceReportHtml(const ServiceReport& report);

}  // namespace orvik::service_record
