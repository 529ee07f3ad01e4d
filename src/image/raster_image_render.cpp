#include <cmath>

#include "image/compose.h"
#include "image/raster_image.h"

namespace zell {

bool RasterImage::createCanvas(uint32_t width, uint32_t height, uint32_t color)
{
    return createSolidImage(baseCanvas, width, height, color);
}

bool RasterImage::composeFrame(int disposal, uint16_t x, uint16_t y, uint32_t fillColor)
{
    if (image.empty() || baseCanvas.empty())
        return false;
    displayCanvas.copyFrom(baseCanvas);
    if (displayCanvas.empty())
        return false;
    DibHeader h;
    const bool drawable = checkDib(image.bytes(), &h) && h.bitCount == 24;
    if (drawable)
        blitImage(displayCanvas.bytes(), x, y, h.width, h.absHeight(), image.bytes(), 0, 0, mask.bytes());
    if (disposal == 2) {
        const auto [width, height] = imageSize();
        if (width > 0 && height > 0)
            fillRect(baseCanvas.bytes(), fillColor, x, y, width, height);
    } else if (disposal != 3) {
        baseCanvas.copyFrom(displayCanvas);
    }
    return true;
}

void RasterImage::restoreDisplayCanvas()
{
    if (!baseCanvas.empty())
        displayCanvas.copyFrom(baseCanvas);
}

bool RasterImage::fitInto(uint32_t boxWidth, uint32_t boxHeight, bool keepAspect)
{
    if (image.empty() || !toTrueColor())
        return false;
    const auto [width, height] = imageSize();
    if (width == 0 || height == 0)
        return false;
    uint32_t newWidth = boxWidth, newHeight = boxHeight;
    if (keepAspect) {
        const double scale = std::min(double(boxWidth) / width, double(boxHeight) / height);
        newWidth = uint32_t(width * scale + 0.5);
        newHeight = uint32_t(height * scale + 0.5);
    }
    ByteBuffer shrunk;
    if (newWidth > 0 && newWidth < width) {
        if (!shrinkWidth(image.bytes(), newWidth, shrunk))
            return false;
        image.swap(shrunk);
    }
    if (newHeight > 0 && newHeight < height) {
        if (!shrinkHeight(image.bytes(), newHeight, shrunk))
            return false;
        image.swap(shrunk);
    }
    mask.release();
    return true;
}

} // namespace zell
