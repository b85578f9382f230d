#include "platform/port_access.h"

#include <algorithm>
#include <filesystem>

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

std::string notASerialDevice(const std::string& device) {
  std::error_code ec;
  const auto type = std::filesystem::status(device, ec).type();
  if (ec || type == std::filesystem::file_type::character) return {};
  return device + " is not a serial device";
}

namespace {

// The line at the front of `text` without the blanks around it; `text` then starts after it.
std::string_view takeLine(std::string_view& text) {
  const auto end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// The word at the front of `line`, which then starts after the blanks that follow it.
std::string_view takeWord(std::string_view& line) {
  const std::string_view word = line.substr(0, line.find_first_of(" \t"));
  line.remove_prefix(word.size());
  line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
  return word;
}

// "/dev/pts/3" as "pts_3", "/tmp/x/port" as "_tmp_x_port".
std::string flattened(std::string path) {
  if (path.rfind("/dev/", 0) == 0) path.erase(0, 5);
  std::replace(path.begin(), path.end(), '/', '_');
  return path;
}

}  // namespace

std::optional<LockClaim> parseLockFile(std::string_view text) {
  std::string_view first = takeLine(text);
  const std::string_view number = takeWord(first);
  // Seven digits are more than any process number; more would be junk, or would overflow.
  if (number.empty() || number.size() > 7 ||
      !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  LockClaim claim;
  claim.pid = std::stol(std::string(number));
  if (claim.pid <= 0) return std::nullopt;
  if (!first.empty()) {
    claim.program = std::string(takeWord(first));
  } else {
    claim.program = std::string(takeLine(text));
    claim.host = std::string(takeLine(text));
  }
  return claim;
}

std::vector<std::string> lockFileNames(const std::string& device, const std::string& resolved) {
  std::vector<std::string> names;
  for (const std::string& name :
       {flattened(device), flattened(resolved), resolved.substr(resolved.find_last_of('/') + 1)}) {
    if (!name.empty() && std::find(names.begin(), names.end(), "LCK.." + name) == names.end()) {
      names.push_back("LCK.." + name);
    }
  }
  return names;
}

std::string holderSentence(const std::string& device, long pid, const std::string& program) {
  // The name comes from a file anyone may write or from the process itself: shown as plain text only,
  // never as control codes for a terminal.
  std::string name = program.substr(0, 64);
  std::replace_if(
      name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; },
      '?');
  const std::string process = "process " + std::to_string(pid);
  return device + " is in use by " + (name.empty() ? process : name + " (" + process + ")") + ".";
}

}  // namespace orvik::platform
