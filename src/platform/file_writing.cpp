#include "platform/file_writing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <io.h>

#include <cstdio>
#endif

namespace orvik::platform {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNoReader = "it is a named pipe that no program is reading";
constexpr const char* kLinkLoop = "its symbolic links form a loop";

// The descriptor calls, the same on every system but for their names; Windows has neither pipes nor
// devices among the names a save is given, nor anything that must not block.
#ifndef _WIN32
constexpr std::size_t kLargestAtomicWrite = PIPE_BUF;
constexpr int kNeverWait = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

int openStraight(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | kNeverWait);
}
int openPartial(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | kNeverWait, 0666);
}
bool isRegular(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}
long writeSome(int fd, const char* data, std::size_t size) {
  return static_cast<long>(::write(fd, data, size));
}
int syncFile(int fd) {
  return ::fsync(fd);
}
int closeFile(int fd) {
  return ::close(fd);
}
int cutFile(int fd, std::uintmax_t size) {
  return ::ftruncate(fd, static_cast<off_t>(size));
}
int removeFile(const std::string& path) {
  return ::unlink(path.c_str());
}
// Whether `fd` takes a write now, or within `ms` milliseconds; a signal ends the wait early.
bool readyToWrite(int fd, int ms) {
  pollfd ready{fd, POLLOUT, 0};
  return ::poll(&ready, 1, ms) > 0;
}
#else
constexpr std::size_t kLargestAtomicWrite = 4096;

// A descriptor of its own for a file the C library opens (created, or emptied).
int openStraight(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return -1;
  const int fd = ::_dup(::_fileno(file));
  std::fclose(file);
  return fd;
}
int openPartial(const std::string& path) {
  return openStraight(path);
}
bool isRegular(int) {
  return true;
}
long writeSome(int fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(size));
}
int syncFile(int fd) {
  return ::_commit(fd);
}
int closeFile(int fd) {
  return ::_close(fd);
}
int cutFile(int fd, std::uintmax_t size) {
  return ::_chsize_s(fd, static_cast<long long>(size));
}
int removeFile(const std::string& path) {
  return ::_unlink(path.c_str());
}
bool readyToWrite(int, int) {
  return true;
}
#endif

// The system's reason, in words that say what happened to the file.
std::string reason(int error) {
#ifndef _WIN32
  if (error == EPIPE) return "the program reading it has closed it";
  if (error == ELOOP) return kLinkLoop;
#endif
  return std::strerror(error);
}

// What a name is when it is no file to write: empty for a regular file, a pipe and a character device.
std::string refusedKind(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory:
      return "it is a folder";
    case fs::file_type::socket:
      return "it is a socket, not a file";
    case fs::file_type::block:
      return "it is a block device, not a file";
    default:
      return {};
  }
}

// Where a save through the symbolic links at `at`, which end at a name not taken, creates the file.
fs::path danglingEnd(fs::path at) {
  std::error_code ec;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(at, ec)); ++hops) {
    const fs::path next = fs::read_symlink(at, ec);
    if (ec) break;
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return at;
}

bool wouldWait(long written) {
#ifndef _WIN32
  return written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
#else
  return false;
#endif
}

// Hands `bytes` to `fd` without waiting: empty when all of them were taken, else why not.
std::string writeAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const long n = writeSome(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (wouldWait(n)) {
      return "the program reading it did not take it all at once (" + std::to_string(done) + " of " +
             std::to_string(bytes.size()) + " bytes were written)";
    } else if (n == 0 || errno != EINTR) {
      return reason(n < 0 ? errno : EIO);
    }
  }
  return {};
}

}  // namespace

std::string NotAFile(const std::string& path) {
  std::error_code ec;
  const fs::file_type type = fs::status(path, ec).type();
  switch (type) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
      return {};
    case fs::file_type::fifo:
      return "it is a named pipe, not a file";
    case fs::file_type::character:
      return "it is a device, not a file";
    case fs::file_type::none:
      return ec ? reason(ec.value()) : std::string();
    default: {
      const std::string kind = refusedKind(type);
      return kind.empty() ? "it is not a file" : kind;
    }
  }
}

WholeFileWrite::~WholeFileWrite() {
  if (fd_ >= 0) closeFile(fd_);
  if (replacing_) removeFile(partial_);
}

std::string WholeFileWrite::open(const std::string& path) {
  std::error_code ec;
  const fs::file_type type = fs::status(path, ec).type();
  target_ = path;
  if (type == fs::file_type::not_found) {
    target_ = danglingEnd(path).string();
  } else if (ec) {
    return reason(ec.value());
  } else if (std::string refused = refusedKind(type); !refused.empty()) {
    return refused;
  } else if (type != fs::file_type::regular) {
    // A pipe or a character device: written straight, since a file renamed over it would take its place.
    fd_ = openStraight(path);
    if (fd_ < 0) return errno == ENXIO && type == fs::file_type::fifo ? kNoReader : reason(errno);
    return {};
  } else if (const fs::path real = fs::canonical(path, ec); !ec) {
    // Through symbolic links to the file they name: renamed over a link, the file would replace it.
    target_ = real.string();
  }
  partial_ = target_ + ".partial";
  fd_ = openPartial(partial_);
  if (fd_ < 0) return reason(errno);
  if (!isRegular(fd_)) return partial_ + " is in the way and is not a file";
  replacing_ = true;
  return {};
}

std::string WholeFileWrite::putInPlace() {
  if (!replacing_) return {};
  std::error_code ec;
  fs::rename(partial_, target_, ec);
  if (ec) return reason(ec.value());
  replacing_ = false;
  return {};
}

std::string WholeFileWrite::finish(std::string_view bytes) {
  if (fd_ < 0) return "it is not open";
  std::string problem = writeAll(fd_, bytes);
  // On the disk before it takes the old file's name, so a power cut leaves one or the other whole.
  if (problem.empty() && replacing_ && syncFile(fd_) != 0) problem = reason(errno);
  // Some file systems (NFS) tell of a failed write only when the file is closed.
  if (closeFile(std::exchange(fd_, -1)) != 0 && problem.empty()) problem = reason(errno);
  return problem.empty() ? putInPlace() : problem;
}

std::string WriteFileWhole(const std::string& path, std::string_view bytes) {
  WholeFileWrite file;
  if (std::string problem = file.open(path); !problem.empty()) return problem;
  return file.finish(bytes);
}

LineFile::~LineFile() {
  close();
}

std::string LineFile::open(const std::string& path, std::string_view first) {
  close();
  WholeFileWrite file;
  std::string problem = file.open(path);
  if (problem.empty()) problem = writeAll(file.fd_, first);
  const bool regular = file.replacing_;
  if (problem.empty()) problem = file.putInPlace();
  if (!problem.empty()) return problem;
  fd_ = std::exchange(file.fd_, -1);
  owned_ = true;
  waitsNever_ = true;
  cutBack_ = regular;
  complete_ = first.size();
  problem_.clear();
  return {};
}

void LineFile::attach(int descriptor) {
  close();
  fd_ = descriptor;
  waitsNever_ = false;
  cutBack_ = false;
  problem_.clear();
}

Sent LineFile::write(std::string_view line) {
  if (fd_ < 0) return Sent::Failed;
  // A descriptor shared with other programs cannot be made non-blocking: a line goes only when it fits.
  if (!waitsNever_ && !readyToWrite(fd_, 0)) return Sent::Dropped;
  std::size_t done = 0;
  while (done < line.size()) {
    const long n = writeSome(fd_, line.data() + done, line.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (wouldWait(n) && done == 0) return Sent::Dropped;
    problem_ = wouldWait(n) ? "the program reading it took only part of a line" : reason(n < 0 ? errno : EIO);
    // A full disk or a size limit can take part of the line: the log ends with its last whole line.
    if (cutBack_ && cutFile(fd_, complete_) != 0) problem_ += "; its last line may be cut short";
    close();
    return Sent::Failed;
  }
  complete_ += done;
  return Sent::Written;
}

void LineFile::close() {
  if (fd_ >= 0 && owned_) closeFile(fd_);
  fd_ = -1;
  owned_ = false;
}

OutputBuffer::OutputBuffer(int descriptor, std::function<bool()> stopped)
    : fd_(descriptor), stopped_(std::move(stopped)) {}

OutputBuffer::int_type OutputBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return sync() == 0 ? 0 : traits_type::eof();
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize OutputBuffer::xsputn(const char* text, std::streamsize count) {
  if (!problem_.empty()) return 0;
  pending_.append(text, static_cast<std::size_t>(count));
  if (pending_.size() >= kLargestAtomicWrite && !drain()) return 0;
  return count;
}

int OutputBuffer::sync() {
  return drain() ? 0 : -1;
}

bool OutputBuffer::drain() {
  while (!pending_.empty() && problem_.empty()) {
    if (stopped_ && stopped_()) {
      pending_.clear();  // the program is ending: what the reader did not take is dropped
      droppedAtStop_ = true;
      break;
    }
    // At most what a pipe takes whole once it says it has room, so the write itself never blocks; the
    // wait ends at a signal, or after a moment to look at `stopped` again.
    if (!readyToWrite(fd_, 200)) continue;
    const long n = writeSome(fd_, pending_.data(), std::min(pending_.size(), kLargestAtomicWrite));
    if (n > 0) {
      pending_.erase(0, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EINTR && !wouldWait(n))) {
      problem_ = reason(n < 0 ? errno : EIO);
      pending_.clear();
    }
  }
  return problem_.empty();
}

}  // namespace orvik::platform
