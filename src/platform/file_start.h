#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace orvik::platform {

// The first `most` bytes of the file at `path` (fewer when it is shorter); none when it cannot be opened
// or read. Read with the C library rather than a C++ stream, whose locale set-up alone costs a program
// half a megabyte of memory.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t most);

}  // namespace orvik::platform
