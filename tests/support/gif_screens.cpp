#include "support/gif_screens.h"

#ifdef ZELL_HAVE_GIFLIB

#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/color_table.h"
#include "support/gif_oracle.h"

namespace zell::test {

namespace {

void fill(std::vector<uint8_t>& screen, uint32_t sw, uint32_t sh, uint32_t left, uint32_t top, uint32_t width,
          uint32_t height, uint32_t color)
{
    const uint8_t rgb[3] = {uint8_t(color), uint8_t(color >> 8), uint8_t(color >> 16)};
    for (uint32_t y = top; y < std::min(top + height, sh); ++y)
        for (uint32_t x = left; x < std::min(left + width, sw); ++x)
            std::memcpy(&screen[(size_t(y) * sw + x) * 3], rgb, 3);
}

} // namespace

bool giflibScreens(std::span<const uint8_t> stream, std::vector<std::vector<uint8_t>>& screens, uint32_t background)
{
    screens.clear();
    std::vector<GiflibImage> images;
    uint32_t size[2] = {0, 0};
    if (!giflibDecode(stream, images, size))
        return false;
    const uint32_t sw = size[0], sh = size[1];
    std::vector<uint8_t> screen(size_t(sw) * sh * 3);
    fill(screen, sw, sh, 0, 0, sw, sh, background);
    for (const GiflibImage& image : images) {
        const std::vector<uint8_t> before = screen;
        for (uint32_t y = 0; y < image.height; ++y) {
            for (uint32_t x = 0; x < image.width; ++x) {
                const int index = image.indices[size_t(y) * image.width + x];
                if (image.left + x < sw && image.top + y < sh && index != image.transparent
                    && size_t(index) < image.colors.size())
                    fill(screen, sw, sh, image.left + x, image.top + y, 1, 1, image.colors[size_t(index)]);
            }
        }
        screens.push_back(screen);
        if (image.disposal == DISPOSE_BACKGROUND)
            fill(screen, sw, sh, image.left, image.top, image.width, image.height, background);
        else if (image.disposal == DISPOSE_PREVIOUS)
            screen = before;
    }
    return true;
}

double screensPsnr(const std::vector<std::vector<uint8_t>>& a, const std::vector<std::vector<uint8_t>>& b)
{
    double sum = 0;
    size_t n = 0;
    for (size_t k = 0; k < std::min(a.size(), b.size()); ++k) {
        for (size_t i = 0; i < std::min(a[k].size(), b[k].size()); ++i, ++n) {
            const double d = double(a[k][i]) - double(b[k][i]);
            sum += d * d;
        }
    }
    return n == 0 || sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(n) / sum);
}

} // namespace zell::test

#endif
