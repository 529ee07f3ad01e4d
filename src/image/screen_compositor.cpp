#include "image/screen_compositor.h"

namespace zell {

bool ScreenCompositor::start(uint32_t width, uint32_t height, uint32_t background, bool trackPainted)
{
    background_ = background;
    tracking_ = trackPainted;
    if (!canvas_.createCanvas(width, height, background))
        return false;
    return !trackPainted || painted_.reset(width, height);
}

bool ScreenCompositor::prepare(uint16_t transparentIndex)
{
    DibHeader h;
    if (canvas_.image.empty() || !checkDib(canvas_.image.bytes(), &h))
        return false;
    const bool marks = h.bitCount == 8 && transparentIndex < dibColorCount(h);
    return canvas_.buildMask(marks ? transparentIndex : kNoIndex) && canvas_.toTrueColor();
}

bool ScreenCompositor::draw(int disposal, uint16_t x, uint16_t y)
{
    if (!canvas_.composeFrame(disposal, x, y, background_))
        return false;
    if (tracking_)
        painted_.apply(canvas_, disposal, x, y);
    return true;
}

} // namespace zell
