#include "image/gif_codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image/bytes.h"
#include "image/color_table.h"
#include "image/lzw_codec.h"
#include "image/random.h"
#include "support/gif_oracle.h"
#include "support/indexed_dib.h"
#include "support/md5.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::indexedDib;
using test::indicesOf;
using test::tableOf;
using test::trueColorDib;

std::vector<uint8_t> bytesOf(const ByteBuffer& buffer)
{
    return {buffer.bytes().begin(), buffer.bytes().end()};
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& dib, int bits, bool interlace = false,
                            uint32_t background = kNoColor, uint32_t transparent = kNoColor)
{
    ByteBuffer out;
    EXPECT_TRUE(encodeGifImage(dib, out, bits, interlace, background, transparent));
    return bytesOf(out);
}

// The data sub-blocks of the (only) image of one of our streams.
struct ImageData {
    std::vector<uint8_t> blockLengths;
    std::vector<uint8_t> codes;
};

ImageData imageData(const std::vector<uint8_t>& stream, int bits)
{
    ImageData data;
    size_t pos = 13 + 3 * (size_t(1) << bits) + 8 + 10 + 1;
    while (pos < stream.size() && stream[pos] != 0) {
        data.blockLengths.push_back(stream[pos]);
        data.codes.insert(data.codes.end(), stream.begin() + pos + 1, stream.begin() + pos + 1 + stream[pos]);
        pos += 1 + stream[pos];
    }
    return data;
}

// A GIF stream assembled from a short recipe.
struct GifRecipe {
    std::vector<uint8_t> bytes;

    GifRecipe& raw(std::initializer_list<uint8_t> b)
    {
        bytes.insert(bytes.end(), b);
        return *this;
    }
    GifRecipe& table(const std::vector<uint32_t>& colors)
    {
        for (uint32_t c : colors)
            raw({colorRed(c), colorGreen(c), colorBlue(c)});
        return *this;
    }
    // The global table must hold a power of two (>= 2) entries, or none.
    GifRecipe& header(uint16_t w, uint16_t h, const std::vector<uint32_t>& global = {}, uint8_t background = 0)
    {
        raw({'G', 'I', 'F', '8', '9', 'a', uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8)});
        const int bits = global.empty() ? 0 : colorTableBits(uint32_t(global.size()));
        raw({uint8_t(global.empty() ? 0 : 0x80 | (bits - 1)), background, 0});
        return table(global);
    }
    GifRecipe& control(uint8_t packed, uint8_t transparentIndex)
    {
        return raw({0x21, 0xF9, 4, packed, 0, 0, transparentIndex, 0});
    }
    GifRecipe& image(uint16_t w, uint16_t h, const std::vector<uint8_t>& streamRows,
                     const std::vector<uint32_t>& local = {}, bool interlace = false)
    {
        uint8_t packed = interlace ? 0x40 : 0;
        if (!local.empty())
            packed |= uint8_t(0x80 | (colorTableBits(uint32_t(local.size())) - 1));
        raw({0x2C, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), packed});
        table(local);
        std::vector<uint8_t> codes;
        LzwCodec().compress(streamRows, 8, codes);
        raw({8});
        for (size_t done = 0; done < codes.size(); done += 255) {
            const size_t n = std::min<size_t>(255, codes.size() - done);
            bytes.push_back(uint8_t(n));
            bytes.insert(bytes.end(), codes.begin() + done, codes.begin() + done + n);
        }
        return raw({0});
    }
    GifRecipe& trailer() { return raw({0x3B}); }
};

const std::vector<uint32_t> kFourColors{0x0000FF, 0x00FF00, 0xFF0000, 0x808080};

// ---------------------------------------------------------------- writing

TEST(GifEncode, TwoColourPictureIsByteExact)
{
    // 1-bit picture: black, white. Minimum code size 2; codes 0, 1, end 5
    // of 3 bits each: 0 | 1 << 3 | 5 << 6 = 0x148.
    const std::vector<uint8_t> dib = indexedDib(2, 1, {0x000000, 0xFFFFFF}, {0, 1}, 1);
    const std::vector<uint8_t> expected{
        'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,
        0, 0, 0, 0xFF, 0xFF, 0xFF,
        0x21, 0xF9, 4, 0, 0, 0, 0, 0,
        0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,
        2, 2, 0x48, 0x01, 0, 0x3B};
    EXPECT_EQ(encode(dib, 1), expected);
}

TEST(GifEncode, InterlacedTenRowsGoOutInPassOrder)
{
    std::vector<uint8_t> rows{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<uint32_t> colors(16, 0);
    const std::vector<uint8_t> stream = encode(indexedDib(1, 10, colors, rows), 4, true);
    EXPECT_EQ(stream[13 + 48 + 8 + 9], 0x40);
    std::vector<uint8_t> order;
    ASSERT_TRUE(LzwCodec().decompress(imageData(stream, 4).codes, 4, order));
    EXPECT_EQ(order, (std::vector<uint8_t>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));

    ByteBuffer back;
    ASSERT_TRUE(decodeGifImage(stream, back, 0, false));
    EXPECT_EQ(indicesOf(back.bytes()), rows);
}

TEST(GifEncode, SubBlocksAreFullExceptTheLast)
{
    // Pixels whose neighbouring pairs never repeat give one code each: 9 bits
    // for the first 255 codes, 10 after. Width w gives w + 1 codes.
    struct Case {
        uint32_t width;
        size_t length;
        std::vector<uint8_t> blocks;
    };
    const std::vector<Case> cases{{224, 254, {254}},
                                  {225, 255, {255}},
                                  {226, 256, {255, 1}},
                                  {432, 510, {255, 255}},
                                  {433, 511, {255, 255, 1}}};
    std::vector<uint32_t> gray(256);
    for (uint32_t i = 0; i < 256; ++i)
        gray[i] = i * 0x010101;
    for (const Case& c : cases) {
        std::vector<uint8_t> pixels(c.width);
        for (uint32_t i = 0; i < c.width; ++i)
            pixels[i] = uint8_t((i % 256) * (2 * (i / 256) + 1));
        const std::vector<uint8_t> stream = encode(indexedDib(c.width, 1, gray, pixels), 8);
        const ImageData data = imageData(stream, 8);
        EXPECT_EQ(data.codes.size(), c.length) << c.width;
        EXPECT_EQ(data.blockLengths, c.blocks) << c.width;
        EXPECT_EQ(stream.size(), 34 + 768 + c.length + c.blocks.size()) << c.width;
        EXPECT_EQ(stream[stream.size() - 2], 0);
        EXPECT_EQ(stream.back(), 0x3B);
    }
}

TEST(GifEncode, FewTrueColoursAreWrittenExactlyByPixelCount)
{
    // White must stay white, and colours one step apart must stay apart.
    const uint32_t white = 0xFFFFFF, a = 0x101010, b = 0x111111;
    const std::vector<uint32_t> pixels{a, white, white, b, white, a, white, a};
    const std::vector<uint8_t> stream = encode(trueColorDib(4, 2, pixels), 2);
    ByteBuffer back;
    ASSERT_TRUE(decodeGifImage(stream, back, 0, false));
    EXPECT_EQ(tableOf(back.bytes()), (std::vector<uint32_t>{white, a, b, 0}));
    EXPECT_EQ(indicesOf(back.bytes()), (std::vector<uint8_t>{1, 0, 0, 2, 0, 1, 0, 1}));
}

TEST(GifEncode, TooManyColoursGoThroughTheQuantizer)
{
    // Five true colours for a 4-entry table: median cut, every index valid.
    const std::vector<uint32_t> pixels{0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
    const std::vector<uint8_t> stream = encode(trueColorDib(4, 2, pixels), 2);
    ByteBuffer back;
    ASSERT_TRUE(decodeGifImage(stream, back, 0, false));
    EXPECT_EQ(tableOf(back.bytes()).size(), 4u);
    for (uint8_t index : indicesOf(back.bytes()))
        EXPECT_LT(index, 4);

    // An 8-bit picture whose 16-entry table uses three colours keeps them
    // exactly, most used first.
    std::vector<uint32_t> colors(16, 0x123456);
    colors[3] = 0xFFFFFF;
    colors[7] = 0x010101;
    colors[9] = 0x808080;
    const std::vector<uint8_t> fewUsed = encode(indexedDib(3, 2, colors, {7, 3, 3, 9, 3, 7}), 2);
    ASSERT_TRUE(decodeGifImage(fewUsed, back, 0, false));
    EXPECT_EQ(tableOf(back.bytes()), (std::vector<uint32_t>{0xFFFFFF, 0x010101, 0x808080, 0}));
    EXPECT_EQ(indicesOf(back.bytes()), (std::vector<uint8_t>{1, 0, 0, 2, 0, 1}));
}

TEST(GifEncode, TopDownAndBottomUpPicturesGiveTheSameStream)
{
    const std::vector<uint8_t> indices{0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};
    EXPECT_EQ(encode(indexedDib(4, 3, kFourColors, indices, 8, true), 2),
              encode(indexedDib(4, 3, kFourColors, indices, 8, false), 2));
}

TEST(GifEncode, LowDepthPicturesTakeTheirIndicesAndATableOfZerosBeyond)
{
    Random random(11);
    for (uint16_t depth : {1, 2, 4}) {
        const uint32_t w = 13, h = 5;
        std::vector<uint8_t> indices(w * h);
        for (auto& v : indices)
            v = uint8_t(random.next() % (1 << depth));
        std::vector<uint32_t> colors;
        for (uint32_t i = 0; i < (1u << depth); ++i)
            colors.push_back(0x102030 * (i + 1) & 0xFFFFFF);
        const std::vector<uint8_t> stream = encode(indexedDib(w, h, colors, indices, depth), 8);
        ByteBuffer back;
        ASSERT_TRUE(decodeGifImage(stream, back, 0, false));
        EXPECT_EQ(indicesOf(back.bytes()), indices) << depth;
        std::vector<uint32_t> table = colors;
        table.resize(256, 0);
        EXPECT_EQ(tableOf(back.bytes()), table) << depth;
    }
}

TEST(GifEncode, BackgroundAndTransparentColoursFindTheirEntries)
{
    // Three colours in a 4-entry table: entry 3 is black. An exact match
    // wins, otherwise the first nearest entry.
    const std::vector<uint8_t> dib = indexedDib(2, 2, {0x0000FF, 0x00FF00, 0xFF0000}, {0, 1, 2, 0});
    const std::vector<uint8_t> stream = encode(dib, 2, false, 0x000000, 0x0000F0);
    EXPECT_EQ(stream[11], 3);                  // black
    EXPECT_EQ(stream[13 + 12 + 3], 1);         // transparent flag
    EXPECT_EQ(stream[13 + 12 + 6], 0);         // nearest to red is red
    const std::vector<uint8_t> none = encode(dib, 2);
    EXPECT_EQ(none[11], 0);
    EXPECT_EQ(none[13 + 12 + 3], 0);
}

TEST(GifEncode, RefusesWhatItCannotWriteAndLeavesTheOutput)
{
    const std::vector<uint8_t> dib = indexedDib(2, 1, {0, 0xFFFFFF}, {0, 1});
    ByteBuffer out;
    ASSERT_TRUE(out.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    EXPECT_FALSE(encodeGifImage(dib, out, 0, false));
    EXPECT_FALSE(encodeGifImage(dib, out, 9, false));
    EXPECT_FALSE(encodeGifImage({}, out, 8, false));
    EXPECT_FALSE(encodeGifImage(std::span(dib).first(30), out, 8, false));
    // 65536 pixels wide cannot be stated in the descriptor.
    EXPECT_FALSE(encodeGifImage(indexedDib(65536, 1, {0, 0}, std::vector<uint8_t>(65536, 0)), out, 1, false));
    EXPECT_EQ(bytesOf(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

// ---------------------------------------------------------------- reading

TEST(GifDecode, FindsTheSignaturePastJunkButNotPastAZeroByte)
{
    const std::vector<uint8_t> junk{'x', 'G', 'I', 'F', '8', '8', 'a', 'G', 'I', 'F', '8', '7', 'a', 1, 2};
    std::span<const uint8_t> span(junk);
    ASSERT_TRUE(findGifSignature(span));
    EXPECT_EQ(span.data(), junk.data() + 7);
    EXPECT_EQ(span.size(), 8u);

    const std::vector<uint8_t> afterZero{'x', 0, 'G', 'I', 'F', '8', '9', 'a'};
    std::span<const uint8_t> zero(afterZero);
    EXPECT_FALSE(findGifSignature(zero));
    EXPECT_EQ(zero.data(), afterZero.data());
    const std::vector<uint8_t> tooShort{'G', 'I', 'F', '8', '9'};
    std::span<const uint8_t> shortSpan(tooShort);
    EXPECT_FALSE(findGifSignature(shortSpan));
}

TEST(GifDecode, ReadsTheWantedImageWithItsOwnTable)
{
    const std::vector<uint32_t> local{0x111111, 0x222222};
    GifRecipe gif;
    gif.header(3, 2, kFourColors).image(3, 2, {0, 1, 2, 3, 2, 1}).image(2, 1, {1, 0}, local).trailer();
    ByteBuffer first;
    ByteBuffer second;
    ASSERT_TRUE(decodeGifImage(gif.bytes, first, 0, false));
    ASSERT_TRUE(decodeGifImage(gif.bytes, second, 1, false));
    EXPECT_EQ(indicesOf(first.bytes()), (std::vector<uint8_t>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(tableOf(first.bytes()), kFourColors);
    EXPECT_EQ(indicesOf(second.bytes()), (std::vector<uint8_t>{1, 0}));
    EXPECT_EQ(tableOf(second.bytes()), local);
    DibHeader h;
    ASSERT_TRUE(checkDib(second.bytes(), &h));
    EXPECT_EQ(h.height, 1); // bottom-up
    EXPECT_EQ(h.clrUsed, 2u);
}

TEST(GifDecode, TransparentEntryTakesTheBackgroundColour)
{
    // Background index 2 of the global table; transparent index 1.
    GifRecipe withGlobal;
    withGlobal.header(2, 1, kFourColors, 2).control(1, 1).image(2, 1, {0, 1}).trailer();
    ByteBuffer dib;
    ASSERT_TRUE(decodeGifImage(withGlobal.bytes, dib, 0, true));
    EXPECT_EQ(tableOf(dib.bytes()), (std::vector<uint32_t>{0x0000FF, 0xFF0000, 0xFF0000, 0x808080}));
    ASSERT_TRUE(decodeGifImage(withGlobal.bytes, dib, 0, false));
    EXPECT_EQ(tableOf(dib.bytes()), kFourColors);

    // No global table: white.
    GifRecipe localOnly;
    localOnly.header(2, 1).control(1, 1).image(2, 1, {0, 1}, kFourColors).trailer();
    ASSERT_TRUE(decodeGifImage(localOnly.bytes, dib, 0, true));
    EXPECT_EQ(tableOf(dib.bytes()), (std::vector<uint32_t>{0x0000FF, 0xFFFFFF, 0xFF0000, 0x808080}));
}

TEST(GifDecode, OnlyControlBlocksBeforeTheWantedImageCount)
{
    // Image 1's control comes after image 0; a later control with the flag
    // overrides an earlier one, one without the flag leaves it.
    GifRecipe gif;
    gif.header(1, 1, kFourColors)
        .control(1, 0)
        .image(1, 1, {0})
        .control(1, 3)
        .control(0, 2)
        .raw({0x21, 0xFE, 2, 'h', 'i', 0}) // a comment in between
        .image(1, 1, {0})
        .trailer();
    ByteBuffer dib;
    ASSERT_TRUE(decodeGifImage(gif.bytes, dib, 1, true));
    EXPECT_EQ(tableOf(dib.bytes()), (std::vector<uint32_t>{0x0000FF, 0x00FF00, 0xFF0000, 0x0000FF}));
}

TEST(GifDecode, StreamThatEndsBeforeTheWantedImageLeavesTheOutput)
{
    GifRecipe gif;
    gif.header(1, 1, kFourColors).image(1, 1, {0}).image(1, 1, {1}).trailer();
    ByteBuffer out;
    ASSERT_TRUE(out.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    EXPECT_TRUE(decodeGifImage(gif.bytes, out, 3, false));
    EXPECT_EQ(bytesOf(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    // Without the trailer the walk runs off the end: that is a failure.
    gif.bytes.pop_back();
    EXPECT_FALSE(decodeGifImage(gif.bytes, out, 3, false));
    EXPECT_EQ(bytesOf(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

TEST(GifDecode, ShortImageDataFillsWhatItCanAndLeavesZeros)
{
    GifRecipe full;
    std::vector<uint8_t> pixels(40);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(1 + i % 3);
    full.header(8, 5, kFourColors).image(8, 5, pixels).trailer();
    // Keep 6 code bytes (9-bit codes: five whole codes and 3 bits) and say
    // the sub-block is longer than what remains. The five codes are 1, 2, 3,
    // "1 2", "3 1": seven pixels.
    const size_t dataStart = 13 + 12 + 10 + 1;
    std::vector<uint8_t> cut(full.bytes.begin(), full.bytes.begin() + dataStart + 1 + 6);
    ByteBuffer dib;
    ASSERT_TRUE(decodeGifImage(cut, dib, 0, false));
    const std::vector<uint8_t> got = indicesOf(dib.bytes());
    ASSERT_EQ(got.size(), 40u);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 7), std::vector<uint8_t>(pixels.begin(), pixels.begin() + 7));
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + 7, got.end()), std::vector<uint8_t>(33, 0));
}

TEST(GifDecode, RefusesBrokenStreams)
{
    GifRecipe good;
    good.header(2, 1, kFourColors).image(2, 1, {0, 1}).trailer();
    ByteBuffer out;
    ASSERT_TRUE(decodeGifImage(good.bytes, out, 0, false));
    out.release();

    // Every truncation before the image data fails cleanly.
    for (size_t n = 0; n < 13 + 12 + 10 + 1; ++n)
        EXPECT_FALSE(decodeGifImage(std::span(good.bytes).first(n), out, 0, false)) << n;
    GifRecipe noTable;
    noTable.header(2, 1).image(2, 1, {0, 1}).trailer();
    EXPECT_FALSE(decodeGifImage(noTable.bytes, out, 0, false));
    GifRecipe zeroWidth;
    zeroWidth.header(2, 1, kFourColors).image(0, 1, {0}).trailer();
    EXPECT_FALSE(decodeGifImage(zeroWidth.bytes, out, 0, false));
    GifRecipe badCodeSize;
    badCodeSize.header(2, 1, kFourColors).image(2, 1, {0, 1}).trailer();
    badCodeSize.bytes[13 + 12 + 10] = 12;
    EXPECT_FALSE(decodeGifImage(badCodeSize.bytes, out, 0, false));
    EXPECT_FALSE(decodeGifImage(good.bytes, out, -1, false));
    EXPECT_TRUE(out.empty());
}

TEST(GifDecode, SkipsUnknownBytesWithTheirSubBlocks)
{
    GifRecipe gif;
    gif.header(1, 1, kFourColors).raw({0x99, 2, 0xAA, 0xBB, 0}).image(1, 1, {3}).trailer();
    ByteBuffer dib;
    ASSERT_TRUE(decodeGifImage(gif.bytes, dib, 0, false));
    EXPECT_EQ(indicesOf(dib.bytes()), (std::vector<uint8_t>{3}));
}

// ---------------------------------------------------------------- oracles

#ifdef ZELL_HAVE_GIFLIB

struct Shape {
    uint32_t width;
    uint32_t height;
};

TEST(GifOracle, GiflibReadsWhatWeWrite)
{
    Random random(5);
    const std::vector<Shape> shapes{{1, 1}, {7, 3}, {33, 17}, {4096, 2}, {5, 12}};
    for (int bits = 1; bits <= 8; ++bits) {
        for (bool interlace : {false, true}) {
            for (const Shape& s : shapes) {
                std::vector<uint32_t> colors(size_t(1) << bits);
                for (auto& c : colors)
                    c = uint32_t(random.next()) << 9 ^ uint32_t(random.next());
                for (auto& c : colors)
                    c &= 0xFFFFFF;
                std::vector<uint8_t> indices(size_t(s.width) * s.height);
                for (size_t i = 0; i < indices.size(); ++i)
                    indices[i] = uint8_t((i / 7 % 3 == 0 ? random.next() : i / 50) % colors.size());
                const std::vector<uint8_t> stream = encode(indexedDib(s.width, s.height, colors, indices), bits, interlace);
                std::vector<test::GiflibImage> images;
                ASSERT_TRUE(test::giflibDecode(stream, images)) << bits << " " << s.width << "x" << s.height;
                ASSERT_EQ(images.size(), 1u);
                EXPECT_EQ(images[0].interlaced, interlace);
                EXPECT_EQ(images[0].indices, indices) << bits << " " << s.width << "x" << s.height << " " << interlace;
                EXPECT_EQ(images[0].colors, colors) << bits;
            }
        }
    }
}

TEST(GifOracle, GiflibReadsPastTheClearCode)
{
    // Enough noise that the table fills and is cleared many times.
    Random random(9);
    std::vector<uint8_t> indices(300 * 200);
    for (auto& v : indices)
        v = uint8_t(random.next());
    std::vector<uint32_t> gray(256);
    for (uint32_t i = 0; i < 256; ++i)
        gray[i] = i * 0x010101;
    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(encode(indexedDib(300, 200, gray, indices), 8), images));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].indices, indices);
}

TEST(GifOracle, WeReadWhatGiflibWrites)
{
    Random random(6);
    const std::vector<Shape> shapes{{1, 1}, {9, 4}, {64, 64}, {4096, 2}, {300, 200}};
    for (int bits = 1; bits <= 8; ++bits) {
        for (bool interlace : {false, true}) {
            for (const Shape& s : shapes) {
                std::vector<uint32_t> colors(size_t(1) << bits);
                for (size_t i = 0; i < colors.size(); ++i)
                    colors[i] = uint32_t(i * 0x030507) & 0xFFFFFF;
                std::vector<uint8_t> indices(size_t(s.width) * s.height);
                for (size_t i = 0; i < indices.size(); ++i)
                    indices[i] = uint8_t((i % 5 == 0 ? random.next() : i / 100) % colors.size());
                const std::vector<uint8_t> stream =
                    test::giflibEncode(s.width, s.height, bits, interlace, indices, colors);
                ASSERT_FALSE(stream.empty());
                ByteBuffer dib;
                ASSERT_TRUE(decodeGifImage(stream, dib, 0, false));
                EXPECT_EQ(indicesOf(dib.bytes()), indices) << bits << " " << s.width << "x" << s.height;
                EXPECT_EQ(tableOf(dib.bytes()), colors) << bits;
            }
        }
    }
}

#endif

// ---------------------------------------------------------------- corpus

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

TEST(GifCorpus, EveryImageGiflibDecodesHasTheManifestIndices)
{
    const std::filesystem::path corpus = ZELL_CORPUS_DIR;
    std::ifstream manifest(corpus / "manifest.tsv");
    if (!manifest)
        GTEST_SKIP() << "no corpus at " << corpus;
    std::string line;
    std::getline(manifest, line);
    const std::vector<std::string> columns = split(line, '\t');
    auto column = [&](const char* name) {
        return size_t(std::find(columns.begin(), columns.end(), name) - columns.begin());
    };
    const size_t pathCol = column("path"), formatCol = column("format"), md5Col = column("md5");
    const size_t decodeCol = column("decode"), imagesCol = column("gif_images"), infoCol = column("info");
    ASSERT_LT(imagesCol, columns.size());

    int checked = 0;
    std::vector<std::string> mismatches;
    while (std::getline(manifest, line)) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() <= imagesCol || f[formatCol] != "gif" || f[decodeCol].find("giflib-slurp=ok") == std::string::npos)
            continue;
        const std::vector<uint8_t> file = test::readFile(corpus / f[pathCol]);
        if (test::md5Hex(file) != f[md5Col]) {
            mismatches.push_back(f[pathCol] + ": file differs from the manifest");
            continue;
        }
        const bool globalTable = (" " + f[infoCol] + " ").find(" gct=0 ") == std::string::npos;
        const std::vector<std::string> images = split(f[imagesCol], ';');
        for (size_t i = 0; i < images.size(); ++i) {
            const std::vector<std::string> fields = split(images[i], ',');
            if (fields.size() < 15 || fields[14] == "-")
                continue;
            // An image with neither table has no colours to give its DIB:
            // refused, where giflib hands out bare indices.
            const std::string want = globalTable || fields[4] != "0" ? fields[14] : "(failed)";
            ByteBuffer dib;
            std::string got = "(failed)";
            if (decodeGifImage(file, dib, int(i), false) && !dib.empty())
                got = test::md5Hex(indicesOf(dib.bytes()));
            ++checked;
            if (got != want)
                mismatches.push_back(f[pathCol] + " image " + std::to_string(i) + ": " + got);
        }
    }
    EXPECT_GT(checked, 90);
    for (const std::string& m : mismatches)
        ADD_FAILURE() << m;
}

} // namespace
} // namespace zell
