#pragma once

#include "platform/comm_devices.h"
#include "platform/qt/qt_network_port.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/serial_port.h"

namespace orvik::platform::qt {

// "Comm n" on whatever its device names: a device file through QtSerialPort, "tcp://HOST:PORT" or
// "rfc2217://HOST:PORT" through QtNetworkPort. The kind is chosen each time the port opens, so the port
// dialog may put a network port on any of Comm 1..4.
class QtCommPort final : public SerialPort {
 public:
  // Comm n is devices[n - 1].
  explicit QtCommPort(CommDevices devices);

  QtNetworkPort& network() { return network_; }

  void setCommPort(int number) override;
  int commPort() const override { return serial_.commPort(); }
  std::string deviceName(int number) const override { return serial_.deviceName(number); }
  void setHandshakingNone() override { serial_.setHandshakingNone(); }
  void open() override;
  bool reopen() override;
  void close() override;
  bool isOpen() const override { return active_->isOpen(); }
  int inBufferCount() const override { return active_->inBufferCount(); }
  std::uint8_t readByte() override { return active_->readByte(); }
  void discardInput() override { active_->discardInput(); }
  int outBufferCount() const override { return active_->outBufferCount(); }
  void drainOutput(std::chrono::milliseconds limit) override { active_->drainOutput(limit); }
  void writeByte(std::uint8_t byte) override { active_->writeByte(byte); }

 private:
  // The port that serves the current Comm number's device, made the active one; the one last opened
  // serves until then.
  SerialPort& choose();

  QtSerialPort serial_;
  QtNetworkPort network_;
  SerialPort* active_ = &serial_;
};

}  // namespace orvik::platform::qt
