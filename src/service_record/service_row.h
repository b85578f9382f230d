#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/change_note.h"

namespace orvik::service_record {

using link::ChangeKind;

// The names the record stores for each kind of change; they never change.
// "battery-volts-gain", "te-volts-gain", "battery-temp-offset", "calibration-date", "tag", "log-reset",
// "restore", "undo".
std::string_view ChangeName(ChangeKind kind);
std::optional<ChangeKind> ChangeFromName(std::string_view name);
// For a person: "Battery voltage gain", "TE module voltage gain", "Battery temperature offset",
// "Calibration date", "Tag name", "Diagnostics log cleared", "Restored", "Trim undone".
std::string_view ChangeTitle(ChangeKind kind);
// The three trims: the battery voltage gain, the TE module voltage gain and the battery temperature offset.
bool IsTrim(ChangeKind kind);

// One change the controller confirmed, as the service record keeps it. Texts are UTF-8; values are as
// the report shows them, and the controller bytes (hex, 8 digits) make a value exact to the bit.
struct ServiceRow {
  std::int64_t id = 0;  // the record's row id; 0 until stored
  std::string at;       // when the acknowledgement was accepted: UTC, "2026-12-08T09:15:02Z"
  std::string tag;      // the unit's tag as the controller holds it; empty when not known
  std::optional<int> hardwareRevision;
  std::optional<int> softwareRevision;
  std::string program;  // "orvik-monitor" or "orvikctl"
  std::string user;     // the operating-system user
  ChangeKind change = ChangeKind::BatteryVoltsGain;
  std::optional<int> parameter;  // the parameter written; none for the tag
  std::string before;            // the stored value before, as shown; empty when it was not read
  std::string beforeBytes;       // its controller bytes, hex; empty when not read or not a parameter
  std::string written;           // the value written, as shown
  std::string writtenBytes;
  std::string measured;   // a trim: the controller's reading it started from
  std::string reference;  // a trim: the reference instrument's value as entered
  std::string source;     // where a written value came from, when not typed (a file, a row)

  bool operator==(const ServiceRow&) const = default;
};

// A trim that can be taken back: it names its parameter and holds the controller bytes of the value
// before and of the value it wrote.
bool Undoable(const ServiceRow& row);

// A row's change for a person: its kind's title, and for a restore or an undo the constant it wrote,
// "Restored: Battery voltage gain".
std::string RowTitle(const ServiceRow& row);

// The rows of one unit, from all rows newest first: those under `tag`, and, across each renaming, those
// under the names it had before (a tag change whose new tag the unit bears, and the rows of its old tag
// before it).
std::vector<ServiceRow> UnitRows(const std::vector<ServiceRow>& newestFirst, const std::string& tag);

}  // namespace orvik::service_record
