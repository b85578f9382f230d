#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calibration/trim_computation.h"
#include "platform/comm_devices.h"

namespace orvik::cli {

// orvikctl's exit status.
enum ExitCode : int {
  kSuccess = 0,
  kUsage = 2,      // the command line, or a file it names, cannot be used
  kPortError = 3,  // the port is missing, busy or not ours to use
  kNoAnswer = 4,   // the controller did not answer, or answered wrongly
  kRefused = 5,    // out of range, not a number, trim not possible, not confirmed
  kInterrupted = 130,
};

enum class Command {
  Status,
  Watch,
  Read,
  Report,
  Tag,
  Trim,
  CalDate,
  ResetLog,
  History,
  ServiceReport,
  Backup,
  Restore,
  Undo
};

// What the command line asks for.
struct Invocation {
  Command command = Command::Status;
  // The port: a device, or Comm N; neither means the port of options.cfg.
  std::string device;
  int comm = 0;
  platform::CommDevices commDevices;  // --comm1..--comm4
  bool json = false;
  double intervalSeconds = 2;
  int count = 0;  // watch: 0 runs until stopped
  std::string csv;
  std::uint8_t parameter = 0;  // read
  std::optional<std::string> newTag;
  calibration::TrimKind trim = calibration::TrimKind::BatteryVolts;
  std::string actual;               // trim: the true value as typed
  std::optional<std::string> date;  // cal-date: YYYY-MM-DD
  bool yes = false;
  std::string serviceDb;                  // --service-db: the service record file; empty for the default
  std::optional<std::string> historyTag;  // history --tag
  bool csvOut = false;                    // history --csv
  std::string htmlFile;                   // service-report --html
  std::string backupFile;                 // backup, restore: the constants' file
  bool otherUnit = false;                 // restore --other-unit: a file of another tag may be written
  std::int64_t rowId = 0;                 // undo: the service record row of the trim
};

// Whether the invocation writes to the controller, so its changes go to the service record.
bool Writes(const Invocation& inv);

// The parameters `read` knows by name, and the number of each.
struct ParameterName {
  const char* name;
  std::uint8_t number;
};
const std::vector<ParameterName>& parameterNames();

// The outcome of parsing: an invocation to run, or an exit code with the text for stdout (help, version)
// or stderr (a usage error).
struct Parsed {
  std::optional<Invocation> invocation;
  int exitCode = kSuccess;
  std::string out;
  std::string err;
};

Parsed parseArguments(const std::vector<std::string>& args);

}  // namespace orvik::cli
