// Recognition of the image files zell imports: BMP, GIF, JPEG and PNG.
#pragma once

#include <cstdint>
#include <span>

namespace zell {

enum ImageFormat : int {
    kFormatTooShort = 0,
    kFormatBmp = 1,
    kFormatGif = 2,
    kFormatJpeg = 3,
    kFormatPng = 4,
    kFormatUnknown = -1,
};

// The format code of the data: 0 with fewer than 12 bytes, -1 when nothing
// matches. On success `data` may start later than it did: at the GIF
// signature, or 128 bytes in when a header of that size precedes the image.
int detectImageFormat(std::span<const uint8_t>& data);

// The width and height a BMP, PNG or JPEG file's header claims, found without
// decoding, so that a refusal can say how large the picture is. False for
// GIF and unknown data, and for a header that cannot be read.
bool imageDimensions(std::span<const uint8_t> data, uint32_t& width, uint32_t& height);

// Offset of the JPEG start-of-image marker, or -1 when an end-of-image marker
// comes first or there is none.
int64_t findJpegStart(std::span<const uint8_t> data);

} // namespace zell
