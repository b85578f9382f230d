// orvikctl against orvik-sim on a pseudo-terminal: the link without windows.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>

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
  }
  ~OrvikctlAgainstSimulator() override {
    sim_.reset();
    if (!HasFailure()) fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::string startSimulator(std::vector<std::string> args) {
    args.insert(args.begin(), ORVIK_SIM_PATH);
    sim_ = std::make_unique<Process>(args, Process::Options{"", {}, path("sim.out"), path("sim.err")});
    EXPECT_TRUE(waitFor([&] { return readFile(path("sim.out")).find('\n') != std::string::npos; }, 10s));
    std::string device = readFile(path("sim.out"));
    return device.substr(0, device.find('\n'));
  }

  // Runs orvikctl to its end; returns its exit status.
  int orvikctl(const std::vector<std::string>& args, const std::string& device) {
    std::vector<std::string> argv{ORVIKCTL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    Process ctl(argv, {"", {{"ORVIK_COMM2", device}}, path("ctl.out"), path("ctl.err")});
    EXPECT_TRUE(waitFor([&] { return !ctl.running(); }, 30s));
    return ctl.exitCode();
  }

  fs::path dir_;
  std::unique_ptr<Process> sim_;
};

TEST_F(OrvikctlAgainstSimulator, PrintsWhatTheLinkReportsInTheMonitorsWords) {
  const std::string device = startSimulator({"--hw-rev", "5", "--sensor", "open", "--mode", "3"});
  EXPECT_EQ(orvikctl({"--comm", "2", "--count", "2", "watch"}, device), 0) << readFile(path("ctl.err"));
  const std::string out = readFile(path("ctl.out"));
  EXPECT_NE(out.find("sent 3E 02 FE\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Controller commands available\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Update: 62, 31,"), std::string::npos) << out;
  EXPECT_NE(out.find("Mode: Warming\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Battery Temperature: -50 \u00B0F\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Alarm: WARNING! Battery temperature sensor failure - circuit is open."),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Calibrated: 15-Feb-05\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Hardware Revision: 5\n"), std::string::npos) << out;
}

TEST_F(OrvikctlAgainstSimulator, ASilentControllerIsReportedAndFailsTheRun) {
  const std::string device = startSimulator({"--silent"});
  EXPECT_EQ(orvikctl({"--comm", "2", "watch"}, device), 1);
  const std::string out = readFile(path("ctl.out"));
  EXPECT_EQ(out, "sent 3E 02 FE\nNo Response\n");
}

}  // namespace
}  // namespace orvik
