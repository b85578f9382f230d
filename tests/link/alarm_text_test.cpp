#include "link/alarm_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik::link {
namespace {

TEST(AlarmText, GivesEachCodeItsMessage) {
  struct Row {
    std::uint8_t code;
    std::string text;
  };
  const std::vector<Row> rows = {
      {0, ""},
      {1,
       "Low output from TE modules at startup. Check fuel supply pressure and flow. Purge air from lines."},
      {2, "Low TE module output. Check fuel pressure and flow. Possible restricted orifice in heater."},
      {3, "Low TE output in Charge Mode."},
      {4,
       "No output from TE modules at startup. Check fuel supply and heater starter. Be sure to press safety "
       "valve button at startup."},
      {5,
       "Battery Temperature reading high. Possible shorted wires or bad sensor. Check wiring. Battery "
       "setpoint "
       "set to default."},
      {6,
       "Battery Temperature reading low. Possible open circuit or bad sensor. Check sensor wiring. Battery "
       "setpoint set to default."},
      {7, ""},
      {8, "Low TE module output. Check fuel supply."},
      {9, ""},
      {10, "Unknow Error Code,  10"},
      {12, "Unknow Error Code,  12"},
      {255, "Unknow Error Code,  255"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(AlarmText(row.code), row.text) << "code " << int{row.code};
}

}  // namespace
}  // namespace orvik::link
