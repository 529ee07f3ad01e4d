// Writing whole files. Either way a file that could not be written
// completely is removed, so no half-written file is ever left behind, and
// errno tells why it failed.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zell {

// Creates `path` exclusively (a work-file name is only reserved by its
// absence) and writes the bytes.
bool writeNewFile(const std::string& path, std::span<const uint8_t> bytes);

// Creates or replaces `path` with the bytes.
bool writeWholeFile(const std::string& path, std::span<const uint8_t> bytes);

} // namespace zell
