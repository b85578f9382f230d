#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace orvik::sim {

// The controller's own float arrangement, done as the firmware does it: the fields of an IEEE 754
// single moved about (exponent byte first, sign in the top bit of the second byte).
inline std::array<std::uint8_t, 4> picFloat(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const auto exponent = static_cast<std::uint8_t>((bits >> 23) & 0xFF);
  if (exponent == 0) return {0, 0, 0, 0};
  const auto sign = static_cast<std::uint8_t>((bits >> 31) << 7);
  return {exponent, static_cast<std::uint8_t>(sign | ((bits >> 16) & 0x7F)),
          static_cast<std::uint8_t>((bits >> 8) & 0xFF), static_cast<std::uint8_t>(bits & 0xFF)};
}

inline float fromPicFloat(const std::array<std::uint8_t, 4>& b) {
  if (b[0] == 0) return 0.0f;
  const std::uint32_t bits =
      (static_cast<std::uint32_t>(b[1] & 0x80) << 24) | (static_cast<std::uint32_t>(b[0]) << 23) |
      (static_cast<std::uint32_t>(b[1] & 0x7F) << 16) | (static_cast<std::uint32_t>(b[2]) << 8) | b[3];
  return std::bit_cast<float>(bits);
}

}  // namespace orvik::sim
