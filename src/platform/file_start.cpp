#include "platform/file_start.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "platform/file_writing.h"

namespace orvik::platform {

namespace {

std::FILE* openWithoutWaiting(const std::string& path) {
#ifndef _WIN32
  // Opening a pipe to read waits for a writer; without waiting, what it is is told before it is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

}  // namespace

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t most, std::string* problem) {
  const auto refuse = [problem](std::string why) -> std::optional<std::string> {
    if (problem != nullptr) *problem = std::move(why);
    return std::nullopt;
  };
  if (std::string kind = NotAFile(path); !kind.empty()) return refuse(kind);
  std::FILE* file = openWithoutWaiting(path);
  if (file == nullptr) return refuse(std::strerror(errno));
  std::string text;
  char buffer[4096];
  while (text.size() < most) {
    const std::size_t n = std::fread(buffer, 1, std::min(sizeof buffer, most - text.size()), file);
    if (n == 0) break;
    text.append(buffer, n);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return refuse(std::strerror(EIO));
  return text;
}

}  // namespace orvik::platform
