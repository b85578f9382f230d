#include "platform/port_access.h"

namespace orvik::platform {

std::string permissionRemedy(const DeviceAccess& access) {
  const std::string group = "\"" + access.group + "\"";
  if (access.groupMayUse && !access.inGroup && access.listedInGroup) {
    return "You were made a member of the group " + group +
           ", which may use the device, after you logged in. Log out and log in again.";
  }
  if (access.groupMayUse && !access.inGroup) {
    return "The device belongs to the group " + group +
           ". Ask an administrator to make you a member of it, for example with\n    sudo usermod -a -G " +
           access.group + " " + access.user + "\nthen log out and log in again.";
  }
  return "The device's permissions let neither you nor its group " + group +
         " read and write it. Ask an administrator to give it to a group such as \"dialout\" (for "
         "example with a udev rule) and to make you a member of that group; then log out and log in "
         "again.";
}

std::string openFailureDetails(const std::string& device, const std::string& reason,
                               const std::string& remedy) {
  std::string text = "Device: " + device + "\nError: " + reason;
  if (!remedy.empty()) text += "\n\n" + remedy;
  return text;
}

}  // namespace orvik::platform
