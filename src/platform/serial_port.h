#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

namespace orvik::platform {

// Any failure of a serial port operation: a port that cannot be opened, a write to a closed port.
class SerialError : public std::runtime_error {
 public:
  explicit SerialError(const std::string& what, std::string details = {}, std::string accessRemedy = {})
      : std::runtime_error(what), details_(std::move(details)), accessRemedy_(std::move(accessRemedy)) {}
  // For a person: the device, the system's reason and any remedy (see platform/port_access.h).
  const std::string& details() const { return details_; }
  // What to do about a device that is there but that this user may not open (a group to join, then
  // logging in again); empty for every other failure.
  const std::string& accessRemedy() const { return accessRemedy_; }

 private:
  std::string details_;
  std::string accessRemedy_;
};

// The byte at the front of a port's received bytes, taken from them; throws SerialError when nothing
// is waiting.
inline std::uint8_t takeWaitingByte(std::deque<std::uint8_t>& input) {
  if (input.empty()) throw SerialError("no byte waiting");
  const std::uint8_t b = input.front();
  input.pop_front();
  return b;
}

// The receive event code for "data received"; other codes are line or modem events.
inline constexpr int kCommEventReceive = 2;
// The device went away while open (a hang-up, an unplugged adapter): the port has closed itself.
inline constexpr int kCommEventDeviceLost = 1100;

// The serial port as the controller link needs it: one of "Comm 1".."Comm 4", 9600 8N1, no
// handshaking, raw bytes, and an event whenever bytes have arrived.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual void setCommPort(int number) = 0;  // 1..4
  virtual int commPort() const = 0;
  // The device a port number maps to ("/dev/ttyS0", "COM1", or an override), for the user's eyes.
  virtual std::string deviceName(int number) const = 0;
  virtual void setHandshakingNone() = 0;

  virtual void open() = 0;  // throws SerialError
  // Opens the port again after its device went away; true once it is open. A port whose opening would
  // keep the program waiting (a network connection) may open in the background instead, answering
  // false until a later call finds it ready. Throws SerialError as open() does.
  virtual bool reopen() {
    open();
    return true;
  }
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  virtual int inBufferCount() const = 0;
  virtual std::uint8_t readByte() = 0;  // throws SerialError when nothing is waiting
  virtual void discardInput() = 0;
  virtual int outBufferCount() const = 0;
  // Wait until nothing waits to be sent, at most `limit`.
  virtual void drainOutput(std::chrono::milliseconds limit) = 0;
  virtual void writeByte(std::uint8_t byte) = 0;  // throws SerialError when the port is not open

  // The code of the event being delivered (kCommEventReceive for data).
  int commEvent() const { return commEvent_; }
  std::function<void()> onComm;

 protected:
  void raiseCommEvent(int code) {
    commEvent_ = code;
    if (onComm) onComm();
  }

 private:
  int commEvent_ = 0;
};

}  // namespace orvik::platform
