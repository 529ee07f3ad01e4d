// Files written beside their target and renamed over it when complete, so
// that a failure never leaves a half-written target behind.
#pragma once

#include <string>

namespace zell {

// A mkstemp pattern in the target's folder: "<folder>/.<name>.zllXXXXXX".
std::string temporaryPatternBeside(const std::string& target);

} // namespace zell
