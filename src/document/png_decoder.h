// PNG files into packed DIBs through libpng, shown as on a screen of gamma
// 2.2 with transparency composited over the file's background or white.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/byte_buffer.h"

namespace zell {

// Palette and greyscale files of 8 bits or fewer keep a colour table (2-bit
// data widened to 4 bits, 2- and 4-bit greys turned into a palette); colour
// files become 24-bit, 16-bit samples 8-bit. libpng's errors make the
// decoding fail without touching the picture.
bool decodePng(std::span<const uint8_t> data, ByteBuffer& picture);

// The fully transparent pixels (alpha 0, from an alpha channel or a
// transparency chunk), one byte a pixel, rows from the top; empty for a
// file without transparency.
bool decodePngTransparency(std::span<const uint8_t> data, std::vector<uint8_t>& clear);

} // namespace zell
