// Scaling 24-bit pictures to any size: area averaging where an axis shrinks,
// a smooth cubic filter where it grows, or nearest neighbour throughout for
// pixel art, whose hard edges must stay hard.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

enum class ScaleFilter { smooth, nearest };

// The source pixel that output pixel `i` of `to` takes from `from` pixels
// with nearest neighbour: the one under the output pixel's centre, the one
// before when the centre falls on the edge between two, as ImageMagick's
// -sample picks them.
inline uint32_t nearestSource(uint32_t i, uint32_t from, uint32_t to)
{
    const uint64_t twice = 2 * uint64_t(to);
    return uint32_t(((2 * uint64_t(i) + 1) * from + twice - 1) / twice - 1);
}

// A 24-bit picture scaled to width x height (each at least 1) as a new
// bottom-up 24-bit picture.
bool scalePicture(std::span<const uint8_t> dib, uint32_t width, uint32_t height, ScaleFilter filter,
                  ByteBuffer& out);

} // namespace zell
