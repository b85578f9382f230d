#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orvik::testing {

// A child program with its own working directory, extra environment and output files.
// It is stopped (SIGTERM, then SIGKILL) when the object goes.
class Process {
 public:
  struct Options {
    std::string cwd;
    std::map<std::string, std::string> env;
    std::string stdoutFile = "/dev/null";
    std::string stderrFile = "/dev/null";
  };

  Process(std::vector<std::string> argv, const Options& options) {
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
      // The programs' per-user data (the service record) stays in the test's own folder.
      if (!options.cwd.empty() && options.env.count("XDG_DATA_HOME") == 0)
        ::setenv("XDG_DATA_HOME", options.cwd.c_str(), 1);
      for (const auto& [k, v] : options.env)
        ::setenv(k.c_str(), v.c_str(), 1);
      // A child given a display draws there, never on a Wayland session the tests run in.
      if (options.env.count("DISPLAY") != 0) ::unsetenv("WAYLAND_DISPLAY");
      const int out = ::open(options.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open(options.stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, STDOUT_FILENO);
      ::dup2(err, STDERR_FILENO);
      std::vector<char*> args;
      for (auto& a : argv)
        args.push_back(a.data());
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
  }
  ~Process() { stop(); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }

  bool running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exitStatus_ = status;
      return false;
    }
    return true;
  }

  // The exit code of a program that has ended by itself; -1 for one that was killed or still runs.
  int exitCode() const { return pid_ <= 0 && WIFEXITED(exitStatus_) ? WEXITSTATUS(exitStatus_) : -1; }

  void stop() {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100 && running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int exitStatus_ = 0;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// User and system CPU time a process has used so far, in clock ticks (sysconf(_SC_CLK_TCK) a second).
inline long cpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

// Polls `done` until it holds or `limit` passes; returns done().
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A virtual X display for one test: Xvfb on the first free display number.
class VirtualDisplay {
 public:
  explicit VirtualDisplay(const std::string& logFile) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const int err = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(err, STDERR_FILENO);
      const std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
      number += c;
    ::close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start; see " + logFile);
    display_ = ":" + number;
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  const std::string& name() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace orvik::testing
