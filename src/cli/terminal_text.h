// Text from files (comments, frame names, file names) on its way to a
// terminal.
#pragma once

#include <string>
#include <string_view>

namespace zell::cli {

// The bytes with every control character written as \xNN: those below 0x20,
// 0x7F, and U+0080..U+009F in their two-byte UTF-8 form, which terminals
// also obey. A comment in a downloaded file can then neither move the
// cursor, retitle the window nor clear the screen, and cannot break the
// one-line layout of the output. A backslash stays as it is.
std::string printable(std::string_view bytes);

} // namespace zell::cli
