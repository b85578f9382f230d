#pragma once

#include "platform/message_box.h"

namespace orvik::dialogs {

// The report, the tag editor and the log reset need a controller of hardware revision 5 or later.
inline constexpr double kFirstRevisionWithReports = 5;
platform::MessageBox needsRevision5Box();

// A battery temperature trim needs a working temperature sensor.
platform::MessageBox sensorFailureBox();

}  // namespace orvik::dialogs
