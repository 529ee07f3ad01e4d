// Small 24-bit pictures for the transition tests, addressed from the top.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace zell::test {

using PixelFunction = std::function<uint32_t(uint32_t x, uint32_t y)>;

// A packed 24-bit picture whose pixel (x, y from the top) is 0xRRGGBB colour(x, y).
std::vector<uint8_t> truecolorPicture(int32_t width, int32_t height, bool topDown, const PixelFunction& colour);

// Distinct colours per picture and place: tag in red, y in green, x in blue.
inline uint32_t tagged(uint32_t tag, uint32_t x, uint32_t y)
{
    return (tag << 16) | (y << 8) | x;
}

// Empty when the picture is width x height with every pixel as expected,
// else a description of the first difference.
std::string differences(std::span<const uint8_t> picture, uint32_t width, uint32_t height,
                        const PixelFunction& expected);

} // namespace zell::test
