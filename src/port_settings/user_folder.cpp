#include "port_settings/user_folder.h"

#include <system_error>

#include "port_settings/settings_file.h"

namespace orvik::port_settings {

std::filesystem::path userFolder(const std::function<const char*(const char*)>& getenv) {
  const auto variable = [&](const char* name) -> std::filesystem::path {
    const char* value = getenv(name);
    return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
  };
#ifdef _WIN32
  const std::filesystem::path appData = variable("APPDATA");
  return appData.empty() ? appData : appData / "Orvik Monitor";
#else
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
  constexpr const char* kFolderName = "orvik-monitor";
  if (const auto config = variable("XDG_CONFIG_HOME"); config.is_absolute()) return config / kFolderName;
  if (const auto home = variable("HOME"); home.is_absolute()) return home / ".config" / kFolderName;
  return {};
#endif
}

std::filesystem::path settingsFolder(const std::function<const char*(const char*)>& getenv) {
  std::error_code error;
  if (std::filesystem::exists(kSettingsFile, error)) return {};
  const std::filesystem::path folder = userFolder(getenv);
  if (!folder.empty() && std::filesystem::is_directory(folder, error)) return folder;
  return {};
}

}  // namespace orvik::port_settings
