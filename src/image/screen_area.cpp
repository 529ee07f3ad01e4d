#include "image/screen_area.h"

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

} // namespace zell
