// orvikctl against orvik-sim on a pseudo-terminal: what needs real processes, signals and lock files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/port_access.h"
#include "support/process.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::Process;
using testing::readFile;
using testing::waitFor;

class OrvikctlAgainstSimulator : public ::testing::Test {
 protected:
  OrvikctlAgainstSimulator() {
    dir_ = fs::temp_directory_path() / ("orvikctl-e2e-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    env_["XDG_CONFIG_HOME"] = path("config");  // the monitor's per-user folder, empty
    device_ = startSimulator();
  }
  ~OrvikctlAgainstSimulator() override {
    sim_.reset();
    if (!HasFailure()) fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::string startSimulator() {
    // A controller that answers the moment a request is in: its answers follow each other closest.
    sim_ = std::make_unique<Process>(
        std::vector<std::string>{ORVIK_SIM_PATH, "--shutdowns", "1", "--delay", "0"},
        Process::Options{"", {}, path("sim.out"), path("sim.err")});
    EXPECT_TRUE(waitFor([&] { return readFile(path("sim.out")).find('\n') != std::string::npos; }, 10s));
    std::string device = readFile(path("sim.out"));
    return device.substr(0, device.find('\n'));
  }

  // orvikctl on Comm 2, which ORVIK_COMM2 maps to the simulator (given by --comm, or by options.cfg
  // when `commFromOptions`); its output in `name`.out and .err.
  std::unique_ptr<Process> start(std::vector<std::string> args, const std::string& name = "ctl",
                                 bool commFromOptions = false) {
    args.insert(args.begin(), ORVIKCTL_PATH);
    if (!commFromOptions) args.insert(args.begin() + 1, {"--comm", "2"});
    std::map<std::string, std::string> env = env_;
    env["ORVIK_COMM2"] = device_;
    return std::make_unique<Process>(
        args, Process::Options{dir_.string(), env, path(name + ".out"), path(name + ".err")});
  }
  int run(const std::vector<std::string>& args, const std::string& name = "ctl",
          bool commFromOptions = false) {
    auto ctl = start(args, name, commFromOptions);
    EXPECT_TRUE(waitFor([&] { return !ctl->running(); }, 30s));
    return ctl->exitCode();
  }
  std::vector<std::string> lines(const std::string& file) {
    std::vector<std::string> all;
    std::istringstream in(readFile(path(file)));
    for (std::string line; std::getline(in, line);)
      all.push_back(line);
    return all;
  }
  bool lockFileLeft() const {
    for (const std::string& name : platform::lockFileNames(device_, fs::canonical(device_).string()))
      for (const char* folder : {"/var/lock/", "/run/lock/"})
        if (fs::exists(folder + name)) return true;
    return false;
  }

  fs::path dir_;
  std::unique_ptr<Process> sim_;
  std::string device_;
  std::map<std::string, std::string> env_;  // for every orvikctl run
};

TEST_F(OrvikctlAgainstSimulator, StatusAndReportInTheWindowsWords) {
  std::ofstream(path("options.cfg"), std::ios::binary) << '\x02' << '\x00';
  EXPECT_EQ(run({"status"}, "ctl", true), 0) << readFile(path("ctl.err"));
  EXPECT_NE(readFile(path("ctl.out")).find("Hardware Revision:  5\n"), std::string::npos);
  EXPECT_EQ(run({"status", "--json"}), 0) << readFile(path("ctl.err"));
  EXPECT_NE(readFile(path("ctl.out")).find("\"hardware_revision\": 5,"), std::string::npos)
      << readFile(path("ctl.out"));
  EXPECT_EQ(run({"report", "--json"}), 0) << readFile(path("ctl.err"));
  const std::string json = readFile(path("ctl.out"));
  EXPECT_NE(json.find("\"tag\": \"ORVIK SIM 0001\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"battery_voltage_gain\": \"1\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"operating_mode\": \"Trickle\""), std::string::npos) << json;

  // Without options.cfg in the working directory, the port is the one the menu entry's monitor was set
  // up with in the per-user folder: Comm 3, which only that folder's comm-devices.cfg maps.
  fs::remove(path("options.cfg"));
  fs::create_directories(path("config/orvik-monitor"));
  std::ofstream(path("config/orvik-monitor/options.cfg"), std::ios::binary) << '\x03' << '\x00';
  std::ofstream(path("config/orvik-monitor/comm-devices.cfg")) << "COMM3=" << device_ << '\n';
  EXPECT_EQ(run({"status"}, "ctl", true), 0) << readFile(path("ctl.err"));
}

TEST_F(OrvikctlAgainstSimulator, ACsvLogKilledAtAnyMomentHoldsOnlyCompleteLines) {
  auto watch = start({"watch", "--interval", "0.5", "--csv", path("log.csv")});
  ASSERT_TRUE(waitFor([&] { return lines("log.csv").size() >= 5; }, 20s)) << readFile(path("ctl.err"));
  ::kill(watch->pid(), SIGKILL);
  ASSERT_TRUE(waitFor([&] { return !watch->running(); }, 10s));
  const std::string log = readFile(path("log.csv"));
  EXPECT_EQ(log.back(), '\n');
  for (const std::string& line : lines("log.csv"))
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 12) << line;
}

// On a desktop whose decimal mark is a comma, as anywhere: the reading after the trim is the true value.
TEST_F(OrvikctlAgainstSimulator, AConfirmedTrimWritesShowsTheReadingAfterItAndIsInTheServiceRecord) {
  env_["LC_ALL"] = "de_DE.UTF-8";
  EXPECT_EQ(run({"trim", "battery-volts", "--actual", "14.6", "--yes"}), 0) << readFile(path("ctl.err"));
  const std::string out = readFile(path("ctl.out"));
  EXPECT_NE(out.find("battery voltage gain: 1 -> "), std::string::npos) << out;
  EXPECT_NE(out.find("Written.\nMeasured battery voltage now: 14.6"), std::string::npos) << out;
  const std::size_t arrow = out.find(" -> ");
  const std::string gain = out.substr(arrow + 4, out.find('\n', arrow) - arrow - 4);

  // The service record, in the per-user data folder the test gives it.
  EXPECT_EQ(run({"history"}), 0) << readFile(path("ctl.err"));
  const std::string history = readFile(path("ctl.out"));
  for (const std::string& part : {std::string("ORVIK SIM 0001"), std::string("Battery voltage gain"), gain})
    EXPECT_NE(history.find(part), std::string::npos) << part << " in\n" << history;
  EXPECT_TRUE(fs::exists(dir_ / "orvik-monitor" / "service.db"));
  EXPECT_EQ(run({"service-report", "--html", path("unit.html")}), 0) << readFile(path("ctl.err"));
  const std::string html = readFile(path("unit.html"));
  EXPECT_NE(html.find("ORVIK SIM 0001"), std::string::npos);
  EXPECT_NE(html.find(gain), std::string::npos) << html;
}

TEST_F(OrvikctlAgainstSimulator, ABusyPortNamesItsHolderAndCtrlCLeavesNoLockFile) {
  auto holder = start({"watch"}, "holder");
  ASSERT_TRUE(waitFor([&] { return !lines("holder.out").empty(); }, 20s)) << readFile(path("holder.err"));
  EXPECT_EQ(run({"status"}), 3);
  const std::string err = readFile(path("ctl.err"));
  EXPECT_NE(err.find(device_ + " is in use by orvikctl (process " + std::to_string(holder->pid()) + ")"),
            std::string::npos)
      << err;
  ::kill(holder->pid(), SIGINT);
  ASSERT_TRUE(waitFor([&] { return !holder->running(); }, 10s));
  EXPECT_EQ(holder->exitCode(), 0);
  EXPECT_FALSE(lockFileLeft());
  EXPECT_EQ(run({"status"}), 0) << readFile(path("ctl.err"));
}

// Output that cannot be written is a failure; a pipe whose reader goes ends the log, not the program.
TEST_F(OrvikctlAgainstSimulator, LostOutputFailsWithItsReasonAndAClosedPipeIsNoSigpipe) {
  auto full = std::make_unique<Process>(
      std::vector<std::string>{ORVIKCTL_PATH, "--comm", "2", "status", "--json"},
      Process::Options{dir_.string(), {{"ORVIK_COMM2", device_}}, "/dev/full", path("full.err")});
  ASSERT_TRUE(waitFor([&] { return !full->running(); }, 30s));
  EXPECT_EQ(full->exitCode(), 2);
  EXPECT_EQ(readFile(path("full.err")),
            "orvikctl: standard output cannot be written: No space left on device.\n");

  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  Process logger({"/usr/bin/head", "-c", "300", path("pipe")}, {dir_.string(), {}, path("logger.out")});
  EXPECT_EQ(run({"watch", "--interval", "0.5", "--csv", path("pipe")}), 2)
      << "ended by itself, not by SIGPIPE";
  EXPECT_EQ(lines("ctl.err").back(), "orvikctl: cannot write " + path("pipe") +
                                         ": the program reading it has closed it; the log ends here.");
}

// Whatever it waits on, Ctrl+C ends it and frees the port: a pipe nobody reads as the backup is refused
// at once, and standard output that nobody reads is given up.
TEST_F(OrvikctlAgainstSimulator, ASignalEndsItWhateverItWaitsOnAndThePortIsFree) {
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  EXPECT_EQ(run({"backup", path("pipe")}), 2);
  EXPECT_EQ(readFile(path("ctl.err")),
            "orvikctl: cannot write " + path("pipe") + ": it is a named pipe that no program is reading.\n");

  const int reader = ::open(path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  const int filler = ::open(path("pipe").c_str(), O_WRONLY | O_NONBLOCK);
  while (::write(filler, "x\n", 2) == 2) {
  }
  auto ctl = std::make_unique<Process>(
      std::vector<std::string>{ORVIKCTL_PATH, "--comm", "2", "status"},
      Process::Options{dir_.string(), {{"ORVIK_COMM2", device_}}, path("pipe"), path("blocked.err")});
  ASSERT_TRUE(waitFor([&] { return lockFileLeft(); }, 20s)) << "the port is taken";
  waitFor([&] { return !ctl->running(); }, 3s);  // the status read, its output waiting on the pipe
  ASSERT_TRUE(ctl->running()) << readFile(path("blocked.err"));
  ::kill(ctl->pid(), SIGINT);
  ASSERT_TRUE(waitFor([&] { return !ctl->running(); }, 10s));
  EXPECT_EQ(ctl->exitCode(), 130);
  EXPECT_EQ(readFile(path("blocked.err")),
            "orvikctl: stopped before standard output took all of the output.\n");
  EXPECT_FALSE(lockFileLeft());
  EXPECT_EQ(run({"status"}), 0) << readFile(path("ctl.err"));
  ::close(filler);
  ::close(reader);
}

}  // namespace
}  // namespace orvik
