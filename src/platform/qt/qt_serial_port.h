#pragma once

#include <QSerialPort>
#include <deque>
#include <optional>

#include "platform/comm_devices.h"
#include "platform/serial_port.h"

namespace orvik::platform::qt {

// "Comm n" on QSerialPort, 9600 8N1, no flow control, raw bytes, opened exclusively.
class QtSerialPort final : public SerialPort {
 public:
  // Comm n is the device deviceFor(n) names when the port is opened.
  QtSerialPort();
  // Comm n is devices[n - 1].
  explicit QtSerialPort(CommDevices devices);
  ~QtSerialPort() override;

  // The device named by the environment variable ORVIK_COMM<n>, else COMn on Windows and
  // /dev/ttyS{n-1} elsewhere.
  static std::string deviceFor(int number);

  void setCommPort(int number) override;
  int commPort() const override { return comm_; }
  std::string deviceName(int number) const override;
  void setHandshakingNone() override;
  void open() override;
  void close() override;
  bool isOpen() const override { return port_.isOpen(); }
  int inBufferCount() const override;
  std::uint8_t readByte() override;
  void discardInput() override;
  int outBufferCount() const override;
  void drainOutput(std::chrono::milliseconds limit) override;
  void writeByte(std::uint8_t byte) override;

  // How many device errors closed the port (a hang-up, an unplugged adapter).
  int deviceErrors() const { return deviceErrors_; }

 private:
  void takeArrivedBytes();
  void onError(QSerialPort::SerialPortError error);
  void closeLostDevice();
  void closePort();

  QSerialPort port_;
  std::optional<CommDevices> devices_;
  std::deque<std::uint8_t> input_;
  int comm_ = 1;
  int deviceErrors_ = 0;
};

}  // namespace orvik::platform::qt
