#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace orvik::platform {

namespace {

class Fd {
 public:
  explicit Fd(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT, 0644)) {
    if (fd_ < 0) throw FileError(path + ": " + std::strerror(errno));
  }
  ~Fd() { ::close(fd_); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::vector<std::uint8_t> LocalFiles::readStart(const std::string& path, std::size_t count) {
  Fd fd(path);
  std::vector<std::uint8_t> bytes(count);
  const ssize_t n = ::pread(fd.get(), bytes.data(), count, 0);
  if (n < 0) throw FileError(path + ": " + std::strerror(errno));
  bytes.resize(static_cast<std::size_t>(n));
  return bytes;
}

void LocalFiles::writeStart(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  Fd fd(path);
  const ssize_t n = ::pwrite(fd.get(), bytes.data(), bytes.size(), 0);
  if (n != static_cast<ssize_t>(bytes.size())) throw FileError(path + ": " + std::strerror(errno));
}

}  // namespace orvik::platform
