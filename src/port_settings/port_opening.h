#pragma once

#include <string>
#include "platform/message_box.h"

namespace orvik::port_settings {

// The warning for a configured port that cannot be opened, with the system's reason (SerialError's
// details) as its detailed text.
platform::MessageBox portUnavailableBox(int number, const std::string& details = {});

}  // namespace orvik::port_settings
