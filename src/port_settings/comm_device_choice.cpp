#include "port_settings/comm_device_choice.h"

namespace orvik::port_settings {

PortMap settleCommDevices(const platform::CommDevices& commandLine,
                          const std::function<const char*(const char*)>& getenv,
                          const std::filesystem::path& folder) {
  PortMap file = readPortMap(folder);
  PortMap settled{resolveCommDevices(commandLine, getenv, file), std::move(file.problems),
                  std::move(file.errors)};
  for (int n = 1; n <= 4; ++n) {
    const std::string variable = platform::commEnvironmentVariable(n);
    const char* value = getenv(variable.c_str());
    if (commandLine[n - 1].empty() && value != nullptr && *value == '\0')
      settled.errors.push_back(variable + " is set but empty: give it a device, or unset it");
  }
  return settled;
}

}  // namespace orvik::port_settings
