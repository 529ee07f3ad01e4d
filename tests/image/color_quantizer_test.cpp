#include "image/color_quantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "image/random.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::DibBuilder;

using test::trueColor;

// 0xRRGGBB as a colour value (red in the low byte).
uint32_t colorValue(uint32_t rgb)
{
    return makeColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
}

// An 8-bit picture of the given 0xRRGGBB table, rows from the top.
std::vector<uint8_t> indexed(uint32_t width, uint32_t height, const std::vector<uint32_t>& rgb,
                             const std::vector<uint8_t>& pixels)
{
    std::vector<uint32_t> colors;
    for (uint32_t c : rgb)
        colors.push_back(colorValue(c));
    return test::indexedDib(width, height, colors, pixels);
}

// Entry i of the palette as 0xRRGGBB.
uint32_t entryRgb(const ColorQuantizer& q, int i)
{
    const uint8_t* e = nullptr;
    q.palette(&e);
    return (uint32_t(e[4 * i + 2]) << 16) | (uint32_t(e[4 * i + 1]) << 8) | e[4 * i];
}

// A quantizer that has gathered `pictures` and built a palette of `count`.
struct Built {
    ColorQuantizer q;
    Built(const std::vector<std::vector<uint8_t>>& pictures, int count, uint32_t background = kNoColor,
          bool reserve = false, uint32_t transparentIndex = 0xFFFF)
    {
        for (const auto& picture : pictures)
            EXPECT_TRUE(q.addImage(picture, transparentIndex));
        EXPECT_TRUE(q.buildPalette(count, background, reserve));
    }
};

TEST(ColorQuantizerGather, TrueColourLowestBitsShareOneKey)
{
    Built shared({trueColor(4, 1, {0x101010, 0x111111, 0x101110, 0x111011})}, 16);
    EXPECT_EQ(shared.q.colorCount(), 1);
    EXPECT_EQ(entryRgb(shared.q, 0), 0x101010u);
    // Palette pictures keep their full colours.
    EXPECT_EQ(Built({indexed(2, 1, {0x101010, 0x111111}, {0, 1})}, 16).q.colorCount(), 2);
}

TEST(ColorQuantizerGather, RefusesWhatItCannotRead)
{
    ColorQuantizer q;
    auto picture = trueColor(2, 2, {1, 2, 3, 4});
    EXPECT_FALSE(q.addImage({picture.data(), picture.size() - 1}));
    DibBuilder b;
    b.header = makeDibHeader(2, 1, 16);
    b.rows = {{0, 0, 0, 0}};
    EXPECT_FALSE(q.addImage(b.build())) << "16-bit";
    EXPECT_FALSE(q.buildPalette(16)) << "empty histogram, nothing reserved";
    ASSERT_TRUE(q.addImage(picture));
    ASSERT_TRUE(q.buildPalette(4));
    EXPECT_FALSE(q.addImage(picture)) << "the map now holds indices";
}

TEST(ColorQuantizerReserve, ReservedEntriesFollowTheChosenOnesWhereTheyFit)
{
    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < 300; ++i)
        many.push_back((i * 2) | ((i % 7) << 9));
    const auto agreed = indexed(3, 1, {0x000001, 0x123456, 0x000003}, {0, 1, 2});
    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> pictures;
        int count;
        uint32_t background; // 0xRRGGBB or kNoColor
        uint32_t transparentIndex;
        int colorCount, transparentEntry, paletteSize;
        uint32_t backgroundEntry;
        std::vector<std::pair<int, uint32_t>> entries; // index, 0xRRGGBB
        std::vector<uint8_t> mapped = {};               // the first picture's indices, when given
    };
    const Case cases[] = {
        // The two pictures' transparent colours disagree: the default colour.
        {"disagreeing transparent colours",
         {indexed(6, 1, {0x000001, 0x000002, 0x000003, 0x000004, 0x000005, 0xFF0000}, {0, 1, 2, 3, 4, 5}),
          indexed(6, 1, {0x000006, 0x000007, 0x000008, 0x000009, 0x00000A, 0x0000FF}, {0, 1, 2, 3, 4, 5})},
         256, kNoColor, 5, 10, 10, 11, 0, {{10, 0x008080}}},
        {"agreed transparent colour", {agreed, agreed}, 16, 0xABCDEF, 1, 2, 3, 4, 2, {{2, 0xABCDEF}, {3, 0x123456}}},
        {"many colours, transparent only", {trueColor(300, 1, many)}, 256, kNoColor, 0xFFFF, 255, 255, 256, 0, {}},
        {"many colours, both", {trueColor(300, 1, many)}, 256, 0x0000FE, 0xFFFF, 254, 255, 256, 254, {{254, 0x0000FE}}},
        // Two entries never grow: the background fits behind one colour,
        // the transparent entry does not, and three colours fill both.
        {"two entries, one colour", {trueColor(1, 1, {0x102030})}, 2, 0xFFFFFF, 0xFFFF, 1, -1, 2, 1, {{1, 0xFFFFFF}}},
        {"two entries, three colours", {trueColor(3, 1, {0x000000, 0x808080, 0xFEFEFE})}, 2, 0x00FF00, 0xFFFF, 2, -1, 2,
         0, {}},
        // Transparent everywhere: nothing gathered, and the transparent
        // entry must not overwrite the background at entry 0.
        {"empty histogram", {indexed(2, 1, {0x00FF00, 0x0000FF}, {1, 1})}, 16, 0xFF0000, 1, 0, 1, 2, 0,
         {{0, 0xFF0000}, {1, 0x0000FF}}, {1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Built built(c.pictures, c.count, c.background == kNoColor ? kNoColor : colorValue(c.background), true,
                    c.transparentIndex);
        EXPECT_EQ(built.q.colorCount(), c.colorCount);
        EXPECT_EQ(built.q.transparentEntry(), c.transparentEntry);
        EXPECT_EQ(built.q.palette(nullptr), c.paletteSize);
        EXPECT_EQ(built.q.backgroundEntry(), c.backgroundEntry);
        for (const auto& [index, rgb] : c.entries)
            EXPECT_EQ(entryRgb(built.q, index), rgb) << "entry " << index;
        // The dithered picture states the whole palette (0 would claim 256
        // entries) but uses no reserved entry save the transparent one.
        ByteBuffer out;
        ASSERT_TRUE(built.q.mapImage(c.pictures[0], out, true, c.transparentIndex));
        DibHeader h;
        ASSERT_TRUE(readDibHeader(out.bytes(), h));
        EXPECT_EQ(h.clrUsed, uint32_t(c.paletteSize));
        for (uint8_t index : test::indicesOf(out.bytes()))
            EXPECT_TRUE(index < c.colorCount || index == c.transparentEntry) << int(index);
        if (!c.mapped.empty()) {
            EXPECT_EQ(test::indicesOf(out.bytes()), c.mapped);
        }
    }
}

TEST(ColorQuantizerMap, ExactColoursSurviveAndHeaderFollowsTheSource)
{
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < 7 * 5; ++i)
        pixels.push_back(((i * 37) % 120) * 0x020202);
    const auto picture = trueColor(7, -5, pixels);
    Built built({picture}, 256);
    ByteBuffer out;
    ASSERT_TRUE(built.q.mapImage(picture, out, false));
    DibHeader h;
    ASSERT_TRUE(checkDib(out.bytes(), &h));
    EXPECT_EQ(h.height, -5);
    EXPECT_EQ(h.clrUsed, uint32_t(built.q.colorCount()));

    // The source may live in the output buffer.
    ByteBuffer buffer;
    ASSERT_TRUE(buffer.assign(picture.data(), uint32_t(picture.size())));
    ASSERT_TRUE(built.q.mapImage(buffer.bytes(), buffer, false));
    EXPECT_TRUE(std::ranges::equal(buffer.bytes(), out.bytes()));
}

// Over a smooth gradient and a few flat areas: the palette holds at most
// the entries asked for, each pixel maps to the entry nearest it, and more
// entries never make the picture worse.
TEST(ColorQuantizerMap, EveryPixelTakesItsNearestEntryAndMoreEntriesHelp)
{
    std::vector<uint32_t> gradient, areas;
    for (uint32_t i = 0; i < 48 * 32; ++i) {
        gradient.push_back((i % 48 * 4) << 16 | (i / 48 * 8) << 8 | (i % 7 * 30)); // even: no shared keys
        areas.push_back(i % 48 < 16 ? 0xE01020u : i / 48 < 16 ? 0x10C040u : 0x2030F0u);
    }
    for (const auto* pixels : {&gradient, &areas}) {
        double previous = 1e300;
        for (int count : {2, 8, 64, 256}) {
            SCOPED_TRACE(count);
            const auto picture = trueColor(48, -32, *pixels);
            Built built({picture}, count);
            ASSERT_LE(built.q.colorCount(), count);
            ByteBuffer out;
            ASSERT_TRUE(built.q.mapImage(picture, out, false));
            const auto indices = test::indicesOf(out.bytes());
            double error = 0;
            for (size_t i = 0; i < pixels->size(); ++i) {
                const uint32_t want = (*pixels)[i], got = entryRgb(built.q, indices[i]);
                ASSERT_EQ(indices[i], built.q.nearestIndex(colorValue(want))) << i;
                for (int shift = 0; shift < 24; shift += 8)
                    error += std::abs(int(want >> shift & 0xFF) - int(got >> shift & 0xFF));
            }
            EXPECT_LE(error, previous);
            previous = error;
        }
        if (pixels == &areas) {
            EXPECT_EQ(previous, 0) << "three colours fit exactly";
        }
    }
}

TEST(ColorQuantizerMap, TransparentIndexAloneTakesTheTransparentEntry)
{
    // Index 3 has the same colour as index 0: only the index makes it transparent.
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 40; ++i)
        pixels.push_back(uint8_t((i * 7) % 5));
    const auto picture = indexed(8, 5, {0x102030, 0x405060, 0x708090, 0x102030, 0xA0B0C0}, pixels);
    for (bool dither : {false, true}) {
        Random random(7);
        ColorQuantizer q(&random);
        ASSERT_TRUE(q.addImage(picture, 3));
        ASSERT_TRUE(q.buildPalette(256, kNoColor, true));
        ASSERT_EQ(q.transparentEntry(), 4);
        ByteBuffer out;
        ASSERT_TRUE(q.mapImage(picture, out, dither, 3));
        const auto indices = test::indicesOf(out.bytes());
        for (size_t i = 0; i < pixels.size(); ++i)
            EXPECT_EQ(indices[i] == 4, pixels[i] == 3) << "pixel " << i << " dither " << dither;
    }
}

TEST(ColorQuantizerDither, FlatGreyMixesBlackAndWhite)
{
    const auto grey = trueColor(64, 64, std::vector<uint32_t>(64 * 64, 0x808080));
    for (bool dither : {false, true}) {
        Random random(12345);
        ColorQuantizer q(&random);
        ASSERT_TRUE(q.addImage(trueColor(2, 1, {0x000000, 0xFEFEFE})));
        ASSERT_TRUE(q.buildPalette(2));
        ByteBuffer out;
        ASSERT_TRUE(q.mapImage(grey, out, dither));
        int counts[2] = {0, 0};
        for (uint8_t i : test::indicesOf(out.bytes()))
            ++counts[i];
        if (dither)
            EXPECT_NEAR(double(counts[1]) / (64 * 64), 128.0 / 254.0, 0.03);
        else
            EXPECT_TRUE(counts[0] == 0 || counts[1] == 0) << "without dithering one entry only";
    }
}

} // namespace
} // namespace zell
