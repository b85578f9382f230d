#pragma once

#include <cstdint>
#include <string>

namespace orvik::link {

// What an alarm code of the controller means, for the technician. Codes 0, 7 and 9 have no text;
// codes from 10 on are unknown to this program and are shown with their number.
std::string AlarmText(std::uint8_t code);

}  // namespace orvik::link
