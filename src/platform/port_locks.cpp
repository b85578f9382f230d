#include "platform/port_locks.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/file_start.h"
#include "platform/port_access.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace orvik::platform {

#ifndef _WIN32
namespace {

namespace fs = std::filesystem;

// Where programs keep lock files for serial devices: QSerialPort takes the first of these it may
// write, the UUCP programs the first two (often one folder under two names).
constexpr const char* kLockFolders[] = {"/var/lock",        "/run/lock",       "/etc/locks",
                                        "/var/spool/locks", "/var/spool/uucp", "/tmp"};

struct LockFile {
  fs::path path;
  LockClaim claim;
};

// The start of a small file: a lock file is a line or a few.
std::string headOf(const fs::path& file) {
  return ReadFileStart(file.string(), 256).value_or("");
}

// Every readable lock file for `device` that names a process, each file once. Only plain files count:
// anyone may put a symbolic link in a lock folder.
std::vector<LockFile> lockFilesOf(const std::string& device) {
  std::error_code error;
  const fs::path resolved = fs::canonical(device, error);
  const std::vector<std::string> names = lockFileNames(device, error ? device : resolved.string());
  std::vector<LockFile> found;
  std::vector<fs::path> seen;
  for (const char* name : kLockFolders) {
    const fs::path folder = fs::canonical(name, error);
    if (error || std::find(seen.begin(), seen.end(), folder) != seen.end()) continue;
    seen.push_back(folder);
    for (const std::string& file : names) {
      const fs::path path = folder / file;
      if (!fs::is_regular_file(fs::symlink_status(path, error))) continue;
      if (const auto claim = parseLockFile(headOf(path))) found.push_back({path, *claim});
    }
  }
  return found;
}

// Whether a lock file's process number means a process here and now; a claim made on another host
// (a lock folder shared over the network) cannot be checked from here.
bool onThisHost(const LockClaim& claim) {
  char host[256] = {};
  return claim.host.empty() || (::gethostname(host, sizeof host - 1) == 0 && claim.host == host);
}

bool processLives(long pid) {
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The name the system gives a running process, as ps shows it.
std::string programOf(long pid) {
  std::string name = ReadFileStart("/proc/" + std::to_string(pid) + "/comm", 256).value_or("");
  return name.substr(0, name.find('\n'));
}

// Another process that has `device` open, seen through the descriptors each process holds. Their links
// are read, never followed: following one to a file on a stalled network or user file system would hang.
std::optional<long> openerOf(const std::string& device) {
  std::error_code error;
  const fs::path wanted = fs::canonical(device, error);
  if (error) return std::nullopt;
  for (fs::directory_iterator process("/proc", error), end; !error && process != end;
       process.increment(error)) {
    const std::string name = process->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const long pid = std::stol(name);
    if (pid == ::getpid()) continue;
    std::error_code hidden;  // another user's process, or one that has just ended
    for (fs::directory_iterator fd(process->path() / "fd", hidden); !hidden && fd != end;
         fd.increment(hidden)) {
      std::error_code gone;
      if (fs::read_symlink(fd->path(), gone) == wanted) return pid;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string portHolder(const std::string& device) {
  for (const LockFile& lock : lockFilesOf(device)) {
    const LockClaim& claim = lock.claim;
    if (claim.pid == ::getpid() || !onThisHost(claim) || !processLives(claim.pid)) continue;
    const std::string running = programOf(claim.pid);
    return holderSentence(device, claim.pid, running.empty() ? claim.program : running);
  }
  if (const auto pid = openerOf(device)) return holderSentence(device, *pid, programOf(*pid));
  return {};
}

bool removeStaleLockFiles(const std::string& device) {
  bool removed = false;
  for (const LockFile& lock : lockFilesOf(device)) {
    const LockClaim& claim = lock.claim;
    if (claim.pid == ::getpid() || !onThisHost(claim) || processLives(claim.pid)) continue;
    std::error_code error;
    if (fs::remove(lock.path, error)) removed = true;
  }
  return removed;
}
#else
std::string portHolder(const std::string&) {
  return {};
}

bool removeStaleLockFiles(const std::string&) {
  return false;
}
#endif

}  // namespace orvik::platform
