#include <cstdio>
#include <memory>

#include "platform/file_writing.h"
#include "platform/files.h"

namespace orvik::platform {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for reading and writing at offset 0, creating it empty when missing; never truncates.
// The C library, not a C++ stream: a stream's locale set-up alone costs half a megabyte of memory.
OpenFile openRecordFile(const std::string& path) {
  // A pipe or a device would make the program wait on it, or never end.
  if (const std::string kind = NotAFile(path); !kind.empty()) throw FileError(path + ": " + kind);
  OpenFile file(std::fopen(path.c_str(), "r+b"));
  if (!file) {
    // Appending creates a missing file without touching an existing one.
    OpenFile(std::fopen(path.c_str(), "ab"));
    file.reset(std::fopen(path.c_str(), "r+b"));
  }
  if (!file) throw FileError(path + ": cannot open for reading and writing");
  return file;
}

}  // namespace

std::vector<std::uint8_t> LocalFiles::readStart(const std::string& path, std::size_t count) {
  const OpenFile file = openRecordFile(path);
  // A file that cannot seek (a pipe) cannot be read from its start.
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) throw FileError(path + ": cannot read from the start");
  std::vector<std::uint8_t> bytes(count);
  bytes.resize(std::fread(bytes.data(), 1, count, file.get()));
  if (std::ferror(file.get()) != 0) throw FileError(path + ": cannot read");
  return bytes;
}

void LocalFiles::writeStart(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const OpenFile file = openRecordFile(path);
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) throw FileError(path + ": cannot write at the start");
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fflush(file.get()) != 0)
    throw FileError(path + ": cannot write");
}

}  // namespace orvik::platform
