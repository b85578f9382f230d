#include "port_settings/settings_file.h"

#include <cstdint>

namespace orvik::port_settings {

namespace {
constexpr std::size_t kRecordSize = 2;
}

int readPortNumber(platform::Files& files) {
  try {
    const auto bytes = files.readStart(kSettingsFile, kRecordSize);
    if (bytes.size() < kRecordSize) return 0;
    const auto value = static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
    return value >= 1 && value <= 4 ? value : 0;
  } catch (const platform::FileError&) {
    return 0;
  }
}

bool writePortNumber(platform::Files& files, int portNumber) {
  const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(portNumber));
  try {
    files.writeStart(kSettingsFile,
                     {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
    return true;
  } catch (const platform::FileError&) {
    return false;
  }
}

}  // namespace orvik::port_settings
