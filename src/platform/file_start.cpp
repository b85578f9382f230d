#include "platform/file_start.h"

#include <cstdio>

namespace orvik::platform {

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t most) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string text(most, '\0');
  text.resize(std::fread(text.data(), 1, most, file));
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return text;
}

}  // namespace orvik::platform
