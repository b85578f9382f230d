#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/comm_devices.h"

namespace orvik::port_settings {

// Which device each of Comm 1..4 stands for, a setting of its own beside options.cfg: one line a port,
// for example "COMM1=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0". Blank lines and
// lines starting with '#' are ignored.
inline constexpr const char* kPortMapFile = "comm-devices.cfg";

struct PortMap {
  platform::CommDevices devices;      // empty where the file maps nothing
  std::vector<std::string> problems;  // one per bad line, "comm-devices.cfg:3: ..."
  // A port named with an empty device: a usage error, since going on would use whatever the next
  // source or the default names ("COMM1=" in the file, ORVIK_COMM1 set but empty).
  std::vector<std::string> errors;
};

// `text` as the map file; its problems are named "`fileName`:LINE: ...".
PortMap parsePortMap(std::string_view text, const std::string& fileName = kPortMapFile);

// The map file in `folder`, the working directory when empty. A missing or unreadable file, or one that
// is not a regular file, maps nothing and reports nothing. Problems name the file as it was found.
PortMap readPortMap(const std::filesystem::path& folder = {});

// The device of each port, the first given of: `commandLine`, the environment variable ORVIK_COMM<n>
// (through `getenv`), `file`, the platform's default.
platform::CommDevices resolveCommDevices(const platform::CommDevices& commandLine,
                                         const std::function<const char*(const char*)>& getenv,
                                         const PortMap& file);

}  // namespace orvik::port_settings
