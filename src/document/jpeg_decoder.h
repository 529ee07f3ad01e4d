// JPEG files into 24-bit packed DIBs through libjpeg.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

// Greyscale, colour and CMYK/YCCK files become bottom-up 24-bit pictures. A
// file that ends early keeps what the library made of it; the library's
// fatal errors make the decoding fail without touching the picture.
// `truncated` (optional) tells whether the data ended before the picture did;
// the rows not reached are then left grey by the library.
bool decodeJpeg(std::span<const uint8_t> data, ByteBuffer& picture, bool* truncated = nullptr);

} // namespace zell
