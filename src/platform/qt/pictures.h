#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <string>

namespace orvik::platform::qt {

// The program's pictures are drawn, not loaded: "orvik:splash" (the splash picture on white) and
// "orvik:icon" (the application icon). Drawn to fit `size` logical pixels; null for any other source.
QPixmap drawPicture(const std::string& source, QSize size);
bool isKnownPicture(const std::string& source);

// "orvik:icon" at the sizes window systems ask for, drawn when asked.
QIcon applicationIcon();

}  // namespace orvik::platform::qt
