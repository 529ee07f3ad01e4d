#include "document/png_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include <png.h>

#include "image/dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

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
    uint32_t pixelsPerMetre = 0;
    std::vector<std::vector<png_byte>> rows{}; // packed as the file stores them
};

std::vector<uint8_t> encodePng(const PngRecipe& r)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, r.width, r.height, r.bitDepth, r.colorType,
                 r.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!r.palette.empty())
        png_set_PLTE(png, info, r.palette.data(), int(r.palette.size()));
    if (!r.paletteAlpha.empty())
        png_set_tRNS(png, info, r.paletteAlpha.data(), int(r.paletteAlpha.size()), nullptr);
    if (r.transparentGrey)
        png_set_tRNS(png, info, nullptr, 0, &r.transparent);
    if (r.background)
        png_set_bKGD(png, info, &r.backgroundColor);
    if (r.gamma > 0)
        png_set_gAMA(png, info, r.gamma);
    if (r.pixelsPerMetre)
        png_set_pHYs(png, info, r.pixelsPerMetre, r.pixelsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (const auto& row : r.rows)
            png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

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

TEST(PngDecoder, AlphaIsCompositedOnWhiteOrTheFileBackgroundBottomUpWithDensity)
{
    PngRecipe r{.width = 3, .height = 2, .colorType = PNG_COLOR_TYPE_RGB_ALPHA, .pixelsPerMetre = 2835};
    r.rows = {{10, 20, 30, 0, 10, 20, 30, 255, 0, 0, 0, 128}, std::vector<png_byte>(12, 255)};
    ByteBuffer picture;
    DibHeader h = decodeChecked(encodePng(r), picture);
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_GT(h.height, 0);
    EXPECT_EQ(h.xPelsPerMeter, 2835);
    EXPECT_EQ(h.yPelsPerMeter, 2835);
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0xFFFFFFu) << "transparent shows white";
    EXPECT_EQ(test::pixelRgb(picture.data(), 1, 0), 0x0A141Eu);
    EXPECT_NEAR(int(test::pixelRgb(picture.data(), 2, 0) & 0xFF), 127, 1) << "black at half alpha over white";

    r.background = true;
    r.backgroundColor.blue = 200;
    decodeChecked(encodePng(r), picture);
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0x0000C8u);
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
        uint16_t bits = 4;
    };
    PngRecipe interlaced = palette, eight = palette;
    interlaced.interlaced = true;
    eight.bitDepth = 8;
    eight.rows = {{0, 1, 2, 0, 1}};
    const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF};
    // The transparent grey shows the white background.
    for (const Case& c : {Case{palette, colours, {0x01, 0x20, 0x10}}, Case{interlaced, colours, {0x01, 0x20, 0x10}},
                          Case{grey, {0x000000, 0xFFFFFF, 0xAAAAAA, 0xFFFFFF}, {0x01, 0x23}},
                          Case{eight, colours, {0, 1, 2, 0, 1}, 8}}) {
        ByteBuffer picture;
        const DibHeader h = decodeChecked(encodePng(c.recipe), picture);
        EXPECT_EQ(h.bitCount, c.bits);
        ASSERT_EQ(dibColorCount(h), 1u << c.bits);
        for (uint32_t i = 0; i < 1u << c.bits; ++i)
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
                decodeChecked(encodePng(r), picture);
                decodeChecked(encodePng(paletteEquivalent(r)), reference);
                EXPECT_TRUE(std::equal(picture.data(), picture.data() + picture.size(), reference.data(),
                                       reference.data() + reference.size()))
                    << bits << " bits, gamma " << gamma << ", bKGD " << withBackground;
            }
        }
    }
}

TEST(PngDecoder, DamagedFilesFailAndLeaveThePictureAlone)
{
    PngRecipe r;
    r.width = 8;
    r.height = 8;
    r.rows.assign(8, std::vector<png_byte>(24, 0x5A));
    const auto file = encodePng(r);
    ByteBuffer picture;
    ASSERT_TRUE(picture.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    for (size_t n = 0; n < file.size(); ++n) {
        ASSERT_FALSE(decodePng(std::span(file).first(n), picture)) << n;
        ASSERT_EQ(picture.size(), 4u);
    }
    std::vector<uint8_t> corrupt = file;
    corrupt[corrupt.size() / 2] ^= 0xFF;
    EXPECT_FALSE(decodePng(corrupt, picture)) << "CRC error in the image data";
    EXPECT_EQ(std::memcmp(picture.data(), "keep", 4), 0);
}

} // namespace
} // namespace zell
