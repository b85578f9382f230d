// Why a device does not open, as the Qt serial backend tells a person: against real pseudo-terminals.
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QSysInfo>
#include <filesystem>

#include "platform/qt/pty_pair.h"
#include "platform/qt/qt_serial_port.h"
#include "support/process.h"

namespace orvik::platform::qt {
namespace {

namespace fs = std::filesystem;
using orvik::testing::processEventsUntil;
using orvik::testing::PtyPair;
using orvik::testing::readFile;

// Root may open any device: while this lives, a root test runs as the unprivileged user "nobody".
class WithoutRootRights {
 public:
  WithoutRootRights() {
    if (::geteuid() != 0) return;
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr || ::seteuid(nobody->pw_uid) != 0) throw std::runtime_error("cannot become nobody");
    dropped_ = true;
  }
  ~WithoutRootRights() {
    if (dropped_ && ::seteuid(0) != 0) std::abort();
  }
  WithoutRootRights(const WithoutRootRights&) = delete;
  WithoutRootRights& operator=(const WithoutRootRights&) = delete;

 private:
  bool dropped_ = false;
};

// Opens Comm 1 mapped to `device` and returns the failure.
SerialError openFailureOf(const std::string& device) {
  QtSerialPort port(CommDevices{device, "", "", ""});
  port.setCommPort(1);
  try {
    port.open();
  } catch (const SerialError& e) {
    return e;
  }
  ADD_FAILURE() << device << " opened";
  return SerialError("");
}

// Another program, run as sleep; given a device, it holds it open under an exclusive lock.
struct Sleeper {
  explicit Sleeper(const char* device) : pid(::fork()) {
    if (pid != 0) return;
    const int fd = device != nullptr ? ::open(device, O_RDWR | O_NOCTTY) : -1;
    if (device != nullptr && (fd < 0 || ::flock(fd, LOCK_EX) != 0)) ::_exit(1);
    ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ~Sleeper() {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  const pid_t pid;
};

// The one-line form minicom writes, which QSerialPort does not read.
std::string minicomLock(pid_t pid) {
  return "     " + std::to_string(pid) + " minicom ann\n";
}

class OpenFailure : public ::testing::Test {
 protected:
  OpenFailure() {
    dir_ = fs::temp_directory_path() / ("orvik-open-failure-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~OpenFailure() override {
    ::chmod(pty_.device().c_str(), 0620);
    fs::remove_all(dir_);
    fs::remove(lockFile());
  }
  // Where QSerialPort keeps the device's lock file here.
  fs::path lockFile() const {
    std::string name = pty_.device().substr(5);  // below /dev/
    std::replace(name.begin(), name.end(), '/', '_');
    return fs::path("/var/lock") / ("LCK.." + name);
  }
  bool writeLockFile(const std::string& text) const {
    std::ofstream(lockFile()) << text;
    return fs::exists(lockFile());
  }
  PtyPair pty_;
  fs::path dir_;
};

TEST_F(OpenFailure, AMissingDeviceOrADanglingStableNameIsNoSuchFileOrDirectory) {
  fs::create_symlink(dir_ / "unplugged", dir_ / "usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
  for (const fs::path& device :
       {fs::path("/dev/orvik-no-such-port"), dir_ / "usb-FTDI_FT232R_USB_UART_A12345-if00-port0"}) {
    const SerialError e = openFailureOf(device.string());
    EXPECT_STREQ(e.what(), "No such file or directory");
    EXPECT_EQ(e.details(), "Device: " + device.string() + "\nError: No such file or directory");
  }
}

TEST_F(OpenFailure, AFileAFolderOrAPipeIsNotASerialDevice) {
  std::ofstream(dir_ / "notes.txt") << "not a port";
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  for (const fs::path& device : {dir_ / "notes.txt", dir_, dir_ / "pipe"}) {
    const SerialError e = openFailureOf(device.string());
    EXPECT_EQ(e.what(), device.string() + " is not a serial device");
    EXPECT_EQ(e.details(),
              "Device: " + device.string() + "\nError: " + device.string() + " is not a serial device");
  }
}

TEST_F(OpenFailure, ADeviceWithoutPermissionsIsPermissionDeniedWithWhatToDo) {
  ASSERT_EQ(::chmod(pty_.device().c_str(), 0), 0);
  struct stat info {};
  ASSERT_EQ(::stat(pty_.device().c_str(), &info), 0);
  const std::string group = ::getgrgid(info.st_gid)->gr_name;
  WithoutRootRights unprivileged;
  const SerialError e = openFailureOf(pty_.device());
  EXPECT_STREQ(e.what(), "Permission denied");
  EXPECT_EQ(e.details().rfind("Device: " + pty_.device() + "\nError: Permission denied\n\n", 0), 0u)
      << e.details();
  EXPECT_NE(e.details().find("neither you nor its group \"" + group + "\""), std::string::npos)
      << e.details();
}

TEST_F(OpenFailure, ADeviceOfAGroupWeAreNotInNamesTheGroupToJoinAndTheNewLogin) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving the device to another group needs root";
  const group* dialout = ::getgrnam("dialout");
  if (dialout == nullptr) GTEST_SKIP() << "no group dialout here";
  ASSERT_EQ(::chown(pty_.device().c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(::chmod(pty_.device().c_str(), 0660), 0);
  WithoutRootRights unprivileged;
  const SerialError e = openFailureOf(pty_.device());
  EXPECT_STREQ(e.what(), "Permission denied");
  EXPECT_NE(e.details().find("belongs to the group \"dialout\""), std::string::npos) << e.details();
  EXPECT_NE(e.details().find("sudo usermod -a -G dialout nobody\nthen log out and log in again."),
            std::string::npos)
      << e.details();
}

TEST_F(OpenFailure, ADeviceHeldByAnotherOpenerIsBusy) {
  QtSerialPort holder(CommDevices{pty_.device(), "", "", ""});
  holder.setCommPort(1);
  holder.open();
  const SerialError e = openFailureOf(pty_.device());
  EXPECT_STREQ(e.what(), "Device or resource busy");
  EXPECT_EQ(e.details(), "Device: " + pty_.device() + "\nError: Device or resource busy");
}

// The details name the program that keeps the device and its process, whether it holds the device open
// under a lock or only names itself in a lock file (all that another user's process shows of itself).
TEST_F(OpenFailure, ADeviceHeldByAnotherProgramNamesItAndItsProcess) {
  for (const bool opensIt : {true, false}) {
    SCOPED_TRACE(opensIt ? "open and locked" : "lock file");
    Sleeper holder(opensIt ? pty_.device().c_str() : nullptr);
    const std::string pid = std::to_string(holder.pid);
    ASSERT_TRUE(processEventsUntil([&] { return readFile("/proc/" + pid + "/comm") == "sleep\n"; }));
    if (!opensIt && !writeLockFile(minicomLock(holder.pid))) GTEST_SKIP() << "cannot write " << lockFile();
    EXPECT_EQ(openFailureOf(pty_.device()).details(),
              "Device: " + pty_.device() + "\nError: Device or resource busy\n\n" + pty_.device() +
                  " is in use by sleep (process " + pid + ").");
  }
}

// A lock file whose process has ended does not keep the device: QSerialPort clears one of its own
// form, and the others (minicom's) are cleared before it is asked again.
TEST_F(OpenFailure, ALockFileOfAProcessThatHasEndedDoesNotKeepTheDevice) {
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string host = QSysInfo::machineHostName().toStdString();
  for (const std::string& text : {std::to_string(ended) + "\nminicom\n" + host + "\n", minicomLock(ended)}) {
    SCOPED_TRACE(text);
    if (!writeLockFile(text)) GTEST_SKIP() << "cannot write " << lockFile();
    QtSerialPort port(CommDevices{pty_.device(), "", "", ""});
    port.setCommPort(1);
    ASSERT_NO_THROW(port.open());
    EXPECT_EQ(readFile(lockFile()).rfind(std::to_string(::getpid()) + "\n", 0), 0u) << "now this process's";
  }
}

TEST_F(OpenFailure, AStableNameOpensTheDeviceItPointsToAndIsTheNameShown) {
  const fs::path byId = dir_ / "serial" / "by-id" / "usb-Orvik_Adapter_0001-if00-port0";
  fs::create_directories(byId.parent_path());
  fs::create_symlink(pty_.device(), byId);
  QtSerialPort port(CommDevices{"", byId.string(), "", ""});
  EXPECT_EQ(port.deviceName(2), byId.string());
  port.setCommPort(2);
  ASSERT_NO_THROW(port.open());
  port.writeByte(0x3E);
  ASSERT_TRUE(orvik::testing::processEventsUntil(
      [&] { return pty_.readAvailable() == std::vector<std::uint8_t>{0x3E}; }));
}

}  // namespace
}  // namespace orvik::platform::qt
