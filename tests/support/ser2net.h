#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <memory>

#include "support/process.h"

namespace orvik::testing {

// A port of 127.0.0.1 that nothing listens on at the moment.
inline int freeLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t size = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

// Debian's ser2net in front of a device (orvik-sim's pseudo-terminal) on a free port of 127.0.0.1:
// start() runs it until stop() and is true once it takes connections; name() is
// "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT". Its files are in `folder`.
class Ser2net {
 public:
  Ser2net(const std::string& folder, const std::string& device, bool rfc2217)
      : folder_(folder), port_(freeLocalPort()) {
    name_ = std::string(rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
    std::ofstream(folder_ + "/ser2net.yaml")
        << "connection: &orvik\n  accepter: " << (rfc2217 ? "telnet(rfc2217)," : "") << "tcp,127.0.0.1,"
        << port_ << "\n  connector: serialdev," << device << ",9600n81,local\n";
  }
  const std::string& name() const { return name_; }
  int port() const { return port_; }

  bool start() {  // in the foreground, without UUCP lock files
    process_ = std::make_unique<Process>(
        std::vector<std::string>{"/usr/sbin/ser2net", "-n", "-u", "-P", folder_ + "/ser2net.pid", "-c",
                                 folder_ + "/ser2net.yaml"},
        Process::Options{"", {}, "/dev/null", folder_ + "/ser2net.err"});
    return waitFor([&] { return listening(); }, std::chrono::seconds(10));
  }
  void stop() {
    process_.reset();
    waitFor([&] { return !listening(); }, std::chrono::seconds(10));
  }

 private:
  // The system's table of TCP sockets has our port of 127.0.0.1 listening (state 0A).
  bool listening() const {
    char entry[40];
    std::snprintf(entry, sizeof entry, "0100007F:%04X 00000000:0000 0A", port_);
    return readFile("/proc/net/tcp").find(entry) != std::string::npos;
  }

  std::string folder_;
  int port_;
  std::string name_;
  std::unique_ptr<Process> process_;
};

}  // namespace orvik::testing
