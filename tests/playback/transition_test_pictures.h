// Small 24-bit pictures for the transition tests, addressed from the top.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "image/dib.h"
#include "support/test_support.h"

namespace zell::test {

using PixelFunction = std::function<uint32_t(uint32_t x, uint32_t y)>;

// A packed 24-bit picture whose pixel (x, y from the top) is 0xRRGGBB colour(x, y).
inline std::vector<uint8_t> truecolorPicture(int32_t width, int32_t height, bool topDown, const PixelFunction& colour)
{
    DibBuilder builder;
    builder.header = makeDibHeader(width, topDown ? -height : height, 24);
    for (int32_t row = 0; row < height; ++row) {
        auto& bytes = builder.rows.emplace_back();
        for (uint32_t x = 0; x < uint32_t(width); ++x) {
            const uint32_t c = colour(x, uint32_t(topDown ? row : height - 1 - row));
            bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        }
    }
    return builder.build();
}

// Distinct colours per picture and place: tag in red, y in green, x in blue.
inline uint32_t tagged(uint32_t tag, uint32_t x, uint32_t y)
{
    return (tag << 16) | (y << 8) | x;
}

// Empty when the picture is width x height with every pixel as expected,
// else a description of the first difference.
inline std::string differences(std::span<const uint8_t> picture, uint32_t width, uint32_t height,
                               const PixelFunction& expected)
{
    DibHeader h;
    if (!checkDib(picture, &h) || h.bitCount != 24)
        return "not a 24-bit picture";
    if (uint32_t(h.width) != width || h.absHeight() != height)
        return "another size";
    std::ostringstream out;
    for (uint32_t i = 0; i < width * height; ++i) {
        const uint32_t x = i % width, y = i / width, got = pixelRgb(picture.data(), x, y);
        if (got != expected(x, y)) {
            out << "pixel (" << x << ", " << y << ") is 0x" << std::hex << got << ", expected 0x" << expected(x, y);
            return out.str();
        }
    }
    return {};
}

} // namespace zell::test
