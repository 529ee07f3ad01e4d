#include "document/still_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/gif_codec.h"
#include "image/neural_quantizer.h"
#include "image/raster_image.h"
#include "support/gif_builder.h"
#include "support/gif_oracle.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

std::vector<uint8_t> toVector(const ByteBuffer& b)
{
    return {b.data(), b.data() + b.size()};
}

// A 24-bit picture of `count` distinct colours, one per pixel in a row of 32.
std::vector<uint8_t> distinctColours(uint32_t count)
{
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < count; ++i)
        pixels.push_back(makeColor(uint8_t(i), uint8_t(i * 7), uint8_t(i >> 8)));
    const uint32_t width = 32, height = (count + 31) / 32;
    pixels.resize(size_t(width) * height, pixels.back());
    return test::trueColorDib(width, height, pixels);
}

// Global table bits of a GIF stream (0 without a table).
int globalTableBits(const ByteBuffer& gif)
{
    if (gif.size() < 13 || !(gif.data()[10] & 0x80))
        return 0;
    return (gif.data()[10] & 7) + 1;
}

// A one-image GIF with a transparent entry: red, green (transparent), blue, black.
std::vector<uint8_t> transparentGif()
{
    ByteBuffer gif;
    const auto dib = test::indexedDib(2, 1, {makeColor(255, 0, 0), makeColor(0, 255, 0), makeColor(0, 0, 255), 0}, {0, 1});
    EXPECT_TRUE(encodeGifImage(dib, gif, 2, false, kNoColor, makeColor(0, 255, 0)));
    return toVector(gif);
}

TEST(DecodeImage, DispatchesByFormatAndPassesTheTransparencyFlag)
{
    const auto gif = transparentGif();
    ByteBuffer kept, replaced;
    ASSERT_TRUE(decodeImage(gif, kept, false));
    ASSERT_TRUE(decodeImage(gif, replaced, true));
    EXPECT_EQ(test::tableOf(kept.bytes())[1], makeColor(0, 255, 0));
    EXPECT_NE(test::tableOf(replaced.bytes())[1], makeColor(0, 255, 0)) << "transparent entry replaced";

    const auto dib = test::indexedDib(3, 2, {0, 0xFFFFFF}, {0, 1, 0, 1, 0, 1}, 1);
    const auto bmp = makeBmpFile(dib);
    std::vector<uint8_t> prefixed(128, 0); // a 128-byte header in front
    prefixed.insert(prefixed.end(), bmp.begin(), bmp.end());
    for (const auto& file : {bmp, prefixed}) {
        ByteBuffer picture;
        ASSERT_TRUE(decodeImage(file, picture, false)) << file.size();
        EXPECT_EQ(toVector(picture), dib);
    }
}

TEST(DecodeImage, RefusesShortUnknownAndImagelessDataLeavingThePicture)
{
    ByteBuffer picture;
    ASSERT_TRUE(picture.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    const auto gif = transparentGif();
    EXPECT_FALSE(decodeImage(std::span(gif).first(7), picture, false));
    const std::vector<uint8_t> text(64, 'z');
    EXPECT_FALSE(decodeImage(text, picture, false));
    test::GifBuilder empty;
    empty.screen(4, 4, test::testPalette(4)).trailer();
    EXPECT_FALSE(decodeImage(empty.bytes, picture, false)) << "a GIF without images";
    EXPECT_EQ(picture.size(), 4u);
}

#ifdef ZELL_HAVE_GIFLIB

// The stream decodes (giflib) to the picture's own colours, pixel for pixel.
void expectSameColours(const ByteBuffer& gif, std::span<const uint8_t> picture)
{
    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(gif.bytes(), images));
    ASSERT_EQ(images.size(), 1u);
    ByteBuffer rgb;
    ASSERT_TRUE(convertToTrueColor(picture, rgb));
    const test::GiflibImage& image = images[0];
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t rgbValue = test::pixelRgb(rgb.data(), x, y);
            const uint32_t want = makeColor(uint8_t(rgbValue >> 16), uint8_t(rgbValue >> 8), uint8_t(rgbValue));
            ASSERT_EQ(image.colors[image.indices[size_t(y) * image.width + x]], want) << x << "," << y;
        }
    }
}

TEST(ConvertToGif, UpTo256ColoursKeepTheFewestBitsAndMoreGoThroughNeuQuant)
{
    for (const auto& [colours, bits] : {std::pair{2u, 1}, {3u, 2}, {5u, 3}, {256u, 8}, {257u, 8}}) {
        const auto dib = distinctColours(colours);
        ByteBuffer gif, reduced, expected;
        ASSERT_TRUE(convertToGif(dib, gif, true)) << colours;
        EXPECT_EQ(globalTableBits(gif), bits) << colours;
        if (colours <= 256) {
            expectSameColours(gif, dib);
            continue;
        }
        NeuralQuantizer quantizer;
        ASSERT_TRUE(quantizer.reduce(dib, reduced));
        ASSERT_TRUE(encodeGifImage(reduced.bytes(), expected, 8, false));
        EXPECT_EQ(toVector(gif), toVector(expected));
    }
}

TEST(ConvertToGif, PalettePicturesKeepTheirTableSizeAndTopDownStaysUpright)
{
    for (const uint16_t bitCount : {1, 2, 4, 8}) {
        const auto dib = test::indexedDib(4, 2, {0x0000FF, 0x00FF00, 0xFF0000}, {0, 1, 0, 1, 1, 0, 1, 0}, bitCount);
        ByteBuffer gif;
        ASSERT_TRUE(convertToGif(makeBmpFile(dib), gif, false)) << bitCount;
        EXPECT_EQ(globalTableBits(gif), bitCount) << "an 8-bit picture keeps 8 bits with 2 colours used";
        expectSameColours(gif, dib);
    }
    const auto topDown = test::indexedDib(2, 2, {0x000000, 0xFFFFFF}, {1, 0, 0, 0}, 8, true);
    ByteBuffer gif;
    ASSERT_TRUE(convertToGif(makeBmpFile(topDown), gif, false));
    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(gif.bytes(), images));
    EXPECT_EQ(images[0].colors[images[0].indices[0]], 0xFFFFFFu) << "top left is white";
    EXPECT_EQ(images[0].colors[images[0].indices[3]], 0u);
}

#endif

TEST(ConvertToGif, GifFilesAreCopiedFromTheirSignature)
{
    std::vector<uint8_t> file = {'j', 'u', 'n', 'k'};
    const auto gif = transparentGif();
    file.insert(file.end(), gif.begin(), gif.end());
    ByteBuffer out;
    ASSERT_TRUE(convertToGif(file, out, false));
    EXPECT_EQ(toVector(out), gif);
}

TEST(ConvertToGif, SixteenAndThirtyTwoBitPicturesAreRefused)
{
    for (uint16_t bits : {16, 32}) {
        test::DibBuilder b;
        b.header = makeDibHeader(2, 1, bits);
        b.rows = {std::vector<uint8_t>(2 * bits / 8, 0x42)};
        const auto dib = b.build();
        ByteBuffer picture;
        ASSERT_TRUE(decodeImage(makeBmpFile(dib), picture, false)) << "the file itself decodes";
        ByteBuffer out;
        ASSERT_TRUE(out.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
        EXPECT_FALSE(convertToGif(makeBmpFile(dib), out, false)) << bits;
        EXPECT_FALSE(convertToGif(dib, out, true)) << bits;
        EXPECT_EQ(out.size(), 4u);
    }
}

TEST(RasterImageLoadFile, GivesTrueColourAndDropsTheOldMask)
{
    test::ScratchDir dir;
    RasterImage picture;
    const auto gif = transparentGif();
    ASSERT_TRUE(picture.setDib(test::indexedDib(2, 1, {0, 0xFFFFFF}, {0, 1})));
    ASSERT_TRUE(picture.buildMask(1));
    test::writeFile(dir.path() / "a.gif", gif);
    ASSERT_TRUE(picture.loadFile((dir.path() / "a.gif").string()));
    DibHeader h;
    ASSERT_TRUE(checkDib(picture.image.bytes(), &h));
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_EQ(test::pixelRgb(picture.image.data(), 0, 0), 0xFF0000u);
    EXPECT_NE(test::pixelRgb(picture.image.data(), 1, 0), 0x00FF00u) << "transparent pixel replaced";
    EXPECT_TRUE(picture.mask.empty());

    test::writeFile(dir.path() / "bad.png", std::vector<uint8_t>(100, 0x89));
    EXPECT_FALSE(picture.loadFile((dir.path() / "bad.png").string()));
    EXPECT_TRUE(picture.image.empty());
    EXPECT_FALSE(picture.loadFile((dir.path() / "missing.bmp").string()));
}

} // namespace
} // namespace zell
