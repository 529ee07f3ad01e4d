#include "playback/transition_test_pictures.h"

#include <sstream>

#include "image/dib.h"
#include "support/test_support.h"

namespace zell::test {

std::vector<uint8_t> truecolorPicture(int32_t width, int32_t height, bool topDown, const PixelFunction& colour)
{
    DibBuilder builder;
    builder.header = makeDibHeader(width, topDown ? -height : height, 24);
    for (int32_t row = 0; row < height; ++row) {
        const uint32_t y = uint32_t(topDown ? row : height - 1 - row);
        std::vector<uint8_t> bytes;
        for (uint32_t x = 0; x < uint32_t(width); ++x) {
            const uint32_t c = colour(x, y);
            bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        }
        builder.rows.push_back(bytes);
    }
    return builder.build();
}

std::string differences(std::span<const uint8_t> picture, uint32_t width, uint32_t height,
                        const PixelFunction& expected)
{
    DibHeader h;
    if (!checkDib(picture, &h) || h.bitCount != 24)
        return "not a 24-bit picture";
    std::ostringstream out;
    if (uint32_t(h.width) != width || h.absHeight() != height) {
        out << "size " << h.width << "x" << h.absHeight() << ", expected " << width << "x" << height;
        return out.str();
    }
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t got = pixelRgb(picture.data(), x, y);
            if (got != expected(x, y)) {
                out << std::hex << "pixel (" << std::dec << x << ", " << y << ") is 0x" << std::hex << got
                    << ", expected 0x" << expected(x, y);
                return out.str();
            }
        }
    }
    return {};
}

} // namespace zell::test
