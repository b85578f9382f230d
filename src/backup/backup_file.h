#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "link/subs.h"

namespace orvik::backup {

// The version of the backup file's layout; a file of another version is not restored.
inline constexpr int kBackupSchemaVersion = 1;

// What a unit holds that a backup keeps: its identity, its calibration date and its four calibration
// constants, each as the controller's four bytes.
struct UnitConstants {
  std::string tag;
  std::optional<int> hardwareRevision;
  std::optional<int> softwareRevision;
  link::FloatBytesArray calibrationDate{};
  std::map<std::uint8_t, link::FloatBytesArray> constants;  // parameters 18, 22, 26, 30

  bool operator==(const UnitConstants&) const = default;
};

struct BackupFile {
  int schemaVersion = kBackupSchemaVersion;
  std::string program;  // the program and version that wrote it
  std::string takenAt;  // UTC, "2026-12-08T09:15:02Z"
  UnitConstants unit;

  bool operator==(const BackupFile&) const = default;
};

// The file's JSON text. Each constant carries its value as the report shows it, for a person, and its
// controller bytes in hex, which a restore writes, so the value comes back exact to the bit.
std::string BackupJson(const BackupFile& file);

// A backup file read back, or why it cannot be restored: it does not parse, has another schema
// version, lacks a constant, holds bytes that do not decode, a gain that is not a positive finite number,
// or a value that is not the one its bytes carry.
std::variant<BackupFile, std::string> ParseBackup(std::string_view json);

// The whole of the file at `path`; none, with `problem` saying why, when it cannot be read, is no regular
// file or is too large to be a backup. A backup is written with platform::WriteFileWhole.
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& problem);

}  // namespace orvik::backup
