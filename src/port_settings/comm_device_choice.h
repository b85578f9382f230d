#pragma once

#include <functional>

#include "port_settings/port_map.h"

namespace orvik::port_settings {

// The device of each of Comm 1..4 as the monitor and orvikctl both settle it: `commandLine` (--comm1..
// --comm4), else the environment variable ORVIK_COMM<n>, else the line COMM<n>= of comm-devices.cfg in
// `folder` (the working directory when empty), else the platform's default. The map file's bad lines come
// back as problems; a device given empty in the file, or in the variable of a port the command line does not
// name, as errors.
PortMap settleCommDevices(const platform::CommDevices& commandLine,
                          const std::function<const char*(const char*)>& getenv,
                          const std::filesystem::path& folder = {});

}  // namespace orvik::port_settings
