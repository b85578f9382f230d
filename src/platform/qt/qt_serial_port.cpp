#include "platform/qt/qt_serial_port.h"

#include <QDeadlineTimer>
#include <QObject>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/port_access.h"
#include "platform/port_locks.h"

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#endif

namespace orvik::platform::qt {

namespace {

#ifndef _WIN32
// Who may use a device, as the system's user and group databases tell it.
DeviceAccess accessTo(const struct stat& device) {
  DeviceAccess access;
  const uid_t uid = ::geteuid();
  const passwd* user = ::getpwuid(uid);
  access.user = user != nullptr ? user->pw_name : std::to_string(uid);
  const group* owner = ::getgrgid(device.st_gid);
  access.group = owner != nullptr ? owner->gr_name : std::to_string(device.st_gid);
  access.groupMayUse = (device.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);

  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
  groups.resize(
      static_cast<std::size_t>(std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
  access.inGroup =
      ::getegid() == device.st_gid || std::find(groups.begin(), groups.end(), device.st_gid) != groups.end();
  if (user != nullptr && user->pw_gid == device.st_gid) access.listedInGroup = true;
  for (char** member = owner != nullptr ? owner->gr_mem : nullptr; member != nullptr && *member != nullptr;
       ++member) {
    if (access.user == *member) access.listedInGroup = true;
  }
  return access;
}
#endif

// Why `device` did not open, in the system's words: missing, not ours to use, or held by another
// program (`busy`, and then which one where the system can tell); otherwise what Qt said.
SerialError openFailure(const std::string& device, [[maybe_unused]] bool busy, const std::string& qtReason) {
#ifndef _WIN32
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) {
    const std::string reason = std::strerror(errno);
    return SerialError(reason, openFailureDetails(device, reason));
  }
  if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES) {
    const std::string reason = std::strerror(EACCES);
    const std::string remedy = permissionRemedy(accessTo(info));
    return SerialError(reason, openFailureDetails(device, reason, remedy), remedy);
  }
  if (busy) {
    const std::string reason = std::strerror(EBUSY);
    return SerialError(reason, openFailureDetails(device, reason, portHolder(device)));
  }
#endif
  return SerialError(qtReason, openFailureDetails(device, qtReason));
}

// The ports open in this process. A program may end through exit() with a port open: Qt ends it so
// when the connection to the display breaks, and the port's lock file would outlive it, keeping the
// device from every other program. Whatever is still open when static objects go is closed then.
class OpenPorts {
 public:
  // Called once a port is open, so that this object outlives what Qt built to open it.
  static OpenPorts& instance() {
    static OpenPorts ports;
    return ports;
  }
  void add(QSerialPort& port) { ports_.push_back(&port); }
  void remove(QSerialPort& port) { std::erase(ports_, &port); }
  ~OpenPorts() {
    for (QSerialPort* port : ports_)
      port->close();
  }

 private:
  std::vector<QSerialPort*> ports_;
};

}  // namespace

QtSerialPort::QtSerialPort() {
  QObject::connect(&port_, &QSerialPort::readyRead, [this] {
    takeArrivedBytes();
    raiseCommEvent(kCommEventReceive);
  });
  QObject::connect(&port_, &QSerialPort::errorOccurred,
                   [this](QSerialPort::SerialPortError e) { onError(e); });
}

QtSerialPort::QtSerialPort(CommDevices devices) : QtSerialPort() {
  devices_ = std::move(devices);
}

QtSerialPort::~QtSerialPort() {
  closePort();
}

void QtSerialPort::closePort() {
  if (!port_.isOpen()) return;
  port_.close();
  OpenPorts::instance().remove(port_);
}

std::string QtSerialPort::deviceFor(int number) {
  const std::string variable = commEnvironmentVariable(number);
  if (const char* overridden = std::getenv(variable.c_str()); overridden != nullptr && *overridden != '\0') {
    return overridden;
  }
  return defaultCommDevice(number);
}

std::string QtSerialPort::deviceName(int number) const {
  if (devices_ && number >= 1 && number <= 4) return (*devices_)[number - 1];
  return deviceFor(number);
}

void QtSerialPort::setCommPort(int number) {
  if (port_.isOpen()) throw SerialError("port is open");
  if (number < 1 || number > 4) throw SerialError("invalid port number " + std::to_string(number));
  comm_ = number;
}

void QtSerialPort::setHandshakingNone() {
  port_.setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialPort::open() {
  if (port_.isOpen()) throw SerialError("port already open");
  const std::string device = deviceName(comm_);
  if (const std::string notSerial = notASerialDevice(device); !notSerial.empty())
    throw SerialError(notSerial, openFailureDetails(device, notSerial));
  port_.setPortName(QString::fromStdString(device));
  port_.setBaudRate(QSerialPort::Baud9600);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  bool opened = port_.open(QIODevice::ReadWrite);
  // Qt reports a device in use (its lock file, or EBUSY) as a permission error. It clears a lock file
  // left by a process that has ended only when the file holds nothing but the process number on its
  // first line; other programs' stale lock files are cleared here, and the port is tried once more.
  if (!opened && port_.error() == QSerialPort::PermissionError && removeStaleLockFiles(device)) {
    port_.clearError();
    opened = port_.open(QIODevice::ReadWrite);
  }
  if (!opened) {
    const bool busy = port_.error() == QSerialPort::PermissionError;
    const std::string why = port_.errorString().toStdString();
    port_.clearError();
    throw openFailure(device, busy, why);
  }
#ifndef _WIN32
  // QSerialPort's lock file only keeps out other QSerialPort users, and TIOCEXCL does not stop root:
  // an advisory lock on the device keeps out every program that asks for one.
  if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0) {
    port_.close();
    throw openFailure(device, true, "port in use by another program");
  }
#endif
  OpenPorts::instance().add(port_);
  input_.clear();
}

void QtSerialPort::close() {
  closePort();
  input_.clear();
}

void QtSerialPort::takeArrivedBytes() {
  const QByteArray arrived = port_.readAll();
  input_.insert(input_.end(), arrived.begin(), arrived.end());
}

int QtSerialPort::inBufferCount() const {
  return static_cast<int>(input_.size());
}

std::uint8_t QtSerialPort::readByte() {
  return takeWaitingByte(input_);
}

void QtSerialPort::discardInput() {
  input_.clear();
  if (port_.isOpen()) {
    port_.readAll();
    port_.clear(QSerialPort::Input);
  }
}

int QtSerialPort::outBufferCount() const {
  return static_cast<int>(port_.bytesToWrite());
}

void QtSerialPort::drainOutput(std::chrono::milliseconds limit) {
  QDeadlineTimer deadline(limit.count());
  while (port_.isOpen() && port_.bytesToWrite() > 0 && !deadline.hasExpired()) {
    if (!port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
  }
}

void QtSerialPort::writeByte(std::uint8_t byte) {
  if (!port_.isOpen()) throw SerialError("port is not open");
  const char c = static_cast<char>(byte);
  if (port_.write(&c, 1) != 1) throw SerialError(port_.errorString().toStdString());
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
      closeLostDevice();
      break;
    default:
      break;
  }
}

void QtSerialPort::closeLostDevice() {
  // The device hung up or vanished. Qt would report it again and again while the port stays open;
  // closing it here stops that. Whoever listens learns of it once, so the link can be shown down.
  if (!port_.isOpen()) return;
  ++deviceErrors_;
  closePort();
  port_.clearError();
  input_.clear();
  raiseCommEvent(kCommEventDeviceLost);
}

}  // namespace orvik::platform::qt
