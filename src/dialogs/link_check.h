#pragma once

#include "link/controller_link.h"
#include "platform/ui.h"

namespace orvik::dialogs {

// Whether the link works (see ControllerLink::works). When it does not, says so in the
// "Communications Link" message and returns false.
bool confirmLink(platform::Ui& ui, const link::ControllerLink& link);

}  // namespace orvik::dialogs
