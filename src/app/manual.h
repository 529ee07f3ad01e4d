// Where the manual that the home-page command opens lives.
#pragma once

#include <string>

namespace zell {

// The manual for a program in programDir (ending with '/') in `language`
// ("ja", "en"): an installed program's PREFIX/share/doc/zell/, else the
// copy a build puts in doc/ beside the program; in each, index.LANGUAGE.html
// before index.html (English). Empty when none exists.
std::string findManual(const std::string& programDir, const std::string& language);

} // namespace zell
