#include <fstream>
#include <ios>

#include "platform/files.h"

namespace orvik::platform {

namespace {

// Opens `path` for reading and writing at offset 0, creating it empty when missing; never truncates.
std::fstream openRecordFile(const std::string& path) {
  constexpr auto kReadWrite = std::ios::in | std::ios::out | std::ios::binary;
  std::fstream file(path, kReadWrite);
  if (!file.is_open()) {
    // Appending creates a missing file without touching an existing one.
    { std::ofstream create(path, std::ios::app | std::ios::binary); }
    file.open(path, kReadWrite);
  }
  if (!file.is_open()) throw FileError(path + ": cannot open for reading and writing");
  return file;
}

}  // namespace

std::vector<std::uint8_t> LocalFiles::readStart(const std::string& path, std::size_t count) {
  std::fstream file = openRecordFile(path);
  // A file that cannot seek (a pipe) cannot be read from its start.
  if (!file.seekg(0)) throw FileError(path + ": cannot read from the start");
  std::vector<std::uint8_t> bytes(count);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  if (file.bad() || (file.fail() && !file.eof())) throw FileError(path + ": cannot read");
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return bytes;
}

void LocalFiles::writeStart(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::fstream file = openRecordFile(path);
  if (!file.seekp(0)) throw FileError(path + ": cannot write at the start");
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw FileError(path + ": cannot write");
}

}  // namespace orvik::platform
