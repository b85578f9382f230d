#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/status_decoder.h"
#include "platform/colour.h"

namespace orvik::link {

// A live field as a person sees it.
struct FieldText {
  std::string text;
  platform::Colour colour = platform::kGreen;
  bool operator==(const FieldText&) const = default;
};

// The decimals the live display shows a reading with: the TE module volts, the other volts, and the
// battery temperature in whole degrees Fahrenheit.
inline constexpr int kTeVoltsDecimals = 3;
inline constexpr int kVoltsDecimals = 2;
inline constexpr int kTemperatureDecimals = 0;

// The texts and colours of the live display. The defaults are what shows before the first answer.
struct LiveView {
  FieldText teVolts{"-"};
  FieldText chargeMode{"-"};
  FieldText setpoint{"-"};
  FieldText pwm{"-"};
  FieldText batVolts{"-"};
  FieldText batTemp{"-"};
  std::string alarm;
  std::string revHardware = "-";
  std::string revSoftware = "-";
  std::string calDate = "-";
  bool operator==(const LiveView&) const = default;
};

// What the live display shows after `record`, given what it showed before. A field the record does not
// hold keeps its previous text and colour. The hardware revision is judged as `previous` shows it: this
// record's own revision is shown only afterwards.
LiveView StatusView(const StatusRecord& record, const LiveView& previous);

// The charger's control output in percent for the PWM count of a status record: the count falls as the
// output rises, and from 1013 on the output is off.
double ControlPercent(std::int16_t count);

// The name and colour of a charge mode; none for a mode this program does not know.
std::optional<FieldText> ChargeModeText(std::uint8_t mode);

// The hardware revision as the display shows it, read as a number ("-" reads 0).
double ShownRevision(const LiveView& view);

}  // namespace orvik::link
