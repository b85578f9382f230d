#include "port_settings/port_opening.h"

#include <string>

namespace orvik::port_settings {

platform::MessageBox portUnavailableBox(int number, const std::string& details) {
  return {"Comm" + std::to_string(number) + " is unavailable.\rSelect a different serial port.", "Port Setup",
          platform::MsgIcon::Exclamation, platform::MsgButtons::Ok, details};
}

}  // namespace orvik::port_settings
