// What a network port's name says: the protocol, the host and the port, or why it cannot be used.
#include "platform/network_port_name.h"

#include <gtest/gtest.h>

namespace orvik::platform {
namespace {

TEST(NetworkPortName, TakesHostAndPortOfEitherKindAndSaysWhatIsWrongWithABadName) {
  using enum NetworkProtocol;
  const std::vector<std::pair<const char*, NetworkPortName>> rows = {
      {"tcp://bench-3:2001", {RawTcp, "bench-3", 2001, ""}},
      {"rfc2217://192.168.1.20:65535", {Rfc2217, "192.168.1.20", 65535, ""}},
      {"tcp://[::1]:2001", {RawTcp, "::1", 2001, ""}},
      {"tcp://bench-3", {RawTcp, "", 0, "tcp://HOST:PORT: the port is a number from 1 to 65535"}},
      {"rfc2217://bench-3:0", {Rfc2217, "", 0, "rfc2217://HOST:PORT: the port is a number from 1 to 65535"}},
      {"tcp://bench-3:2O01", {RawTcp, "", 0, "the port is a number from 1 to 65535"}},
      {"tcp://user@bench-3:2001", {RawTcp, "", 0, "the host is missing"}},
      {"tcp://[::1:2001", {RawTcp, "", 0, "tcp://[ADDRESS]:PORT"}},
  };
  for (const auto& [text, expected] : rows) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(isNetworkPortName(text));
    const NetworkPortName name = parseNetworkPortName(text);
    EXPECT_EQ(name.protocol, expected.protocol);
    EXPECT_EQ(name.host, expected.host);
    EXPECT_EQ(name.port, expected.port);
    EXPECT_EQ(name.problem.empty(), expected.problem.empty());
    EXPECT_NE(name.problem.find(expected.problem), std::string::npos) << name.problem;
  }
  for (const char* device : {"/dev/ttyUSB0", "COM1", "telnet://bench-3:2001", "tcp:/bench-3:2001"})
    EXPECT_FALSE(isNetworkPortName(device)) << device;
}

}  // namespace
}  // namespace orvik::platform
