#pragma once

#include "platform/message_box.h"
#include "platform/serial_port.h"

namespace orvik::port_settings {

// Opens "Comm n" for the controller: no handshaking, that port number, open, empty receive buffer.
// Throws platform::SerialError when the port is missing, held by another program or cannot be set up.
void openCommPort(platform::SerialPort& port, int number);

// The warning for a configured port that cannot be opened, with the system's reason (SerialError's
// details) as its detailed text.
platform::MessageBox portUnavailableBox(int number, const std::string& details = {});

}  // namespace orvik::port_settings
