#include "image/compose.h"

#include <gtest/gtest.h>

#include "image/raster_image.h"
#include "playback/transition_test_pictures.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::pixelRgb;

uint32_t tagOf(uint32_t x, uint32_t y, uint32_t tag) { return (x << 12) | (y << 4) | tag; }

// A 24-bit picture whose pixel (x, y) is tagOf(x, y, tag), for telling pixels apart.
std::vector<uint8_t> numbered(int32_t width, int32_t height, uint32_t tag)
{
    return test::truecolorPicture(width, std::abs(height), height < 0,
                                  [tag](uint32_t x, uint32_t y) { return tagOf(x, y, tag); });
}

std::vector<uint8_t> solid(uint32_t w, uint32_t h, uint32_t rgb)
{
    ByteBuffer b;
    EXPECT_TRUE(createSolidImage(b, w, h, makeColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb))));
    return {b.data(), b.data() + b.size()};
}

TEST(BlitImage, ClipsNegativePositionsAndEdgesAcrossRowOrders)
{
    auto dst = solid(6, 4, 0x000000);
    auto src = numbered(10, 3, 1);
    // x = -5 copies the source from column 5 to column 0.
    ASSERT_TRUE(blitImage(dst, -5, 2, 100, 100, src, 0, 0));
    for (uint32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(pixelRgb(dst, x, 2), tagOf(x + 5, 0, 1)) << x;
        EXPECT_EQ(pixelRgb(dst, x, 3), tagOf(x + 5, 1, 1)) << x;
    }
    EXPECT_EQ(pixelRgb(dst, 5, 2), 0u) << "source ran out before the destination";
    EXPECT_EQ(pixelRgb(dst, 0, 1), 0u) << "rows above y untouched";

    auto topDown = numbered(3, -3, 2);
    auto target = solid(3, 3, 0);
    ASSERT_TRUE(blitImage(target, 1, 1, 3, 3, topDown, 0, 0));
    EXPECT_EQ(pixelRgb(target, 1, 1), tagOf(0, 0, 2));
    EXPECT_EQ(pixelRgb(target, 2, 2), tagOf(1, 1, 2));
    EXPECT_EQ(pixelRgb(target, 0, 0), 0u);

    auto untouched = target;
    EXPECT_TRUE(blitImage(target, 7, 0, 3, 3, topDown, 0, 0)) << "entirely outside: nothing, still true";
    EXPECT_TRUE(blitImage(target, 0, 0, 3, 3, topDown, 5, 0));
    EXPECT_EQ(target, untouched);
}

class Compose : public ::testing::Test {
protected:
    RasterImage player;
    void loadSolid(uint32_t w, uint32_t h, uint32_t rgb) { ASSERT_TRUE(player.setDib(solid(w, h, rgb))); }
    uint32_t shown(uint32_t x, uint32_t y) { return pixelRgb(player.displayCanvas.data(), x, y); }
    uint32_t base(uint32_t x, uint32_t y) { return pixelRgb(player.baseCanvas.data(), x, y); }
};

// Disposals and frames off the screen are checked against giflib with every
// caller of the compositor; here the fill colour apart from the canvas's.
TEST_F(Compose, RestoreToBackgroundShowsFillUnderNextTransparentFrame)
{
    EXPECT_FALSE(player.composeFrame(0, 0, 0, 0)) << "no canvas";
    ASSERT_TRUE(player.createCanvas(50, 50, makeColor(0, 0, 0xFF)));
    loadSolid(20, 20, 0x00FF00);
    ASSERT_TRUE(player.composeFrame(2, 10, 10, makeColor(0xFF, 0, 0)));
    EXPECT_EQ(shown(15, 15), 0x00FF00u) << "the frame is shown";
    EXPECT_EQ(base(15, 15), 0xFF0000u) << "and then restored to the fill colour";
    EXPECT_EQ(base(5, 5), 0x0000FFu);

    // A fully transparent frame over the whole screen reveals the base.
    test::DibBuilder b;
    b.header = makeDibHeader(50, 50, 8, 2);
    b.table = test::quads({0x123456, 0});
    b.rows.assign(50, std::vector<uint8_t>(50, 0));
    ASSERT_TRUE(player.setDib(b.build()));
    ASSERT_TRUE(player.buildMask(0));
    ASSERT_TRUE(player.toTrueColor());
    ASSERT_TRUE(player.composeFrame(1, 0, 0, 0));
    EXPECT_EQ(shown(15, 15), 0xFF0000u);
    EXPECT_EQ(shown(40, 40), 0x0000FFu);
}

TEST(Shrink, ThreeToTwoAveragesByArea)
{
    test::DibBuilder b;
    b.header = makeDibHeader(3, 1, 24);
    b.rows = {{0, 0, 0, 200, 200, 200, 100, 100, 100}};
    ByteBuffer out;
    ASSERT_TRUE(shrinkWidth(b.build(), 2, out));
    // (0*1 + 200*0.5) / 1.5 = 66.67 -> 67; (200*0.5 + 100) / 1.5 = 133.3 -> 133
    EXPECT_EQ(pixelRgb(out.data(), 0, 0), 0x434343u);
    EXPECT_EQ(pixelRgb(out.data(), 1, 0), 0x858585u);

    test::DibBuilder v;
    v.header = makeDibHeader(1, -3, 24); // top-down column 0, 200, 100
    v.rows = {{0, 0, 0}, {200, 200, 200}, {100, 100, 100}};
    ASSERT_TRUE(shrinkHeight(v.build(), 2, out));
    DibHeader h;
    ASSERT_TRUE(checkDib(out.bytes(), &h));
    EXPECT_EQ(h.height, -2) << "row order kept";
    EXPECT_EQ(pixelRgb(out.data(), 0, 0), 0x434343u);
    EXPECT_EQ(pixelRgb(out.data(), 0, 1), 0x858585u);

    // Shrinking only: no zero size, no growth, not into the source's own block.
    for (uint32_t size : {0u, 4u}) {
        EXPECT_FALSE(shrinkWidth(b.build(), size, out)) << size;
        EXPECT_FALSE(shrinkHeight(v.build(), size, out)) << size;
    }
    EXPECT_FALSE(shrinkWidth(out.bytes(), 1, out));
    EXPECT_FALSE(shrinkHeight(out.bytes(), 1, out));
}

} // namespace
} // namespace zell
