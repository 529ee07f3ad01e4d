#include "image/color_quantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(ColorQuantizerGather, FewColoursComeSortedByCountThenZeroEntries)
{
    const uint32_t a = 0x200000, b = 0x002000, c = 0x000020, d = 0x404040, e = 0x808080;
    // Counts over two pictures: a 1, b 5, c 3, d 9, e 2; 5 colours into 16 entries.
    Built built({trueColor(5, 2, {a, b, b, b, c, d, d, d, d, e}), trueColor(4, 2, {b, b, c, c, d, d, d, e})}, 16);
    EXPECT_EQ(built.q.colorCount(), 5);
    const uint8_t* entries = nullptr;
    EXPECT_EQ(built.q.palette(&entries), 5);
    const uint32_t expected[] = {d, b, c, e, a};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(entryRgb(built.q, i), expected[i]) << i;
        EXPECT_EQ(built.q.nearestIndex(colorValue(expected[i])), i);
    }
    for (int i = 5 * 4; i < 16 * 4; ++i)
        EXPECT_EQ(entries[i], 0) << "byte " << i;
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

TEST(ColorQuantizerMedianCut, SplitsWidestChannelAtTheMedianPixel)
{
    // 11 pixels: black 6, red 100 2, then 1 each of (200, 0), (200, 60),
    // (200, 62). Red spans most: black alone reaches half of 11. The other 5
    // pixels split on red again at half of 5 = 2: {100} and the three 200s.
    Built built({trueColor(10, 1, {0, 0, 0, 0, 0, 0, 0x640000, 0x640000, 0xC80000, 0xC83C00}),
                 trueColor(1, 1, {0xC83E00})},
                3);
    EXPECT_EQ(built.q.colorCount(), 3);
    EXPECT_EQ(entryRgb(built.q, 0), 0x000000u);
    EXPECT_EQ(entryRgb(built.q, 1), 0xC82800u) << "green (0 + 60 + 62) / 3 = 40";
    EXPECT_EQ(entryRgb(built.q, 2), 0x640000u);

    // Ties prefer red, then green.
    Built redGreen({trueColor(4, 1, {0x000000, 0x640000, 0x006400, 0x646400})}, 2);
    EXPECT_EQ(entryRgb(redGreen.q, 0), 0x003200u);
    EXPECT_EQ(entryRgb(redGreen.q, 1), 0x643200u);
    Built greenBlue({trueColor(4, 1, {0x000000, 0x006400, 0x000064, 0x006464})}, 2);
    EXPECT_EQ(entryRgb(greenBlue.q, 0), 0x000032u);
    EXPECT_EQ(entryRgb(greenBlue.q, 1), 0x006432u);
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
    const auto indices = test::indicesOf(out.bytes());
    for (size_t i = 0; i < pixels.size(); ++i)
        EXPECT_EQ(entryRgb(built.q, indices[i]), pixels[i]) << i;

    // The source may live in the output buffer.
    ByteBuffer buffer;
    ASSERT_TRUE(buffer.assign(picture.data(), uint32_t(picture.size())));
    ASSERT_TRUE(built.q.mapImage(buffer.bytes(), buffer, false));
    EXPECT_TRUE(std::ranges::equal(buffer.bytes(), out.bytes()));
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

TEST(ColorQuantizerMap, NearestIndexTakesFirstOfEqualDistances)
{
    Built built({trueColor(3, 1, {0x040000, 0x040000, 0x000000})}, 16, colorValue(0x020000));
    EXPECT_EQ(built.q.nearestIndex(colorValue(0x020000)), 0) << "equal distance; background never chosen";
    EXPECT_EQ(built.q.nearestIndex(colorValue(0x010000)), 1);
    EXPECT_EQ(built.q.nearestIndex(colorValue(0xFFFFFF)), 0);
    // Only reserved entries: still a palette, whose index is used as it comes.
    Built empty({indexed(1, 1, {0x00FF00}, {0})}, 16, colorValue(0xFF0000), true, 0);
    EXPECT_EQ(empty.q.nearestIndex(colorValue(0xFF0000)), 0);
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
