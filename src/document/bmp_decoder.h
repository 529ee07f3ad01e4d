// BMP files (uncompressed or bit fields) into packed DIBs of the same depth.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

// The picture keeps the file's bit depth and row order. False, with the
// picture untouched, for other compressions, headers shorter than 40 bytes,
// unknown depths and any table or row data beyond the end of the file.
bool decodeBmp(std::span<const uint8_t> data, ByteBuffer& picture);

} // namespace zell
