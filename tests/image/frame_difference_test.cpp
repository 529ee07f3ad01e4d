#include <gtest/gtest.h>

#include <tuple>

#include "image/gif_codec.h"
#include "image/painted_area.h"
#include "image/raster_image.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

using Diff = RasterImage::FrameDifference;

// 16 distinct colours; entry i is (i*16, 255-i*16, i).
std::vector<uint32_t> sixteen()
{
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < 16; ++i)
        colors.push_back(makeColor(uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i)));
    return colors;
}

class FrameDifference : public ::testing::Test {
protected:
    RasterImage r;
    ByteBuffer out;
    const std::vector<uint32_t> colors = sixteen();

    // A screen of w x h whose every pixel shows `color`, and a frame on it.
    void setUp(uint32_t sw, uint32_t sh, uint32_t color, uint32_t w, uint32_t h, const std::vector<uint8_t>& indices,
               const std::vector<uint32_t>& table = sixteen())
    {
        ASSERT_TRUE(createSolidImage(r.displayCanvas, sw, sh, color));
        ASSERT_TRUE(r.setDib(test::indexedDib(w, h, table, indices)));
    }
    Diff optimize(int64_t left, int64_t top, uint16_t transparentIndex, bool crop, bool transparent = false,
                  bool keepColors = false, std::span<const uint8_t> painted = {})
    {
        Diff d{left, top, 0, 0, false, transparentIndex, 0};
        EXPECT_TRUE(r.optimizeFrame(out, d, crop, transparent, keepColors, painted));
        return d;
    }
    // The written stream's indices and table size.
    std::pair<std::vector<uint8_t>, size_t> decoded()
    {
        ByteBuffer dib;
        EXPECT_TRUE(decodeGifImage(out.bytes(), dib, 0, false));
        return {test::indicesOf(dib.bytes()), test::tableOf(dib.bytes()).size()};
    }
};

TEST_F(FrameDifference, CropKeepsTheChangeAndATableJustLargeEnough)
{
    // A 3-colour change in a 3x2 block at (4, 5) of an 8x8 frame; six colours
    // in its first row; a two-colour frame with one changed pixel.
    std::vector<uint8_t> block(64, 0), six(64, 0), dot(16, 0);
    const uint8_t change[6] = {1, 2, 3, 3, 2, 15};
    for (int k = 0; k < 6; ++k) {
        block[size_t((5 + k / 3) * 8 + 4 + k % 3)] = change[k];
        six[size_t(k)] = uint8_t(k + 1);
    }
    six[6] = 15;
    dot[5] = 1;
    const std::vector<uint32_t> two = {makeColor(0, 0, 0), makeColor(255, 255, 255)};
    struct Case {
        const char* what;
        uint32_t w, h;
        std::vector<uint8_t> indices;
        std::vector<uint32_t> table;
        int64_t left, top;
        uint16_t transparent;
        bool crop, keepColors;
        bool changed;
        int64_t x, y;
        uint32_t width, height;
        uint16_t colorCount, transparentAfter;
    };
    const Case cases[] = {
        {"identical", 4, 3, std::vector<uint8_t>(12, 0), colors, 7, 8, kNoIndex, true, false, false, 7, 8, 1, 1, 0, kNoIndex},
        {"identical, not cropped", 4, 3, std::vector<uint8_t>(12, 0), colors, 7, 8, kNoIndex, false, false, true, 7, 8, 4, 3,
         16, kNoIndex},
        // 3 colours + transparent = 4 <= 16 / 2; six need 7 entries: 8.
        {"block", 8, 8, block, colors, 1, 1, 15, true, false, true, 5, 6, 3, 2, 4, 3},
        {"six colours", 8, 8, six, colors, 0, 0, 15, true, false, true, 0, 0, 6, 1, 8, 6},
        // 1 colour + transparency needs 2 entries: see-through pixels must
        // stay see-through in the reduced table.
        {"one colour", 4, 1, {15, 3, 3, 15}, colors, 0, 0, 15, true, false, true, 1, 0, 2, 1, 2, 1},
        {"two colours are never reduced", 4, 4, dot, two, 0, 0, kNoIndex, true, false, true, 1, 1, 1, 1, 2, kNoIndex},
        {"kept colours", 2, 2, {9, 9, 9, 0}, colors, 0, 0, kNoIndex, true, true, true, 0, 0, 2, 2, 16, kNoIndex},
        {"off to the right", 8, 6, std::vector<uint8_t>(48, 3), colors, 30, 2, kNoIndex, true, false, false, 30, 2, 1, 1, 0,
         kNoIndex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setUp(20, 20, c.table[0], c.w, c.h, c.indices, c.table);
        const Diff d = optimize(c.left, c.top, c.transparent, c.crop, false, c.keepColors);
        EXPECT_EQ(std::make_tuple(d.changed, d.left, d.top, d.width, d.height),
                  std::make_tuple(c.changed, c.x, c.y, c.width, c.height));
        if (!c.changed)
            continue;
        EXPECT_EQ(d.colorCount, c.colorCount);
        EXPECT_EQ(d.transparentIndex, c.transparentAfter);
        // The written picture: the frame's pixels of the rectangle, in its
        // own colours where the table was reduced.
        const auto [pixels, tableSize] = decoded();
        EXPECT_EQ(tableSize, c.colorCount);
        ASSERT_EQ(pixels.size(), size_t(d.width) * d.height);
        for (size_t i = 0; i < pixels.size(); ++i) {
            const uint8_t was = c.indices[size_t(d.top - c.top + int64_t(i / d.width)) * c.w + size_t(d.left - c.left)
                                          + i % d.width];
            EXPECT_EQ(pixels[i] == d.transparentIndex, was == c.transparent) << i;
            if (c.colorCount == c.table.size()) {
                EXPECT_EQ(pixels[i], was) << i;
            }
        }
    }
}

TEST_F(FrameDifference, UnchangedPixelsTakeTheTransparentIndexEverywhere)
{
    std::vector<uint8_t> indices(36, 2);
    indices[14] = 7; // one changed pixel at (2, 2)
    setUp(6, 6, colors[2], 6, 6, indices);
    optimize(0, 0, 4, false, true, true);
    const auto after = test::indicesOf(r.image.bytes());
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i], i == 14 ? 7 : 4) << i;
    EXPECT_EQ(decoded().first, after);
}

TEST_F(FrameDifference, PixelsOverTheBackgroundAlwaysCountAsChanged)
{
    // The screen shows the background colour everywhere, but only the left
    // half was painted by a frame; a viewer that shows the background as
    // transparent would lose the right half if it were made transparent.
    const std::vector<uint32_t> table = {makeColor(1, 2, 3), makeColor(9, 9, 9), 0, 0};
    setUp(4, 1, table[0], 4, 1, {0, 0, 0, 0}, table);
    const std::vector<uint8_t> painted = {1, 1, 0, 0};
    Diff d = optimize(0, 0, 3, true, true, true, painted);
    EXPECT_TRUE(d.changed);
    EXPECT_EQ(d.left, 2);
    EXPECT_EQ(d.width, 2u);
    EXPECT_EQ(test::indicesOf(r.image.bytes()), (std::vector<uint8_t>{3, 3, 0, 0}));
}

TEST(PaintedAreaTracking, FramesPaintAndDisposalRestores)
{
    PaintedArea area;
    ASSERT_TRUE(area.reset(4, 2));
    RasterImage frame;
    ASSERT_TRUE(frame.setDib(test::indexedDib(2, 2, {makeColor(1, 1, 1), makeColor(2, 2, 2)}, {0, 1, 1, 1})));
    ASSERT_TRUE(frame.buildMask(0));
    auto pixels = [&] { return std::vector<uint8_t>(area.pixels().begin(), area.pixels().end()); };
    area.apply(frame, 1, 1, 0);
    EXPECT_EQ(pixels(), (std::vector<uint8_t>{0, 0, 1, 0, 0, 1, 1, 0})) << "transparent pixels paint nothing";
    area.apply(frame, 3, 0, 0);
    EXPECT_EQ(pixels()[0], 0) << "disposal 3 leaves the area as it was";
    ASSERT_TRUE(frame.buildMask(kNoIndex));
    area.apply(frame, 2, 2, 0);
    EXPECT_EQ(pixels(), (std::vector<uint8_t>{0, 0, 0, 0, 0, 1, 0, 0})) << "disposal 2 restores the background";
}

} // namespace
} // namespace zell
