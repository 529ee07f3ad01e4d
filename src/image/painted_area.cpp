#include "image/painted_area.h"
#include "image/pixel_limit.h"

#include <algorithm>

namespace zell {

bool PaintedArea::reset(uint32_t width, uint32_t height)
{
    if (uint64_t(width) * height > pixelLimit())
        return false;
    width_ = width;
    height_ = height;
    pixels_.assign(size_t(width) * height, 0);
    return true;
}

void PaintedArea::apply(const RasterImage& frame, int disposal, uint16_t x, uint16_t y)
{
    const auto [w, h] = frame.imageSize();
    const uint32_t right = std::min<uint32_t>(x + w, width_), bottom = std::min<uint32_t>(y + h, height_);
    if (disposal == 3 || x >= right || y >= bottom)
        return;
    DibHeader m;
    const bool masked = checkDib(frame.mask.bytes(), &m) && m.bitCount == 1;
    for (uint32_t sy = y; sy < bottom; ++sy) {
        uint8_t* row = pixels_.data() + size_t(sy) * width_;
        if (disposal == 2) {
            std::fill(row + x, row + right, uint8_t(0));
            continue;
        }
        const uint8_t* bits = masked ? frame.mask.data() + dibRowOffset(m, sy - y) : nullptr;
        for (uint32_t sx = x; sx < right; ++sx) {
            const uint32_t i = sx - x;
            if (!bits || ((bits[i >> 3] >> (7 - (i & 7))) & 1))
                row[sx] = 1;
        }
    }
}

} // namespace zell
