// What orvik-monitor settles before its first window: options, the per-user folder, the port devices.
#include "app/startup.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/files.h"
#include "port_settings/settings_file.h"

namespace orvik::app {
namespace {

namespace fs = std::filesystem;
using platform::CommDevices;
using Env = std::map<std::string, std::string>;

Environment lookup(const Env& env) {
  return [&env](const char* name) -> const char* {
    auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };
}

TEST(CommandLineOptions, OwnOptionsAreTakenAndQtOptionsPassedOn) {
  struct Row {
    std::vector<std::string> args;
    bool help, version, userFolder;
    CommDevices comm;
    std::vector<std::string> windowSystem;
    std::string error;
  };
  const std::vector<Row> rows = {
      {{}, false, false, false, {}, {}, ""},
      {{"-h"}, true, false, false, {}, {}, ""},
      {{"--version", "--help"}, true, true, false, {}, {}, ""},
      {{"--comm1", "/dev/ttyUSB0", "--comm4=/dev/serial/by-id/usb-x-port0", "--user-folder"},
       false,
       false,
       true,
       {"/dev/ttyUSB0", "", "", "/dev/serial/by-id/usb-x-port0"},
       {},
       ""},
      {{"-platform", "offscreen", "--style=fusion", "-reverse", "--verbose", "options.cfg"},
       false,
       false,
       false,
       {},
       {"-platform", "offscreen", "--style=fusion", "-reverse", "--verbose", "options.cfg"},
       ""},
      {{"--comm2"}, false, false, false, {}, {}, "--comm2 needs a device, for example --comm2 /dev/ttyUSB0"},
      {{"--comm3="}, false, false, false, {}, {}, "--comm3 needs a device, for example --comm3 /dev/ttyUSB0"},
      {{"--comm5", "/dev/x"}, false, false, false, {}, {"--comm5", "/dev/x"}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    const CommandLine line = parseCommandLine(row.args);
    EXPECT_EQ(line.help, row.help);
    EXPECT_EQ(line.version, row.version);
    EXPECT_EQ(line.userFolder, row.userFolder);
    EXPECT_EQ(line.comm, row.comm);
    EXPECT_EQ(line.windowSystem, row.windowSystem);
    EXPECT_EQ(line.error, row.error);
  }
}

TEST(CommandLineOptions, WithoutADisplayOnlyQtsOwnArgumentsAreLeftForIt) {
  struct Row {
    Env env;
    std::vector<std::string> args;
    bool display;
    std::vector<std::string> notQts;
  };
  const std::vector<Row> rows = {
      {{}, {"-style", "fusion", "--reverse", "-stylesheet=a.qss", "-display", ":1"}, false, {}},
      {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, {"--bogus", "-reverse"}, false, {"--bogus"}},
      {{{"DISPLAY", ":0"}}, {"stat", "-name", "x", "-sync"}, true, {"stat"}},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, {}, true, {}},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, {}, true, {}},
      {{}, {"--platform=offscreen"}, true, {}},
      {{}, {"-platform", "xcb", "-styl", "fusion"}, true, {"-styl", "fusion"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    EXPECT_EQ(displayAvailable(lookup(row.env), row.args), row.display);
    EXPECT_EQ(notWindowSystemArguments(row.args), row.notQts);
  }
}

TEST(CommandLineOptions, PerUserFolderFollowsTheBaseDirectoryRules) {
  struct Row {
    Env env;
    fs::path folder;
  };
  const std::vector<Row> rows = {
      {{{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/ann"}}, "/cfg/orvik-monitor"},
      {{{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/ann"}}, "/home/ann/.config/orvik-monitor"},
      {{{"XDG_CONFIG_HOME", "relative/cfg"}, {"HOME", "/home/ann"}}, "/home/ann/.config/orvik-monitor"},
      {{{"HOME", "/home/ann"}}, "/home/ann/.config/orvik-monitor"},
      {{{"HOME", ""}}, ""},
      {{}, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.env));
    EXPECT_EQ(userFolder(lookup(row.env)), row.folder);
  }
}

// Each test in a fresh directory, the working directory restored afterwards.
class Start : public ::testing::Test {
 protected:
  Start() : home_(fs::current_path()) {
    dir_ = fs::temp_directory_path() / ("orvik-start-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "shell");
    fs::current_path(dir_ / "shell");
  }
  ~Start() override {
    fs::current_path(home_);
    fs::remove_all(dir_);
  }
  // On a display unless the test's environment names none.
  Startup prepare(const std::vector<std::string>& args) {
    Env withDisplay = env;
    withDisplay.try_emplace("DISPLAY", ":0");
    Startup start = prepareStart(args, lookup(withDisplay));
    out << start.output;
    err << start.errors;
    return start;
  }

  fs::path home_;
  fs::path dir_;
  Env env;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(Start, HelpAndVersionPrintAndEndTheProgramAndAUsageErrorEndsItWithTwo) {
  EXPECT_EQ(prepare({"--version"}).exitCode, 0);
  EXPECT_EQ(out.str(), "orvik-monitor 1.0.0\n");
  out.str("");
  EXPECT_EQ(prepare({"--help"}).exitCode, 0);
  EXPECT_EQ(out.str().rfind("Usage: orvik-monitor ", 0), 0u);
  EXPECT_NE(out.str().find("/dev/ttyS0../dev/ttyS3"), std::string::npos);
  EXPECT_NE(out.str().find("tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (Telnet, RFC 2217)"),
            std::string::npos);
  EXPECT_TRUE(err.str().empty());
  out.str("");
  EXPECT_EQ(prepare({"--version", "--comm1"}).exitCode, 2);
  EXPECT_TRUE(out.str().empty());
  EXPECT_EQ(
      err.str().rfind("orvik-monitor: --comm1 needs a device, for example --comm1 /dev/ttyUSB0\n\nUsage:", 0),
      0u);
  EXPECT_FALSE(prepare({"-style=fusion"}).exitCode);

  // Without a display: an argument nobody takes is still the usage error, and then the display is
  // missed, before the per-user folder is made.
  env = {{"DISPLAY", ""}, {"XDG_CONFIG_HOME", (dir_ / "config").string()}};
  err.str("");
  EXPECT_EQ(prepare({"--user-folder", "--bogus"}).exitCode, 2);
  EXPECT_EQ(err.str().rfind("orvik-monitor: unknown argument '--bogus'\n\nUsage:", 0), 0u);
  err.str("");
  EXPECT_EQ(prepare({"--user-folder", "-style", "fusion"}).exitCode, kNoDisplayStatus);
  EXPECT_EQ(
      err.str(),
      "orvik-monitor: there is no display to show the windows on (neither DISPLAY nor WAYLAND_DISPLAY is "
      "set).\nStart it from a desktop session, or through ssh -X from one; orvikctl(1) reads and trims "
      "the controller without windows.\n");
  EXPECT_FALSE(fs::exists(dir_ / "config"));
}

TEST_F(Start, FromAShellTheSettingsStayInTheWorkingDirectory) {
  env = {{"XDG_CONFIG_HOME", (dir_ / "config").string()}};
  std::ofstream("comm-devices.cfg") << "COMM2=/dev/ttyUSB1\n";
  const Startup start = prepare({"-reverse"});
  EXPECT_FALSE(start.exitCode);
  EXPECT_EQ(fs::current_path(), dir_ / "shell");
  EXPECT_FALSE(fs::exists(dir_ / "config"));
  EXPECT_EQ(start.devices, (CommDevices{"/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyS3"}));
  EXPECT_EQ(start.windowSystemArgs, std::vector<std::string>{"-reverse"});
}

TEST_F(Start, FromTheMenuTheRunMovesToThePerUserFolderCreatedWhenMissing) {
  const fs::path folder = dir_ / "config" / "orvik-monitor";
  env = {{"XDG_CONFIG_HOME", (dir_ / "config").string()}};
  const Startup first = prepare({"--user-folder", "--comm4", "/dev/ttyUSB9"});
  EXPECT_TRUE(first.folderProblem.empty());
  EXPECT_EQ(fs::current_path(), folder);

  // options.cfg is now read and written there, two bytes as ever; the port map beside it counts,
  // after the command line.
  platform::LocalFiles files;
  EXPECT_TRUE(port_settings::writePortNumber(files, 2));
  EXPECT_EQ(fs::file_size(folder / "options.cfg"), 2u);
  std::ofstream(folder / "comm-devices.cfg")
      << "COMM1=/dev/serial/by-id/usb-x-port0\nCOMM4=/dev/ttyUSB3\nbad\n";
  fs::current_path(dir_ / "shell");
  const Startup second = prepare({"--user-folder", "--comm4", "/dev/ttyUSB9"});
  EXPECT_EQ(fs::current_path(), folder) << "an existing folder is used as it is";
  EXPECT_EQ(port_settings::readPortNumber(files), 2);
  EXPECT_EQ(second.devices,
            (CommDevices{"/dev/serial/by-id/usb-x-port0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyUSB9"}));
  EXPECT_EQ(err.str(), "orvik-monitor: comm-devices.cfg:3: expected COMM1..COMM4=DEVICE\n");
  EXPECT_FALSE(fs::exists(dir_ / "shell" / "options.cfg"));
}

TEST_F(Start, APerUserFolderThatCannotBeMadeIsReportedAndTheRunStaysWhereItIs) {
  std::ofstream(dir_ / "not-a-folder") << "";
  for (const Env& e : {Env{{"XDG_CONFIG_HOME", (dir_ / "not-a-folder").string()}}, Env{}}) {
    env = e;
    err.str("");
    const Startup start = prepare({"--user-folder"});
    EXPECT_FALSE(start.exitCode);
    EXPECT_FALSE(start.folderProblem.empty());
    EXPECT_EQ(err.str(), "orvik-monitor: " + start.folderProblem + "\n");
    EXPECT_EQ(fs::current_path(), dir_ / "shell");
  }
}

}  // namespace
}  // namespace orvik::app
