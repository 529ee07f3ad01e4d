#include "cli/json.h"

#include <cstdint>
#include <cstdio>

namespace zell::cli {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF, as
// JSON readers require.
bool validUtf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t extra = c < 0x80                ? 0
            : c >= 0xC2 && c <= 0xDF                 ? 1
            : (c >> 4) == 14                         ? 2
            : c >= 0xF0 && c <= 0xF4                 ? 3
                                                     : 99;
        if (extra == 99 || extra >= s.size() - i)
            return false;
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t >> 6) != 2)
                return false;
            code = code << 6 | (t & 0x3F);
        }
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        if ((extra == 2 && (code < 0x800 || surrogate)) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

std::string jsonString(const std::string& bytes)
{
    const bool utf8 = validUtf8(bytes);
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char ch = bytes[i];
        const unsigned char c = static_cast<unsigned char>(ch);
        char escape[8];
        // U+0080..U+009F are control characters too, which terminals obey.
        const bool c1 = utf8 && c == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9F;
        if (c1) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(bytes[++i]));
            out += escape;
        } else if (c == '"' || c == '\\') {
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
