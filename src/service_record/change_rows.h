#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "link/change_note.h"
#include "link/controller_link.h"
#include "service_record/service_journal.h"
#include "service_record/service_row.h"

namespace orvik::service_record {

// A parameter's four controller bytes as eight hex digits, "3F800000".
std::string BytesHex(const link::FloatBytesArray& bytes);
// Eight hex digits (either case) as four bytes; none for anything else.
std::optional<link::FloatBytesArray> BytesFromHex(std::string_view hex);
// A time broken down in local time.
std::tm LocalTime(std::chrono::system_clock::time_point at);
// A time as a person reads it on a report, in local time: "2026-12-08 10:15".
std::string LocalTimeText(std::chrono::system_clock::time_point at);
// The name of the operating-system user running the program.
std::string OperatingSystemUser();

// Who and what a row is written by: the program's name, the user and the clock.
struct RecordingProgram {
  std::string program;
  std::string user;
  std::function<std::chrono::system_clock::time_point()> now;
};

// The row for a change the controller confirmed, on the unit as the link knows it.
ServiceRow RowFor(const link::ChangeNote& note, const link::UnitIdentity& unit, const RecordingProgram& by);

// From now on every write `link` sees acknowledged is recorded in `journal`, the moment the
// acknowledgement is accepted; the link reads the unit's tag for it.
void RecordConfirmedChanges(link::ControllerLink& link, ServiceJournal& journal, RecordingProgram by);

}  // namespace orvik::service_record
