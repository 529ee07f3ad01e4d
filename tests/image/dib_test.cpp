#include "image/dib.h"

#include <gtest/gtest.h>

#include "image/bytes.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::DibBuilder;
using test::pixelRgb;
using test::quads;

std::vector<uint8_t> toTrueColor(const std::vector<uint8_t>& dib)
{
    ByteBuffer out;
    EXPECT_TRUE(convertToTrueColor(dib, out));
    return {out.data(), out.data() + out.size()};
}

TEST(DibMeasure, ColorCountAndBitsOffsetFollowClrUsed)
{
    DibHeader h = makeDibHeader(3, 2, 8);
    EXPECT_EQ(dibColorCount(h), 256u);
    EXPECT_EQ(dibBitsOffset(h), 40u + 1024u);
    h.clrUsed = 17;
    EXPECT_EQ(dibColorCount(h), 17u);
    EXPECT_EQ(dibBitsOffset(h), 40u + 68u);
    EXPECT_EQ(dibColorCount(makeDibHeader(3, 2, 24)), 0u);
    DibHeader fields = makeDibHeader(3, 2, 16);
    fields.compression = kBiBitfields;
    EXPECT_EQ(dibBitsOffset(fields), 52u);
    EXPECT_EQ(dibStride(3, 24), 12u);
    EXPECT_EQ(dibStride(33, 1), 8u);
    EXPECT_EQ(dibPackedSize(makeDibHeader(3, -2, 24)), 40u + 24u);
}

TEST(DibMeasure, CheckRefusesBadPictures)
{
    DibBuilder b;
    b.header = makeDibHeader(2, 1, 24);
    b.rows = {{1, 2, 3, 4, 5, 6}};
    auto good = b.build();
    EXPECT_TRUE(checkDib(good));
    EXPECT_FALSE(checkDib({good.data(), good.size() - 1})) << "rows cut short";
    auto rle = good;
    putU32le(rle.data() + 16, 1);
    EXPECT_FALSE(checkDib(rle)) << "RLE compression";
    auto huge = good;
    putI32le(huge.data() + 4, 1 << 15);
    putI32le(huge.data() + 8, (1 << 13) + 1);
    EXPECT_FALSE(checkDib(huge)) << "more than 2^28 pixels";
    auto minHeight = good;
    putI32le(minHeight.data() + 8, INT32_MIN);
    EXPECT_FALSE(checkDib(minHeight));
}

TEST(ConvertToTrueColor, PaletteDepthsReadMostSignificantBitsFirst)
{
    // 4-bit, width 3: high nibble, low nibble, then the next byte's high nibble.
    DibBuilder b;
    b.header = makeDibHeader(3, 1, 4, 4);
    b.table = quads({0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    b.rows = {{0x12, 0x30}};
    auto out = toTrueColor(b.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0xFF0000u);
    EXPECT_EQ(pixelRgb(out, 1, 0), 0x00FF00u);
    EXPECT_EQ(pixelRgb(out, 2, 0), 0x0000FFu);

    DibBuilder one;
    one.header = makeDibHeader(10, 1, 1);
    one.table = quads({0x102030, 0xA0B0C0});
    one.rows = {{0b10000001, 0b01000000}};
    out = toTrueColor(one.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0xA0B0C0u);
    EXPECT_EQ(pixelRgb(out, 1, 0), 0x102030u);
    EXPECT_EQ(pixelRgb(out, 7, 0), 0xA0B0C0u);
    EXPECT_EQ(pixelRgb(out, 9, 0), 0xA0B0C0u);

    DibBuilder two;
    two.header = makeDibHeader(5, 1, 2);
    two.table = quads({0x111111, 0x222222, 0x333333, 0x444444});
    two.rows = {{0b00011011, 0b11000000}};
    out = toTrueColor(two.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0x111111u);
    EXPECT_EQ(pixelRgb(out, 3, 0), 0x444444u);
    EXPECT_EQ(pixelRgb(out, 4, 0), 0x444444u);
}

TEST(ConvertToTrueColor, IndicesBeyondShortTableStayBlack)
{
    DibBuilder b;
    b.header = makeDibHeader(3, 1, 8, 2);
    b.table = quads({0x123456, 0x654321});
    b.rows = {{1, 2, 255}};
    auto out = toTrueColor(b.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0x654321u);
    EXPECT_EQ(pixelRgb(out, 1, 0), 0u);
    EXPECT_EQ(pixelRgb(out, 2, 0), 0u);
}

TEST(ConvertToTrueColor, SixteenBitFiveFiveFive)
{
    DibBuilder b;
    b.header = makeDibHeader(2, 1, 16);
    // red 31, green 0, blue 16 then white
    uint16_t a = (31 << 10) | 16, w = 0x7FFF;
    b.rows = {{uint8_t(a), uint8_t(a >> 8), uint8_t(w), uint8_t(w >> 8)}};
    auto out = toTrueColor(b.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0xFF0084u);
    EXPECT_EQ(pixelRgb(out, 1, 0), 0xFFFFFFu);
}

std::vector<uint8_t> maskBytes(uint32_t r, uint32_t g, uint32_t b)
{
    std::vector<uint8_t> out(12);
    putU32le(out.data(), r);
    putU32le(out.data() + 4, g);
    putU32le(out.data() + 8, b);
    return out;
}

TEST(ConvertToTrueColor, BitFieldsExpandEachMaskWidth)
{
    DibBuilder b;
    b.header = makeDibHeader(2, 1, 16);
    b.header.compression = kBiBitfields;
    b.table = maskBytes(0xF800, 0x07E0, 0x001F);
    uint16_t p0 = 0x1F << 11;           // red at full scale
    uint16_t p1 = 0x20 << 5;            // green 6-bit 0x20
    b.rows = {{uint8_t(p0), uint8_t(p0 >> 8), uint8_t(p1), uint8_t(p1 >> 8)}};
    auto out = toTrueColor(b.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0xFF0000u);
    EXPECT_EQ(pixelRgb(out, 1, 0), 0x008200u) << "6-bit 0x20 repeats to 130";

    // 32-bit: 10-bit red (shifted down), 3-bit green (repeated), no blue.
    DibBuilder w;
    w.header = makeDibHeader(1, 1, 32);
    w.header.compression = kBiBitfields;
    w.table = maskBytes(0x3FF00000, 0x00000700, 0);
    uint32_t px = (0x3FFu << 20) | (0x5u << 8) | 0xFF;
    w.rows = {{uint8_t(px), uint8_t(px >> 8), uint8_t(px >> 16), uint8_t(px >> 24)}};
    out = toTrueColor(w.build());
    // 3-bit 101 -> 10110110 = 0xB6
    EXPECT_EQ(pixelRgb(out, 0, 0), 0xFFB600u);

    // 1-bit channel repeats to full scale; 2-bit 01 becomes 0x55.
    DibBuilder n;
    n.header = makeDibHeader(1, 1, 16);
    n.header.compression = kBiBitfields;
    n.table = maskBytes(0x1, 0x6, 0);
    uint16_t q = 0x1 | (0x1 << 1);
    n.rows = {{uint8_t(q), uint8_t(q >> 8)}};
    out = toTrueColor(n.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0xFF5500u);
}

TEST(ConvertToTrueColor, TrueColorDepthsAndRowOrder)
{
    DibBuilder b;
    b.header = makeDibHeader(1, 2, 32); // bottom-up
    b.rows = {{0x01, 0x02, 0x03, 0xEE}, {0x04, 0x05, 0x06, 0xEE}};
    auto out = toTrueColor(b.build());
    EXPECT_EQ(pixelRgb(out, 0, 0), 0x060504u) << "top row is the last in memory";
    EXPECT_EQ(pixelRgb(out, 0, 1), 0x030201u);

    b.header = makeDibHeader(1, -2, 32); // top-down keeps its sign
    out = toTrueColor(b.build());
    DibHeader h;
    ASSERT_TRUE(readDibHeader(out, h));
    EXPECT_EQ(h.height, -2);
    EXPECT_EQ(pixelRgb(out, 0, 0), 0x030201u);

    DibBuilder t;
    t.header = makeDibHeader(1, 1, 24);
    t.header.xPelsPerMeter = 2835;
    t.rows = {{9, 8, 7}};
    auto src = t.build();
    EXPECT_EQ(toTrueColor(src), src) << "24-bit copies unchanged";
}

TEST(ConvertToTrueColor, RefusesOwnBlockAndUnknownCompression)
{
    DibBuilder b;
    b.header = makeDibHeader(1, 1, 24);
    b.rows = {{1, 2, 3}};
    auto src = b.build();
    ByteBuffer buffer;
    ASSERT_TRUE(buffer.assign(src.data(), uint32_t(src.size())));
    EXPECT_FALSE(convertToTrueColor(buffer.bytes(), buffer));
    putU32le(src.data() + 16, 2);
    ByteBuffer out;
    EXPECT_FALSE(convertToTrueColor(src, out));
}

TEST(MakeOrientedCopy, FlipsRowsAndSignBothWays)
{
    DibBuilder b;
    b.header = makeDibHeader(1, 3, 8, 2);
    b.header.size = 44; // a longer header is dropped from the copy
    b.table = {0, 0, 0, 0, /* header tail */ 1, 2, 3, 0, 4, 5, 6, 0};
    b.header.size = 44;
    auto src = b.build();
    src.insert(src.end(), {10, 0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0});
    ByteBuffer down;
    ASSERT_TRUE(makeOrientedCopy(src, down, true));
    DibHeader h;
    ASSERT_TRUE(readDibHeader(down.bytes(), h));
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.height, -3);
    EXPECT_EQ(down.data()[40], 1) << "colour table kept";
    EXPECT_EQ(down.data()[48], 12) << "first memory row is the source's last";
    EXPECT_EQ(down.data()[56], 10);

    ByteBuffer up;
    ASSERT_TRUE(makeOrientedCopy(down.bytes(), up, false));
    ASSERT_TRUE(readDibHeader(up.bytes(), h));
    EXPECT_EQ(h.height, 3);
    EXPECT_EQ(up.data()[48], 10);

    ByteBuffer same;
    ASSERT_TRUE(makeOrientedCopy(up.bytes(), same, false));
    EXPECT_TRUE(std::equal(same.data(), same.data() + same.size(), up.data(), up.data() + up.size()));
}

std::vector<uint8_t> trueColorWithColors(uint32_t distinct, uint32_t pixels)
{
    DibBuilder b;
    b.header = makeDibHeader(int32_t(pixels), 1, 24);
    std::vector<uint8_t> row;
    for (uint32_t i = 0; i < pixels; ++i) {
        uint32_t c = (i % distinct) * 0x010203u;
        row.push_back(uint8_t(c));
        row.push_back(uint8_t(c >> 8));
        row.push_back(uint8_t(c >> 16));
    }
    b.rows = {row};
    return b.build();
}

TEST(CountColors, StopsAtTwoHundredFiftySeven)
{
    EXPECT_EQ(countColors(trueColorWithColors(256, 1000)), 256);
    EXPECT_EQ(countColors(trueColorWithColors(257, 1000)), 257);
    EXPECT_EQ(countColors(trueColorWithColors(300, 300)), 257);
    EXPECT_EQ(countColors(trueColorWithColors(1, 5)), 1);
    DibBuilder b;
    b.header = makeDibHeader(1, 1, 4);
    b.table = quads({0, 0});
    b.header.clrUsed = 2;
    b.rows = {{0}};
    EXPECT_EQ(countColors(b.build()), 16) << "palette pictures report capacity";
}

TEST(CreateSolidImage, FillsEveryPixelBottomUp)
{
    ByteBuffer buffer;
    ASSERT_TRUE(createSolidImage(buffer, 5, 3, makeColor(0x11, 0x22, 0x33)));
    DibHeader h;
    ASSERT_TRUE(checkDib(buffer.bytes(), &h));
    EXPECT_EQ(h.height, 3);
    EXPECT_EQ(h.sizeImage, 16u * 3);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            EXPECT_EQ(test::pixelRgb(buffer.data(), x, y), 0x112233u);
    EXPECT_FALSE(createSolidImage(buffer, 0, 3, 0));
}

} // namespace
} // namespace zell
