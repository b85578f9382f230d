#include "dialogs/controller_checks.h"

namespace orvik::dialogs {

platform::MessageBox needsRevision5Box() {
  return {"This feature requires Hardware Version 5 or higher.", "Feature not Supported",
          platform::MsgIcon::Information, platform::MsgButtons::Ok};
}

platform::MessageBox sensorFailureBox() {
  return {
      "The battery temperature sensor is not connected or not reading accurately.\r"
      "Check sensor and sensor connections before calibrating.",
      "Temperature Sensor Error", platform::MsgIcon::Exclamation, platform::MsgButtons::Ok};
}

}  // namespace orvik::dialogs
