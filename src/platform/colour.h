#pragma once

#include <cstdint>

namespace orvik::platform {

// Colours as the controller-era tools numbered them: blue-green-red, red in the low byte.
using Colour = std::uint32_t;

inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kRed = 255;
inline constexpr Colour kGreen = 65280;
inline constexpr Colour kYellow = 65535;
inline constexpr Colour kCyan = 16776960;
inline constexpr Colour kDarkRed = 64;
inline constexpr Colour kGrey = 0x808080;

constexpr int redOf(Colour c) {
  return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(Colour c) {
  return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int blueOf(Colour c) {
  return static_cast<int>((c >> 16) & 0xFF);
}

}  // namespace orvik::platform
