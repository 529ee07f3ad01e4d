#include "image/screen_area.h"

#include <algorithm>
#include <cstring>

namespace zell {

bool screenHolds(const ScreenArea& beneath, int64_t x, int64_t y, int64_t width, int64_t height, DibHeader& canvas)
{
    canvas = DibHeader{};
    if (!beneath.canvas.empty()) {
        if (!checkDib(beneath.canvas, &canvas) || canvas.bitCount != 24 || canvas.height < 0)
            return false;
        if (!beneath.painted.empty() && beneath.painted.size() != uint64_t(canvas.width) * canvas.absHeight())
            return false;
    }
    if (width <= 0 || height <= 0)
        return true;
    return !beneath.canvas.empty() && x >= beneath.left && y >= beneath.top
        && x + width <= int64_t(beneath.left) + canvas.width && y + height <= int64_t(beneath.top) + canvas.absHeight();
}

bool copyScreenArea(const ScreenArea& from, int64_t x, int64_t y, int64_t width, int64_t height, ByteBuffer& canvas,
                    std::vector<uint8_t>& painted, ScreenArea& to)
{
    to = ScreenArea{};
    to.screenWidth = from.screenWidth;
    to.screenHeight = from.screenHeight;
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(x + width, from.screenWidth);
    const int64_t bottom = std::min<int64_t>(y + height, from.screenHeight);
    DibHeader h;
    if (left >= right || top >= bottom)
        return screenHolds(from, left, top, 0, 0, h); // nothing on the screen to copy
    if (!screenHolds(from, left, top, right - left, bottom - top, h))
        return false;
    const uint32_t w = uint32_t(right - left), rows = uint32_t(bottom - top);
    const DibHeader header = makeDibHeader(int32_t(w), int32_t(rows), 24);
    if (!canvas.allocate(uint32_t(dibPackedSize(header))))
        return false;
    writeDibHeader(canvas.data(), header);
    const uint64_t stride = dibStride(w, 24);
    const int64_t dx = left - from.left, dy = top - from.top;
    for (uint32_t j = 0; j < rows; ++j) {
        uint8_t* row = canvas.data() + dibRowOffset(header, j);
        std::memcpy(row, from.canvas.data() + dibRowOffset(h, uint32_t(dy + j)) + 3 * dx, 3 * size_t(w));
        std::fill(row + 3 * size_t(w), row + stride, uint8_t(0));
    }
    painted.clear();
    if (!from.painted.empty()) {
        painted.resize(size_t(w) * rows);
        for (uint32_t j = 0; j < rows; ++j)
            std::memcpy(painted.data() + size_t(j) * w, from.painted.data() + (dy + j) * int64_t(h.width) + dx, w);
    }
    to.canvas = canvas.bytes();
    to.painted = painted;
    to.left = uint32_t(left);
    to.top = uint32_t(top);
    return true;
}

} // namespace zell
