// giflib as an independent reader and writer of GIF streams in tests.
#pragma once

#ifdef ZELL_HAVE_GIFLIB

#include <cstdint>
#include <span>
#include <vector>

namespace zell::test {

struct GiflibImage {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool interlaced = false;
    int disposal = 0;
    int transparent = -1; // none
    std::vector<uint8_t> indices; // rows top to bottom, interlace undone
    std::vector<uint32_t> colors; // the table the image uses, as colour values
};

// Every image of the stream through DGifSlurp; false when giflib refuses it.
// `screen` (optional) receives the logical screen's width and height.
bool giflibDecode(std::span<const uint8_t> stream, std::vector<GiflibImage>& images, uint32_t* screen = nullptr);

// One image with a global table of 2^bits entries, written row by row with
// EGifPutLine; `indices` holds the rows top to bottom.
std::vector<uint8_t> giflibEncode(uint32_t width, uint32_t height, int bits, bool interlace,
                                  const std::vector<uint8_t>& indices, const std::vector<uint32_t>& colors);

} // namespace zell::test

#endif
