// Index-level cuts, turns and mirrors of 8-bit pictures: the indices and the
// colour table stay as they are, only the places of the pixels change.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

// Turns are clockwise, as a viewer's "rotate right" shows them.
enum class PictureTransform { rotate90, rotate180, rotate270, flipHorizontal, flipVertical };

// The rectangle of `width` x `height` at (x, y) of an 8-bit picture, which
// must lie inside it, as a new bottom-up 8-bit picture with the same table.
bool cutPicture(std::span<const uint8_t> dib, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                ByteBuffer& out);

// An 8-bit picture turned or mirrored, as a new bottom-up 8-bit picture with
// the same table.
bool transformPicture(std::span<const uint8_t> dib, PictureTransform transform, ByteBuffer& out);

// Where a rectangle of a width x height screen lands when the screen is
// transformed: its new left and top (its size swaps with a quarter turn).
void transformRect(PictureTransform transform, uint32_t screenWidth, uint32_t screenHeight, uint32_t& left,
                   uint32_t& top, uint32_t& width, uint32_t& height);

} // namespace zell
