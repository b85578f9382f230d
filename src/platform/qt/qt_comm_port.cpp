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

SerialPort& QtCommPort::choose() {
  SerialPort& chosen =
      isNetworkPortName(deviceName(commPort())) ? static_cast<SerialPort&>(network_) : serial_;
  // A connection still being made in the background would keep the server from other users.
  if (&chosen != active_) active_->close();
  active_ = &chosen;
  return chosen;
}

void QtCommPort::open() {
  if (active_->isOpen()) throw SerialError("port already open");
  choose().open();
}

bool QtCommPort::reopen() {
  if (active_->isOpen()) return true;
  return choose().reopen();
}

void QtCommPort::close() {
  serial_.close();
  network_.close();
}

}  // namespace orvik::platform::qt
