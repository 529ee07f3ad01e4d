#include "cli/terminal_text.h"

#include <cstdio>

namespace zell::cli {

namespace {

void appendEscaped(std::string& out, unsigned char c)
{
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", c);
    out += escape;
}

} // namespace

std::string printable(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const bool c1 = c == 0xC2 && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0x80
            && static_cast<unsigned char>(bytes[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F) {
            appendEscaped(out, c);
        } else if (c1) {
            appendEscaped(out, c);
            appendEscaped(out, static_cast<unsigned char>(bytes[++i]));
        } else {
            out += char(c);
        }
    }
    return out;
}

} // namespace zell::cli
