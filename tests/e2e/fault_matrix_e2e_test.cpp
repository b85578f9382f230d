// The fault matrix on the real program: orvik-monitor under Xvfb against orvik-sim on a pseudo-terminal,
// read as assistive tools read it (at-spi on a private D-Bus session) and driven by keys. Each row says
// what the technician sees, step by step; every row also checks that only status requests (and the tag read)
// reached the controller and that the monitor does not spin.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "support/accessibility.h"
#include "support/process.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::AccessibleNode;
using testing::cpuTicks;
using testing::Process;
using testing::readFile;
using testing::SessionBus;
using testing::VirtualDisplay;
using testing::waitFor;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const char* const kApp = "Orvik Monitor";
const char* const kSetupRequired = "Setup Required...";

// What the technician sees of the monitor at one moment.
struct Screen {
  bool read = false;     // the program answered the reader (its event loop runs)
  std::string refresh;   // the link status
  std::string raw;       // the last answer's bytes, or "Comm Status" / "Timeout"
  std::string batVolts;  // one live field: "-" until a reading
  int gatedEnabled = 0;  // how many of the five controller commands are enabled
  std::string box;       // title of the message box showing, if any
  std::string boxText;
  std::string dialog;  // title of another window showing (the port dialog), if any
};

std::ostream& operator<<(std::ostream& os, const Screen& s) {
  return os << "{read " << s.read << ", \"" << s.refresh << "\", \"" << s.raw.substr(0, 24)
            << "\", battery \"" << s.batVolts << "\", gated " << s.gatedEnabled << "/5, box \"" << s.box
            << "\" \"" << s.boxText << "\", dialog \"" << s.dialog << "\"}";
}

Screen screenOf(const std::vector<AccessibleNode>& nodes) {
  Screen s;
  s.read = !nodes.empty();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const AccessibleNode& n = nodes[i];
    if (n.description == "Link status") s.refresh = n.name;
    if (n.description == "Last answer from the controller") s.raw = n.name;
    if (n.description == "Battery voltage") s.batVolts = n.name;
    if (n.role == "menu item" && n.enabled) {
      for (const char* gated : {"Orvik Report...", "Trim Battery Temp...", "Trim Battery Voltage...",
                                "Trim TE Module Voltage...", "Update Calibration Date..."}) {
        if (n.name == gated) ++s.gatedEnabled;
      }
    }
    if (n.role == "alert message" && n.showing) {
      s.box = n.name;
      for (std::size_t j = i + 1; j < nodes.size() && nodes[j].depth > n.depth; ++j) {
        if (nodes[j].role == "label" && !nodes[j].name.empty()) {
          s.boxText = nodes[j].name;
          break;
        }
      }
    }
    if (n.role == "dialog" && n.showing && n.name != kApp) s.dialog = n.name;
  }
  return s;
}

// What a step waits for; fields left empty are not looked at.
// The answer to the tag read, which follows the first status answer, also shows as the last answer.
constexpr const char* kTagAnswer = " 67, 22,";

struct Want {
  std::optional<std::string> refresh = std::nullopt;
  std::optional<std::string> raw = std::nullopt;  // a prefix of the raw-bytes line
  std::optional<bool> values = std::nullopt;      // the battery voltage shows a reading
  std::optional<bool> gated = std::nullopt;       // all five controller commands enabled (or all disabled)
  std::string box = "";                           // the message box showing ("": none)
  std::string boxText = "";                       // a part of its text
  std::string dialog = "";                        // another window showing ("": none)
  bool tagAnswerToo = false;                      // the last answer may also be the tag read's

  bool matches(const Screen& s) const {
    if (!s.read) return false;
    if (refresh && s.refresh != *refresh) return false;
    if (raw && s.raw.rfind(*raw, 0) != 0 && !(tagAnswerToo && s.raw.rfind(kTagAnswer, 0) == 0)) return false;
    if (values && (s.batVolts != "-" && !s.batVolts.empty()) != *values) return false;
    if (gated && s.gatedEnabled != (*gated ? 5 : 0)) return false;
    if (s.box != box || s.dialog != dialog) return false;
    return boxText.empty() || s.boxText.find(boxText) != std::string::npos;
  }
};

class MonitorOnPty;

// One step of a row: wait (at most `within`) until the screen shows `want`, check that it keeps showing
// it for `hold`, then act (keys as xdotool names them, and/or something done to the line or the port).
struct Step {
  Want want;
  std::chrono::milliseconds within = 15s;
  std::chrono::milliseconds hold = 0ms;
  std::string keys = "";
  std::function<void(MonitorOnPty&)> then = nullptr;
};

enum class SettingsFault { None, Directory, Unreadable, ReadOnlyDirectory };

struct Row {
  const char* name;
  std::vector<std::string> simArgs;
  std::optional<Bytes> settings;  // options.cfg at start (none: missing)
  SettingsFault fault;
  bool portHeldAtStart;
  std::vector<Step> steps;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << r.name;
}

// Holds a device as another program would: an exclusive lock on it.
class PortHolder {
 public:
  explicit PortHolder(const std::string& device)
      : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~PortHolder() {
    if (fd_ >= 0) ::close(fd_);
  }
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;
  bool lock() { return fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }

 private:
  int fd_;
};

// The monitor and the simulator in a folder of their own, with a virtual display and a private
// session bus through which the monitor is read.
class MonitorOnPty {
 public:
  MonitorOnPty() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("orvik-matrix-") + std::to_string(::getpid()) + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ = fs::temp_directory_path() / name;
    fs::remove_all(dir_);
    fs::create_directories(work());
  }
  virtual ~MonitorOnPty() {
    monitor_.reset();
    sim_.reset();
    bus_.reset();
    display_.reset();
    holder_.reset();
    ::system(("chattr -i '" + work().string() + "' '" + (work() / "options.cfg").string() + "' 2>/dev/null")
                 .c_str());
    if (!::testing::Test::HasFailure()) fs::remove_all(dir_);
  }

  fs::path work() const { return dir_ / "work"; }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string device() const { return path("ttyORVIK"); }

  // The simulator, on a pseudo-terminal reached through the same name each time it starts.
  void startSimulator(std::vector<std::string> args) {
    const std::string out = path("sim.out." + std::to_string(++simRuns_));
    args.insert(args.begin(), {ORVIK_SIM_PATH, "--log", "--link", device()});
    sim_ = std::make_unique<Process>(
        args, Process::Options{"", {}, out, path("sim.log." + std::to_string(simRuns_))});
    ASSERT_TRUE(
        waitFor([&] { return readFile(out).find('\n') != std::string::npos && fs::exists(device()); }, 10s));
  }
  // The device goes as an unplugged adapter does: its name first, then the far end, without warning.
  // (Pseudo-terminal numbers are reused at once: a name left behind could lead to another test's.)
  void killSimulator() {
    fs::remove(device());
    ::kill(sim_->pid(), SIGKILL);
    waitFor([&] { return !sim_->running(); }, 5s);
  }

  void writeSettings(const Bytes& bytes) {
    std::ofstream(work() / "options.cfg", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  void startMonitor() {
    display_ = std::make_unique<VirtualDisplay>(path("xvfb.log"));
    bus_ = std::make_unique<SessionBus>(path("bus.address"), path("runtime"));
    Process::Options options{work().string(), bus_->env(), path("monitor.out"), path("monitor.err")};
    options.env["DISPLAY"] = display_->name();
    options.env["ORVIK_COMM1"] = device();
    for (int n = 2; n <= 4; ++n)
      options.env["ORVIK_COMM" + std::to_string(n)] = "/dev/orvik-none-" + std::to_string(n);
    monitor_ = std::make_unique<Process>(std::vector<std::string>{ORVIK_MONITOR_PATH}, options);
  }

  // The X server goes away under the monitor, as when a remote session drops.
  void loseDisplay() { display_.reset(); }

  Screen screen() { return screenOf(testing::readAccessibility(*bus_, kApp)); }
  void key(const std::string& keys) {
    const std::string command = "DISPLAY=" + display_->name() + " xdotool key " + keys;
    ASSERT_EQ(::system(command.c_str()), 0) << command;
  }

  // Runs one step and returns false (with a failure) when the screen never showed what it wants.
  bool run(const Step& step, int index) {
    Screen last;
    const bool shown = waitFor(
        [&] {
          last = screen();
          return step.want.matches(last);
        },
        step.within);
    if (!shown) {
      ADD_FAILURE() << "step " << index << " never showed what it wants; last seen " << last;
      return false;
    }
    const auto until = Clock::now() + step.hold;
    while (Clock::now() < until) {
      last = screen();
      if (!step.want.matches(last)) {
        ADD_FAILURE() << "step " << index << " did not keep showing what it wants; then showed " << last;
        return false;
      }
      std::this_thread::sleep_for(200ms);
    }
    if (!step.keys.empty()) key(step.keys);
    if (step.then) step.then(*this);
    return true;
  }

  // Everything the simulators were asked, from their logs.
  std::vector<std::string> requests() {
    std::vector<std::string> all;
    const std::regex line("ms: request ([0-9A-F ]+) ->");
    for (int run = 1; run <= simRuns_; ++run) {
      const std::string log = readFile(path("sim.log." + std::to_string(run)));
      for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        all.push_back((*it)[1]);
    }
    return all;
  }

  std::unique_ptr<PortHolder> holder_;
  std::unique_ptr<Process> sim_;
  std::unique_ptr<Process> monitor_;

 private:
  fs::path dir_;
  int simRuns_ = 0;
  std::unique_ptr<VirtualDisplay> display_;
  std::unique_ptr<SessionBus> bus_;
};

class FaultMatrix : public ::testing::TestWithParam<Row>, public MonitorOnPty {};

// Another program takes the port as soon as the monitor has let it go.
void holdPort(MonitorOnPty& f) {
  f.holder_ = std::make_unique<PortHolder>(f.device());
  ASSERT_TRUE(waitFor([&] { return f.holder_->lock(); }, 5s)) << "the port dialog closes the port";
}
void releasePort(MonitorOnPty& f) {
  f.holder_.reset();
}

const Want kUpdating{
    .refresh = "Update", .raw = " 62, 31,", .values = true, .gated = true, .tagAnswerToo = true};
const Want kNoResponse{.refresh = "No Response", .raw = "Timeout", .values = false};
const Want kAskedForAPort{.box = kSetupRequired, .boxText = "requires a serial port"};
const Want kIdleWithoutPort{
    .refresh = "Communication Status", .raw = "Comm Status", .values = false, .gated = false};

// Settings files that name no usable port: the question, "No", and a window that polls nothing.
Row noPortRow(const char* name, std::optional<Bytes> settings, SettingsFault fault = SettingsFault::None) {
  return {name,  {},    std::move(settings),
          fault, false, {{kAskedForAPort, 15s, 0ms, "Escape"}, {kIdleWithoutPort, 5s, 3s}}};
}

const std::vector<Row> kRows = {
    {"ControllerSilent", {"--silent"}, Bytes{1, 0}, SettingsFault::None, false, {{kNoResponse}}},
    {"AnswersLate150ms", {"--delay", "150"}, Bytes{1, 0}, SettingsFault::None, false, {{kUpdating, 15s, 5s}}},
    {"AnswersLate300ms", {"--delay", "300"}, Bytes{1, 0}, SettingsFault::None, false, {{kUpdating, 15s, 5s}}},
    // Each answer arrives after the next request and is taken: the values lag one poll behind.
    {"AnswersLate2600ms",
     {"--delay", "2600"},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kUpdating, 20s, 5s}}},
    {"OnlyTheFirstByte",
     {"--first-bytes", "1"},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kNoResponse, 15s, 3s}}},
    {"OneBadChecksumBetweenGoodAnswers",
     {"--bad-checksum-every", "2"},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kUpdating, 15s, 6s}}},
    {"EveryAnswerWithABadChecksum",
     {"--bad-checksum"},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kNoResponse, 15s, 3s}}},
    {"GarbageBeforeEveryAnswer",
     {"--garbage", "3"},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kNoResponse, 15s, 3s}}},
    {"OverlongAnswers", {"--overlong"}, Bytes{1, 0}, SettingsFault::None, false, {{kNoResponse, 15s, 3s}}},
    {"ShortAnswers",
     {"--short"},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{{.refresh = "Update", .raw = " 62, 15,", .values = true, .gated = true}, 15s, 4s}}},
    {"AnswersToADifferentRequest",
     {"--wrong-answer"},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{{.refresh = "Update", .raw = " 67, 22,", .values = false, .gated = true}, 15s, 4s}}},
    {"SimulatorKilledWhilePolling",
     {},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kUpdating, 15s, 0ms, "", [](MonitorOnPty& f) { f.killSimulator(); }},
      {{.refresh = "No Response", .raw = "Timeout", .values = true, .gated = false}, 3500ms, 3s}}},
    {"SimulatorStartedAgainUnderTheSameName",
     {},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kUpdating, 15s, 0ms, "", [](MonitorOnPty& f) { f.killSimulator(); }},
      {{.refresh = "No Response"}, 5s, 0ms, "", [](MonitorOnPty& f) { f.startSimulator({}); }},
      {kUpdating, 6s, 3s}}},
    {"PortHeldByAnotherProgramAtStart",
     {},
     Bytes{1, 0},
     SettingsFault::None,
     true,
     {{{.box = "Port Setup", .boxText = "Comm1 is unavailable."}, 15s, 0ms, "Return"},
      {kAskedForAPort, 5s, 0ms, "Escape"},
      {kIdleWithoutPort, 5s, 3s}}},
    {"PortHeldWhileThePortDialogProbes",
     {},
     Bytes{1, 0},
     SettingsFault::None,
     false,
     {{kUpdating, 15s, 0ms, "ctrl+p", holdPort},
      {{.box = "Port Error", .boxText = "No unused serial ports", .dialog = "Setup Serial Port"},
       8s,
       0ms,
       "Return"},
      {{.dialog = "Setup Serial Port"}, 5s, 0ms, "Return"},
      {{.box = "Port Setup", .boxText = "Comm1 is unavailable.", .dialog = "Setup Serial Port"},
       5s,
       0ms,
       "Return"},
      {{.dialog = "Setup Serial Port"}, 5s, 0ms, "", releasePort},
      {{.dialog = "Setup Serial Port"}, 3s, 0ms, "Return"},
      {kUpdating, 8s, 2s}}},
    noPortRow("SettingsFileMissing", std::nullopt),
    noPortRow("SettingsFileEmpty", Bytes{}),
    noPortRow("SettingsFileOfOneByte", Bytes{1}),
    {"SettingsFileOfThreeBytes", {}, Bytes{1, 0, 7}, SettingsFault::None, false, {{kUpdating, 15s, 2s}}},
    noPortRow("SettingsFilePort5", Bytes{5, 0}),
    noPortRow("SettingsFileMinusOne", Bytes{0xFF, 0xFF}),
    noPortRow("SettingsFileADirectory", std::nullopt, SettingsFault::Directory),
    noPortRow("SettingsFileUnreadable", Bytes{1, 0}, SettingsFault::Unreadable),
    {"SettingsFileInAReadOnlyDirectory",
     {},
     std::nullopt,
     SettingsFault::ReadOnlyDirectory,
     false,
     {{kAskedForAPort, 15s, 0ms, "Return"},
      {{.dialog = "Setup Serial Port"}, 5s, 3500ms, "Return"},
      {{.box = "Port Setup", .boxText = "could not be saved", .dialog = "Setup Serial Port"},
       5s,
       0ms,
       "Return"},
      {kUpdating, 8s, 2s}}},
};

// Makes the settings file or its directory fail as the row says, also for root (whom permissions do
// not stop: the immutable attribute does). False when this file system cannot do it.
bool applySettingsFault(const fs::path& dir, SettingsFault fault) {
  const fs::path file = dir / "options.cfg";
  switch (fault) {
    case SettingsFault::None:
      return true;
    case SettingsFault::Directory:
      fs::create_directory(file);
      return true;
    case SettingsFault::Unreadable:
      fs::permissions(file, fs::perms::none);
      if (::geteuid() == 0) ::system(("chattr +i '" + file.string() + "' 2>/dev/null").c_str());
      break;
    case SettingsFault::ReadOnlyDirectory:
      fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
      if (::geteuid() == 0) ::system(("chattr +i '" + dir.string() + "' 2>/dev/null").c_str());
      break;
  }
  // The monitor opens the file for reading and writing, creating it when missing.
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0644);
  if (fd >= 0) {
    ::close(fd);
    if (fault == SettingsFault::ReadOnlyDirectory) fs::remove(file);
    return false;
  }
  return true;
}

TEST_P(FaultMatrix, ShowsTheTechnicianWhatIsWrongAndWritesNothingUnasked) {
  const Row& row = GetParam();
  if (row.settings) writeSettings(*row.settings);
  if (!applySettingsFault(work(), row.fault))
    GTEST_SKIP() << "this file system cannot make the settings file fail";
  ASSERT_NO_FATAL_FAILURE(startSimulator(row.simArgs));
  if (row.portHeldAtStart) {
    holder_ = std::make_unique<PortHolder>(device());
    ASSERT_TRUE(holder_->lock());
  }
  startMonitor();

  for (std::size_t i = 0; i < row.steps.size(); ++i) {
    if (!run(row.steps[i], static_cast<int>(i))) break;
  }

  // No busy loop, whatever the fault.
  const long before = cpuTicks(monitor_->pid());
  std::this_thread::sleep_for(3s);
  EXPECT_LT(cpuTicks(monitor_->pid()) - before, sysconf(_SC_CLK_TCK) * 3 / 10) << "CPU ticks in 3 s";
  EXPECT_TRUE(monitor_->running()) << readFile(path("monitor.err"));
  // The tag is read once each time the controller is first heard on a newly opened port.
  int tagReads = 0;
  for (const std::string& request : requests()) {
    if (request == "43 02 FE") {
      ++tagReads;
    } else {
      EXPECT_EQ(request, "3E 02 FE") << "only status requests and tag reads reach the controller";
    }
  }
  EXPECT_LE(tagReads, 2);
  if (row.settings && row.fault == SettingsFault::None) {
    EXPECT_EQ(readFile((work() / "options.cfg").string()),
              std::string(row.settings->begin(), row.settings->end()))
        << "the settings file is left as it was";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& row) {
                           return std::string(row.param.name);
                         });

// CPU seconds the process uses over `period`.
double cpuSecondsOver(pid_t pid, std::chrono::milliseconds period) {
  const long before = cpuTicks(pid);
  std::this_thread::sleep_for(period);
  return static_cast<double>(cpuTicks(pid) - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class DeviceGone : public ::testing::Test, public MonitorOnPty {};

// The adapter pulled while the monitor polls: the link is shown down within the receive time-out, the
// window still answers, and the monitor uses no more CPU than while it polled a live controller.
TEST_F(DeviceGone, TheLinkIsShownDownInTimeAndTheMonitorStaysIdleAndResponsive) {
  ASSERT_NO_FATAL_FAILURE(startSimulator({}));
  writeSettings({1, 0});
  startMonitor();
  ASSERT_TRUE(run({kUpdating}, 0));
  const double polling = cpuSecondsOver(monitor_->pid(), 10s);

  const auto goneAt = Clock::now();
  killSimulator();
  ASSERT_TRUE(waitFor([&] { return screen().refresh == "No Response"; }, 5s));
  const auto shownDownAfter = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - goneAt);
  EXPECT_LE(shownDownAfter.count(), 2500 + 600) << "the receive time-out, plus the time to read the window";

  const double gone = cpuSecondsOver(monitor_->pid(), 10s);
  std::cout << "CPU over 10 s: " << polling << " s while polling a live controller, " << gone
            << " s with the device gone; link shown down " << shownDownAfter.count() << " ms after it went\n";
  EXPECT_LE(gone, polling + 0.05);

  key("alt+h");
  key("a");
  EXPECT_TRUE(waitFor([&] { return screen().dialog == "About Orvik Monitor"; }, 5s))
      << "the window still answers";
  EXPECT_TRUE(monitor_->running());
}

// Qt's lock file for a device: "LCK.." and its path with "/" as "_" (for /dev/ttyS0: "LCK..ttyS0"), in
// the first of these folders it can write.
std::vector<fs::path> lockFilesFor(std::string device) {
  if (device.rfind("/dev/", 0) == 0) device.erase(0, 5);
  std::replace(device.begin(), device.end(), '/', '_');
  std::vector<fs::path> found;
  for (const char* dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp"}) {
    std::error_code ec;
    const fs::path lock = fs::path(dir) / ("LCK.." + device);
    if (fs::exists(lock, ec)) found.push_back(lock);
  }
  return found;
}

class EndingSignal : public ::testing::TestWithParam<int>, public MonitorOnPty {};

// Ended by the system or from a terminal, the monitor leaves as File > Exit does: the port and its lock
// file are free for the next program at once.
TEST_P(EndingSignal, EndsTheProgramAsExitDoesAndReleasesThePortAndItsLockFile) {
  ASSERT_NO_FATAL_FAILURE(startSimulator({}));
  writeSettings({1, 0});
  startMonitor();
  ASSERT_TRUE(run({kUpdating}, 0));
  const auto locks = lockFilesFor(device());
  ASSERT_EQ(locks.size(), 1u) << "the open port keeps one lock file";

  ::kill(monitor_->pid(), GetParam());
  ASSERT_TRUE(waitFor([&] { return !monitor_->running(); }, 5s));
  EXPECT_EQ(monitor_->exitCode(), 0) << "ended by its own exit, not by the signal";
  EXPECT_FALSE(fs::exists(locks.front())) << locks.front();
  PortHolder next(device());
  EXPECT_TRUE(next.lock()) << "the port is free for the next program";
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& signal) {
                           return std::string(signal.param == SIGTERM  ? "SIGTERM"
                                              : signal.param == SIGINT ? "SIGINT"
                                                                       : "SIGHUP");
                         });

class DisplayGone : public ::testing::Test, public MonitorOnPty {};

// Qt ends a program whose display has gone through exit(), past its event loop: the port's lock file
// still goes with it.
TEST_F(DisplayGone, TheMonitorEndsAndLeavesNoLockFile) {
  ASSERT_NO_FATAL_FAILURE(startSimulator({}));
  writeSettings({1, 0});
  startMonitor();
  ASSERT_TRUE(run({kUpdating}, 0));
  const auto locks = lockFilesFor(device());
  ASSERT_EQ(locks.size(), 1u) << "the open port keeps one lock file";

  loseDisplay();
  ASSERT_TRUE(waitFor([&] { return !monitor_->running(); }, 10s));
  EXPECT_EQ(monitor_->exitCode(), 1) << readFile(path("monitor.err"));
  EXPECT_FALSE(fs::exists(locks.front())) << locks.front();
}

}  // namespace
}  // namespace orvik
