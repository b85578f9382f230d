#include "port_settings/port_opening.h"

#include <algorithm>
#include <string>

namespace orvik::port_settings {

platform::MessageBox portUnavailableBox(int number, const std::string& details) {
  return {"Comm" + std::to_string(number) + " is unavailable.\rSelect a different serial port.", "Port Setup",
          platform::MsgIcon::Exclamation, platform::MsgButtons::Ok, details};
}

void tellPortUnavailable(platform::Ui& ui, int number, const std::string& device,
                         const platform::SerialError& error) {
  ui.beep();
  ui.messageBox(portUnavailableBox(number, error.details()));
  if (!error.accessRemedy().empty())
    ui.messageBox(noAccessBox({{number, device, error.what(), error.accessRemedy()}}));
}

platform::MessageBox noAccessBox(const std::vector<DeniedPort>& ports) {
  std::string text;
  std::vector<std::string> remedies;
  for (const DeniedPort& port : ports) {
    text += "Comm " + std::to_string(port.number) + " (" + port.device +
            ") cannot be opened: " + port.reason + ".\r";
    if (std::find(remedies.begin(), remedies.end(), port.remedy) == remedies.end())
      remedies.push_back(port.remedy);
  }
  for (const std::string& remedy : remedies)
    text += "\r" + remedy;
  return {text, "Port Setup", platform::MsgIcon::Exclamation, platform::MsgButtons::Ok};
}

}  // namespace orvik::port_settings
