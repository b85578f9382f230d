#include "link/status_decoder.h"

#include <algorithm>
#include <limits>

#include "link/display_format.h"
#include "link/subs.h"

namespace orvik::link {

namespace {

namespace field = status_record;

// Whether the record ends (at its checksum index) after the byte at `lastIndex`, so the field is part of
// this packet rather than left over from an older one.
bool holds(std::span<const std::uint8_t> packet, int lastIndex) {
  return lastIndex < packet[1] && static_cast<std::size_t>(lastIndex) < packet.size();
}

std::optional<float> floatAt(std::span<const std::uint8_t> packet, int index, StatusRecord& record) {
  if (!holds(packet, index + 3)) return std::nullopt;
  FloatBytesArray bytes{};
  std::copy_n(packet.begin() + index, 4, bytes.begin());
  record.lastFloatIndex = index;
  try {
    return FloatFromBytes(bytes);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

std::optional<std::uint8_t> byteAt(std::span<const std::uint8_t> packet, int index) {
  if (!holds(packet, index)) return std::nullopt;
  return packet[index];
}

}  // namespace

StatusRecord DecodeStatusRecord(std::span<const std::uint8_t> packet) {
  StatusRecord r;
  if (packet.size() < 2) return r;
  if (auto te = floatAt(packet, field::kTeMillivolts, r)) r.teVolts = std::max(*te / 1000.0f, 0.0f);
  if (auto v = floatAt(packet, field::kBatteryMillivolts, r)) r.batVolts = *v / 1000.0f;
  r.batTemp = floatAt(packet, field::kBatteryTemperature, r);
  if (auto v = floatAt(packet, field::kSetpointMillivolts, r)) r.setpoint = *v / 1000.0f;
  r.chargeMode = byteAt(packet, field::kChargeMode);
  r.alarmCode = byteAt(packet, field::kAlarmCode);
  if (holds(packet, field::kPwmLow)) {
    const int count = packet[field::kPwmHigh] * 256 + packet[field::kPwmLow];
    if (count <= std::numeric_limits<std::int16_t>::max()) r.pwmCount = static_cast<std::int16_t>(count);
  }
  r.hardwareRevision = byteAt(packet, field::kHardwareRevision);
  r.softwareRevision = byteAt(packet, field::kSoftwareRevision);
  if (holds(packet, field::kCalibrationYear)) {
    r.calibration = StatusRecord::CalibrationBytes{
        packet[field::kCalibrationMonth], packet[field::kCalibrationDay], packet[field::kCalibrationYear]};
  }
  return r;
}

std::optional<platform::Date> CalibrationDate(std::uint8_t month, std::uint8_t day,
                                              std::uint8_t twoDigitYear) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || twoDigitYear < 1 || twoDigitYear > 99)
    return std::nullopt;
  return platform::Date{fullYear(twoDigitYear), month, day};
}

}  // namespace orvik::link
