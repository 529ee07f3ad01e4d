// Which pixels of the logical screen show something a frame painted, as
// opposed to the background. Viewers disagree about the background (the
// background colour, or transparency as browsers show it), so only painted
// pixels may be relied on when a later frame is made transparent over them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/raster_image.h"

namespace zell {

class PaintedArea {
public:
    bool reset(uint32_t width, uint32_t height);
    // Follows one composed frame: `frame.image` (any depth) with its mask,
    // at (x, y), then its disposal as composeFrame applies it.
    void apply(const RasterImage& frame, int disposal, uint16_t x, uint16_t y);
    // One byte per screen pixel, rows from the top; 1 = painted.
    std::span<const uint8_t> pixels() const { return pixels_; }

private:
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::vector<uint8_t> pixels_;
};

} // namespace zell
