#pragma once

#include <array>
#include <string>

namespace orvik::platform {

// The device each of "Comm 1".."Comm 4" stands for, index 0 for Comm 1.
using CommDevices = std::array<std::string, 4>;

// The device of "Comm n" when nothing maps it: COMn on Windows, /dev/ttyS{n-1} elsewhere.
std::string defaultCommDevice(int number);

// The environment variable that maps "Comm n" to a device: ORVIK_COMM<n>.
std::string commEnvironmentVariable(int number);

}  // namespace orvik::platform
