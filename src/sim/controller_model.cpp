#include "sim/controller_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/pic_float.h"

namespace orvik::sim {

namespace {

// A request whose bytes are further apart than this is abandoned, as the firmware's receiver does.
constexpr std::int64_t kRequestGapMs = 100;
constexpr std::uint8_t kUnsetByte = 0xFF;

std::vector<std::uint8_t> packet(std::uint8_t code, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> p;
  p.reserve(payload.size() + 3);
  p.push_back(code);
  p.push_back(static_cast<std::uint8_t>(payload.size() + 2));
  for (auto b : payload)
    p.push_back(b);
  p.push_back(0);
  p.back() = packetChecksum(p);
  return p;
}

void appendFloat(std::vector<std::uint8_t>& out, float v) {
  const auto b = picFloat(v);
  out.insert(out.end(), b.begin(), b.end());
}

double wave(std::int64_t nowMs, double periodS) {
  return std::sin(2 * std::numbers::pi * static_cast<double>(nowMs) / (periodS * 1000.0));
}

}  // namespace

std::uint8_t packetChecksum(const std::vector<std::uint8_t>& packet) {
  unsigned sum = 0;
  const std::size_t length = packet.at(1);
  for (std::size_t i = 1; i < length && i < packet.size(); ++i)
    sum += packet[i];
  return static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF);
}

ControllerModel::ControllerModel(ControllerSettings s, std::uint32_t seed)
    : settings(std::move(s)), seed_(seed), garbageState_(seed * 2654435761u + 1) {
  setParameter(kBatteryGain, 1.0f);
  setParameter(kTeGain, 1.0f);
  setParameter(kTempGain, 1.0f);
  setParameter(kTempOffset, 0.0f);
  setParameter(kShutdownTe, 3150.0f);
  setParameter(kShutdownBattery, 12480.0f);
  setParameter(kShutdownTemp, 71.0f);
}

std::array<std::uint8_t, 4> ControllerModel::parameter(std::uint8_t number) const {
  switch (number) {
    case kCalDate:
      return {0, settings.calMonth, settings.calDay, settings.calYear};
    case kShutdownStatus:
      return {settings.shutdownReason, settings.shutdownMode, settings.shutdownCount, settings.powerCycles};
    default:
      break;
  }
  auto it = parameters_.find(number);
  return it == parameters_.end() ? std::array<std::uint8_t, 4>{kUnsetByte, kUnsetByte, kUnsetByte, kUnsetByte}
                                 : it->second;
}

void ControllerModel::setParameter(std::uint8_t number, std::array<std::uint8_t, 4> value) {
  switch (number) {
    case kCalDate:
      settings.calMonth = value[1];
      settings.calDay = value[2];
      settings.calYear = value[3];
      return;
    case kShutdownStatus:
      // Any write clears the diagnostics log.
      settings.shutdownReason = 0;
      settings.shutdownMode = 0;
      settings.shutdownCount = 0;
      return;
    default:
      parameters_[number] = value;
  }
}

void ControllerModel::setParameter(std::uint8_t number, float value) {
  setParameter(number, picFloat(value));
}

float ControllerModel::parameterValue(std::uint8_t number) const {
  const auto b = parameter(number);
  if (b == std::array<std::uint8_t, 4>{kUnsetByte, kUnsetByte, kUnsetByte, kUnsetByte}) return -1.0f;
  return fromPicFloat(b);
}

double ControllerModel::noise(std::int64_t nowMs, int channel) const {
  // A fresh value every half second, the same for the same moment: readings jitter but replay exactly.
  std::uint32_t h = seed_ ^ static_cast<std::uint32_t>(nowMs / 500) * 2654435761u ^
                    static_cast<std::uint32_t>(channel) * 40503u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return static_cast<double>(h % 2001) / 1000.0 - 1.0;  // -1 .. 1
}

LiveReadings ControllerModel::liveAt(std::int64_t nowMs) const {
  const double rawTe =
      settings.rawTeMillivolts.value_or(12600 + 900 * wave(nowMs, 47) + 40 * noise(nowMs, 1));
  const double rawBattery =
      settings.rawBatteryMillivolts.value_or(13250 + 250 * wave(nowMs, 131) + 12 * noise(nowMs, 2));
  const double rawTemp = settings.rawFahrenheit.value_or(76 + 4 * wave(nowMs, 293) + 0.4 * noise(nowMs, 3));

  LiveReadings r{};
  r.teMillivolts = static_cast<float>(rawTe * parameterValue(kTeGain));
  r.batteryMillivolts = static_cast<float>(rawBattery * parameterValue(kBatteryGain));
  switch (settings.sensor) {
    case SensorFault::Open:
      r.batteryFahrenheit = -50.0f;
      break;
    case SensorFault::Shorted:
      r.batteryFahrenheit = 150.0f;
      break;
    case SensorFault::None:
      r.batteryFahrenheit =
          static_cast<float>(rawTemp * parameterValue(kTempGain) + parameterValue(kTempOffset));
      break;
  }
  // Temperature-compensated charge voltage; a failed sensor falls back to the default.
  const double setpoint = settings.sensor == SensorFault::None
                              ? std::clamp(14400.0 - 30.0 * (r.batteryFahrenheit - 77.0), 13200.0, 14800.0)
                              : 13800.0;
  r.setpointMillivolts = static_cast<float>(setpoint);
  static constexpr std::array<int, 5> kPwmByMode{900, 480, 1023, 1000, 1023};
  const int base = settings.chargeMode < kPwmByMode.size() ? kPwmByMode[settings.chargeMode] : 512;
  r.pwm = std::clamp(base + static_cast<int>(20 * noise(nowMs, 4)), 0, 1023);
  return r;
}

std::vector<std::uint8_t> ControllerModel::statusAnswer(std::int64_t nowMs) const {
  const LiveReadings r = liveAt(nowMs);
  std::vector<std::uint8_t> payload;
  appendFloat(payload, r.teMillivolts);
  appendFloat(payload, r.batteryMillivolts);
  appendFloat(payload, 0.0f);  // a reading this tool does not use
  appendFloat(payload, r.batteryFahrenheit);
  appendFloat(payload, r.setpointMillivolts);
  payload.push_back(settings.chargeMode);
  const bool later = settings.laterAlarmAtMs && nowMs >= *settings.laterAlarmAtMs;
  payload.push_back(later ? settings.laterAlarmCode : settings.alarmCode);
  payload.push_back(static_cast<std::uint8_t>(r.pwm >> 8));
  payload.push_back(static_cast<std::uint8_t>(r.pwm & 0xFF));
  payload.push_back(settings.hardwareRevision);
  payload.push_back(settings.softwareRevision);
  payload.push_back(settings.calMonth);
  payload.push_back(settings.calDay);
  payload.push_back(settings.calYear);
  return packet('>', payload);
}

std::optional<Answer> ControllerModel::receive(std::uint8_t byte, std::int64_t nowMs) {
  if (!pending_.empty() && nowMs - lastByteMs_ > kRequestGapMs) pending_.clear();
  lastByteMs_ = nowMs;
  pending_.push_back(byte);
  if (pending_.size() < 2) return std::nullopt;
  const std::size_t length = pending_[1];
  if (length < 2 || length > 50) {
    pending_.clear();
    return std::nullopt;
  }
  if (pending_.size() < length + 1) return std::nullopt;

  std::vector<std::uint8_t> request;
  request.swap(pending_);
  if (packetChecksum(request) != request[length]) return std::nullopt;
  requests_.push_back(request);
  ++requestCount_;

  if (faults.silent || (faults.unplugAtMs && nowMs >= *faults.unplugAtMs)) return std::nullopt;
  if (faults.outageFromMs && nowMs >= *faults.outageFromMs &&
      nowMs < *faults.outageFromMs + faults.outageForMs) {
    return std::nullopt;
  }
  if (faults.dropEvery > 0 && requestCount_ % faults.dropEvery == 0) return std::nullopt;
  static const std::vector<std::uint8_t> kTagRead{'C', 2, 0xFE};
  auto answer = answerTo(faults.wrongAnswers ? kTagRead : request, nowMs);
  if (!answer) return std::nullopt;
  return Answer{applyLineFaults(std::move(*answer)), faults.answerDelay};
}

std::optional<std::vector<std::uint8_t>> ControllerModel::answerTo(const std::vector<std::uint8_t>& request,
                                                                   std::int64_t nowMs) {
  const std::uint8_t code = request[0];
  const std::size_t length = request[1];
  switch (code) {
    case '>':
      return statusAnswer(nowMs);
    case 'B': {
      if (length < 3) return std::nullopt;
      const auto value = parameter(request[2]);
      return packet('B', {value.begin(), value.end()});
    }
    case '=': {
      if (length < 7) return std::nullopt;
      AcceptedWrite w;
      w.atMs = nowMs;
      w.code = '=';
      w.parameter = request[2];
      std::copy(request.begin() + 3, request.begin() + 7, w.value.begin());
      std::array<std::uint8_t, 4> stored = w.value;
      if (faults.storesOtherValue) stored[3] ^= 1;
      setParameter(w.parameter, stored);
      writes_.push_back(w);
      if (faults.writeAcksLost) return std::nullopt;
      return packet('=', {});
    }
    case 'C': {
      std::string tag = settings.tag;
      tag.resize(20, ' ');
      return packet('C', {tag.begin(), tag.end()});
    }
    case 'D': {
      if (length < 22) return std::nullopt;
      AcceptedWrite w;
      w.atMs = nowMs;
      w.code = 'D';
      w.tag.assign(request.begin() + 2, request.begin() + 22);
      settings.tag = w.tag;
      writes_.push_back(w);
      return packet('D', {});
    }
    default:
      return std::nullopt;
  }
}

std::vector<std::uint8_t> ControllerModel::applyLineFaults(std::vector<std::uint8_t> answer) {
  if (faults.shortAnswers && answer[1] > 2) {
    answer[1] = static_cast<std::uint8_t>(answer[1] / 2);
    answer.resize(answer[1] + 1u);
    answer.back() = packetChecksum(answer);
  }
  ++answerCount_;
  const bool spoilt =
      faults.badChecksum || (faults.badChecksumEvery > 0 && answerCount_ % faults.badChecksumEvery == 0);
  if (spoilt) answer.back() = static_cast<std::uint8_t>(answer.back() ^ 0x5A);
  if (faults.overlongAnswers) {
    const std::uint8_t code = answer[0];
    answer.assign(60, 0x55);
    answer[0] = code;
    answer[1] = 0xFF;  // a length no packet reaches
  }
  if (faults.garbageBytes > 0) {
    std::vector<std::uint8_t> junk;
    for (int i = 0; i < faults.garbageBytes; ++i) {
      garbageState_ = garbageState_ * 1664525u + 1013904223u;
      junk.push_back(static_cast<std::uint8_t>(garbageState_ >> 24));
    }
    answer.insert(answer.begin(), junk.begin(), junk.end());
  }
  if (faults.firstBytesOnly > 0 && answer.size() > static_cast<std::size_t>(faults.firstBytesOnly)) {
    answer.resize(static_cast<std::size_t>(faults.firstBytesOnly));
  }
  return answer;
}

}  // namespace orvik::sim
