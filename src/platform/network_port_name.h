#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvik::platform {

// A controller reached through a serial server on the network, named where a device is named:
// "tcp://HOST:PORT" carries the controller's bytes as they are (the server sets the line);
// "rfc2217://HOST:PORT" speaks Telnet with the COM-PORT-OPTION, so the program sets the line itself.
enum class NetworkProtocol { RawTcp, Rfc2217 };

struct NetworkPortName {
  NetworkProtocol protocol = NetworkProtocol::RawTcp;
  std::string host;  // a name or an address; an IPv6 address without its brackets
  std::uint16_t port = 0;
  // Why the name cannot be used, for a person; empty for a good name.
  std::string problem;
};

// Whether `device` names a network port at all (well formed or not), rather than a device file.
bool isNetworkPortName(std::string_view device);

// The parts of a network port's name: "tcp://bench-3:2001", "rfc2217://192.168.1.20:2002",
// "tcp://[::1]:2001". A name without a host, or without a port from 1 to 65535, has a problem.
NetworkPortName parseNetworkPortName(std::string_view device);

}  // namespace orvik::platform
