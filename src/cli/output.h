#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics/report_reader.h"
#include "link/status_decoder.h"
#include "link/status_view.h"
#include "service_record/service_row.h"

namespace orvik::cli {

// A status reading as the main window shows it, frame by frame, one field a line.
std::string statusText(const link::LiveView& view);
// One reading on one line, for watch.
std::string watchLine(std::chrono::system_clock::time_point at, const link::LiveView& view);
std::string watchMissedLine(std::chrono::system_clock::time_point at);

using Report = diagnostics::ReportValues;
std::string reportText(const Report& report);

// The live display's alarm text on a line of its own: without the line break a sensor warning starts with.
std::string alarmText(const link::LiveView& view);

}  // namespace orvik::cli
