#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace orvik::link {

// A value that does not fit where it must go: a float out of the controller's range, a parameter
// number above 255, a tag character outside the tag's character set (tag_text.h).
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using FloatBytesArray = std::array<std::uint8_t, 4>;

// Two's complement of the 8-bit sum of bytes 1..L-1, where L is the byte at index 1 (0, never 256).
std::uint8_t PacketChecksum(std::span<const std::uint8_t> packet);

// Controller float (exponent byte first, sign in the top bit of the second byte) to single precision.
// FF FF FF FF reads as -1; an exponent byte of 255 otherwise does not fit and throws ConversionError.
float FloatFromBytes(const FloatBytesArray& bytes);

// Single precision to controller float. Zero is 00 00 00 00. Values the format cannot carry
// (subnormal, infinite, not a number) throw ConversionError and leave `bytes` unchanged.
void FloatToBytes(float value, FloatBytesArray& bytes);

}  // namespace orvik::link
