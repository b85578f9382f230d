#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace orvik::platform {

// The first `most` bytes of the regular file at `path` (fewer when it is shorter); none when it cannot be
// opened or read, or is no regular file (a pipe would wait for a writer, a device may never end), with
// `problem`, when given, saying why. Opened without waiting, and read with the C library rather than a
// C++ stream, whose locale set-up alone costs a program half a megabyte of memory.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t most,
                                         std::string* problem = nullptr);

}  // namespace orvik::platform
