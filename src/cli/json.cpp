#include "cli/json.h"

#include <cstdio>

namespace zell::cli {

namespace {

bool validUtf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 99;
        if (extra == 99 || i + extra >= s.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

} // namespace

std::string jsonString(const std::string& bytes)
{
    const bool utf8 = validUtf8(bytes);
    std::string out = "\"";
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        char escape[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || (c >= 0x80 && !utf8)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

} // namespace zell::cli
