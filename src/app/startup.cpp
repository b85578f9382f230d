#include "app/startup.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>

#include "port_settings/comm_device_choice.h"
#include "port_settings/user_folder.h"
#include "service_record/service_db.h"
#include "version.h"

namespace orvik::app {

namespace {

constexpr const char* kProgram = "orvik-monitor";

// 1..4 for "--comm1".."--comm4", otherwise 0.
int commOption(const std::string& name) {
  if (name.size() != 7 || name.compare(0, 6, "--comm") != 0) return 0;
  return name[6] >= '1' && name[6] <= '4' ? name[6] - '0' : 0;
}

// Qt's options that take a value (as "-style fusion" or "-style=fusion"), then those that take none.
// Qt takes each with one dash or two.
constexpr std::array<std::string_view, 15> kQtValueOptions = {"platform",
                                                              "platformpluginpath",
                                                              "platformtheme",
                                                              "plugin",
                                                              "qwindowgeometry",
                                                              "geometry",
                                                              "qwindowtitle",
                                                              "title",
                                                              "qwindowicon",
                                                              "icon",
                                                              "session",
                                                              "style",
                                                              "stylesheet",
                                                              "display",
                                                              "name"};
constexpr std::array<std::string_view, 7> kQtFlags = {"reverse", "widgetcount", "nograb",       "dograb",
                                                      "sync",    "testability", "qmljsdebugger"};

// "style" for "-style", "--style" and "-style=fusion"; empty for what is no option.
std::string_view qtOptionName(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return {};
  arg.remove_prefix(arg[1] == '-' ? 2 : 1);
  return arg.substr(0, arg.find('='));
}

bool set(const Environment& getenv, const char* name) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool displayAvailable([[maybe_unused]] const Environment& getenv,
                      [[maybe_unused]] const std::vector<std::string>& windowSystemArgs) {
#if defined(_WIN32) || defined(__APPLE__)
  return true;
#else
  if (set(getenv, "DISPLAY") || set(getenv, "WAYLAND_DISPLAY") || set(getenv, "QT_QPA_PLATFORM")) return true;
  return std::any_of(windowSystemArgs.begin(), windowSystemArgs.end(),
                     [](const std::string& arg) { return qtOptionName(arg) == "platform"; });
#endif
}

std::vector<std::string> notWindowSystemArguments(const std::vector<std::string>& args) {
  std::vector<std::string> unknown;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view name = qtOptionName(args[i]);
    const bool takesValue =
        std::find(kQtValueOptions.begin(), kQtValueOptions.end(), name) != kQtValueOptions.end();
    if (takesValue && args[i].find('=') == std::string::npos) {
      ++i;  // its value
    } else if (!takesValue && std::find(kQtFlags.begin(), kQtFlags.end(), name) == kQtFlags.end()) {
      unknown.push_back(args[i]);
    }
  }
  return unknown;
}

std::string noDisplayText(bool named) {
  return std::string(kProgram) +
         (named
              ? ": the display cannot be used (the messages above say why)"
              : ": there is no display to show the windows on (neither DISPLAY nor WAYLAND_DISPLAY is set)") +
         ".\nStart it from a desktop session, or through ssh -X from one; orvikctl(1) reads and trims the "
         "controller without windows.\n";
}

std::string usage() {
  return std::string(
             R"(Usage: orvik-monitor [--comm1 DEVICE] ... [--comm4 DEVICE] [--user-folder] [--service-db FILE]
       orvik-monitor --help | --version

The diagnostics monitor and calibration tool for thermo-electric battery chargers.

  --commN DEVICE   the device that port "Comm N" (N = 1..4) stands for, for example /dev/ttyUSB0
                   or /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0, or a serial
                   server's port: tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (Telnet, RFC 2217)
  --user-folder    run in the per-user folder $XDG_CONFIG_HOME/orvik-monitor (by default
                   ~/.config/orvik-monitor), created when missing; the menu entry starts it so
  --service-db FILE
                   keep the service record (every change the controller confirmed) in FILE rather
                   than $XDG_DATA_HOME/orvik-monitor/service.db (by default
                   ~/.local/share/orvik-monitor/service.db)
  --help           print this text and exit
  --version        print the version and exit

The chosen port is kept in options.cfg and the devices of the ports in comm-devices.cfg, lines such
as COMM1=/dev/ttyUSB0, both in the working directory (with --user-folder, the per-user folder).
The device of Comm N is the first given of: --commN, the environment variable ORVIK_COMMN, the
line COMMN= of comm-devices.cfg, and )") +
         platform::defaultCommDevice(1) + ".." + platform::defaultCommDevice(4) + R"( for Comm 1..4.
Options of Qt, such as -platform NAME or -style NAME, are passed on.
)";
}

std::string unknownArguments(const std::vector<std::string>& leftovers) {
  std::string text = std::string(kProgram) + ": unknown argument";
  for (const std::string& arg : leftovers)
    text += " '" + arg + "'";
  return text + "\n\n" + usage();
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (std::size_t i = 0; i < args.size() && line.error.empty(); ++i) {
    const std::string& arg = args[i];
    const auto equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg == "--version") {
      line.version = true;
    } else if (arg == "--user-folder") {
      line.userFolder = true;
    } else if (name == "--service-db") {
      if (equals != std::string::npos) {
        line.serviceDb = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        line.serviceDb = args[++i];
      }
      if (line.serviceDb.empty()) line.error = "--service-db needs a file, for example --service-db shop.db";
    } else if (const int n = commOption(name); n != 0) {
      std::string device;
      if (equals != std::string::npos) {
        device = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        device = args[++i];
      }
      if (device.empty()) line.error = name + " needs a device, for example " + name + " /dev/ttyUSB0";
      line.comm[n - 1] = device;
    } else {
      line.windowSystem.push_back(arg);
    }
  }
  return line;
}

std::filesystem::path userFolder(const Environment& getenv) {
  return port_settings::userFolder(getenv);
}

Startup prepareStart(const std::vector<std::string>& args, const Environment& getenv) {
  Startup start;
  std::string& out = start.output;
  std::string& err = start.errors;
  const CommandLine line = parseCommandLine(args);
  if (!line.error.empty()) {
    err += std::string(kProgram) + ": " + line.error + "\n\n" + usage();
    start.exitCode = 2;
    return start;
  }
  if (line.help || line.version) {
    if (line.help) out += usage();
    if (line.version) {
      out += std::string(kProgram) + ' ' + std::to_string(kVersionMajor) + '.' +
             std::to_string(kVersionMinor) + '.' + std::to_string(kVersionRevision) + '\n';
    }
    start.exitCode = 0;
    return start;
  }
  start.windowSystemArgs = line.windowSystem;
  if (!displayAvailable(getenv, line.windowSystem)) {
    const std::vector<std::string> unknown = notWindowSystemArguments(line.windowSystem);
    err += unknown.empty() ? noDisplayText(false) : unknownArguments(unknown);
    start.exitCode = unknown.empty() ? kNoDisplayStatus : 2;
    return start;
  }
  // Settled before --user-folder changes the working directory, which a relative name means.
  if (!line.serviceDb.empty()) {
    std::error_code ignored;
    start.serviceDb = std::filesystem::absolute(line.serviceDb, ignored).string();
  } else {
    start.serviceDb = service_record::DefaultServiceDbPath(getenv);
  }

  if (line.userFolder) {
    const std::filesystem::path folder = userFolder(getenv);
    std::error_code error;
    if (folder.empty()) {
      start.folderProblem = "There is no per-user folder: neither XDG_CONFIG_HOME nor HOME names one.";
    } else if (std::filesystem::create_directories(folder, error), error) {
      start.folderProblem = "The folder " + folder.string() + " cannot be created: " + error.message() + ".";
    } else if (std::filesystem::current_path(folder, error), error) {
      start.folderProblem = "The folder " + folder.string() + " cannot be used: " + error.message() + ".";
    }
    if (!start.folderProblem.empty()) err += std::string(kProgram) + ": " + start.folderProblem + '\n';
    if (start.folderProblem.empty()) start.settingsFolder = folder.string();
  }

  const port_settings::PortMap settled = port_settings::settleCommDevices(line.comm, getenv);
  for (const std::string& problem : settled.problems)
    err += std::string(kProgram) + ": " + problem + '\n';
  for (const std::string& error : settled.errors)
    err += std::string(kProgram) + ": " + error + '\n';
  if (!settled.errors.empty()) start.exitCode = 2;
  start.devices = settled.devices;
  return start;
}

}  // namespace orvik::app
