#pragma once

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/ui.h"

namespace orvik::port_settings {

// The warning for a configured port that cannot be opened, with the system's reason (SerialError's
// details) as its detailed text.
platform::MessageBox portUnavailableBox(int number, const std::string& details = {});

// A beep and the warning for port `number` (on `device`) that failed to open with `error`, followed, when
// the device is there but not this user's to open, by noAccessBox's explanation.
void tellPortUnavailable(platform::Ui& ui, int number, const std::string& device,
                         const platform::SerialError& error);

// A port whose device is there but that this user may not open.
struct DeniedPort {
  int number = 0;
  std::string device;
  std::string reason;  // the system's: "Permission denied"
  std::string remedy;  // SerialError::accessRemedy()
};

// What follows the port messages when devices are there but this user may not open them: each port
// with the system's reason, then what to do, each remedy once.
platform::MessageBox noAccessBox(const std::vector<DeniedPort>& ports);

}  // namespace orvik::port_settings
