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

TEST_F(FrameDifference, IdenticalFrameBecomesOnePixelAtItsPosition)
{
    setUp(20, 20, colors[5], 4, 3, std::vector<uint8_t>(12, 5));
    Diff d = optimize(7, 8, kNoIndex, true);
    EXPECT_FALSE(d.changed);
    EXPECT_EQ(std::make_tuple(d.left, d.top, d.width, d.height), std::make_tuple(7, 8, 1u, 1u));

    setUp(20, 20, colors[5], 4, 3, std::vector<uint8_t>(12, 5));
    d = optimize(7, 8, kNoIndex, false);
    EXPECT_TRUE(d.changed) << "without cropping a frame always counts as changed";
    EXPECT_EQ(std::make_tuple(d.width, d.height, d.colorCount), std::make_tuple(4u, 3u, uint16_t(16)));
    EXPECT_EQ(decoded().first, std::vector<uint8_t>(12, 5));
}

TEST_F(FrameDifference, CropShrinksTheTableToWhatTheChangeNeeds)
{
    // A 3-colour change in a 3x2 block at (4, 5) of an 8x8 frame with a transparent index.
    std::vector<uint8_t> indices(64, 0);
    const uint8_t block[6] = {1, 2, 3, 3, 2, 15};
    for (int k = 0; k < 6; ++k)
        indices[size_t((5 + k / 3) * 8 + 4 + k % 3)] = block[k];
    setUp(10, 10, colors[0], 8, 8, indices);
    Diff d = optimize(1, 1, 15, true);
    EXPECT_TRUE(d.changed);
    EXPECT_EQ(std::make_tuple(d.left, d.top, d.width, d.height), std::make_tuple(5, 6, 3u, 2u));
    EXPECT_EQ(d.colorCount, 4) << "3 colours + transparent = 4 <= 16/2";
    EXPECT_EQ(d.transparentIndex, 3);
    auto [pixels, tableSize] = decoded();
    EXPECT_EQ(tableSize, 4u);
    EXPECT_EQ(pixels[5], 3) << "the transparent pixel maps to the reserved entry";
    EXPECT_NE(pixels[0], 3);

    // Six colours need 7 entries: a table of 8.
    std::vector<uint8_t> six(64, 0);
    for (int k = 0; k < 6; ++k)
        six[size_t(k)] = uint8_t(k + 1);
    six[6] = 15;
    setUp(10, 10, colors[0], 8, 8, six);
    d = optimize(0, 0, 15, true);
    EXPECT_EQ(d.colorCount, 8);
    EXPECT_EQ(d.transparentIndex, 6);
}

TEST_F(FrameDifference, TwoColourFramesAndKeptColoursAreNeverReduced)
{
    const std::vector<uint32_t> two = {makeColor(0, 0, 0), makeColor(255, 255, 255)};
    std::vector<uint8_t> dot(16, 0);
    dot[5] = 1;
    setUp(4, 4, two[0], 4, 4, dot, two);
    Diff d = optimize(0, 0, kNoIndex, true);
    EXPECT_EQ(d.colorCount, 2);
    EXPECT_EQ(d.width, 1u);

    setUp(4, 4, colors[0], 2, 2, {9, 9, 9, 0});
    EXPECT_EQ(optimize(0, 0, kNoIndex, true, false, true).colorCount, 16)
        << "keep-colours keeps the global-table frame's table";
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

TEST_F(FrameDifference, OneColourChangeStillKeepsItsTransparentEntry)
{
    // 1 colour + transparency needs 2 entries; the reduced table must still
    // have a transparent entry or see-through pixels would turn opaque.
    setUp(4, 1, colors[0], 4, 1, {15, 3, 3, 15});
    Diff d = optimize(0, 0, 15, true);
    EXPECT_EQ(d.width, 2u);
    ASSERT_NE(d.transparentIndex, kNoIndex);
    EXPECT_LT(d.transparentIndex, d.colorCount);
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

TEST_F(FrameDifference, FrameWhollyOffTheScreenBecomesOnePixelWhereItWas)
{
    for (const auto& [left, top] : {std::pair<int64_t, int64_t>{30, 2}, {2, 30}, {65535, 65535}}) {
        setUp(10, 10, colors[0], 8, 6, std::vector<uint8_t>(48, 3));
        Diff d = optimize(left, top, kNoIndex, true);
        EXPECT_FALSE(d.changed);
        EXPECT_EQ(d.left, left);
        EXPECT_EQ(d.top, top);
        EXPECT_EQ(d.width * d.height, 1u);
    }
}

TEST_F(FrameDifference, RefusesWrongDepths)
{
    Diff d;
    EXPECT_FALSE(r.optimizeFrame(out, d, true, false, false));
    ASSERT_TRUE(createSolidImage(r.displayCanvas, 2, 2, 0));
    ASSERT_TRUE(createSolidImage(r.image, 2, 2, 0));
    EXPECT_FALSE(r.optimizeFrame(out, d, true, false, false)) << "24-bit frame";
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
