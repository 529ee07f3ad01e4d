#include "document/png_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;
    bool transparentGrey = false;
    png_color_16 transparent{};
    bool background = false;
    png_color_16 backgroundColor{};
    double gamma = 0; // 0: no gAMA chunk
    uint32_t pixelsPerMetre = 0;
    std::vector<std::vector<png_byte>> rows; // packed as the file stores them
};

void appendBytes(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

std::vector<uint8_t> encodePng(const PngRecipe& r)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, noFlush);
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

TEST(PngDecoder, ColourIsStoredBlueGreenRedBottomUpWithDensity)
{
    PngRecipe r;
    r.width = 2;
    r.height = 2;
    r.pixelsPerMetre = 2835;
    r.rows = {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 10, 20, 30}};
    ByteBuffer picture;
    const DibHeader h = decodeChecked(encodePng(r), picture);
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_GT(h.height, 0);
    EXPECT_EQ(h.xPelsPerMeter, 2835);
    EXPECT_EQ(h.yPelsPerMeter, 2835);
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0xFF0000u);
    EXPECT_EQ(test::pixelRgb(picture.data(), 1, 0), 0x00FF00u);
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 1), 0x0000FFu);
    EXPECT_EQ(test::pixelRgb(picture.data(), 1, 1), 0x0A141Eu);
}

TEST(PngDecoder, AlphaIsCompositedOnWhiteOrTheFileBackground)
{
    PngRecipe r;
    r.width = 3;
    r.height = 1;
    r.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    r.rows = {{10, 20, 30, 0, 10, 20, 30, 255, 0, 0, 0, 128}};
    ByteBuffer picture;
    decodeChecked(encodePng(r), picture);
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0xFFFFFFu) << "transparent shows white";
    EXPECT_EQ(test::pixelRgb(picture.data(), 1, 0), 0x0A141Eu);
    const uint32_t half = test::pixelRgb(picture.data(), 2, 0);
    EXPECT_NEAR(int(half & 0xFF), 127, 1) << "black at half alpha over white";

    r.background = true;
    r.backgroundColor.red = 0;
    r.backgroundColor.green = 0;
    r.backgroundColor.blue = 200;
    decodeChecked(encodePng(r), picture);
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0x0000C8u);
}

TEST(PngDecoder, TwoBitPaletteIsWidenedToFourBits)
{
    PngRecipe r;
    r.width = 5;
    r.height = 1;
    r.bitDepth = 2;
    r.colorType = PNG_COLOR_TYPE_PALETTE;
    r.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    r.rows = {{0b00011000, 0b01000000}}; // 0 1 2 0 1
    for (bool interlaced : {false, true}) {
        r.interlaced = interlaced;
        ByteBuffer picture;
        const DibHeader h = decodeChecked(encodePng(r), picture);
        EXPECT_EQ(h.bitCount, 4);
        EXPECT_EQ(dibColorCount(h), 16u);
        EXPECT_EQ(tableEntry(picture, 2), 0x0000FFu);
        EXPECT_EQ(tableEntry(picture, 3), 0u) << "beyond the file's palette";
        const uint8_t* row = picture.data() + dibBitsOffset(h);
        EXPECT_EQ(row[0], 0x01);
        EXPECT_EQ(row[1], 0x20);
        EXPECT_EQ(row[2], 0x10) << interlaced;
    }
}

TEST(PngDecoder, TwoBitGreyWithTransparentGreyBecomesAPalettePicture)
{
    PngRecipe r;
    r.width = 4;
    r.height = 1;
    r.bitDepth = 2;
    r.colorType = PNG_COLOR_TYPE_GRAY;
    r.transparentGrey = true;
    r.transparent.gray = 1;
    r.rows = {{0b00011011}}; // 0 1 2 3
    ByteBuffer picture;
    const DibHeader h = decodeChecked(encodePng(r), picture);
    EXPECT_EQ(h.bitCount, 4);
    EXPECT_EQ(dibColorCount(h), 16u);
    EXPECT_EQ(tableEntry(picture, 0), 0x000000u);
    EXPECT_EQ(tableEntry(picture, 1), 0xFFFFFFu) << "the transparent grey shows the white background";
    EXPECT_EQ(tableEntry(picture, 2), 0xAAAAAAu);
    EXPECT_EQ(tableEntry(picture, 3), 0xFFFFFFu);
    EXPECT_EQ(tableEntry(picture, 4), 0u);
    const uint8_t* row = picture.data() + dibBitsOffset(h);
    EXPECT_EQ(row[0], 0x01);
    EXPECT_EQ(row[1], 0x23);
}

// libpng's own reading of a file, expanded to 8-bit RGB with the gamma rule
// and composited over white. (A low-depth grey bKGD is left out: libpng 1.6
// does not scale it to 8 bits when it expands the samples.)
std::vector<uint32_t> libpngColours(const std::vector<uint8_t>& file)
{
    struct Reader {
        const std::vector<uint8_t>* file;
        size_t at = 0;
    } reader{&file};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &reader, [](png_structp p, png_bytep out, size_t n) {
        auto* r = static_cast<Reader*>(png_get_io_ptr(p));
        std::memcpy(out, r->file->data() + r->at, n);
        r->at += n;
    });
    png_read_info(png, info);
    double gamma = 0;
    if (png_get_gAMA(png, info, &gamma))
        png_set_gamma(png, 2.2, gamma);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    png_color_16 white{};
    white.red = white.green = white.blue = white.gray = 255;
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_read_update_info(png, info);
    const uint32_t width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    std::vector<uint8_t> rgb(3 * size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        png_read_row(png, rgb.data() + 3 * y * width, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::vector<uint32_t> out;
    for (size_t i = 0; i < rgb.size(); i += 3)
        out.push_back((uint32_t(rgb[i]) << 16) | (uint32_t(rgb[i + 1]) << 8) | rgb[i + 2]);
    return out;
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

TEST(PngDecoder, GreyPalettesMatchLibpngOnTheEquivalentPaletteFile)
{
    for (int bits : {2, 4}) {
        for (double gamma : {0.0, 1.0, 0.45455, 0.8}) {
            for (bool withBackground : {false, true}) {
                PngRecipe r;
                r.width = 1u << bits;
                r.height = 1;
                r.bitDepth = bits;
                r.colorType = PNG_COLOR_TYPE_GRAY;
                r.gamma = gamma;
                r.transparentGrey = true;
                r.transparent.gray = 1;
                r.background = withBackground;
                r.backgroundColor.gray = png_uint_16((1u << bits) - 2);
                std::vector<png_byte> row((r.width * bits + 7) / 8, 0);
                for (uint32_t x = 0; x < r.width; ++x)
                    row[x * bits / 8] |= png_byte(x << (8 - bits - (x * bits) % 8));
                r.rows = {row};
                const auto file = encodePng(r);
                ByteBuffer picture, reference, rgb;
                decodeChecked(file, picture);
                decodeChecked(encodePng(paletteEquivalent(r)), reference);
                ASSERT_EQ(std::vector<uint8_t>(picture.data(), picture.data() + picture.size()),
                          std::vector<uint8_t>(reference.data(), reference.data() + reference.size()))
                    << bits << " bits, gamma " << gamma << ", bKGD " << withBackground;
                if (withBackground)
                    continue;
                ASSERT_TRUE(convertToTrueColor(picture.bytes(), rgb));
                const std::vector<uint32_t> want = libpngColours(file);
                for (uint32_t x = 0; x < r.width; ++x)
                    EXPECT_EQ(test::pixelRgb(rgb.data(), x, 0), want[x]) << bits << " bits, gamma " << gamma << ", x " << x;
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
