#pragma once

#include <string>

#include "cli/output.h"

namespace orvik::cli {

// A status reading as JSON: the window's texts, and the record's values as numbers (null where it
// lacks one).
std::string statusJson(const link::StatusRecord& record, const link::LiveView& view);
// The report as JSON, each value as the report window shows it.
std::string reportJson(const Report& report);
// The service record's rows as a JSON array, newest first.
std::string historyJson(const std::vector<service_record::ServiceRow>& rows);

}  // namespace orvik::cli
