#include "support/md5.h"

#include <cstdio>

extern "C" {
#include <libavutil/md5.h>
}

namespace zell::test {

// libavutil is there for the clip decoders, so the tests need no MD5 of their own.
std::string md5Hex(std::span<const uint8_t> data)
{
    uint8_t digest[16];
    av_md5_sum(digest, data.data(), data.size());
    std::string hex;
    char pair[3];
    for (const uint8_t byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

} // namespace zell::test
