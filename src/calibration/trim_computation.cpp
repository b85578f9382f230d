#include "calibration/trim_computation.h"

#include <array>
#include <charconv>
#include <cmath>

#include "link/display_format.h"
#include "link/entry_number.h"
#include "link/parameter_numbers.h"

namespace orvik::calibration {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

constexpr const char* kVoltageOutOfRange = "Voltage entered exceeds operating range.";
constexpr const char* kTemperatureOutOfRange = "Temperature entered exceeds operating range.";
constexpr const char* kVoltageHint = "Type the voltage with a decimal point, for example 12.5.";

constexpr TrimRule kBatteryTemp = {
    .quantity = "battery temperature",
    .reading = &link::RunState::BatTemp,
    .decimals = 0,
    .lowest = -50,
    .highest = 150,
    .tooLowText = kTemperatureOutOfRange,
    .tooHighText = kTemperatureOutOfRange,
    .numberHint = "Type the temperature in degrees Fahrenheit, for example 77 or -5.",
    .correction = Correction::Offset,
    .parameter = link::parameter::kBatteryTempOffset,
};

constexpr TrimRule kBatteryVolts = {
    .quantity = "battery voltage",
    .reading = &link::RunState::BatVolts,
    .decimals = 3,
    .lowest = 10,
    .highest = 32,
    .tooLowText = kVoltageOutOfRange,
    .tooHighText = kVoltageOutOfRange,
    .numberHint = kVoltageHint,
    .correction = Correction::Gain,
    .parameter = link::parameter::kBatteryVoltsGain,
};

constexpr TrimRule kTeVolts = {
    .quantity = "TE module voltage",
    .reading = &link::RunState::TEvolts,
    .decimals = 3,
    .lowest = 3,
    .highest = 20,
    .tooLowText =
        "Actual TE module voltage must be greater than 3.0 volts\rbefore the trimming can be performed.",
    .tooHighText = kVoltageOutOfRange,
    .numberHint = kVoltageHint,
    .correction = Correction::Gain,
    .parameter = link::parameter::kTeVoltsGain,
};

constexpr link::FloatBytesArray kNeverStored = {255, 255, 255, 255};
// Added to every new value before it is written: a computed 0 goes out as 1e-11, never as zero bytes.
constexpr double kWriteBias = 1e-11;

// A number as the trim keeps it: at most `significant` digits, no trailing zeros, the exponent form only
// for very large or very small magnitudes ("1.01247367568443", "1e-11").
template <typename Real>
std::string numberText(Real value, int significant) {
  std::array<char, 64> buf{};
  const auto end =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, significant).ptr;
  return std::string(buf.data(), end);
}

const char* constantName(Correction correction) {
  return correction == Correction::Gain ? "gain" : "offset";
}

platform::MessageBox refusal(const std::string& why) {
  return {why + "\rNothing has been written to the controller.", "Trim Not Possible", MsgIcon::Exclamation,
          MsgButtons::Ok};
}

}  // namespace

const TrimRule& trimRule(TrimKind kind) {
  switch (kind) {
    case TrimKind::BatteryTemp:
      return kBatteryTemp;
    case TrimKind::BatteryVolts:
      return kBatteryVolts;
    default:
      return kTeVolts;
  }
}

std::string measuredText(const TrimRule& rule, float reading) {
  std::string shown = link::formatFixed(reading, rule.decimals);
  if (rule.decimals == 0 && shown == "0") shown.clear();
  return shown;
}

std::optional<double> readEntry(const TrimRule& rule, std::string_view text) {
  return link::ParseEntryNumber(text, rule.lowest < 0);
}

std::string entryText(const TrimRule& rule, double typed) {
  return link::formatFixed(typed, rule.decimals);
}

platform::MessageBox notANumber(const TrimRule& rule, std::string_view text) {
  return {"\"" + std::string(text) + "\" is not a number.\r" + rule.numberHint, "Invalid Number",
          MsgIcon::Exclamation, MsgButtons::Ok};
}

std::optional<platform::MessageBox> outOfRange(const TrimRule& rule, double actual) {
  const char* text = actual > rule.highest  ? rule.tooHighText
                     : actual < rule.lowest ? rule.tooLowText
                                            : nullptr;
  if (text == nullptr) return std::nullopt;
  return platform::MessageBox{text, "Range Error", MsgIcon::Exclamation, MsgButtons::Ok};
}

std::variant<double, platform::MessageBox> acceptEntry(const TrimRule& rule, std::string_view text) {
  const std::optional<double> typed = readEntry(rule, text);
  if (!typed) return notANumber(rule, text);
  const double actual = link::leadingNumber(entryText(rule, *typed));
  if (auto refused = outOfRange(rule, actual)) return *refused;
  return actual;
}

std::variant<std::string, platform::MessageBox> storedConstant(Correction correction,
                                                               const link::FloatBytesArray& bytes) {
  // The never-stored marker decodes as -1: an offset of -1 °F would be trimmed from, a gain refused as
  // negative.
  if (bytes == kNeverStored)
    return refusal(std::string("The controller has no ") + constantName(correction) + " stored.");
  float value = 0;
  try {
    value = link::FloatFromBytes(bytes);
  } catch (const link::ConversionError&) {
    return refusal(std::string("The controller's stored ") + constantName(correction) +
                   " cannot be read as a number.");
  }
  if (correction == Correction::Gain && !(value > 0)) {
    return refusal("The controller's stored gain is " + numberText(value, 7) + ", not a positive number.");
  }
  return numberText(value, 7);
}

std::variant<NewConstant, platform::MessageBox> newConstant(Correction correction, std::string_view stored,
                                                            std::string_view measured, double actual) {
  const double constant = link::leadingNumber(stored);
  const double measuredValue = link::leadingNumber(measured);
  double next = 0;
  if (correction == Correction::Gain) {
    if (!(measuredValue > 0)) {
      return refusal("The measured reading is " + std::string(measured) +
                     ": no gain can be worked out from a reading of zero or below.");
    }
    const double raw = (measuredValue * 1000) / constant;
    next = (actual * 1000) / raw;
  } else {
    next = (actual - measuredValue) + constant;
  }
  NewConstant result{numberText(next, 15)};
  if (!std::isfinite(next) || (correction == Correction::Gain && !(next > 0))) {
    return refusal(std::string("The new ") + constantName(correction) + " works out as " + result.text +
                   ", which the controller cannot use.");
  }
  try {
    link::FloatToBytes(static_cast<float>(link::leadingNumber(result.text) + kWriteBias), result.bytes);
  } catch (const link::ConversionError&) {
    return refusal(std::string("The new ") + constantName(correction) + " works out as " + result.text +
                   ", which the controller cannot store.");
  }
  return result;
}

link::ChangeNote trimChange(const TrimRule& rule, const std::string& stored,
                            const link::FloatBytesArray& storedBytes, const NewConstant& value,
                            const std::string& measured, const std::string& reference) {
  using link::ChangeKind;
  link::ChangeNote note;
  note.change = rule.parameter == link::parameter::kBatteryVoltsGain ? ChangeKind::BatteryVoltsGain
                : rule.parameter == link::parameter::kTeVoltsGain    ? ChangeKind::TeVoltsGain
                                                                     : ChangeKind::BatteryTempOffset;
  note.parameter = rule.parameter;
  note.before = stored;
  note.beforeBytes = storedBytes;
  note.written = value.text;
  note.writtenBytes = value.bytes;
  note.measured = measured;
  note.reference = reference;
  return note;
}

}  // namespace orvik::calibration
