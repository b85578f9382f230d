#pragma once

#include <QSerialPort>
#include <deque>

#include "platform/serial_port.h"

namespace orvik::platform::qt {

// "Comm n" on QSerialPort: COMn on Windows, /dev/ttyS{n-1} elsewhere, or the device named by the
// environment variable ORVIK_COMM<n>. 9600 8N1, no flow control, raw bytes, opened exclusively.
class QtSerialPort final : public SerialPort {
 public:
  QtSerialPort();
  ~QtSerialPort() override;

  static std::string deviceFor(int number);

  void setCommPort(int number) override;
  int commPort() const override { return comm_; }
  std::string deviceName(int number) const override { return deviceFor(number); }
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

  QSerialPort port_;
  std::deque<std::uint8_t> input_;
  int comm_ = 1;
  int deviceErrors_ = 0;
};

}  // namespace orvik::platform::qt
