// Reading one image of a GIF stream into a packed DIB, and writing a packed
// DIB as a complete single-image GIF89a stream.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/byte_buffer.h"
#include "image/dib.h"
#include "image/gif_blocks.h"

namespace zell {

// Image `imageIndex` (0-based) as an 8-bit bottom-up DIB with the image's
// colour table. With replaceTransparent, the transparent entry takes the
// background colour (white without a usable global table). A stream that ends
// before that image gives true and leaves `out` as it was. A picture larger
// than keepWidth x keepHeight keeps only that much from its top-left corner
// (at least one pixel): what a screen shows of a frame reaching out of it.
bool decodeGifImage(std::span<const uint8_t> data, ByteBuffer& out, int imageIndex, bool replaceTransparent,
                    uint32_t keepWidth = UINT32_MAX, uint32_t keepHeight = UINT32_MAX);

// A single-image GIF89a stream with a global table of 2^bits entries (bits
// 1..8). Colours are colour values or kNoColor.
bool encodeGifImage(std::span<const uint8_t> dib, ByteBuffer& out, int bits, bool interlace,
                    uint32_t backgroundColor = kNoColor, uint32_t transparentColor = kNoColor);

// A single-image GIF89a stream around LZW data already made (minimum code
// size `minCodeSize` 2..8, 0 for max(bits, 2); rows top to bottom, not
// interlaced): a global table of 2^bits entries from `colors` (zeros past its
// end), no transparent colour.
bool writeGifStream(uint32_t width, uint32_t height, std::span<const uint32_t> colors, int bits,
                    const std::vector<uint8_t>& codes, ByteBuffer& out, int minCodeSize = 0);

} // namespace zell
