// PNG and JPEG files written by their own libraries, and OS/2 bitmaps, for
// the tests of what zell reads.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <png.h>
// libjpeg needs FILE declared first.
#include <cstdio>
#include <jpeglib.h>

namespace zell::test {

struct PngRecipe {
    uint32_t width = 4;
    uint32_t height = 2;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<png_color> palette{};
    std::vector<png_byte> paletteAlpha{};
    bool transparentGrey = false;
    png_color_16 transparent{};
    bool background = false;
    png_color_16 backgroundColor{};
    double gamma = 0; // 0: no gAMA chunk
    std::vector<std::vector<png_byte>> rows{}; // packed as the file stores them
};
std::vector<uint8_t> encodePng(const PngRecipe& recipe);
// An RGBA file of 0xAARRGGBB pixels, rows from the top.
std::vector<uint8_t> rgbaPng(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb);

// Pixel (x, y) of the source, `components` samples in the input colour space.
using JpegSource = std::function<void(uint32_t x, uint32_t y, JSAMPLE* out)>;
struct JpegRecipe {
    uint32_t width = 16;
    uint32_t height = 16;
    int components = 3;
    J_COLOR_SPACE inSpace = JCS_RGB;
    J_COLOR_SPACE fileSpace = JCS_UNKNOWN; // JCS_UNKNOWN: the library's default
    bool progressive = false;
};
std::vector<uint8_t> encodeJpeg(const JpegRecipe& recipe, const JpegSource& source);

// An OS/2 1.x bitmap: a 12-byte header of 16-bit sizes, table entries of
// three bytes (blue, green, red), as many as `triples` holds.
std::vector<uint8_t> coreBmp(uint16_t width, uint16_t height, uint16_t bits, const std::vector<uint8_t>& triples,
                             const std::vector<uint8_t>& pixels);

} // namespace zell::test
