#pragma once

#include "link/run_state.h"
#include "platform/ui.h"

namespace orvik::calibration {

// Whether the main window shows a working link: something received, no time-out since, and a status
// record shown. When it does not, says so in the "Communications Link" message and returns false.
bool confirmLink(platform::Ui& ui, const link::RunState& state);

}  // namespace orvik::calibration
