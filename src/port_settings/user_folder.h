#pragma once

#include <filesystem>
#include <functional>

namespace orvik::port_settings {

// The per-user folder, where the menu entry's monitor (--user-folder) keeps options.cfg and
// comm-devices.cfg: $XDG_CONFIG_HOME/orvik-monitor, or $HOME/.config/orvik-monitor when that is unset,
// empty or relative (on Windows %APPDATA%/Orvik Monitor). Empty when there is none.
std::filesystem::path userFolder(const std::function<const char*(const char*)>& getenv);

// Where orvikctl finds the port settings: the working folder when it holds options.cfg, else the
// per-user folder when it exists, else the working folder. The working folder is the empty path.
std::filesystem::path settingsFolder(const std::function<const char*(const char*)>& getenv);

}  // namespace orvik::port_settings
