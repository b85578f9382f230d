#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/output.h"

namespace orvik::cli {

// orvikctl's --json output, all through one JSON library. Numbers are JSON numbers with their unit in
// the key's name, at the precision the windows show them, written without the locale; a value the
// controller did not send is null. The texts with units of earlier releases stay beside them for one
// release.

// A status reading: the display's texts, its numbers, and the record's values unrounded.
std::string statusJson(const link::StatusRecord& record, const link::LiveView& view);
// A reading of watch --json on one line: its time, "link": "ok" and the keys of statusJson; a missed
// reading has "link": "no response" and the same keys, each null.
std::string watchJsonLine(std::chrono::system_clock::time_point at, const link::StatusRecord& record,
                          const link::LiveView& view);
std::string watchJsonMissedLine(std::chrono::system_clock::time_point at);
// The report: the texts the report window shows and the numbers they stand for.
std::string reportJson(const Report& report);
// The service record's rows as a JSON array, newest first.
std::string historyJson(const std::vector<service_record::ServiceRow>& rows);

}  // namespace orvik::cli
