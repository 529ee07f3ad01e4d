#include "image/palette_mapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "image/dib.h"
#include "support/indexed_dib.h"

namespace zell {
namespace {

ColorTable tableOf(const std::vector<uint32_t>& rgb)
{
    ColorTable t;
    t.count = uint16_t(rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i)
        t.setColor(uint32_t(i), makeColor(uint8_t(rgb[i] >> 16), uint8_t(rgb[i] >> 8), uint8_t(rgb[i])));
    return t;
}

TEST(PaletteMapper, ColoursOfTheTableMapExactlyWhateverTheDithering)
{
    const ColorTable table = tableOf({0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0xFFFFFF});
    const std::vector<uint8_t> want = {1, 2, 3, 4, 5, 0, 4, 4, 2, 1, 0, 5};
    std::vector<uint8_t> rgb;
    for (uint8_t i : want)
        rgb.insert(rgb.end(), {table.entries[3u * i], table.entries[3u * i + 1], table.entries[3u * i + 2]});
    for (DitherMethod d : {DitherMethod::none, DitherMethod::diffusion, DitherMethod::ordered}) {
        SCOPED_TRACE(int(d));
        PaletteMapper mapper(table);
        ByteBuffer out;
        ASSERT_TRUE(mapper.map(rgb, 4, 3, d, out));
        EXPECT_EQ(dibColorCount(out.bytes()), 6u);
        // Ordered dithering may move a pixel to a neighbour only where the
        // table has one within its spread; these entries are far apart.
        EXPECT_EQ(test::indicesOf(out.bytes()), want);
    }
}

TEST(PaletteMapper, DitheringKeepsTheMeanOfAFlatGrey)
{
    const ColorTable table = tableOf({0x000000, 0xFFFFFF});
    const uint32_t w = 32, h = 32;
    const std::vector<uint8_t> rgb(size_t(w) * h * 3, 64);
    for (DitherMethod d : {DitherMethod::diffusion, DitherMethod::ordered}) {
        PaletteMapper mapper(table);
        ByteBuffer out;
        ASSERT_TRUE(mapper.map(rgb, w, h, d, out));
        const std::vector<uint8_t> ix = test::indicesOf(out.bytes());
        double mean = 0;
        for (uint8_t i : ix)
            mean += i ? 255 : 0;
        mean /= double(ix.size());
        EXPECT_NEAR(mean, 64, d == DitherMethod::diffusion ? 4 : 20) << int(d);
    }
    PaletteMapper plain(table);
    ByteBuffer out;
    ASSERT_TRUE(plain.map(rgb, w, h, DitherMethod::none, out));
    for (uint8_t i : test::indicesOf(out.bytes()))
        ASSERT_EQ(i, 0);
}

// Frame after frame, noise that only flips between neighbouring entries
// keeps the pixels as they were, while a real change still shows.
TEST(PaletteMapper, SteadyPixelsKeepTheirEntryAcrossPictures)
{
    std::vector<uint32_t> greys;
    for (uint32_t v = 0; v < 256; v += 8)
        greys.push_back(v * 0x010101);
    const uint32_t w = 16, h = 8;
    std::vector<uint8_t> first(size_t(w) * h * 3), second;
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = uint8_t(4 + 8 * ((i / 3) % 24)); // half-way between two entries
    second = first;
    for (size_t i = 0; i < second.size(); i += 3)
        for (size_t c = 0; c < 3; ++c)
            second[i + c] = uint8_t(second[i + c] + ((i / 3) % 2 ? 1 : -1));
    second[0] = second[1] = second[2] = 255;
    for (DitherMethod d : {DitherMethod::none, DitherMethod::diffusion}) {
        SCOPED_TRACE(int(d));
        for (int tolerance : {0, 200}) {
            PaletteMapper mapper(tableOf(greys));
            mapper.keepSteady(tolerance);
            ByteBuffer a, b;
            ASSERT_TRUE(mapper.map(first, w, h, d, a));
            ASSERT_TRUE(mapper.map(second, w, h, d, b));
            const std::vector<uint8_t> before = test::indicesOf(a.bytes()), after = test::indicesOf(b.bytes());
            size_t changed = 0;
            for (size_t i = 1; i < before.size(); ++i)
                changed += before[i] != after[i] ? 1 : 0;
            EXPECT_EQ(after[0], 31); // white, far from what was there
            if (tolerance > 0)
                EXPECT_LE(changed, 2u) << "the white pixel's error may spill";
            else
                EXPECT_GT(changed, before.size() / 4);
        }
    }
}

// A stale entry within the tolerance must not stand in for a colour the
// table holds exactly.
TEST(PaletteMapper, AColourTheTableHoldsTakesItsOwnEntry)
{
    PaletteMapper mapper(tableOf({0x000000, 0x080808, 0xFFFFFF}));
    mapper.keepSteady(200);
    ByteBuffer a, b;
    ASSERT_TRUE(mapper.map(std::vector<uint8_t>(3, 3), 1, 1, DitherMethod::none, a));
    ASSERT_TRUE(mapper.map(std::vector<uint8_t>(3, 8), 1, 1, DitherMethod::none, b));
    EXPECT_EQ(test::indicesOf(a.bytes())[0], 0);
    EXPECT_EQ(test::indicesOf(b.bytes())[0], 1);
}

TEST(PaletteMapper, NearestTiesGoToTheLowestIndexAndShortInputFails)
{
    PaletteMapper mapper(tableOf({0x0A0A0A, 0x141414, 0x0A0A0A}));
    EXPECT_EQ(mapper.nearest(15, 15, 15), 0); // as near to 10 as to 20
    EXPECT_EQ(mapper.nearest(11, 10, 10), 0);
    EXPECT_EQ(mapper.nearest(200, 200, 200), 1);
    ByteBuffer out;
    EXPECT_FALSE(mapper.map(std::vector<uint8_t>(11), 2, 2, DitherMethod::none, out));
    EXPECT_TRUE(out.empty());
}

// A large cloud of noise around dark grey, a ramp of 64 greys and a few
// pixels of pure red: the red, 0.03 % of the pixels, gets an entry of its
// own, and the ramp keeps more than a third of the entries.
TEST(SplitColorTable, ARareFarColourGetsItsOwnEntry)
{
    std::vector<uint8_t> rgb;
    uint32_t seed = 1;
    for (int i = 0; i < 60000; ++i) {
        seed = seed * 1103515245u + 12345u;
        for (int c = 0; c < 3; ++c)
            rgb.push_back(uint8_t(40 + ((seed >> (8 + 4 * c)) & 7)));
    }
    for (int level = 0; level < 64; ++level)
        for (int i = 0; i < 50; ++i)
            rgb.insert(rgb.end(), 3, uint8_t(64 + 3 * level));
    for (int i = 0; i < 20; ++i)
        rgb.insert(rgb.end(), {255, 0, 0});
    const ColorTable table = splitColorTable(rgb, 32);
    ASSERT_EQ(table.count, 32);
    int onRamp = 0;
    bool red = false;
    for (uint32_t i = 0; i < table.count; ++i) {
        const uint8_t* e = &table.entries[3 * i];
        red = red || (e[0] == 255 && e[1] == 0 && e[2] == 0);
        onRamp += *std::min_element(e, e + 3) >= 60 ? 1 : 0;
    }
    EXPECT_TRUE(red);
    EXPECT_GE(onRamp, 12);
    // Fewer colours than entries: each keeps its own, the last fills up.
    const ColorTable few = splitColorTable(std::vector<uint8_t>{1, 2, 3, 9, 9, 9, 1, 2, 3, 200, 0, 7}, 8);
    ASSERT_EQ(few.count, 8);
    EXPECT_EQ(std::set<uint32_t>({few.color(0), few.color(1), few.color(2)}),
              std::set<uint32_t>({makeColor(1, 2, 3), makeColor(9, 9, 9), makeColor(200, 0, 7)}));
    for (uint32_t i = 3; i < 8; ++i)
        EXPECT_EQ(few.color(i), few.color(2));
}

} // namespace
} // namespace zell
