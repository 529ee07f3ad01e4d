// The pixels of a decoded picture, for the tests of what zell reads.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/dib.h"
#include "support/test_support.h"

namespace zell::test {

// A picture's pixels as 0xRRGGBB, rows from the top; empty when it is none.
inline std::vector<uint32_t> pixels(std::span<const uint8_t> dib)
{
    ByteBuffer rgb;
    DibHeader h;
    std::vector<uint32_t> out;
    if (convertToTrueColor(dib, rgb) && checkDib(rgb.bytes(), &h))
        for (uint32_t y = 0; y < h.absHeight(); ++y)
            for (uint32_t x = 0; x < uint32_t(h.width); ++x)
                out.push_back(pixelRgb(rgb.data(), x, y));
    return out;
}

} // namespace zell::test
