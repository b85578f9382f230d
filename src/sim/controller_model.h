#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvik::sim {

enum class SensorFault { None, Open, Shorted };

// What the simulated charger is and holds.
struct ControllerSettings {
  std::uint8_t hardwareRevision = 5;
  std::uint8_t softwareRevision = 12;
  std::uint8_t chargeMode = 1;  // 0 trickle, 1 charging, 2 starting, 3 warming, 4 disabled
  std::uint8_t alarmCode = 0;
  // From this time on (ms from the start), this alarm code in place of alarmCode.
  std::optional<std::int64_t> laterAlarmAtMs;
  std::uint8_t laterAlarmCode = 0;
  SensorFault sensor = SensorFault::None;
  std::uint8_t shutdownCount = 0;
  std::uint8_t shutdownReason = 0;
  std::uint8_t shutdownMode = 0;
  std::uint8_t powerCycles = 17;
  std::string tag = "ORVIK SIM 0001";
  std::uint8_t calMonth = 2;
  std::uint8_t calDay = 15;
  std::uint8_t calYear = 5;
  // Raw readings held still (before the stored gains and offset), in place of the drifting ones.
  std::optional<double> rawTeMillivolts;
  std::optional<double> rawBatteryMillivolts;
  std::optional<double> rawFahrenheit;
};

// How the simulated charger misbehaves on the line.
struct ControllerFaults {
  bool silent = false;
  std::chrono::milliseconds answerDelay{5};
  int firstBytesOnly = 0;         // send only the first N bytes of each answer (0: all)
  bool badChecksum = false;       // a wrong checksum byte on every answer
  bool writeAcksLost = false;     // parameter writes are stored, their "=" never sent
  bool storesOtherValue = false;  // parameter writes are acknowledged, stored with the last bit flipped
  int badChecksumEvery = 0;       // a wrong checksum byte on every k-th answer (0: none)
  bool wrongAnswers = false;      // every request answered as a tag name read, not as asked
  int garbageBytes = 0;           // junk bytes before every answer
  bool shortAnswers = false;      // a length byte that cuts the answer's content short
  bool overlongAnswers = false;   // 60 bytes that never make a packet
  int dropEvery = 0;              // no answer to every k-th request (0: none dropped)
  std::optional<std::int64_t> unplugAtMs;  // from then on nothing is answered
  // Nothing is answered from outageFromMs for outageForMs, then the controller is back.
  std::optional<std::int64_t> outageFromMs;
  std::int64_t outageForMs = 0;
};

struct Answer {
  std::vector<std::uint8_t> bytes;
  std::chrono::milliseconds delay{0};
};

// A command the controller accepted and acted on.
struct AcceptedWrite {
  std::int64_t atMs = 0;
  std::uint8_t code = 0;       // '=' or 'D'
  std::uint8_t parameter = 0;  // for '='
  std::array<std::uint8_t, 4> value{};
  std::string tag;  // for 'D', the 20 bytes as sent
};

// Live readings at one moment, as the controller measures them.
struct LiveReadings {
  float teMillivolts;
  float batteryMillivolts;
  float batteryFahrenheit;
  float setpointMillivolts;
  int pwm;
};

// The charger's controller as seen from its serial line.
//   receive(byte, nowMs) -> the answer (bytes and delay) once a complete request with a good checksum
//   is in; every accepted write is recorded in writes(), every request in requests().
// Live values drift with time and follow the stored gains and offset, so a trim shows in the next reading.
class ControllerModel {
 public:
  // Parameter numbers.
  static constexpr std::uint8_t kCalDate = 0;
  static constexpr std::uint8_t kBatteryGain = 18;
  static constexpr std::uint8_t kTeGain = 22;
  static constexpr std::uint8_t kTempGain = 26;
  static constexpr std::uint8_t kTempOffset = 30;
  static constexpr std::uint8_t kShutdownStatus = 100;
  static constexpr std::uint8_t kShutdownTe = 104;
  static constexpr std::uint8_t kShutdownBattery = 108;
  static constexpr std::uint8_t kShutdownTemp = 116;

  explicit ControllerModel(ControllerSettings settings = {}, std::uint32_t seed = 1);

  std::optional<Answer> receive(std::uint8_t byte, std::int64_t nowMs);

  ControllerSettings settings;
  ControllerFaults faults;

  std::array<std::uint8_t, 4> parameter(std::uint8_t number) const;
  void setParameter(std::uint8_t number, std::array<std::uint8_t, 4> value);
  void setParameter(std::uint8_t number, float value);
  float parameterValue(std::uint8_t number) const;

  LiveReadings liveAt(std::int64_t nowMs) const;
  // The status answer as the controller would send it at `nowMs`, without line faults.
  std::vector<std::uint8_t> statusAnswer(std::int64_t nowMs) const;

  const std::vector<AcceptedWrite>& writes() const { return writes_; }
  const std::vector<std::vector<std::uint8_t>>& requests() const { return requests_; }

 private:
  std::optional<std::vector<std::uint8_t>> answerTo(const std::vector<std::uint8_t>& request,
                                                    std::int64_t nowMs);
  std::vector<std::uint8_t> applyLineFaults(std::vector<std::uint8_t> answer);
  double noise(std::int64_t nowMs, int channel) const;

  std::uint32_t seed_;
  std::map<std::uint8_t, std::array<std::uint8_t, 4>> parameters_;
  std::vector<std::uint8_t> pending_;
  std::int64_t lastByteMs_ = 0;
  int requestCount_ = 0;
  int answerCount_ = 0;
  std::uint32_t garbageState_;
  std::vector<AcceptedWrite> writes_;
  std::vector<std::vector<std::uint8_t>> requests_;
};

// The checksum both ends put at the packet's last index: two's complement of bytes 1..L-1.
std::uint8_t packetChecksum(const std::vector<std::uint8_t>& packet);

}  // namespace orvik::sim
