// A built quantizer palette as a GIF colour table.
#pragma once

#include "image/color_quantizer.h"
#include "image/color_table.h"

namespace zell {

// The palette's entries in GIF order, `count` entries (unused ones black),
// with the given background index.
ColorTable colorTableOf(const ColorQuantizer& quantizer, int count, uint16_t backgroundIndex);

// Whether a GIF colour table can have `count` entries (2, 4, ... 256).
inline bool isTableSize(int count) { return count >= 2 && count <= 256 && (count & (count - 1)) == 0; }

} // namespace zell
