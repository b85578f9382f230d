#include "platform/comm_devices.h"

namespace orvik::platform {

std::string defaultCommDevice(int number) {
#ifdef _WIN32
  return "COM" + std::to_string(number);
#else
  return "/dev/ttyS" + std::to_string(number - 1);
#endif
}

std::string commEnvironmentVariable(int number) {
  return "ORVIK_COMM" + std::to_string(number);
}

}  // namespace orvik::platform
