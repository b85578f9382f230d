#include "link/subs.h"

#include <cmath>

namespace orvik::link {

std::uint8_t PacketChecksum(std::span<const std::uint8_t> packet) {
  const std::size_t length = packet[1];
  if (length >= packet.size()) throw ConversionError("packet length beyond its buffer");
  std::uint8_t sum = 0;
  for (std::size_t i = 1; i < length; ++i)
    sum = static_cast<std::uint8_t>(sum + packet[i]);
  return static_cast<std::uint8_t>(~sum + 1);
}

float FloatFromBytes(const FloatBytesArray& b) {
  if (b[0] == 255 && b[1] == 255 && b[2] == 255 && b[3] == 255) return -1.0f;
  if (b[0] == 0) return 0.0f;
  if (b[0] == 255) throw ConversionError("controller float exponent out of single-precision range");
  const std::uint32_t mantissa = ((b[1] | 0x80u) << 16) | (static_cast<std::uint32_t>(b[2]) << 8) | b[3];
  const double magnitude = std::ldexp(static_cast<double>(mantissa), b[0] - 127 - 23);
  return static_cast<float>(b[1] > 127 ? -magnitude : magnitude);
}

void FloatToBytes(float value, FloatBytesArray& bytes) {
  if (value == 0.0f) {
    bytes = {0, 0, 0, 0};
    return;
  }
  if (!std::isfinite(value)) throw ConversionError("value is not a finite number");
  double v = value;
  int sign = 0;
  if (v < 0) {
    sign = 128;
    v = -v;
  }
  int exponent2 = 0;
  std::frexp(v, &exponent2);  // v = m * 2^exponent2 with 0.5 <= m < 1
  const int e = exponent2 - 1;
  if (e + 127 < 1) throw ConversionError("value too small for the controller float format");
  double t = std::ldexp(v, -e) - 1.0;  // the fraction, 0 <= t < 1
  t = sign + t * 128;
  const int b1 = static_cast<int>(t);
  t = (t - b1) * 256;
  const int b2 = static_cast<int>(t);
  t = (t - b2) * 256;
  const int b3 = static_cast<int>(t);
  bytes = {static_cast<std::uint8_t>(e + 127), static_cast<std::uint8_t>(b1), static_cast<std::uint8_t>(b2),
           static_cast<std::uint8_t>(b3)};
}

}  // namespace orvik::link
