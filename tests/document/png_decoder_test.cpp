#include "document/png_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "image/dib.h"
#include "support/still_files.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::PngRecipe;

DibHeader decodeChecked(const std::vector<uint8_t>& file, ByteBuffer& picture)
{
    DibHeader h;
    EXPECT_TRUE(decodePng(file, picture));
    EXPECT_TRUE(checkDib(picture.bytes(), &h));
    return h;
}

// The same picture written as the palette file the grey one stands for.
PngRecipe paletteEquivalent(const PngRecipe& grey)
{
    PngRecipe p = grey;
    p.colorType = PNG_COLOR_TYPE_PALETTE;
    const unsigned entries = 1u << grey.bitDepth;
    for (unsigned i = 0; i < entries; ++i) {
        const png_byte level = png_byte(i * (255 / (entries - 1)));
        p.palette.push_back({level, level, level});
    }
    p.transparentGrey = false;
    if (grey.transparentGrey) {
        p.paletteAlpha.assign(entries, 255);
        p.paletteAlpha[grey.transparent.gray] = 0;
    }
    p.backgroundColor.index = png_byte(grey.backgroundColor.gray);
    return p;
}

// Grey palettes are built by hand with libpng's gamma and background rules;
// libpng itself reading the palette file they stand for must agree.
TEST(PngDecoder, GreyPalettesMatchTheEquivalentPaletteFile)
{
    for (int bits : {2, 4}) {
        for (double gamma : {0.0, 1.0, 0.45455, 0.8}) {
            for (bool withBackground : {false, true}) {
                PngRecipe r{.width = 1u << bits, .height = 1, .bitDepth = bits, .colorType = PNG_COLOR_TYPE_GRAY,
                            .transparentGrey = true, .background = withBackground, .gamma = gamma};
                r.transparent.gray = 1;
                r.backgroundColor.gray = png_uint_16((1u << bits) - 2);
                std::vector<png_byte> row((r.width * bits + 7) / 8, 0);
                for (uint32_t x = 0; x < r.width; ++x)
                    row[x * bits / 8] |= png_byte(x << (8 - bits - (x * bits) % 8));
                r.rows = {row};
                ByteBuffer picture, reference;
                decodeChecked(test::encodePng(r), picture);
                decodeChecked(test::encodePng(paletteEquivalent(r)), reference);
                EXPECT_TRUE(std::equal(picture.data(), picture.data() + picture.size(), reference.data(),
                                       reference.data() + reference.size()))
                    << bits << " bits, gamma " << gamma << ", bKGD " << withBackground;
            }
        }
    }
}

} // namespace
} // namespace zell
