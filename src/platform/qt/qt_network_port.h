#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <string>

#include "platform/network_port_name.h"
#include "platform/serial_port.h"
#include "platform/telnet_com_port.h"

namespace orvik::platform::qt {

// "Comm n" on a serial server, for a port named "tcp://HOST:PORT" or "rfc2217://HOST:PORT": the same
// bytes and events as a cable, over QTcpSocket. Opening connects within kConnectLimit; over RFC 2217 it
// also sets the line to 9600 8N1 without flow control and fails when the server sets another. A server
// that closes the connection at once (one that already has a user) fails the opening with its words. A
// connection that drops while open is a device that went away. No lock file: the server keeps out a
// second user.
class QtNetworkPort final : public SerialPort {
 public:
  // How long connecting (and setting the line) may take.
  static constexpr std::chrono::seconds kConnectLimit{5};
  // How long a raw TCP server has after connecting to say it turns us away (it closes the connection
  // then, after a line of text): four times the time the connection took to be made, at least this.
  static constexpr std::chrono::milliseconds kRefusalWait{50};

  // Comm n is the port `deviceNames(n)` names.
  explicit QtNetworkPort(std::function<std::string(int)> deviceNames);
  ~QtNetworkPort() override;

  // With `inBackground`, reopen() connects without keeping the program waiting (see SerialPort).
  void setReopeningInBackground(bool inBackground) { reopenInBackground_ = inBackground; }
  // What an RFC 2217 server answered to the line settings, once a port opens on it, for a person.
  std::function<void(const std::string&)> onServerAnswer;

  void setCommPort(int number) override;
  int commPort() const override { return comm_; }
  std::string deviceName(int number) const override { return deviceNames_(number); }
  void setHandshakingNone() override {}
  void open() override;
  bool reopen() override;
  void close() override;
  bool isOpen() const override { return open_; }
  int inBufferCount() const override { return static_cast<int>(input_.size()); }
  std::uint8_t readByte() override;
  void discardInput() override;
  int outBufferCount() const override { return static_cast<int>(socket_.bytesToWrite()); }
  void drainOutput(std::chrono::milliseconds limit) override;
  void writeByte(std::uint8_t byte) override;

 private:
  // A connection on its way to becoming the open port.
  enum class Attempt { None, Connecting, Ready, Failed };

  void start(const std::string& device, const NetworkPortName& name);
  void connected();
  void arrived();
  TelnetComPort::Bytes takeArrivedBytes();
  void keepGreeting(const TelnetComPort::Bytes& data);
  void socketEnded();
  std::chrono::milliseconds nextLimit() const;
  void checkLimits();
  void settle();
  void fail(const std::string& reason);
  void adopt();
  void cancel();
  std::string where() const;

  std::function<std::string(int)> deviceNames_;
  QTcpSocket socket_;
  QTimer limitTimer_;  // checks the attempt's limits while the event loop runs it in the background
  TelnetComPort telnet_;
  int comm_ = 1;
  bool reopenInBackground_ = false;
  bool open_ = false;
  std::deque<std::uint8_t> input_;

  Attempt attempt_ = Attempt::None;
  std::string device_;
  NetworkPortName name_;
  QDeadlineTimer connectLimit_;
  QElapsedTimer connecting_;  // since the host's address is known
  QDeadlineTimer refusalWait_{QDeadlineTimer::Forever};
  std::string greeting_;  // what the server sent before the port opened: a banner, or why it refuses
  SerialError failure_{""};
};

}  // namespace orvik::platform::qt
