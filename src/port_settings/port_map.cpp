#include "port_settings/port_map.h"

#include <filesystem>
#include <fstream>

namespace orvik::port_settings {

namespace {

// Far beyond four lines and comments; a stray big file is read only this far.
constexpr std::size_t kMostBytesRead = 64 * 1024;

std::string_view trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// 1..4 for "COMM1".."COMM4" in any case, otherwise 0.
int portOfKey(std::string_view key) {
  if (key.size() != 5) return 0;
  const std::string_view word = key.substr(0, 4);
  for (std::size_t i = 0; i < 4; ++i) {
    if ((word[i] | 0x20) != "comm"[i]) return 0;
  }
  return key[4] >= '1' && key[4] <= '4' ? key[4] - '0' : 0;
}

}  // namespace

PortMap parsePortMap(std::string_view text) {
  PortMap map;
  std::array<int, 4> lineOf{};
  int lineNumber = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;

    const std::string where = std::string(kPortMapFile) + ":" + std::to_string(lineNumber) + ": ";
    const auto equals = line.find('=');
    const int port = equals == std::string_view::npos ? 0 : portOfKey(trimmed(line.substr(0, equals)));
    if (port == 0) {
      map.problems.push_back(where + "expected COMM1..COMM4=DEVICE");
      continue;
    }
    const std::string_view device = trimmed(line.substr(equals + 1));
    if (device.empty()) {
      map.problems.push_back(where + "COMM" + std::to_string(port) + " names no device");
      continue;
    }
    if (lineOf[port - 1] != 0) {
      map.problems.push_back(where + "COMM" + std::to_string(port) + " again (line " +
                             std::to_string(lineOf[port - 1]) + "); this line counts");
    }
    lineOf[port - 1] = lineNumber;
    map.devices[port - 1] = device;
  }
  return map;
}

PortMap readPortMap() {
  std::error_code error;
  if (!std::filesystem::is_regular_file(kPortMapFile, error)) return {};
  std::ifstream in(kPortMapFile, std::ios::binary);
  std::string text(kMostBytesRead, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return {};
  text.resize(static_cast<std::size_t>(in.gcount()));
  return parsePortMap(text);
}

platform::CommDevices resolveCommDevices(const platform::CommDevices& commandLine,
                                         const std::function<const char*(const char*)>& getenv,
                                         const PortMap& file) {
  platform::CommDevices devices;
  for (int n = 1; n <= 4; ++n) {
    std::string& device = devices[n - 1];
    const char* fromEnvironment = getenv(platform::commEnvironmentVariable(n).c_str());
    if (!commandLine[n - 1].empty()) {
      device = commandLine[n - 1];
    } else if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
      device = fromEnvironment;
    } else if (!file.devices[n - 1].empty()) {
      device = file.devices[n - 1];
    } else {
      device = platform::defaultCommDevice(n);
    }
  }
  return devices;
}

}  // namespace orvik::port_settings
