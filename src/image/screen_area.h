// The part of the logical screen that a frame is compared with.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/byte_buffer.h"
#include "image/dib.h"

namespace zell {

// `canvas` (a 24-bit packed picture) holds the screen's rectangle at (left,
// top); every screen pixel outside it shows the background and was never
// painted. `painted`, when not empty, has one byte per canvas pixel, rows
// from the top, 1 where a frame painted the pixel.
struct ScreenArea {
    std::span<const uint8_t> canvas;
    std::span<const uint8_t> painted;
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t screenWidth = 0;
    uint32_t screenHeight = 0;
};

// True when the canvas is a usable 24-bit picture (its header in `canvas`)
// with a painted map of its size, and holds the screen rectangle of width x
// height at (x, y); an empty rectangle needs no canvas at all.
bool screenHolds(const ScreenArea& beneath, int64_t x, int64_t y, int64_t width, int64_t height, DibHeader& canvas);

// Copies what `from` holds of the rectangle of width x height at (x, y),
// clipped to the screen, into `canvas` and `painted`; `to` then describes
// the copy, which stays valid whatever becomes of `from`. False when `from`
// does not hold that rectangle.
bool copyScreenArea(const ScreenArea& from, int64_t x, int64_t y, int64_t width, int64_t height, ByteBuffer& canvas,
                    std::vector<uint8_t>& painted, ScreenArea& to);

} // namespace zell
