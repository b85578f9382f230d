// The map of Comm 1..4 to devices: its file and the order in which the sources of a device count.
#include "port_settings/port_map.h"
#include "port_settings/comm_device_choice.h"
#include "port_settings/settings_file.h"
#include "port_settings/user_folder.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace orvik::port_settings {
namespace {

namespace fs = std::filesystem;
using platform::CommDevices;
using namespace std::string_literals;

TEST(PortMapFile, MapsThePortsItsLinesNameAndReportsEachBadLine) {
  struct Row {
    std::string text;
    CommDevices devices;
    std::vector<std::string> problems;
  };
  const std::string by_id = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0";
  const std::vector<Row> rows = {
      {"", {}, {}},
      {"COMM1=/dev/ttyUSB0\n", {"/dev/ttyUSB0", "", "", ""}, {}},
      {"COMM4=/dev/ttyACM0", {"", "", "", "/dev/ttyACM0"}, {}},  // no final line break
      {"# adapters\n\n  comm2 = COM7 \r\nComm3=/dev/ttyUSB1\r\n", {"", "COM7", "/dev/ttyUSB1", ""}, {}},
      {"COMM1=" + by_id + "\n", {by_id, "", "", ""}, {}},
      {"COMM1=/dev/a\nCOMM1=/dev/b\n",
       {"/dev/b", "", "", ""},
       {"comm-devices.cfg:2: COMM1 again (line 1); this line counts"}},
      {"COMM5=/dev/ttyUSB0\nCOMM0=/dev/x\nCOM1=/dev/y\nCOMM12=/dev/z\n",
       {},
       {"comm-devices.cfg:1: expected COMM1..COMM4=DEVICE",
        "comm-devices.cfg:2: expected COMM1..COMM4=DEVICE",
        "comm-devices.cfg:3: expected COMM1..COMM4=DEVICE",
        "comm-devices.cfg:4: expected COMM1..COMM4=DEVICE"}},
      {"/dev/ttyUSB0\nCOMM2 /dev/ttyUSB1\nCOMM3=\nCOMM4=/dev/ttyUSB3\n",
       {"", "", "", "/dev/ttyUSB3"},
       {"comm-devices.cfg:1: expected COMM1..COMM4=DEVICE",
        "comm-devices.cfg:2: expected COMM1..COMM4=DEVICE", "comm-devices.cfg:3: COMM3 names no device"}},
      // A control character anywhere but in the blanks trimmed at either end spoils the line: a NUL
      // would otherwise open the device named before it.
      {"COMM1=/dev/pts/3\0junk\nCOMM2=/dev/ttyUSB0\x1b[0m\nCOMM3=/dev/a\rb\n\tCOMM4 =\t/dev/ttyS9\r\n"s,
       {"", "", "", "/dev/ttyS9"},
       {"comm-devices.cfg:1: control character 0x00", "comm-devices.cfg:2: control character 0x1B",
        "comm-devices.cfg:3: control character 0x0D"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const PortMap map = parsePortMap(row.text);
    EXPECT_EQ(map.devices, row.devices);
    std::vector<std::string> said = map.problems;  // a line that names no device is an error
    said.insert(said.end(), map.errors.begin(), map.errors.end());
    EXPECT_EQ(said, row.problems);
  }
  // Bytes that are not text, NUL included, are bad lines like any other.
  const PortMap garbage = parsePortMap(std::string_view("\0\xff\x01=\n\xfe\xfe", 7));
  EXPECT_EQ(garbage.devices, CommDevices{});
  EXPECT_EQ(garbage.problems, (std::vector<std::string>{"comm-devices.cfg:1: control character 0x00",
                                                        "comm-devices.cfg:2: expected COMM1..COMM4=DEVICE"}));
}

TEST(PortMapSources, CommandLineThenEnvironmentThenFileThenDefault) {
  const std::map<std::string, std::string> environment = {
      {"ORVIK_COMM1", "/dev/env1"}, {"ORVIK_COMM2", "/dev/env2"}, {"ORVIK_COMM3", ""}};
  const auto getenv = [&](const char* name) -> const char* {
    auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
  };
  PortMap file;
  file.devices = {"/dev/file1", "", "/dev/file3", ""};
  const CommDevices commandLine = {"", "/dev/cli2", "", ""};

  // An empty variable is as none, so Comm 3 falls through to the file; both programs refuse to go on.
  EXPECT_EQ(resolveCommDevices(commandLine, getenv, file),
            (CommDevices{"/dev/env1", "/dev/cli2", "/dev/file3", platform::defaultCommDevice(4)}));
  EXPECT_EQ(settleCommDevices(commandLine, getenv).errors,
            std::vector<std::string>{"ORVIK_COMM3 is set but empty: give it a device, or unset it"});
  EXPECT_EQ(platform::defaultCommDevice(4), "/dev/ttyS3");
  EXPECT_EQ(resolveCommDevices({}, [](const char*) { return nullptr; }, {}),
            (CommDevices{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}));
}

class PortMapInDirectory : public ::testing::Test {
 protected:
  PortMapInDirectory() : home_(fs::current_path()) {
    dir_ = fs::temp_directory_path() / ("orvik-port-map-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  ~PortMapInDirectory() override {
    fs::current_path(home_);
    fs::remove_all(dir_);
  }
  fs::path home_;
  fs::path dir_;
};

TEST_F(PortMapInDirectory, ReadsTheFileBesideTheSettingsAndTakesAnUnreadableOneAsNone) {
  EXPECT_EQ(readPortMap().devices, CommDevices{}) << "no file";

  std::ofstream(kPortMapFile) << "COMM2=/dev/ttyUSB0\nnonsense\n";
  const PortMap map = readPortMap();
  EXPECT_EQ(map.devices, (CommDevices{"", "/dev/ttyUSB0", "", ""}));
  EXPECT_EQ(map.problems, std::vector<std::string>{"comm-devices.cfg:2: expected COMM1..COMM4=DEVICE"});

  // Past 64 KiB the file is read up to its last whole line, and the cut is reported.
  std::string comments;  // after the first line's 19 bytes, 1023 of these 64-byte lines fit
  for (int i = 0; i < 1100; ++i)
    comments += "#" + std::string(62, 'x') + "\n";
  std::ofstream(kPortMapFile) << "COMM1=/dev/ttyUSB0\n" << comments << "COMM2=/dev/ttyUSB1\n";
  const PortMap cut = readPortMap();
  EXPECT_EQ(cut.devices, (CommDevices{"/dev/ttyUSB0", "", "", ""}));
  EXPECT_EQ(cut.problems,
            std::vector<std::string>{"comm-devices.cfg:1025: the file goes on past 64 KiB; this "
                                     "line and those after it were not read"});

  fs::remove(kPortMapFile);
  fs::create_directory(kPortMapFile);
  const PortMap directory = readPortMap();
  EXPECT_EQ(directory.devices, CommDevices{});
  EXPECT_TRUE(directory.problems.empty());
}

// orvikctl reads the settings of the working directory when it holds options.cfg, else those of the
// per-user folder when there is one; a map file read there is named with its folder.
TEST_F(PortMapInDirectory, SettingsAreTheWorkingDirectorysElseThePerUserFolders) {
  const std::string config = (dir_ / "config").string();
  const auto getenv = [&](const char* name) {
    return std::string(name) == "XDG_CONFIG_HOME" ? config.c_str() : nullptr;
  };
  const fs::path perUser = dir_ / "config" / "orvik-monitor";
  EXPECT_EQ(settingsFolder(getenv), fs::path()) << "no per-user folder";
  fs::create_directories(perUser);
  EXPECT_EQ(settingsFolder(getenv), perUser);
  std::ofstream(perUser / kPortMapFile) << "COMM1=/dev/ttyUSB0\nnonsense\n";
  const PortMap map = readPortMap(perUser);
  EXPECT_EQ(map.devices, (CommDevices{"/dev/ttyUSB0", "", "", ""}));
  EXPECT_EQ(map.problems,
            std::vector<std::string>{(perUser / kPortMapFile).string() + ":2: expected COMM1..COMM4=DEVICE"});
  std::ofstream(kSettingsFile) << '\x02' << '\x00';
  EXPECT_EQ(settingsFolder(getenv), fs::path()) << "options.cfg in the working directory";
}

}  // namespace
}  // namespace orvik::port_settings
