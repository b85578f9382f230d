#pragma once

#include "platform/files.h"

namespace orvik::port_settings {

// The port settings file: one 2-byte record, a 16-bit little-endian port number, in the working directory.
inline constexpr const char* kSettingsFile = "options.cfg";

// The configured port, 1..4; 0 when the file is missing (it is then created empty), empty, shorter than a
// record, unreadable, or holds any other number.
int readPortNumber(platform::Files& files);

// Writes `portNumber` as record 1, leaving any later bytes as they are; false when it cannot.
bool writePortNumber(platform::Files& files, int portNumber);

}  // namespace orvik::port_settings
