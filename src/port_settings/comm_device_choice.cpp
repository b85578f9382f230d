#include "port_settings/comm_device_choice.h"

namespace orvik::port_settings {

PortMap settleCommDevices(const platform::CommDevices& commandLine,
                          const std::function<const char*(const char*)>& getenv) {
  PortMap file = readPortMap();
  return {resolveCommDevices(commandLine, getenv, file), std::move(file.problems)};
}

}  // namespace orvik::port_settings
