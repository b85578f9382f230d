#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "link/change_note.h"
#include "link/run_state.h"
#include "link/subs.h"
#include "platform/message_box.h"

namespace orvik::calibration {

// How a trim corrects its constant so that the reading agrees with the true value.
enum class Correction {
  Gain,    // the reading is a raw measurement times the gain: new gain = gain * actual / measured
  Offset,  // the reading is a raw measurement plus the offset: new offset = offset + actual - measured
};

// The three trims, in the order of the Tools menu's trim items.
enum class TrimKind { BatteryTemp, BatteryVolts, TeVolts };

// What a trim checks and computes, whichever front end runs it: the live reading it starts from, the
// true values it accepts and the constant it corrects.
struct TrimRule {
  const char* quantity;  // what is measured, in plain words: "battery voltage"
  float link::RunState::*reading;
  int decimals;            // of the measured value and the entry
  double lowest, highest;  // the true values accepted, both included
  const char* tooLowText;
  const char* tooHighText;
  const char* numberHint;  // how to type the true value, shown when the entry is not a number
  Correction correction;
  std::uint8_t parameter;
};

const TrimRule& trimRule(TrimKind kind);

// The reading as a trim freezes and shows it: `decimals` decimals; a whole-degree reading of 0 shows no
// digit.
std::string measuredText(const TrimRule& rule, float reading);

// The true value as typed, read whole; a minus sign only where the trim's range goes below zero.
std::optional<double> readEntry(const TrimRule& rule, std::string_view text);
// The entry rounded to the trim's decimals, as the entry then shows it.
std::string entryText(const TrimRule& rule, double typed);
platform::MessageBox notANumber(const TrimRule& rule, std::string_view text);
// The refusal of a true value outside the trim's range; none inside it.
std::optional<platform::MessageBox> outOfRange(const TrimRule& rule, double actual);
// All three steps: the true value accepted (rounded as the entry shows it), or the message refusing it.
std::variant<double, platform::MessageBox> acceptEntry(const TrimRule& rule, std::string_view text);

// The constant as read from the controller, as the trim keeps it (at most 7 significant digits), or the
// message saying why no trim can start from it.
std::variant<std::string, platform::MessageBox> storedConstant(Correction correction,
                                                               const link::FloatBytesArray& bytes);

// The corrected constant: its text (at most 15 significant digits) and the four bytes written.
struct NewConstant {
  std::string text;
  link::FloatBytesArray bytes{};
};

// The new constant from the constant as kept, the reading as shown and the accepted true value; or the
// message saying why nothing may be written (a reading of zero or below for a gain, a result that is
// not finite, not positive for a gain, or that the controller's float cannot hold).
std::variant<NewConstant, platform::MessageBox> newConstant(Correction correction, std::string_view stored,
                                                            std::string_view measured, double actual);

// The change a trim's write makes: the constant as kept and as read, the new one, and the reading and the
// true value it was computed from.
link::ChangeNote trimChange(const TrimRule& rule, const std::string& stored,
                            const link::FloatBytesArray& storedBytes, const NewConstant& value,
                            const std::string& measured, const std::string& reference);

}  // namespace orvik::calibration
