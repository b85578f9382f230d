// Network ports against orvik-sim behind a real ser2net, raw TCP and RFC 2217: orvikctl end to end, and
// the Qt backend's faults and reconnection.
#include "platform/qt/qt_comm_port.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <variant>

#include "backup/backup_file.h"
#include "platform/qt/qt_wait.h"
#include "support/ser2net.h"

namespace orvik::platform::qt {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvik::testing::Process;
using orvik::testing::processEventsUntil;
using orvik::testing::readFile;
using orvik::testing::waitFor;

class NetworkPortThroughSer2net : public ::testing::TestWithParam<bool> {  // true: RFC 2217
 protected:
  NetworkPortThroughSer2net() {
    dir_ = fs::temp_directory_path() /
           ("orvik-net-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    sim_ = std::make_unique<Process>(std::vector<std::string>{ORVIK_SIM_PATH, "--log"},
                                     Process::Options{"", {}, path("sim.out"), path("sim.log")});
    EXPECT_TRUE(waitFor([&] { return readFile(path("sim.out")).find('\n') != std::string::npos; }, 10s));
    const std::string out = readFile(path("sim.out"));
    server_ = std::make_unique<testing::Ser2net>(dir_.string(), out.substr(0, out.find('\n')), GetParam());
    EXPECT_TRUE(server_->start()) << readFile(path("ser2net.err"));
  }
  ~NetworkPortThroughSer2net() override {
    server_.reset();
    sim_.reset();
    if (!HasFailure()) fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::unique_ptr<Process> start(std::vector<std::string> args, const std::string& name) {
    args.insert(args.begin(), {ORVIKCTL_PATH, "--device", server_->name()});
    return std::make_unique<Process>(
        args, Process::Options{dir_.string(), {}, path(name + ".out"), path(name + ".err")});
  }
  int run(const std::vector<std::string>& args, const std::string& name = "ctl") {
    auto ctl = start(args, name);
    EXPECT_TRUE(waitFor([&] { return !ctl->running(); }, 30s));
    return ctl->exitCode();
  }

  fs::path dir_;
  std::unique_ptr<Process> sim_;
  std::unique_ptr<testing::Ser2net> server_;
};

TEST_P(NetworkPortThroughSer2net, StatusReportAndARestoreOfFFBytesReachTheControllerExactly) {
  ASSERT_EQ(run({"status"}), 0) << readFile(path("ctl.err"));
  EXPECT_NE(readFile(path("ctl.out")).find("Hardware Revision:  5\n"), std::string::npos);
  const std::string line =
      server_->name() +
      ": the server set the line to 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.";
  EXPECT_EQ(readFile(path("ctl.err")).find(line) != std::string::npos, GetParam())
      << readFile(path("ctl.err"));

  ASSERT_EQ(run({"backup", path("unit.json")}), 0) << readFile(path("ctl.err"));
  auto file = std::get<backup::BackupFile>(backup::ParseBackup(readFile(path("unit.json"))));
  file.unit.constants[18] = {0x7F, 0x7F, 0xFF, 0xFF};
  ASSERT_EQ(backup::WriteFileWhole(path("unit.json"), backup::BackupJson(file)), "");
  // Written, then read back equal: FF bytes came through both ways.
  ASSERT_EQ(run({"restore", path("unit.json"), "--yes"}), 0) << readFile(path("ctl.err"));
  EXPECT_NE(readFile(path("sim.log")).find("request 3D 07 12 7F 7F FF FF EB -> answer 3D"), std::string::npos)
      << readFile(path("sim.log"));

  ASSERT_EQ(run({"report"}), 0) << readFile(path("ctl.err"));
  EXPECT_NE(readFile(path("ctl.out")).find("Tag: ORVIK SIM 0001\n"), std::string::npos);
}

TEST_P(NetworkPortThroughSer2net, ASecondUserIsTurnedAwayAndAStoppedServerEndsAWatch) {
  auto watch = start({"watch", "--interval", "0.5"}, "watch");
  ASSERT_TRUE(waitFor([&] { return !readFile(path("watch.out")).empty(); }, 20s))
      << readFile(path("watch.err"));
  EXPECT_EQ(run({"status"}), 3);
  EXPECT_NE(readFile(path("ctl.err"))
                .find(server_->name() + " cannot be opened.\nDevice: " + server_->name() +
                      "\nError: the server at 127.0.0.1 port " + std::to_string(server_->port()) +
                      " closed the connection: Port already in use\n"),
            std::string::npos)
      << readFile(path("ctl.err"));

  server_->stop();
  ASSERT_TRUE(waitFor([&] { return !watch->running(); }, 20s));
  EXPECT_EQ(watch->exitCode(), 4);
  EXPECT_NE(readFile(path("watch.err"))
                .find(server_->name() +
                      " went away and cannot be opened again: 127.0.0.1 refused the connection on port " +
                      std::to_string(server_->port()) + " (no server listens there).\n"),
            std::string::npos)
      << readFile(path("watch.err"));
}

// As the monitor's polls do it: a dropped connection is a lost device, and each try to open it again
// goes on in the background until the server is back.
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
  EXPECT_FALSE(port.reopen()) << "on its way";
  ASSERT_TRUE(processEventsUntil([&] {
    try {
      port.reopen();
      return false;
    } catch (const SerialError& e) {
      return std::string(e.what()).find("refused the connection") != std::string::npos;
    }
  }));

  ASSERT_TRUE(server_->start());
  ASSERT_TRUE(processEventsUntil([&] {
    try {
      return port.reopen();
    } catch (const SerialError&) {
      return false;
    }
  }));
  for (const int byte : {0x3E, 0x02, 0xFE})
    port.writeByte(static_cast<std::uint8_t>(byte));
  ASSERT_TRUE(processEventsUntil([&] { return port.inBufferCount() >= 32; }));
  EXPECT_EQ(port.readByte(), 0x3E);
}

INSTANTIATE_TEST_SUITE_P(RawTcpAndRfc2217, NetworkPortThroughSer2net, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& kind) {
                           return kind.param ? "Rfc2217" : "RawTcp";
                         });

// A connection that cannot be made, each said with host, port and reason for the "Port Setup" message.
TEST(NetworkPortFaults, NameHostPortAndReason) {
  // A server whose queue of connections is full never takes another: the connect runs into the limit.
  const int full = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&address), size), 0);
  ::getsockname(full, reinterpret_cast<sockaddr*>(&address), &size);
  ::listen(full, 0);
  std::vector<int> queued;
  for (int i = 0; i < 3; ++i) {
    queued.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    ::connect(queued.back(), reinterpret_cast<sockaddr*>(&address), size);
  }
  const std::string fullPort = std::to_string(ntohs(address.sin_port));
  const std::string nobody = std::to_string(testing::freeLocalPort());
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"tcp://127.0.0.1:" + nobody,
       "127.0.0.1 refused the connection on port " + nobody + " (no server listens there)"},
      {"rfc2217://orvik-no-such-host.invalid:2001", "the host orvik-no-such-host.invalid cannot be found"},
      {"tcp://127.0.0.1:" + fullPort,
       "127.0.0.1 did not take the connection on port " + fullPort + " within 5 s"},
  };
  for (const auto& [device, reason] : rows) {
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
}

}  // namespace
}  // namespace orvik::platform::qt
