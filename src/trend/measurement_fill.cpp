#include "trend/measurement_fill.h"

#include <cmath>

namespace orvik::trend {

void FillForMeasurement(link::StatusStore& store, double hours, std::chrono::system_clock::time_point end) {
  constexpr auto kPoll = std::chrono::seconds(2);
  const long count = std::lround(hours * 3600 / 2);
  for (long i = 0; i < count; ++i) {
    const auto at = end - (count - 1 - i) * kPoll;
    if (i % 5400 > 5300) {  // about three minutes without an answer every three hours
      store.addMissed(at);
      continue;
    }
    const double phase = static_cast<double>(i) / 900.0;
    link::StatusRecord record;
    record.teVolts = static_cast<float>(13.6 + 0.4 * std::sin(phase));
    record.batVolts = static_cast<float>(12.9 + 0.5 * std::sin(phase / 3));
    record.setpoint = 13.8f;
    record.batTemp = static_cast<float>(std::lround(75 + 10 * std::sin(phase / 7)));
    record.chargeMode = 1;
    record.alarmCode = static_cast<std::uint8_t>(i % 9000 < 300 ? 3 : 0);
    record.pwmCount = static_cast<std::int16_t>(500 + std::lround(300 * std::sin(phase * 2)));
    record.hardwareRevision = 5;
    record.softwareRevision = 12;
    record.calibration = link::StatusRecord::CalibrationBytes{6, 15, 26};
    store.addRecord(at, record);
  }
}

}  // namespace orvik::trend
