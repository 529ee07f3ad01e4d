#include <gtest/gtest.h>

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

    // A screen of w x h whose every pixel shows `color`.
    void screen(uint32_t w, uint32_t h, uint32_t color)
    {
        ASSERT_TRUE(createSolidImage(r.displayCanvas, w, h, color));
    }
    void frame(uint32_t w, uint32_t h, const std::vector<uint32_t>& colors, const std::vector<uint8_t>& indices)
    {
        ASSERT_TRUE(r.setDib(test::indexedDib(w, h, colors, indices)));
    }
    // Decodes the written stream: (indices, table size).
    std::pair<std::vector<uint8_t>, size_t> decode(const ByteBuffer& gif)
    {
        ByteBuffer dib;
        EXPECT_TRUE(decodeGifImage(gif.bytes(), dib, 0, false));
        return {test::indicesOf(dib.bytes()), test::tableOf(dib.bytes()).size()};
    }
};

TEST_F(FrameDifference, IdenticalFrameBecomesOnePixelAtItsPosition)
{
    const auto colors = sixteen();
    screen(20, 20, colors[5]);
    frame(4, 3, colors, std::vector<uint8_t>(12, 5));
    Diff d{7, 8, 0, 0, false, kNoIndex, 0};
    ByteBuffer out;
    ASSERT_TRUE(r.optimizeFrame(out, d, true, false, false));
    EXPECT_FALSE(d.changed);
    EXPECT_EQ(d.left, 7);
    EXPECT_EQ(d.top, 8);
    EXPECT_EQ(d.width, 1u);
    EXPECT_EQ(d.height, 1u);

    Diff whole{7, 8, 0, 0, false, kNoIndex, 0};
    frame(4, 3, colors, std::vector<uint8_t>(12, 5));
    ASSERT_TRUE(r.optimizeFrame(out, whole, false, false, false));
    EXPECT_TRUE(whole.changed) << "without cropping a frame always counts as changed";
    EXPECT_EQ(whole.width, 4u);
    EXPECT_EQ(whole.height, 3u);
    EXPECT_EQ(whole.colorCount, 16);
    EXPECT_EQ(decode(out).first, std::vector<uint8_t>(12, 5));
}

TEST_F(FrameDifference, CropShrinksTheTableToWhatTheChangeNeeds)
{
    const auto colors = sixteen();
    screen(10, 10, colors[0]);
    // A 3-colour change in a 3x2 block at (4, 5) of an 8x8 frame with a transparent index.
    std::vector<uint8_t> indices(64, 0);
    const uint8_t block[6] = {1, 2, 3, 3, 2, 15};
    for (int k = 0; k < 6; ++k)
        indices[size_t((5 + k / 3) * 8 + 4 + k % 3)] = block[k];
    frame(8, 8, colors, indices);
    Diff d{1, 1, 0, 0, false, 15, 0};
    ByteBuffer out;
    ASSERT_TRUE(r.optimizeFrame(out, d, true, false, false));
    EXPECT_TRUE(d.changed);
    EXPECT_EQ(d.left, 5);
    EXPECT_EQ(d.top, 6);
    EXPECT_EQ(d.width, 3u);
    EXPECT_EQ(d.height, 2u);
    EXPECT_EQ(d.colorCount, 4) << "3 colours + transparent = 4 <= 16/2";
    EXPECT_EQ(d.transparentIndex, 3);
    auto [pixels, tableSize] = decode(out);
    EXPECT_EQ(tableSize, 4u);
    EXPECT_EQ(pixels[5], 3) << "the transparent pixel maps to the reserved entry";
    EXPECT_NE(pixels[0], 3);

    // Six colours need 7 entries: a table of 8.
    std::vector<uint8_t> six(64, 0);
    for (int k = 0; k < 6; ++k)
        six[size_t(k)] = uint8_t(k + 1);
    six[6] = 15;
    frame(8, 8, colors, six);
    Diff e{0, 0, 0, 0, false, 15, 0};
    ASSERT_TRUE(r.optimizeFrame(out, e, true, false, false));
    EXPECT_EQ(e.colorCount, 8);
    EXPECT_EQ(e.transparentIndex, 6);
}

TEST_F(FrameDifference, TwoColourFramesAndKeptColoursAreNeverReduced)
{
    const std::vector<uint32_t> two = {makeColor(0, 0, 0), makeColor(255, 255, 255)};
    screen(4, 4, two[0]);
    frame(4, 4, two, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Diff d{0, 0, 0, 0, false, kNoIndex, 0};
    ByteBuffer out;
    ASSERT_TRUE(r.optimizeFrame(out, d, true, false, false));
    EXPECT_EQ(d.colorCount, 2);
    EXPECT_EQ(d.width, 1u);

    const auto colors = sixteen();
    screen(4, 4, colors[0]);
    frame(4, 4, colors, std::vector<uint8_t>(16, 9));
    Diff k{0, 0, 0, 0, false, kNoIndex, 0};
    frame(2, 2, colors, {9, 9, 9, 0});
    ASSERT_TRUE(r.optimizeFrame(out, k, true, false, true));
    EXPECT_EQ(k.colorCount, 16) << "keep-colours keeps the global-table frame's table";
}

TEST_F(FrameDifference, UnchangedPixelsTakeTheTransparentIndexEverywhere)
{
    const auto colors = sixteen();
    screen(6, 6, colors[2]);
    std::vector<uint8_t> indices(36, 2);
    indices[14] = 7; // one changed pixel at (2, 2)
    frame(6, 6, colors, indices);
    Diff d{0, 0, 0, 0, false, 4, 0};
    ByteBuffer out;
    ASSERT_TRUE(r.optimizeFrame(out, d, false, true, true));
    const auto after = test::indicesOf(r.image.bytes());
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i], i == 14 ? 7 : 4) << i;
    EXPECT_EQ(decode(out).first, after);
}

TEST_F(FrameDifference, OneColourChangeStillKeepsItsTransparentEntry)
{
    // 1 colour + transparency needs 2 entries; the reduced table must still
    // have a transparent entry or see-through pixels would turn opaque.
    const auto colors = sixteen();
    screen(4, 1, colors[0]);
    frame(4, 1, colors, {15, 3, 3, 15});
    Diff d{0, 0, 0, 0, false, 15, 0};
    ByteBuffer out;
    ASSERT_TRUE(r.optimizeFrame(out, d, true, false, false));
    EXPECT_EQ(d.width, 2u);
    ASSERT_NE(d.transparentIndex, kNoIndex);
    EXPECT_LT(d.transparentIndex, d.colorCount);
}

TEST_F(FrameDifference, FrameWhollyOffTheScreenBecomesOnePixelWhereItWas)
{
    const auto colors = sixteen();
    screen(10, 10, colors[0]);
    for (const auto& [left, top] : {std::pair<int64_t, int64_t>{30, 2}, {2, 30}, {65535, 65535}}) {
        frame(8, 6, colors, std::vector<uint8_t>(48, 3));
        Diff d{left, top, 0, 0, false, kNoIndex, 0};
        ByteBuffer out;
        ASSERT_TRUE(r.optimizeFrame(out, d, true, false, false));
        EXPECT_FALSE(d.changed);
        EXPECT_EQ(d.left, left);
        EXPECT_EQ(d.top, top);
        EXPECT_EQ(d.width * d.height, 1u);
    }
}

TEST_F(FrameDifference, RefusesWrongDepths)
{
    Diff d;
    ByteBuffer out;
    EXPECT_FALSE(r.optimizeFrame(out, d, true, false, false));
    screen(2, 2, 0);
    ASSERT_TRUE(createSolidImage(r.image, 2, 2, 0));
    EXPECT_FALSE(r.optimizeFrame(out, d, true, false, false)) << "24-bit frame";
}

} // namespace
} // namespace zell

namespace zell {
namespace {

TEST(FrameDifferenceBackground, PixelsOverTheBackgroundAlwaysCountAsChanged)
{
    // The screen shows the background colour everywhere, but only the left
    // half was painted by a frame; a viewer that shows the background as
    // transparent would lose the right half if it were made transparent.
    RasterImage r;
    const std::vector<uint32_t> colors = {makeColor(1, 2, 3), makeColor(9, 9, 9), 0, 0};
    ASSERT_TRUE(createSolidImage(r.displayCanvas, 4, 1, colors[0]));
    ASSERT_TRUE(r.setDib(test::indexedDib(4, 1, colors, {0, 0, 0, 0})));
    const std::vector<uint8_t> painted = {1, 1, 0, 0};
    RasterImage::FrameDifference d{0, 0, 0, 0, false, 3, 0};
    ByteBuffer out;
    ASSERT_TRUE(r.optimizeFrame(out, d, true, true, true, painted));
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
    const std::vector<uint32_t> colors = {makeColor(1, 1, 1), makeColor(2, 2, 2)};
    ASSERT_TRUE(frame.setDib(test::indexedDib(2, 2, colors, {0, 1, 1, 1})));
    ASSERT_TRUE(frame.buildMask(0));
    area.apply(frame, 1, 1, 0);
    EXPECT_EQ(std::vector<uint8_t>(area.pixels().begin(), area.pixels().end()),
              (std::vector<uint8_t>{0, 0, 1, 0, 0, 1, 1, 0})) << "transparent pixels paint nothing";
    area.apply(frame, 3, 0, 0);
    EXPECT_EQ(area.pixels()[0], 0) << "disposal 3 leaves the area as it was";
    ASSERT_TRUE(frame.buildMask(kNoIndex));
    area.apply(frame, 2, 2, 0);
    EXPECT_EQ(std::vector<uint8_t>(area.pixels().begin(), area.pixels().end()),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 1, 0, 0})) << "disposal 2 restores the background";
}

} // namespace
} // namespace zell
