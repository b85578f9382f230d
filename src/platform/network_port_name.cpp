#include "platform/network_port_name.h"

#include <charconv>

namespace orvik::platform {

namespace {

constexpr std::string_view kTcpScheme = "tcp://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

}  // namespace

bool isNetworkPortName(std::string_view device) {
  return device.starts_with(kTcpScheme) || device.starts_with(kRfc2217Scheme);
}

NetworkPortName parseNetworkPortName(std::string_view device) {
  NetworkPortName name;
  const bool telnet = device.starts_with(kRfc2217Scheme);
  name.protocol = telnet ? NetworkProtocol::Rfc2217 : NetworkProtocol::RawTcp;
  const std::string scheme(telnet ? kRfc2217Scheme : kTcpScheme);
  const std::string form = scheme + "HOST:PORT";
  std::string_view rest = device.substr(scheme.size());

  std::string_view host;
  if (rest.starts_with('[')) {
    const auto close = rest.find(']');
    if (close == std::string_view::npos) {
      name.problem = "An IPv6 address is written in brackets: " + scheme + "[ADDRESS]:PORT.";
      return name;
    }
    host = rest.substr(1, close - 1);
    rest.remove_prefix(close + 1);
  } else {
    const auto colon = rest.find(':');
    host = rest.substr(0, colon);
    rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon);
  }
  if (host.empty() || host.find_first_of("/@ ") != std::string_view::npos) {
    name.problem = "A network port is named " + form + ": the host is missing or not a host name.";
    return name;
  }
  const std::string_view digits = rest.starts_with(':') ? rest.substr(1) : std::string_view{};
  unsigned port = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, port);
  if (digits.empty() || error != std::errc{} || stop != end || port < 1 || port > 65535) {
    name.problem = "A network port is named " + form + ": the port is a number from 1 to 65535.";
    return name;
  }
  name.host = std::string(host);
  name.port = static_cast<std::uint16_t>(port);
  return name;
}

}  // namespace orvik::platform
