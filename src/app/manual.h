// Where the manual that the home-page command opens lives.
#pragma once

#include <string>

namespace zell {

// The manual for a program in programDir (ending with '/'): an installed
// program's PREFIX/share/doc/zell/index.html, else the copy a build puts in
// doc/ beside the program; empty when neither exists.
std::string findManual(const std::string& programDir);

} // namespace zell
