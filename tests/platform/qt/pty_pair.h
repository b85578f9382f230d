#pragma once

#include "platform/qt/qt_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace orvik::testing {

// A pseudo-terminal whose device end the program opens as a serial port; the test holds the other end.
class PtyPair {
 public:
  PtyPair() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    device_ = name;
  }
  ~PtyPair() {
    hangUp();
    if (slave_ >= 0) ::close(slave_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& device() const { return device_; }
  void write(const std::vector<std::uint8_t>& bytes) {
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("write to pty failed");
    }
  }
  std::vector<std::uint8_t> readAvailable() {
    std::vector<std::uint8_t> out;
    std::uint8_t buf[256];
    ssize_t n = 0;
    while ((n = ::read(master_, buf, sizeof buf)) > 0)
      out.insert(out.end(), buf, buf + n);
    return out;
  }
  // The far end goes away: the device end sees a hang-up. Our own device end is closed too.
  void hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string device_;
};

}  // namespace orvik::testing
