#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "support/process.h"

namespace orvik::testing {

// A port of 127.0.0.1 that nothing listens on at the moment.
inline int freeLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

// Debian's ser2net in front of a device (orvik-sim's pseudo-terminal) on a free port of 127.0.0.1:
//   Ser2net server(folder, device, rfc2217)  -> its configuration, written into `folder`
//   start() / stop()                         -> the server runs, ready for connections / is gone
//   name()                                   -> "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT"
class Ser2net {
 public:
  Ser2net(std::string folder, const std::string& device, bool rfc2217) : folder_(std::move(folder)) {
    port_ = freeLocalPort();
    const std::string accepter =
        std::string(rfc2217 ? "telnet(rfc2217)," : "") + "tcp,127.0.0.1," + std::to_string(port_);
    std::ofstream(folder_ + "/ser2net.yaml") << "connection: &orvik\n  accepter: " << accepter
                                             << "\n  connector: serialdev," << device << ",9600n81,local\n";
    name_ = std::string(rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
  }

  const std::string& name() const { return name_; }
  int port() const { return port_; }

  // Started without UUCP lock files, in the foreground; true once it takes connections.
  bool start() {
    process_ = std::make_unique<Process>(
        std::vector<std::string>{"/usr/sbin/ser2net", "-n", "-u", "-P", folder_ + "/ser2net.pid", "-c",
                                 folder_ + "/ser2net.yaml"},
        Process::Options{"", {}, folder_ + "/ser2net.out", folder_ + "/ser2net.err"});
    return waitFor([&] { return listening(); }, std::chrono::seconds(10));
  }
  void stop() {
    process_.reset();
    waitFor([&] { return !listening(); }, std::chrono::seconds(10));
  }

 private:
  // A socket of 127.0.0.1 on our port listens (state 0A), as the system's table of TCP sockets says.
  bool listening() const {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port_);
    std::ifstream table("/proc/net/tcp");
    for (std::string line; std::getline(table, line);) {
      if (line.find(local) != std::string::npos && line.find(" 0A ") != std::string::npos) return true;
    }
    return false;
  }

  std::string folder_;
  int port_ = 0;
  std::string name_;
  std::unique_ptr<Process> process_;
};

}  // namespace orvik::testing
