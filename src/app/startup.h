#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/comm_devices.h"

namespace orvik::app {

using Environment = std::function<const char*(const char*)>;

// The monitor's own command-line options; the other arguments are left for Qt, which takes its own
// (-platform NAME, -style NAME ...); whatever it leaves is a usage error.
struct CommandLine {
  bool help = false;
  bool version = false;
  bool userFolder = false;
  std::string serviceDb;       // --service-db FILE
  platform::CommDevices comm;  // --comm1..--comm4; empty where not given
  std::vector<std::string> windowSystem;
  std::string error;  // a usage error for the user; empty when none
};

CommandLine parseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string usage();

// The usage error for arguments that neither the monitor nor Qt took.
std::string unknownArguments(const std::vector<std::string>& leftovers);

// The exit status when there is no display to show the windows on.
inline constexpr int kNoDisplayStatus = 1;

// Whether the windows have somewhere to go: a display named by DISPLAY or WAYLAND_DISPLAY, a platform
// named by QT_QPA_PLATFORM or by -platform among the window system's arguments. Always on Windows and
// macOS, where the desktop is the display.
bool displayAvailable(const Environment& getenv, const std::vector<std::string>& windowSystemArgs);

// Of the arguments left for the window system, those it does not take either (Qt's own options, with
// their values, and those of its X11 platform).
std::vector<std::string> notWindowSystemArguments(const std::vector<std::string>& args);

// What the monitor says when it has no display, or when the one `named` cannot be used: why, and what
// to do instead.
std::string noDisplayText(bool named);

// The per-user folder: $XDG_CONFIG_HOME/orvik-monitor, or $HOME/.config/orvik-monitor when that is
// unset, empty or relative (on Windows %APPDATA%/Orvik Monitor). Empty when there is none.
std::filesystem::path userFolder(const Environment& getenv);

// What the program settles before its first window.
struct Startup {
  std::optional<int> exitCode;  // the program ends here: --help, --version or a usage error
  platform::CommDevices devices;
  std::vector<std::string> windowSystemArgs;
  std::string folderProblem;   // the per-user folder could not be used; the run stays where it is
  std::string settingsFolder;  // the per-user folder once the run is in it; empty otherwise
  std::string serviceDb;       // the service record file, absolute
  std::string output;          // for standard output
  std::string errors;          // for standard error
};

// Answers --help and --version in `output` and usage errors in `errors`; without a display says so and
// ends (kNoDisplayStatus), arguments the window system would not take being a usage error first; with
// --user-folder enters the per-user folder (created when missing) so that options.cfg is read there; reads
// comm-devices.cfg from the working directory, telling its bad lines in `errors`; and settles each port's
// device. The texts are handed back rather than written to streams: the monitor then loads no C++ streams,
// whose set-up costs every run a third of a megabyte.
Startup prepareStart(const std::vector<std::string>& args, const Environment& getenv);

}  // namespace orvik::app
