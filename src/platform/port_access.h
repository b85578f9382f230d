#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::platform {

// What the system says about who may use a device that refused us with a permission error.
struct DeviceAccess {
  std::string user;            // who runs the program
  std::string group;           // the group that owns the device
  bool groupMayUse = false;    // that group may read and write the device
  bool inGroup = false;        // this run has that group's rights
  bool listedInGroup = false;  // the group database makes the user a member (perhaps since this login)
};

// What a person can do about a permission error on a device, in plain words.
std::string permissionRemedy(const DeviceAccess& access);

// The detailed text for a port that cannot be opened: the device, the system's reason and, when there
// is one, the remedy.
std::string openFailureDetails(const std::string& device, const std::string& reason,
                               const std::string& remedy = {});

// "FILE is not a serial device" when `device` names a regular file, a folder, a pipe, a socket or a
// block device; empty for a character device and for a name that is not there (opening it says why).
std::string notASerialDevice(const std::string& device);

// A program's claim on a device in a UUCP lock file ("LCK..ttyUSB0"): the process that wrote it and,
// where the file says, that program's name and the host it runs on.
struct LockClaim {
  long pid = 0;
  std::string program;
  std::string host;

  bool operator==(const LockClaim&) const = default;
};

// The claim in a lock file's text. Three forms are in use: the PID alone on the first line, padded or
// not ("      4242\n"); the PID, then the program and host on lines of their own (QSerialPort's);
// the padded PID, program and user on one line (minicom's). Text that does not start with a process
// number claims nothing.
std::optional<LockClaim> parseLockFile(std::string_view text);

// The names of the lock files programs keep for `device`, reached as `resolved` once symbolic links
// are followed: "LCK.." and the path below /dev with '/' as '_' (how QSerialPort names them), then
// "LCK.." and the last part of the path.
std::vector<std::string> lockFileNames(const std::string& device, const std::string& resolved);

// Who holds a device we could not have, for a person: "/dev/ttyUSB0 is in use by minicom (process
// 4242).", or "... by process 4242." when the program's name is unknown.
std::string holderSentence(const std::string& device, long pid, const std::string& program);

}  // namespace orvik::platform
