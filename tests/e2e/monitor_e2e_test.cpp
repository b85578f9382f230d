// The real orvik-monitor on a virtual display against orvik-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "support/process.h"
#include "support/ser2net.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::cpuTicks;
using testing::Process;
using testing::readFile;
using testing::VirtualDisplay;
using testing::waitFor;

// Times (ms since the simulator started) of the requests in its log that match `request`.
std::vector<long> requestTimes(const std::string& log, const std::string& request) {
  std::vector<long> times;
  const std::regex line("(\\d+) ms: request " + request + " ->");
  for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it) {
    times.push_back(std::stol((*it)[1]));
  }
  return times;
}

// Output of a command, without its last line break.
std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe) != nullptr)
      out += buf;
    ::pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  return out;
}

class MonitorAgainstSimulator : public ::testing::Test {
 protected:
  MonitorAgainstSimulator() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("orvik-e2e-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~MonitorAgainstSimulator() override {
    monitor_.reset();
    sim_.reset();
    display_.reset();
    if (!HasFailure()) fs::remove_all(dir_);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // The simulator's pseudo-terminal is reached through a name of this test's, which goes when the
  // simulator ends: pseudo-terminal numbers are reused at once, and a monitor that reopens its port would
  // otherwise open the one another test's simulator has just been given.
  void startSimulator(std::vector<std::string> args) {
    // A controller that answers the moment a request is in, unless the case sets a delay.
    args.insert(args.begin(), {ORVIK_SIM_PATH, "--log", "--link", path("ttyORVIK"), "--delay", "0"});
    sim_ = std::make_unique<Process>(args, Process::Options{"", {}, path("sim.out"), path("sim.log")});
    ASSERT_TRUE(waitFor(
        [&] {
          return readFile(path("sim.out")).find('\n') != std::string::npos && fs::exists(path("ttyORVIK"));
        },
        10s));
    device_ = path("ttyORVIK");
  }

  // Starts the monitor with `commNumber` in options.cfg (0: no settings file) and the simulator on that
  // port; the other ports name devices that do not exist.
  void startMonitor(int commNumber = 1) {
    display_ = std::make_unique<VirtualDisplay>(path("xvfb.log"));
    if (commNumber != 0)
      std::ofstream(path("options.cfg"), std::ios::binary) << static_cast<char>(commNumber) << '\0';
    Process::Options options{
        dir_.string(), {{"DISPLAY", display_->name()}}, path("monitor.out"), path("monitor.err")};
    for (int n = 1; n <= 4; ++n) {
      options.env["ORVIK_COMM" + std::to_string(n)] =
          n == std::max(commNumber, 1) ? device_ : "/dev/orvik-none-" + std::to_string(n);
    }
    monitor_ = std::make_unique<Process>(std::vector<std::string>{ORVIK_MONITOR_PATH}, options);
  }

  // Keys to the window that has the keyboard, as a person types them.
  void key(const std::string& keys) { run("DISPLAY=" + display_->name() + " xdotool key " + keys); }
  std::string focusedWindow() {
    return run("DISPLAY=" + display_->name() + " xdotool getwindowfocus getwindowname 2>/dev/null");
  }
  // Generous: under the sanitizers, with another end-to-end test beside it, a first window has taken
  // more than 10 s to appear.
  bool focusComesTo(const std::string& title) {
    return waitFor([&] { return focusedWindow() == title; }, 30s);
  }

  // Types `file` into the file dialog that has the keyboard and accepts it.
  void answerFileDialog(const std::string& file) {
    key("ctrl+a");
    run("DISPLAY=" + display_->name() + " xdotool type " + file);
    key("Return");
  }

  // Types `file`, which exists, into the file dialog and answers Yes to replacing it.
  void replaceFileInDialog(const std::string& title, const std::string& file) {
    answerFileDialog(file);
    const auto asked = [&] {
      const std::string ids = run("DISPLAY=" + display_->name() + " xdotool search --onlyvisible --name '^" +
                                  title + "$' 2>/dev/null");
      return std::count(ids.begin(), ids.end(), '\n') >= 1;  // the dialog and its question
    };
    ASSERT_TRUE(waitFor(asked, 10s)) << "the question whether to replace it";
    key("y");
  }

  std::vector<long> statusRequests() { return requestTimes(readFile(path("sim.log")), "3E 02 FE"); }

  fs::path dir_;
  std::string device_;
  std::unique_ptr<VirtualDisplay> display_;
  std::unique_ptr<Process> sim_;
  std::unique_ptr<Process> monitor_;
};

TEST_F(MonitorAgainstSimulator, WithoutADisplayItSaysWhatToDoAndEndsWithoutACoreDump) {
  struct Row {
    std::string display;
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const Row rows[] = {
      {"", {"--bogus"}, 2, "orvik-monitor: unknown argument '--bogus'\n"},
      {"", {}, 1, "orvik-monitor: there is no display to show the windows on (neither DISPLAY nor"},
      {":9999",
       {},
       1,
       "orvik-monitor: the display cannot be used (the messages above say why).\nStart it from"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> argv = {ORVIK_MONITOR_PATH};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    Process monitor(argv, {dir_.string(),
                           {{"DISPLAY", row.display}, {"QT_QPA_PLATFORM", ""}},
                           "/dev/null",
                           path("monitor.err")});
    ASSERT_TRUE(waitFor([&] { return !monitor.running(); }, 30s)) << row.display;
    EXPECT_EQ(monitor.exitCode(), row.status) << row.display;
    EXPECT_NE(readFile(path("monitor.err")).find(row.said), std::string::npos)
        << readFile(path("monitor.err"));
  }
}

TEST_F(MonitorAgainstSimulator, OpensTheConfiguredPortAndPollsEveryTwoSeconds) {
  startSimulator({});
  startMonitor();
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= 4; }, 30s)) << readFile(path("monitor.err"));
  const auto times = statusRequests();
  for (std::size_t i = 1; i < times.size(); ++i) {
    EXPECT_NEAR(static_cast<double>(times[i] - times[i - 1]), 2000.0, 250.0)
        << "between requests " << i - 1 << " and " << i;
  }
  const std::string log = readFile(path("sim.log"));
  const auto tagReads = requestTimes(log, "43 02 FE");
  ASSERT_EQ(tagReads.size(), 1u) << "the tag is read once, to know the unit:\n" << log;
  EXPECT_GT(tagReads[0], times[0]) << "after the first status answer";
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), static_cast<long>(times.size() + 1))
      << "nothing but status requests and the tag read:\n"
      << log;
  EXPECT_TRUE(monitor_->running());
  // Docks tell the window's menu entry by the window's class: the entry's StartupWMClass.
  std::ifstream entry(ORVIK_DESKTOP_FILE);
  std::string wmClass;
  for (std::string line; std::getline(entry, line);)
    wmClass = line.rfind("StartupWMClass=", 0) == 0 ? line.substr(15) : wmClass;
  ASSERT_FALSE(wmClass.empty());
  EXPECT_NE(run("DISPLAY=" + display_->name() + " xdotool search --class '^" + wmClass + "$'"), "");
}

// The keyboard returns to the right window after every box and dialog, with no window manager to help.
TEST_F(MonitorAgainstSimulator, AFirstStartCanBeDrivenByKeyboardAlone) {
  startSimulator({});
  startMonitor(0);
  ASSERT_TRUE(focusComesTo("Setup Required...")) << focusedWindow();
  key("Escape");  // No
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << focusedWindow();
  key("alt+h");
  key("a");
  ASSERT_TRUE(focusComesTo("About Orvik Monitor")) << focusedWindow();
  key("Escape");
  ASSERT_TRUE(focusComesTo("Setup Required...")) << "asked again once the main window is active again";
  key("Return");  // Yes
  ASSERT_TRUE(focusComesTo("Setup Serial Port")) << focusedWindow();
  ASSERT_TRUE(waitFor([&] { return fs::exists(path("options.cfg")); }, 10s));
  std::this_thread::sleep_for(3500ms);  // the dialog looks for ports three seconds after it opens
  key("Return");                        // OK: Comm 1, the only port there is
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << focusedWindow();
  EXPECT_EQ(readFile(path("options.cfg")), std::string("\x01\x00", 2));
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= 1; }, 10s)) << "polling starts";
  key("alt+f");
  key("x");
  EXPECT_TRUE(waitFor([&] { return !monitor_->running(); }, 10s)) << "File > Exit ends the program";
}

// The trend and the log by keyboard, while polling goes on.
TEST_F(MonitorAgainstSimulator, TheTrendOpensBesideTheMainWindowAndALogRunsUntilStopped) {
  startSimulator({});
  startMonitor();
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= 1; }, 30s)) << "the main window polls";
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << focusedWindow();
  key("ctrl+l");
  ASSERT_TRUE(focusComesTo("Live Trend")) << focusedWindow();
  const std::size_t polled = statusRequests().size();
  EXPECT_TRUE(waitFor([&] { return statusRequests().size() >= polled + 2; }, 10s)) << "polling goes on";
  key("alt+c");
  ASSERT_TRUE(focusComesTo("Save as CSV")) << focusedWindow();
  answerFileDialog(path("trend.csv"));
  ASSERT_TRUE(focusComesTo("Live Trend")) << focusedWindow();
  EXPECT_EQ(readFile(path("trend.csv")).rfind("time,link,te_module_v,", 0), 0u);
  key("Escape");
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << focusedWindow();

  key("alt+f");
  key("l");
  ASSERT_TRUE(focusComesTo("Log to CSV")) << focusedWindow();
  answerFileDialog(path("log.csv"));
  ASSERT_TRUE(focusComesTo("Orvik Monitor - Logging to log.csv")) << focusedWindow();
  const auto logLines = [&] {
    const std::string text = readFile(path("log.csv"));
    return std::count(text.begin(), text.end(), '\n');
  };
  ASSERT_TRUE(waitFor([&] { return logLines() >= 3; }, 15s)) << "the header and two polls";
  key("alt+f");
  key("l");  // Stop Logging
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << focusedWindow();
  const std::string log = readFile(path("log.csv"));
  EXPECT_EQ(log.rfind("time,link,te_module_v,", 0), 0u) << log;
  EXPECT_NE(log.find(",ok,"), std::string::npos) << log;
}

// A named pipe as the log: refused while nobody reads it, written while a logger does, and ended when the
// logger goes (no SIGPIPE); the window polls on throughout.
TEST_F(MonitorAgainstSimulator, APipeAsTheLogNeverHoldsUpPollingAndItsReaderClosingEndsOnlyTheLog) {
  const std::string pipe = path("pipe.csv");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  startSimulator({});
  startMonitor();
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= 1; }, 30s)) << "the main window polls";
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << focusedWindow();
  const auto pollsGoOn = [&] {
    const std::size_t polled = statusRequests().size();
    return waitFor([&] { return statusRequests().size() >= polled + 2; }, 10s);
  };
  key("alt+f");
  key("l");
  ASSERT_TRUE(focusComesTo("Log to CSV")) << focusedWindow();
  replaceFileInDialog("Log to CSV", pipe);
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << "the refusal: " << focusedWindow();
  EXPECT_TRUE(pollsGoOn()) << "while the refusal is shown";
  key("Return");
  ASSERT_TRUE(focusComesTo("Orvik Monitor")) << focusedWindow();

  Process logger({"/usr/bin/head", "-c", "300", pipe}, {dir_.string(), {}, path("logger.out")});
  key("alt+f");
  key("l");
  ASSERT_TRUE(focusComesTo("Log to CSV")) << focusedWindow();
  replaceFileInDialog("Log to CSV", pipe);
  ASSERT_TRUE(focusComesTo("Orvik Monitor - Logging to pipe.csv")) << focusedWindow();
  ASSERT_TRUE(waitFor([&] { return !logger.running(); }, 20s)) << "the logger took its 300 bytes";
  EXPECT_EQ(readFile(path("logger.out")).rfind("time,link,te_module_v,", 0), 0u);
  EXPECT_TRUE(focusComesTo("Orvik Monitor")) << "the log has ended: " << focusedWindow();
  EXPECT_TRUE(pollsGoOn());
  EXPECT_TRUE(monitor_->running()) << readFile(path("monitor.err"));
  EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST_F(MonitorAgainstSimulator, AControllerThatHangsUpDoesNotMakeTheMonitorSpin) {
  startSimulator({});
  startMonitor();
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= 1; }, 30s));
  sim_->stop();
  std::this_thread::sleep_for(200ms);  // let the hang-up reach the monitor
  const long before = cpuTicks(monitor_->pid());
  waitFor([] { return false; }, 3s);
  const long used = cpuTicks(monitor_->pid()) - before;
  EXPECT_LT(used, sysconf(_SC_CLK_TCK) / 2) << "CPU ticks in 3 s after the hang-up";
  EXPECT_TRUE(monitor_->running());
}

// Comm 1 on a serial server: the monitor polls through it, and reconnects once the server is back.
TEST_F(MonitorAgainstSimulator, PollsThroughAnRfc2217ServerThatIsStoppedAndStartedAgain) {
  startSimulator({});
  testing::Ser2net server(dir_.string(), device_, true);
  ASSERT_TRUE(server.start()) << readFile(path("ser2net.err"));
  device_ = server.name();
  startMonitor();
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= 2; }, 30s)) << readFile(path("monitor.err"));
  server.stop();
  const std::size_t before = statusRequests().size();
  ASSERT_TRUE(server.start());
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= before + 2; }, 30s))
      << readFile(path("monitor.err"));
  const std::string said =
      "orvik-monitor: " + device_ +
      ": the server set the line to 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.\n";
  const std::string err = readFile(path("monitor.err"));
  const auto once = err.find(said);
  EXPECT_NE(once, std::string::npos) << err;
  EXPECT_NE(err.find(said, once + 1), std::string::npos) << "once a connection:\n" << err;
}

TEST_F(MonitorAgainstSimulator, ShowsTheLiveValuesOfARevisionFiveControllerWithFaults) {
  startSimulator({"--hw-rev", "5", "--sensor", "open", "--alarm", "2", "--mode", "3"});
  startMonitor();
  ASSERT_TRUE(waitFor([&] { return statusRequests().size() >= 3; }, 30s));
  waitFor([] { return false; }, 500ms);  // the last answer is painted
  const std::string shot = path("live-values.png");
  Process grab({ORVIK_SCREEN_GRAB_PATH, shot},
               {"", {{"DISPLAY", display_->name()}}, "/dev/null", path("grab.err")});
  ASSERT_TRUE(waitFor([&] { return !grab.running(); }, 10s));
  ASSERT_TRUE(fs::exists(shot)) << readFile(path("grab.err"));
  EXPECT_GT(fs::file_size(shot), 10'000u) << "a screen with the window on it, not an empty one";
  // Kept for the eye: the path is printed, and the folder stays when the test fails.
  const fs::path kept = fs::temp_directory_path() / "orvik-e2e-live-values.png";
  fs::copy_file(shot, kept, fs::copy_options::overwrite_existing);
  std::cout << "screenshot: " << kept.string() << '\n';
}

}  // namespace
}  // namespace orvik
