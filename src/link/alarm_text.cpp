#include "link/alarm_text.h"

#include <array>

namespace orvik::link {

namespace {

constexpr std::array<const char*, 10> kKnownAlarms = {
    "",
    "Low output from TE modules at startup. Check fuel supply pressure and flow. Purge air from lines.",
    "Low TE module output. Check fuel pressure and flow. Possible restricted orifice in heater.",
    "Low TE output in Charge Mode.",
    "No output from TE modules at startup. Check fuel supply and heater starter. Be sure to press safety "
    "valve "
    "button at startup.",
    "Battery Temperature reading high. Possible shorted wires or bad sensor. Check wiring. Battery setpoint "
    "set "
    "to default.",
    "Battery Temperature reading low. Possible open circuit or bad sensor. Check sensor wiring. Battery "
    "setpoint set to default.",
    "",
    "Low TE module output. Check fuel supply.",
    "",
};

}  // namespace

std::string AlarmText(std::uint8_t code) {
  if (code < kKnownAlarms.size()) return kKnownAlarms[code];
  // The number is written with a blank where a minus sign would go, after the caption's own blank.
  return "Unknow Error Code,  " + std::to_string(code);
}

}  // namespace orvik::link
