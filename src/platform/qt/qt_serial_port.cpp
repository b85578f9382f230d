#include "platform/qt/qt_serial_port.h"

#include <QDeadlineTimer>
#include <QObject>
#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <sys/file.h>
#endif

namespace orvik::platform::qt {

QtSerialPort::QtSerialPort() {
  QObject::connect(&port_, &QSerialPort::readyRead, [this] {
    takeArrivedBytes();
    raiseCommEvent(kCommEventReceive);
  });
  QObject::connect(&port_, &QSerialPort::errorOccurred,
                   [this](QSerialPort::SerialPortError e) { onError(e); });
}

QtSerialPort::~QtSerialPort() {
  port_.close();
}

std::string QtSerialPort::deviceFor(int number) {
  const std::string variable = "ORVIK_COMM" + std::to_string(number);
  if (const char* overridden = std::getenv(variable.c_str()); overridden != nullptr && *overridden != '\0') {
    return overridden;
  }
#ifdef _WIN32
  return "COM" + std::to_string(number);
#else
  return "/dev/ttyS" + std::to_string(number - 1);
#endif
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
  port_.setPortName(QString::fromStdString(deviceFor(comm_)));
  port_.setBaudRate(QSerialPort::Baud9600);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) {
    const std::string why = port_.errorString().toStdString();
    port_.clearError();
    throw SerialError(why);
  }
#ifndef _WIN32
  // QSerialPort's lock file only keeps out other QSerialPort users, and TIOCEXCL does not stop root:
  // an advisory lock on the device keeps out every program that asks for one.
  if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0) {
    port_.close();
    throw SerialError("port in use by another program");
  }
#endif
  input_.clear();
}

void QtSerialPort::close() {
  if (port_.isOpen()) port_.close();
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
  if (input_.empty()) throw SerialError("no byte waiting");
  const std::uint8_t b = input_.front();
  input_.pop_front();
  return b;
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
  port_.close();
  port_.clearError();
  input_.clear();
  raiseCommEvent(kCommEventDeviceLost);
}

}  // namespace orvik::platform::qt
