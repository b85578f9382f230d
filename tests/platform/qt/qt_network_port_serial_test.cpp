// Network ports against orvik-sim behind a real ser2net, raw TCP and RFC 2217: orvikctl end to end, and
// the Qt backend's faults and reconnection.
#include "platform/qt/qt_comm_port.h"

#include <gtest/gtest.h>

#include <thread>
#include <variant>

#include "backup/backup_file.h"
#include "platform/file_writing.h"
#include "platform/qt/qt_wait.h"
#include "support/ser2net.h"
#include "support/temp_folder.h"

namespace orvik::platform::qt {
namespace {

using namespace std::chrono_literals;
using orvik::testing::Process;
using orvik::testing::processEventsUntil;
using orvik::testing::readFile;
using orvik::testing::waitFor;

class NetworkPortThroughSer2net : public ::testing::TestWithParam<bool> {  // true: RFC 2217
 protected:
  NetworkPortThroughSer2net() : sim_({ORVIK_SIM_PATH, "--log"}, {"", {}, path("sim.out"), path("sim.log")}) {
    EXPECT_TRUE(waitFor([&] { return readFile(path("sim.out")).find('\n') != std::string::npos; }, 10s));
    const std::string device = readFile(path("sim.out"));
    server_ =
        std::make_unique<testing::Ser2net>(dir_.path(), device.substr(0, device.find('\n')), GetParam());
    EXPECT_TRUE(server_->start()) << readFile(path("ser2net.err"));
  }
  std::string path(const std::string& name) const { return dir_.path() + "/" + name; }
  std::string err(const std::string& name = "ctl") const { return readFile(path(name + ".err")); }

  // orvikctl on the server's port, its output in `name`.out and .err.
  std::unique_ptr<Process> start(std::vector<std::string> args, const std::string& name = "ctl") {
    args.insert(args.begin(), {ORVIKCTL_PATH, "--device", server_->name()});
    return std::make_unique<Process>(
        args, Process::Options{dir_.path(), {}, path(name + ".out"), path(name + ".err")});
  }
  int run(const std::vector<std::string>& args) {
    auto ctl = start(args);
    EXPECT_TRUE(waitFor([&] { return !ctl->running(); }, 30s));
    return ctl->exitCode();
  }

  testing::TempFolder dir_;
  Process sim_;
  std::unique_ptr<testing::Ser2net> server_;
};

TEST_P(NetworkPortThroughSer2net, StatusReportAndARestoreOfFFBytesReachTheControllerExactly) {
  ASSERT_EQ(run({"status"}), 0) << err();
  EXPECT_NE(readFile(path("ctl.out")).find("Hardware Revision:  5\n"), std::string::npos);
  const std::string said =
      ": the server set the line to 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.\n";
  EXPECT_EQ(err().find(server_->name() + said) != std::string::npos, GetParam()) << err();

  ASSERT_EQ(run({"backup", path("unit.json")}), 0) << err();
  auto file = std::get<backup::BackupFile>(backup::ParseBackup(readFile(path("unit.json"))));
  file.unit.constants[18] = {0x7F, 0x7F, 0xFF, 0xFF};
  ASSERT_EQ(platform::WriteFileWhole(path("unit.json"), backup::BackupJson(file)), "");
  // Written, then read back equal: FF bytes come through both ways.
  ASSERT_EQ(run({"restore", path("unit.json"), "--yes"}), 0) << err();
  EXPECT_NE(readFile(path("sim.log")).find("request 3D 07 12 7F 7F FF FF EB -> answer 3D"),
            std::string::npos);
  ASSERT_EQ(run({"report"}), 0) << err();
  EXPECT_NE(readFile(path("ctl.out")).find("Tag: ORVIK SIM 0001\n"), std::string::npos);
}

TEST_P(NetworkPortThroughSer2net, ASecondUserIsTurnedAwayAndAStoppedServerEndsAWatch) {
  auto watch = start({"watch", "--interval", "0.5"}, "watch");
  ASSERT_TRUE(waitFor([&] { return !readFile(path("watch.out")).empty(); }, 20s)) << err("watch");
  const std::string port = std::to_string(server_->port());
  EXPECT_EQ(run({"status"}), 3);
  EXPECT_NE(err().find(server_->name() + " cannot be opened.\nDevice: " + server_->name() +
                       "\nError: the server at 127.0.0.1 port " + port +
                       " closed the connection: Port already in use\n"),
            std::string::npos)
      << err();
  server_->stop();
  ASSERT_TRUE(waitFor([&] { return !watch->running(); }, 20s));
  EXPECT_EQ(watch->exitCode(), 4);
  EXPECT_NE(err("watch").find(server_->name() +
                              " went away and cannot be opened again: 127.0.0.1 refused the "
                              "connection on port " +
                              port + " (no server listens there).\n"),
            std::string::npos)
      << err("watch");
}

// As the monitor polls: a dropped connection is a lost device, and each try to open it again goes on in
// the background until the server is back.
TEST_P(NetworkPortThroughSer2net, ADroppedConnectionComesBackInTheBackgroundWhenTheServerDoes) {
  QtCommPort port(CommDevices{"/dev/orvik-none", server_->name(), "", ""});
  port.network().setReopeningInBackground(true);
  int lost = 0;
  port.onComm = [&] { lost += port.commEvent() == kCommEventDeviceLost; };
  port.setCommPort(2);
  port.open();
  server_->stop();
  ASSERT_TRUE(processEventsUntil([&] { return !port.isOpen(); }));
  EXPECT_EQ(lost, 1);
  std::string refusal;
  EXPECT_FALSE(port.reopen()) << "on its way";
  const auto reopened = [&] {
    try {
      return port.reopen();
    } catch (const SerialError& e) {
      refusal = e.what();
      return false;
    }
  };
  ASSERT_TRUE(processEventsUntil([&] { return reopened() || !refusal.empty(); }));
  EXPECT_NE(refusal.find("refused the connection"), std::string::npos) << refusal;
  ASSERT_TRUE(server_->start());
  ASSERT_TRUE(processEventsUntil(reopened));
  for (const int byte : {0x3E, 0x02, 0xFE})
    port.writeByte(static_cast<std::uint8_t>(byte));
  ASSERT_TRUE(processEventsUntil([&] { return port.inBufferCount() >= 32; }));
  EXPECT_EQ(port.readByte(), 0x3E);
}

INSTANTIATE_TEST_SUITE_P(RawTcpAndRfc2217, NetworkPortThroughSer2net, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& kind) {
                           return kind.param ? "Rfc2217" : "RawTcp";
                         });

// A socket listening on a free port of 127.0.0.1 with room for `queue` connections not yet accepted;
// its port in `port`.
int listeningSocket(int queue, std::string& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{
      AF_INET, htons(static_cast<std::uint16_t>(testing::freeLocalPort())), {htonl(INADDR_LOOPBACK)}, {}};
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::listen(fd, queue);
  port = std::to_string(ntohs(address.sin_port));
  return fd;
}

// Connections that cannot be made, each said with host, port and reason for the "Port Setup" message.
TEST(NetworkPortFaults, NameHostPortAndReason) {
  // A server whose queue of connections is full takes no more: the connect runs into the limit.
  std::string busy, quiet;
  const int full = listeningSocket(0, busy);
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(full, reinterpret_cast<sockaddr*>(&address), &size);
  // One that takes the connection and says nothing: no Telnet server.
  const int silent = listeningSocket(4, quiet);
  std::vector<int> queued(3);
  for (int& fd : queued) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  const std::string nobody = std::to_string(testing::freeLocalPort());
  for (const auto& [device, reason] : std::vector<std::pair<std::string, std::string>>{
           {"tcp://127.0.0.1:" + nobody,
            "127.0.0.1 refused the connection on port " + nobody + " (no server listens there)"},
           {"rfc2217://orvik-no-such-host.invalid:2001",
            "the host orvik-no-such-host.invalid cannot be found"},
           {"tcp://127.0.0.1:" + busy,
            "127.0.0.1 did not take the connection on port " + busy + " within 5 s"},
           {"rfc2217://127.0.0.1:" + quiet,
            "the server at 127.0.0.1 port " + quiet +
                " did not answer the line settings (Telnet COM-PORT-OPTION, RFC 2217) within 5 s; a raw TCP "
                "port is named tcp://HOST:PORT"}}) {
    QtCommPort port(CommDevices{device, "", "", ""});
    try {
      port.open();
      ADD_FAILURE() << device << " opened";
    } catch (const SerialError& e) {
      EXPECT_EQ(e.details(), "Device: " + device + "\nError: " + reason);
    }
  }
  for (const int fd : queued)
    ::close(fd);
  ::close(full);
  ::close(silent);
}

// A Telnet server that takes no line settings: the port opens, and the program says the line runs as
// the server has it set.
TEST(NetworkPortFaults, AServerRefusingTheLineSettingsIsSaid) {
  std::string port;
  const int server = listeningSocket(1, port);
  std::thread refuser([server] {
    const int connection = ::accept(server, nullptr, nullptr);
    const unsigned char dont[] = {0xFF, 0xFE, 0x2C};  // DONT COM-PORT-OPTION
    EXPECT_EQ(::write(connection, dont, sizeof dont), 3);
    char byte;
    while (::read(connection, &byte, 1) > 0) {
    }
    ::close(connection);
  });
  const std::string device = "rfc2217://127.0.0.1:" + port;
  std::string said;
  {
    QtCommPort comm(CommDevices{device, "", "", ""});
    comm.network().onServerAnswer = [&](const std::string& answer) { said = answer; };
    EXPECT_NO_THROW(comm.open());
  }
  refuser.join();
  ::close(server);
  EXPECT_EQ(said,
            device +
                ": the server takes no line settings (it refused the Telnet COM-PORT-OPTION); the line runs "
                "as the server has it set.");
}

}  // namespace
}  // namespace orvik::platform::qt
