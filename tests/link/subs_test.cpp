#include "link/subs.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace orvik::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint8_t checksumOf(Bytes packet) {
  return PacketChecksum(packet);
}

TEST(PacketChecksum, MatchesTheWorkedPackets) {
  struct Row {
    const char* what;
    Bytes packet;  // as sent, checksum last
  };
  Bytes tag{0x44, 0x16, 'A', 'B', 'C'};
  tag.insert(tag.end(), 17, 0x20);
  tag.push_back(0x04);
  const std::vector<Row> rows = {
      {"status request", {0x3E, 0x02, 0xFE}},
      {"read tag name", {0x43, 0x02, 0xFE}},
      {"read parameter 18", {0x42, 0x03, 0x12, 0xEB}},
      {"read parameter 100", {0x42, 0x03, 0x64, 0x99}},
      {"write parameter 30 = 1.0", {0x3D, 0x07, 0x1E, 0x7F, 0x00, 0x00, 0x00, 0x5C}},
      {"write parameter 100 = 0", {0x3D, 0x07, 0x64, 0x00, 0x00, 0x00, 0x00, 0x95}},
      {"write calibration date", {0x3D, 0x07, 0x00, 0x00, 0x02, 0x0F, 0x05, 0xE3}},
      {"write tag ABC", tag},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(checksumOf(row.packet), row.packet.back()) << row.what;
    unsigned sum = 0;
    for (std::size_t i = 1; i < row.packet.size(); ++i)
      sum += row.packet[i];
    EXPECT_EQ(sum % 256, 0u) << row.what << ": bytes 1..L with the checksum sum to a multiple of 256";
  }
}

TEST(PacketChecksum, IsZeroNeverTwoFiftySixAndIgnoresTheCodeByte) {
  // 03 + FD = 256: the checksum is 0.
  EXPECT_EQ(checksumOf({0x42, 0x03, 0xFD, 0x00}), 0);
  EXPECT_EQ(checksumOf({0x42, 0x03, 0x12, 0x00}), checksumOf({0x43, 0x03, 0x12, 0x00}));
  std::mt19937 rng(7);
  for (int n = 0; n < 2000; ++n) {
    Bytes p(2 + rng() % 49);
    for (auto& b : p)
      b = static_cast<std::uint8_t>(rng());
    p[1] = static_cast<std::uint8_t>(p.size());
    p.push_back(0);
    p.back() = checksumOf(p);
    unsigned sum = 0;
    for (std::size_t i = 1; i < p.size(); ++i)
      sum += p[i];
    ASSERT_EQ(sum % 256, 0u);
  }
}

FloatBytesArray encode(float v) {
  FloatBytesArray b{};
  FloatToBytes(v, b);
  return b;
}

TEST(ControllerFloat, MatchesTheWorkedValues) {
  struct Row {
    float value;
    FloatBytesArray bytes;
  };
  const std::vector<Row> rows = {
      {0.0f, {0x00, 0x00, 0x00, 0x00}},     {1.0f, {0x7F, 0x00, 0x00, 0x00}},
      {-1.0f, {0x7F, 0x80, 0x00, 0x00}},    {-2.5f, {0x80, 0xA0, 0x00, 0x00}},
      {12.5f, {0x82, 0x48, 0x00, 0x00}},    {1000.0f, {0x88, 0x7A, 0x00, 0x00}},
      {13800.0f, {0x8C, 0x57, 0xA0, 0x00}}, {0.1f, {0x7B, 0x4C, 0xCC, 0xCD}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(encode(row.value), row.bytes) << row.value;
    EXPECT_EQ(FloatFromBytes(row.bytes), row.value) << row.value;
  }
}

TEST(ControllerFloat, AllOnesIsAOneWayMarkerForMinusOne) {
  EXPECT_EQ(FloatFromBytes({0xFF, 0xFF, 0xFF, 0xFF}), -1.0f);
  EXPECT_EQ(encode(-1.0f), (FloatBytesArray{0x7F, 0x80, 0x00, 0x00}));
  EXPECT_EQ(FloatFromBytes({0x00, 0x12, 0x34, 0x56}), 0.0f) << "an exponent byte of 0 is zero";
  EXPECT_EQ(encode(-0.0f), (FloatBytesArray{0, 0, 0, 0}));
}

// The same arrangement computed independently from the IEEE 754 bit fields.
FloatBytesArray rearrangedBits(float v) {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  return {static_cast<std::uint8_t>(bits >> 23),
          static_cast<std::uint8_t>(((bits >> 24) & 0x80) | ((bits >> 16) & 0x7F)),
          static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
}

TEST(ControllerFloat, EveryNormalSingleSurvivesTheRoundTripAndMatchesTheBitFields) {
  std::mt19937 rng(20261207);
  int checked = 0;
  while (checked < 1'000'000) {
    const auto v = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
    if (!std::isnormal(v)) continue;
    const FloatBytesArray b = encode(v);
    ASSERT_EQ(b, rearrangedBits(v)) << v;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(FloatFromBytes(b)), std::bit_cast<std::uint32_t>(v)) << v;
    ++checked;
  }
  for (float v : {std::numeric_limits<float>::min(), -std::numeric_limits<float>::min(),
                  std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()}) {
    EXPECT_EQ(FloatFromBytes(encode(v)), v);
  }
}

TEST(ControllerFloat, ValuesTheFormatCannotCarryAreRefusedWithoutTouchingTheBytes) {
  FloatBytesArray b{1, 2, 3, 4};
  for (float v : {std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::infinity(),
                  std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_THROW(FloatToBytes(v, b), ConversionError) << v;
    EXPECT_EQ(b, (FloatBytesArray{1, 2, 3, 4}));
  }
  EXPECT_THROW(FloatFromBytes({0xFF, 0x00, 0x00, 0x00}), ConversionError);
  EXPECT_THROW(FloatFromBytes({0xFF, 0xFF, 0xFF, 0xFE}), ConversionError);
}

}  // namespace
}  // namespace orvik::link
