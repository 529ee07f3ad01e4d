#include "image/gif_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "image/bytes.h"
#include "image/color_table.h"
#include "image/lzw_codec.h"
#include "image/random.h"
#include "support/gif_builder.h"
#include "support/gif_oracle.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::indexedDib;
using test::indicesOf;
using test::tableOf;

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

// Colour values as the RGB triples of a GIF table.
std::vector<uint8_t> rgb(const std::vector<uint32_t>& colors)
{
    std::vector<uint8_t> out;
    for (uint32_t c : colors)
        out.insert(out.end(), {colorRed(c), colorGreen(c), colorBlue(c)});
    return out;
}

std::vector<uint8_t> lzw(const std::vector<uint8_t>& indices)
{
    std::vector<uint8_t> codes;
    LzwCodec().compress(indices, 8, codes);
    return codes;
}

const std::vector<uint32_t> kFourColors{0x0000FF, 0x00FF00, 0xFF0000, 0x808080};
const std::vector<uint8_t> kFourRgb = rgb(kFourColors);

// ---------------------------------------------------------------- writing

TEST(GifEncode, TwoColourPictureIsByteExact)
{
    // 1-bit picture: black, white. Minimum code size 2; codes 0, 1, end 5
    // of 3 bits each: 0 | 1 << 3 | 5 << 6 = 0x148.
    const std::vector<uint8_t> expected{
        'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0,
        0, 0, 0, 0xFF, 0xFF, 0xFF,
        0x21, 0xF9, 4, 0, 0, 0, 0, 0,
        0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0,
        2, 2, 0x48, 0x01, 0, 0x3B};
    EXPECT_EQ(encode(indexedDib(2, 1, {0x000000, 0xFFFFFF}, {0, 1}, 1), 1), expected);
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

// The second image's own table wins over the global one.
TEST(GifDecode, ReadsTheWantedImageWithItsOwnTable)
{
    const std::vector<uint32_t> local{0x111111, 0x222222};
    test::GifBuilder gif;
    gif.screen(2, 1, kFourRgb).image(0, 0, 2, 1, 0, {}, 8, lzw({0, 1}));
    gif.image(0, 0, 2, 1, 0x80, rgb(local), 8, lzw({1, 0})).trailer();
    ByteBuffer dib;
    ASSERT_TRUE(decodeGifImage(gif.bytes, dib, 1, false));
    EXPECT_EQ(indicesOf(dib.bytes()), (std::vector<uint8_t>{1, 0}));
    EXPECT_EQ(tableOf(dib.bytes()), local);
}

TEST(GifDecode, TransparentEntryTakesTheBackgroundColour)
{
    // The global table's background entry (2); without a global table, white.
    // Index 0 is an index like any other.
    const struct {
        bool global;
        uint8_t transparent;
        std::vector<uint32_t> table;
    } cases[] = {
        {true, 1, {0x0000FF, 0xFF0000, 0xFF0000, 0x808080}},
        {true, 0, {0xFF0000, 0x00FF00, 0xFF0000, 0x808080}},
        {false, 1, {0x0000FF, 0xFFFFFF, 0xFF0000, 0x808080}},
    };
    for (const auto& c : cases) {
        test::GifBuilder gif;
        gif.screen(2, 1, c.global ? kFourRgb : std::vector<uint8_t>{}, 2).control(1, 0, c.transparent);
        gif.image(0, 0, 2, 1, c.global ? 0 : 0x81, c.global ? std::vector<uint8_t>{} : kFourRgb, 8, lzw({0, 1})).trailer();
        ByteBuffer dib;
        ASSERT_TRUE(decodeGifImage(gif.bytes, dib, 0, true));
        EXPECT_EQ(tableOf(dib.bytes()), c.table);
        ASSERT_TRUE(decodeGifImage(gif.bytes, dib, 0, false));
        EXPECT_EQ(tableOf(dib.bytes()), kFourColors) << "only when asked";
    }
}

TEST(GifDecode, OnlyControlBlocksBeforeTheWantedImageCount)
{
    // Image 1's control comes after image 0; a later control with the flag
    // overrides an earlier one, one without the flag leaves it. A comment and
    // an unknown block with its sub-blocks are skipped.
    test::GifBuilder gif;
    gif.screen(1, 1, kFourRgb).control(1, 0, 0).image(0, 0, 1, 1, 0, {}, 8, lzw({0}));
    gif.control(1, 0, 3).control(0, 0, 2).comment({"hi"}).raw({0x99, 2, 0xAA, 0xBB, 0});
    gif.image(0, 0, 1, 1, 0, {}, 8, lzw({3})).trailer();
    ByteBuffer dib;
    ASSERT_TRUE(decodeGifImage(gif.bytes, dib, 1, true));
    EXPECT_EQ(tableOf(dib.bytes()), (std::vector<uint32_t>{0x0000FF, 0x00FF00, 0xFF0000, 0x0000FF}));
    EXPECT_EQ(indicesOf(dib.bytes()), (std::vector<uint8_t>{3}));
}

TEST(GifDecode, RefusesBrokenStreamsAndLeavesTheOutputWithoutTheWantedImage)
{
    test::GifBuilder good;
    good.screen(2, 1, kFourRgb).image(0, 0, 2, 1, 0, {}, 8, lzw({0, 1})).image(0, 0, 2, 1, 0, {}, 8, lzw({1, 0}));
    good.trailer();
    ByteBuffer out;
    ASSERT_TRUE(out.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    // No image 3: success with nothing read, also when the trailer is
    // missing; a cut inside an earlier image is damage.
    EXPECT_TRUE(decodeGifImage(good.bytes, out, 3, false));
    EXPECT_TRUE(decodeGifImage(std::span(good.bytes).first(good.bytes.size() - 1), out, 3, false));
    EXPECT_FALSE(decodeGifImage(std::span(good.bytes).first(good.bytes.size() - 3), out, 3, false));
    EXPECT_FALSE(decodeGifImage(good.bytes, out, -1, false));
    test::GifBuilder noTable, zeroWidth, badCodeSize = good;
    noTable.screen(2, 1).image(0, 0, 2, 1, 0, {}, 8, lzw({0, 1})).trailer();
    zeroWidth.screen(2, 1, kFourRgb).image(0, 0, 0, 1, 0, {}, 8, lzw({0})).trailer();
    badCodeSize.bytes[13 + 12 + 10] = 12;
    for (const test::GifBuilder* bad : {&noTable, &zeroWidth, &badCodeSize})
        EXPECT_FALSE(decodeGifImage(bad->bytes, out, 0, false));
    EXPECT_EQ(bytesOf(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

// The stream that stands for the most pixels per byte: one colour, every
// code the string just made (each one pixel longer, up to 4091 at 12 bits),
// then the longest string again and again with the table kept full.
std::vector<uint8_t> longestStringsStream(uint32_t repeats)
{
    std::vector<uint8_t> out;
    uint32_t accumulator = 0, bits = 0;
    auto put = [&](uint32_t code, uint32_t size) {
        accumulator |= code << bits;
        for (bits += size; bits >= 8; bits -= 8, accumulator >>= 8)
            out.push_back(uint8_t(accumulator));
    };
    uint32_t size = 3;
    put(0, size);
    for (uint32_t code = 6; code < kMaxLzwCodes; ++code) {
        if (code >= (1u << size)) // the decoder's table reaches the size limit
            ++size;
        put(code, size);
    }
    for (uint32_t i = 0; i < repeats; ++i)
        put(kMaxLzwCodes - 1, 12);
    put(5, 12);
    if (bits > 0)
        out.push_back(uint8_t(accumulator));
    return out;
}

TEST(GifDecode, PixelsClaimedAreBoundedByTheDataThatMustHoldThem)
{
    // 1 + 2 + ... + 4091 pixels, then 4091 for each repeat: 4091 wide.
    const uint32_t repeats = 3000;
    const std::vector<uint8_t> codes = longestStringsStream(repeats);
    std::vector<uint8_t> pixels;
    LzwCodec codec;
    ASSERT_TRUE(codec.decompress(codes, 2, pixels));
    const uint64_t height = 2046 + repeats;
    ASSERT_EQ(pixels.size(), 4091 * height);
    EXPECT_LE(pixels.size(), maxLzwPixels(codes.size()));
    EXPECT_GT(pixels.size(), maxLzwPixels(codes.size()) * 2 / 3); // the bound is near what a stream can do

    // The densest picture a stream can hold still decodes; the same data
    // claiming a row more than it could ever fill, beyond the megapixel
    // every picture may have, is damage.
    auto decodes = [&](uint16_t width, uint16_t rows, const std::vector<uint8_t>& data) {
        test::GifBuilder gif;
        gif.screen(1, 1, kFourRgb).image(0, 0, width, rows, 0, {}, 2, data).trailer();
        ByteBuffer dib;
        return decodeGifImage(gif.bytes, dib, 0, false) && !dib.empty();
    };
    EXPECT_TRUE(decodes(4091, uint16_t(height), codes));
    const uint64_t tooMany = maxLzwPixels(codes.size()) / 4091 + 1;
    EXPECT_FALSE(decodes(4091, uint16_t(tooMany), codes));

    // One pixel of data: a megapixel decodes (zeros after it), 8192 x 8192 not.
    std::vector<uint8_t> onePixel;
    ASSERT_TRUE(LzwCodec().compress(std::vector<uint8_t>{1}, 2, onePixel));
    EXPECT_TRUE(decodes(1024, 1024, onePixel));
    EXPECT_FALSE(decodes(8192, 8192, onePixel));
    EXPECT_FALSE(decodes(1025, 1024, onePixel));
}

// What a screen shows of a picture reaching out of it is its top-left part:
// decoding only that part gives exactly those pixels, interlaced or not,
// with data that run short too.
TEST(GifDecode, KeptPartIsTheTopLeftOfTheWholePicture)
{
    const uint32_t w = 13, h = 11;
    std::vector<uint8_t> pixels(w * h);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t((i * 7 + i / w) % 4);
    for (bool interlaced : {false, true}) {
        ByteBuffer stream;
        ASSERT_TRUE(encodeGifImage(indexedDib(w, h, kFourColors, pixels), stream, 2, interlaced));
        const std::vector<uint8_t> full = bytesOf(stream);
        for (size_t cut : {full.size(), full.size() - 12}) {
            const std::span<const uint8_t> data = std::span(full).first(cut);
            ByteBuffer whole;
            ASSERT_TRUE(decodeGifImage(data, whole, 0, false));
            const std::vector<uint8_t> all = indicesOf(whole.bytes());
            for (auto [kw, kh] : {std::pair<uint32_t, uint32_t>{5, 3}, {13, 2}, {1, 11}, {0, 0}, {20, 20}}) {
                ByteBuffer part;
                ASSERT_TRUE(decodeGifImage(data, part, 0, false, kw, kh));
                const uint32_t pw = std::clamp<uint32_t>(kw, 1, w), ph = std::clamp<uint32_t>(kh, 1, h);
                std::vector<uint8_t> want;
                for (uint32_t y = 0; y < ph; ++y)
                    want.insert(want.end(), all.begin() + y * w, all.begin() + y * w + pw);
                EXPECT_EQ(indicesOf(part.bytes()), want) << interlaced << " " << cut << " " << kw << "x" << kh;
                EXPECT_EQ(tableOf(part.bytes()), tableOf(whole.bytes()));
            }
        }
    }
}

// ---------------------------------------------------------------- oracles

#ifdef ZELL_HAVE_GIFLIB

// Every depth, interlaced or not, odd sizes, 1x1, 4096 wide, and a 300x200
// picture noisy enough that the code table is cleared many times.
template <typename Check>
void forEachOracleCase(uint64_t seed, Check check)
{
    Random random(seed);
    const std::pair<uint32_t, uint32_t> shapes[] = {{1, 1}, {7, 3}, {33, 17}, {4096, 2}, {5, 12}, {300, 200}};
    for (int bits = 1; bits <= 8; ++bits) {
        std::vector<uint32_t> colors(size_t(1) << bits);
        for (auto& c : colors)
            c = (uint32_t(random.next()) << 9 ^ uint32_t(random.next())) & 0xFFFFFF;
        for (bool interlace : {false, true}) {
            for (const auto& [w, h] : shapes) {
                std::vector<uint8_t> indices(size_t(w) * h);
                for (size_t i = 0; i < indices.size(); ++i)
                    indices[i] = uint8_t((i / 7 % 3 == 0 || w == 300 ? random.next() : i / 50) % colors.size());
                SCOPED_TRACE(testing::Message() << bits << " bits " << w << "x" << h << " interlace " << interlace);
                check(w, h, bits, interlace, colors, indices);
            }
        }
    }
}

TEST(GifOracle, GiflibReadsWhatWeWriteAndWeReadWhatGiflibWrites)
{
    forEachOracleCase(5, [](uint32_t w, uint32_t h, int bits, bool interlace, const std::vector<uint32_t>& colors,
                            const std::vector<uint8_t>& indices) {
        // The picture in the smallest depth that holds it, odd heights top-down.
        const uint16_t depth = bits == 1 ? 1 : bits == 2 ? 2 : bits <= 4 ? 4 : 8;
        std::vector<test::GiflibImage> images;
        ASSERT_TRUE(test::giflibDecode(encode(indexedDib(w, h, colors, indices, depth, h % 2 == 1), bits, interlace),
                                       images));
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(std::tie(images[0].interlaced, images[0].indices, images[0].colors),
                  std::tie(interlace, indices, colors));
        ByteBuffer dib;
        ASSERT_TRUE(decodeGifImage(test::giflibEncode(w, h, bits, interlace, indices, colors), dib, 0, false));
        EXPECT_EQ(indicesOf(dib.bytes()), indices);
        EXPECT_EQ(tableOf(dib.bytes()), colors);
    });
}

#endif

} // namespace
} // namespace zell
