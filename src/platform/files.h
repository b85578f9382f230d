#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvik::platform {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Small record files in the working directory.
class Files {
 public:
  virtual ~Files() = default;
  // Opens `path` for reading and writing (creating it empty when missing) and reads up to `count`
  // bytes from offset 0. Throws FileError when it cannot be opened or read.
  virtual std::vector<std::uint8_t> readStart(const std::string& path, std::size_t count) = 0;
  // Writes `bytes` at offset 0 of `path`, creating it when missing and leaving any later bytes as
  // they are. Throws FileError when it cannot.
  virtual void writeStart(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
};

// The real file system, relative paths from the process's working directory.
class LocalFiles final : public Files {
 public:
  std::vector<std::uint8_t> readStart(const std::string& path, std::size_t count) override;
  void writeStart(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
};

}  // namespace orvik::platform
