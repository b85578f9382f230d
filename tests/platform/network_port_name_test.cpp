// What a network port's name says: the protocol, the host and the port, or why it cannot be used.
#include "platform/network_port_name.h"

#include <gtest/gtest.h>

namespace orvik::platform {
namespace {

TEST(NetworkPortName, TakesHostAndPortOfEitherKindAndSaysWhatIsWrongWithABadName) {
  struct Row {
    std::string name;
    NetworkProtocol protocol;
    std::string host;
    int port;
    std::string problem;  // a part of it
  };
  const std::vector<Row> rows = {
      {"tcp://bench-3:2001", NetworkProtocol::RawTcp, "bench-3", 2001, ""},
      {"rfc2217://192.168.1.20:65535", NetworkProtocol::Rfc2217, "192.168.1.20", 65535, ""},
      {"tcp://[::1]:2001", NetworkProtocol::RawTcp, "::1", 2001, ""},
      {"tcp://bench-3", NetworkProtocol::RawTcp, "", 0,
       "tcp://HOST:PORT: the port is a number from 1 to 65535"},
      {"rfc2217://bench-3:", NetworkProtocol::Rfc2217, "", 0, "rfc2217://HOST:PORT: the port is a number"},
      {"tcp://bench-3:0", NetworkProtocol::RawTcp, "", 0, "from 1 to 65535"},
      {"tcp://bench-3:65536", NetworkProtocol::RawTcp, "", 0, "from 1 to 65535"},
      {"tcp://bench-3:2O01", NetworkProtocol::RawTcp, "", 0, "from 1 to 65535"},
      {"tcp://:2001", NetworkProtocol::RawTcp, "", 0, "the host is missing"},
      {"tcp://user@bench-3:2001", NetworkProtocol::RawTcp, "", 0, "the host is missing"},
      {"tcp://[::1:2001", NetworkProtocol::RawTcp, "", 0, "tcp://[ADDRESS]:PORT"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(isNetworkPortName(row.name));
    const NetworkPortName name = parseNetworkPortName(row.name);
    EXPECT_EQ(name.protocol, row.protocol);
    EXPECT_EQ(name.host, row.host);
    EXPECT_EQ(name.port, row.port);
    EXPECT_EQ(name.problem.empty(), row.problem.empty());
    EXPECT_NE(name.problem.find(row.problem), std::string::npos) << name.problem;
  }
  for (const char* device : {"/dev/ttyUSB0", "COM1", "telnet://bench-3:2001", "tcp:/bench-3:2001"})
    EXPECT_FALSE(isNetworkPortName(device)) << device;
}

}  // namespace
}  // namespace orvik::platform
