// Backup files of any bytes: the reader never crashes, and a file it takes writes out and reads back as
// the same constants, to the bit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>

#include "backup/backup_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvik::backup;
  const auto read = ParseBackup(std::string(reinterpret_cast<const char*>(data), size));
  const auto* file = std::get_if<BackupFile>(&read);
  if (file == nullptr) return 0;
  const auto again = ParseBackup(BackupJson(*file));
  const auto* same = std::get_if<BackupFile>(&again);
  if (same == nullptr || same->unit.constants != file->unit.constants || same->unit.tag != file->unit.tag) {
    std::fprintf(stderr, "fuzz check failed: a backup taken does not read back the same\n");
    std::abort();
  }
  return 0;
}
