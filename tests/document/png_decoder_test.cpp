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

uint32_t tableEntry(const ByteBuffer& picture, uint32_t i)
{
    const uint8_t* q = picture.data() + kDibHeaderSize + 4 * i;
    return (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
}

// 2-bit palettes and greys become 4-bit palette pictures, so that every
// palette picture has a depth the rest of the program draws.
TEST(PngDecoder, PalettesKeepTheirColoursAndTwoBitOnesBecomeFourBit)
{
    PngRecipe palette{.width = 5, .height = 1, .bitDepth = 2, .colorType = PNG_COLOR_TYPE_PALETTE};
    palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    palette.rows = {{0b00011000, 0b01000000}}; // 0 1 2 0 1
    PngRecipe grey{.width = 4, .height = 1, .bitDepth = 2, .colorType = PNG_COLOR_TYPE_GRAY, .transparentGrey = true};
    grey.transparent.gray = 1;
    grey.rows = {{0b00011011}}; // 0 1 2 3
    struct Case {
        PngRecipe recipe;
        std::vector<uint32_t> table; // then zeros
        std::vector<uint8_t> row;
    };
    PngRecipe interlaced = palette;
    interlaced.interlaced = true;
    const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF};
    // The transparent grey shows the white background.
    for (const Case& c : {Case{palette, colours, {0x01, 0x20, 0x10}}, Case{interlaced, colours, {0x01, 0x20, 0x10}},
                          Case{grey, {0x000000, 0xFFFFFF, 0xAAAAAA, 0xFFFFFF}, {0x01, 0x23}}}) {
        ByteBuffer picture;
        const DibHeader h = decodeChecked(test::encodePng(c.recipe), picture);
        EXPECT_EQ(h.bitCount, 4);
        ASSERT_EQ(dibColorCount(h), 16u);
        for (uint32_t i = 0; i < 16; ++i)
            EXPECT_EQ(tableEntry(picture, i), i < c.table.size() ? c.table[i] : 0u) << i;
        EXPECT_TRUE(std::equal(c.row.begin(), c.row.end(), picture.data() + dibBitsOffset(h))) << c.recipe.interlaced;
    }
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

TEST(PngDecoder, ACrcErrorInTheImageDataIsDamage)
{
    PngRecipe r{.width = 8, .height = 8};
    r.rows.assign(8, std::vector<png_byte>(24, 0x5A));
    std::vector<uint8_t> file = test::encodePng(r);
    file[file.size() / 2] ^= 0xFF;
    ByteBuffer picture;
    EXPECT_FALSE(decodePng(file, picture) || !picture.empty());
}

} // namespace
} // namespace zell
