// Files written beside their target and renamed over it when complete, so
// that a failure never leaves a half-written target behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image/file_write.h"

namespace zell {

// A mkstemp pattern in the target's folder: "<folder>/.<name>.zllXXXXXX".
std::string temporaryPatternBeside(const std::string& target);

// Creates the temporary file beside `target` with the permissions the
// target will need (an existing target's mode, else the usual mode under
// the umask) and returns its descriptor, or -1. `path` receives its name.
int createTemporaryBeside(const std::string& target, std::string& path);

} // namespace zell
