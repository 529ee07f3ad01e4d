// BMP files (uncompressed or bit fields) into packed DIBs of the same depth.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/byte_buffer.h"

namespace zell {

// The picture keeps the file's bit depth and row order. False, with the
// picture untouched, for other compressions, headers shorter than 40 bytes,
// unknown depths and any table or row data beyond the end of the file.
bool decodeBmp(std::span<const uint8_t> data, ByteBuffer& picture);

// The fully transparent pixels of a 32-bit file (alpha 0 in the fourth byte,
// or under the alpha mask of a header that has one), one byte a pixel, rows
// from the top. Empty for other depths and for files whose alpha is zero
// everywhere, which is how most writers leave the fourth byte unused.
bool decodeBmpTransparency(std::span<const uint8_t> data, std::vector<uint8_t>& clear);

} // namespace zell
