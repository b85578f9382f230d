#include "platform/qt/qt_comm_port.h"

#include <utility>

#include "platform/network_port_name.h"

namespace orvik::platform::qt {

QtCommPort::QtCommPort(CommDevices devices)
    : serial_(std::move(devices)), network_([this](int number) { return serial_.deviceName(number); }) {
  serial_.onComm = [this] { raiseCommEvent(serial_.commEvent()); };
  network_.onComm = [this] { raiseCommEvent(network_.commEvent()); };
}

void QtCommPort::setCommPort(int number) {
  if (active_->isOpen()) throw SerialError("port is open");
  serial_.setCommPort(number);
  network_.setCommPort(number);
}

SerialPort& QtCommPort::chosen() {
  if (isNetworkPortName(deviceName(commPort()))) return network_;
  return serial_;
}

void QtCommPort::open() {
  if (active_->isOpen()) throw SerialError("port already open");
  active_ = &chosen();
  active_->open();
}

bool QtCommPort::reopen() {
  if (active_->isOpen()) return true;
  active_ = &chosen();
  return active_->reopen();
}

}  // namespace orvik::platform::qt
