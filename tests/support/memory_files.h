#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/files.h"

namespace orvik::testing {

// Files in memory, with the failures a real directory can produce.
class MemoryFiles final : public platform::Files {
 public:
  // ReadOnlyDirectory: an existing file reads and writes as usual, a missing one cannot be created.
  enum class Fault { None, Unreadable, Unwritable, IsDirectory, ReadOnlyDirectory };

  std::vector<std::uint8_t> readStart(const std::string& path, std::size_t count) override {
    const Fault f = faultOf(path);
    if (f == Fault::Unreadable || f == Fault::IsDirectory) throw platform::FileError(path + ": cannot read");
    if (f == Fault::ReadOnlyDirectory && !exists(path)) throw platform::FileError(path + ": cannot create");
    auto& bytes = files[path];  // a missing file is created, empty
    return {bytes.begin(), bytes.begin() + static_cast<long>(std::min(count, bytes.size()))};
  }

  void writeStart(const std::string& path, const std::vector<std::uint8_t>& bytes) override {
    const Fault f = faultOf(path);
    if (f == Fault::Unwritable || f == Fault::IsDirectory) throw platform::FileError(path + ": cannot write");
    if (f == Fault::ReadOnlyDirectory && !exists(path)) throw platform::FileError(path + ": cannot create");
    auto& file = files[path];
    if (file.size() < bytes.size()) file.resize(bytes.size());
    std::copy(bytes.begin(), bytes.end(), file.begin());
  }

  bool exists(const std::string& path) const { return files.count(path) != 0; }
  Fault faultOf(const std::string& path) const {
    auto it = faults.find(path);
    return it == faults.end() ? Fault::None : it->second;
  }

  std::map<std::string, std::vector<std::uint8_t>> files;
  std::map<std::string, Fault> faults;
};

}  // namespace orvik::testing
