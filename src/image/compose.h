// Rectangle copies and fills on 24-bit packed pictures, and the
// area-averaging shrink used to fit pictures into boxes.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

// Copies a clipped rectangle of `source` to (x, y) of `destination`; with a
// 1-bit mask of the source's size only pixels whose bit is 1 (opaque) are
// copied. False only when a picture is missing or not 24-bit (or the mask
// does not fit the source).
bool blitImage(std::span<uint8_t> destination, int64_t x, int64_t y, int64_t width, int64_t height,
               std::span<const uint8_t> source, int64_t sourceX, int64_t sourceY,
               std::span<const uint8_t> mask = {});

// Fills a clipped rectangle; a width or height below 1 means the full extent.
bool fillRect(std::span<uint8_t> picture, uint32_t color, int64_t x, int64_t y, int64_t width, int64_t height);

// Area-averaging shrink of a 24-bit picture to a smaller width or height.
bool shrinkWidth(std::span<const uint8_t> source, uint32_t newWidth, ByteBuffer& out);
bool shrinkHeight(std::span<const uint8_t> source, uint32_t newHeight, ByteBuffer& out);

} // namespace zell
