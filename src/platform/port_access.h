#pragma once

#include <string>

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

}  // namespace orvik::platform
