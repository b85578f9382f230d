#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/subs.h"

namespace orvik::link {

// What a write to the controller changes. The service record keeps one row for each write the
// controller acknowledged.
enum class ChangeKind {
  BatteryVoltsGain,   // parameter 18, a trim
  TeVoltsGain,        // parameter 22, a trim
  BatteryTempOffset,  // parameter 30, a trim
  CalibrationDate,    // parameter 0
  Tag,                // the tag name
  LogReset,           // parameter 100 cleared
  Restore,            // a calibration constant written back from a backup file
  Undo,               // a trim taken back: the constant written back to its value before the trim
};

// A write's change as its asker describes it: values as the report shows them, and for a parameter its
// controller bytes, so the value is exact to the bit.
struct ChangeNote {
  ChangeKind change = ChangeKind::BatteryVoltsGain;
  std::optional<int> parameter;  // none for the tag
  std::string before;            // the stored value before; empty when it was not read
  std::optional<FloatBytesArray> beforeBytes;
  std::string written;
  std::optional<FloatBytesArray> writtenBytes;
  std::string measured;   // a trim: the controller's reading it started from
  std::string reference;  // a trim: the reference instrument's value as entered
  std::string source;     // where the written value came from, when it was not typed: a file, a row
};

// What the link knows of the unit on the line: the revisions from its status records, and the tag it
// read.
struct UnitIdentity {
  std::optional<std::string> tag;
  std::optional<int> hardwareRevision;
  std::optional<int> softwareRevision;
};

}  // namespace orvik::link
