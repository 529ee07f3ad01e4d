// Names in the engine are the bytes they were given: UTF-8 from this UI, or
// Shift_JIS from old project files. The UI shows either.
#pragma once

#include <QString>

#include <string>

namespace zell {

QString displayText(const std::string& bytes);

} // namespace zell
