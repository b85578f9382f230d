#include "port_settings/port_map.h"

#include <algorithm>
#include <filesystem>

#include "platform/file_start.h"

namespace orvik::port_settings {

namespace {

// Far beyond four lines and comments. A bigger file is not a device map someone wrote by hand; rather
// than hold a stray huge file in memory, its first lines are read and the cut is reported, so that no
// mapping goes missing unsaid.
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

// The first control character in a line, tabs aside (a NUL would cut the device's name short when
// it is opened); -1 for none.
int controlCharacterIn(std::string_view line) {
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return byte;
  }
  return -1;
}

}  // namespace

PortMap parsePortMap(std::string_view text, const std::string& fileName) {
  PortMap map;
  std::array<int, 4> lineOf{};
  int lineNumber = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;

    const std::string where = fileName + ":" + std::to_string(lineNumber) + ": ";
    if (const int control = controlCharacterIn(line); control >= 0) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      map.problems.push_back(where + "control character 0x" + kHex[control >> 4] + kHex[control & 0xF]);
      continue;
    }
    const auto equals = line.find('=');
    const int port = equals == std::string_view::npos ? 0 : portOfKey(trimmed(line.substr(0, equals)));
    if (port == 0) {
      map.problems.push_back(where + "expected COMM1..COMM4=DEVICE");
      continue;
    }
    const std::string_view device = trimmed(line.substr(equals + 1));
    if (device.empty()) {
      map.errors.push_back(where + "COMM" + std::to_string(port) + " names no device");
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

PortMap readPortMap(const std::filesystem::path& folder) {
  const std::string path = (folder / kPortMapFile).string();
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return {};
  std::optional<std::string> read = platform::ReadFileStart(path, kMostBytesRead + 1);
  if (!read) return {};
  std::string& text = *read;
  if (text.size() <= kMostBytesRead) return parsePortMap(text, path);

  // Whole lines only: a line cut short could name a shorter device than the one meant.
  text.resize(kMostBytesRead);
  text.resize(text.rfind('\n') + 1);  // npos + 1 is 0: no whole line at all
  PortMap map = parsePortMap(text, path);
  const auto firstUnread = std::count(text.begin(), text.end(), '\n') + 1;
  map.problems.push_back(path + ":" + std::to_string(firstUnread) + ": the file goes on past " +
                         std::to_string(kMostBytesRead / 1024) +
                         " KiB; this line and those after it were not read");
  return map;
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
