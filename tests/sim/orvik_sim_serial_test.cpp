// The orvik-sim program on a real pseudo-terminal, as a client sees it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/controller_model.h"

extern char** environ;

namespace orvik::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), ORVIK_SIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, ORVIK_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("spawn");
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~SimProcess() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ::close(stdout_);
  }
  std::string firstLine() {
    std::string line;
    char c = 0;
    while (::read(stdout_, &c, 1) == 1 && c != '\n')
      line += c;
    return line;
  }
  std::string readAll() {
    std::string all;
    char buf[4096];
    ssize_t n = 0;
    while ((n = ::read(stdout_, buf, sizeof buf)) > 0)
      all.append(buf, static_cast<std::size_t>(n));
    return all;
  }

 private:
  pid_t pid_ = 0;
  int stdout_ = -1;
};

int openRaw(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// Read until `count` bytes came or `limitMs` passed with nothing new.
Bytes readBytes(int fd, std::size_t count, int limitMs = 3000) {
  Bytes got;
  while (got.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, limitMs) <= 0) break;
    std::uint8_t buf[64];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.insert(got.end(), buf, buf + n);
  }
  return got;
}

TEST(OrvikSim, AnswersAStatusRequestOnItsPseudoTerminal) {
  SimProcess sim({"--hw-rev", "4", "--alarm", "3"});
  const std::string device = sim.firstLine();
  ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
  const int fd = openRaw(device);
  ASSERT_GE(fd, 0);
  const Bytes request{0x3E, 0x02, 0xFE};
  ASSERT_EQ(::write(fd, request.data(), request.size()), 3);
  const Bytes answer = readBytes(fd, 32);
  ::close(fd);
  ASSERT_EQ(answer.size(), 32u);
  EXPECT_EQ(answer[0], '>');
  EXPECT_EQ(answer[1], 31);
  EXPECT_EQ(answer[31], packetChecksum(answer));
  EXPECT_EQ(answer[23], 3) << "alarm code";
  EXPECT_EQ(answer[26], 4) << "hardware revision";
}

TEST(OrvikSim, StaysSilentWhenToldTo) {
  SimProcess sim({"--silent"});
  const int fd = openRaw(sim.firstLine());
  ASSERT_GE(fd, 0);
  const Bytes request{0x3E, 0x02, 0xFE};
  ASSERT_EQ(::write(fd, request.data(), request.size()), 3);
  EXPECT_TRUE(readBytes(fd, 1, 300).empty());
  ::close(fd);
}

TEST(OrvikSim, ExplainsItsSwitches) {
  SimProcess sim({"--help"});
  const std::string help = sim.readAll();
  for (const char* option : {"--silent", "--delay", "--first-bytes", "--bad-checksum", "--garbage", "--short",
                             "--hw-rev", "--sensor", "--alarm", "--shutdowns", "--shutdown-reason"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace orvik::sim
