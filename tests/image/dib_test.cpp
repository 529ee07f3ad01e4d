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

std::vector<uint8_t> dibOf(int32_t width, int32_t height, uint16_t bitCount, std::vector<uint8_t> table,
                           std::vector<std::vector<uint8_t>> rows, uint32_t clrUsed = 0, bool bitFields = false)
{
    DibBuilder b;
    b.header = makeDibHeader(width, height, bitCount, clrUsed);
    if (bitFields)
        b.header.compression = kBiBitfields;
    b.table = std::move(table);
    b.rows = std::move(rows);
    return b.build();
}

std::vector<uint8_t> masks(uint32_t r, uint32_t g, uint32_t b)
{
    std::vector<uint8_t> out(12);
    putU32le(out.data(), r);
    putU32le(out.data() + 4, g);
    putU32le(out.data() + 8, b);
    return out;
}

std::vector<uint8_t> le16(std::initializer_list<uint16_t> values)
{
    std::vector<uint8_t> out;
    for (uint16_t v : values)
        out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
    return out;
}

TEST(DibMeasure, CheckRefusesBadPictures)
{
    auto good = dibOf(2, 1, 24, {}, {{1, 2, 3, 4, 5, 6}});
    EXPECT_TRUE(checkDib(good));
    EXPECT_FALSE(checkDib({good.data(), good.size() - 1})) << "rows cut short";
    auto bad = good;
    putU32le(bad.data() + 16, 1);
    EXPECT_FALSE(checkDib(bad)) << "RLE compression";
    bad = good;
    putI32le(bad.data() + 4, 1 << 15);
    putI32le(bad.data() + 8, (1 << 13) + 1);
    EXPECT_FALSE(checkDib(bad)) << "more than 2^28 pixels";
    bad = good;
    putI32le(bad.data() + 8, INT32_MIN);
    EXPECT_FALSE(checkDib(bad));
}

TEST(ConvertToTrueColor, EveryDepthGivesTheSameColours)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> dib;
        std::vector<uint32_t> pixels; // 0xRRGGBB, rows from the top
    };
    const std::vector<std::vector<uint8_t>> twoRows{{0x01, 0x02, 0x03, 0xEE}, {0x04, 0x05, 0x06, 0xEE}};
    const uint16_t red555 = (31 << 10) | 16; // red 31, green 0, blue 16
    const uint32_t px32 = (0x3FFu << 20) | (0x5u << 8) | 0xFF;
    const Case cases[] = {
        // Palette depths read the most significant bits first.
        {"1-bit", dibOf(10, 1, 1, quads({0x102030, 0xA0B0C0}), {{0b10000001, 0b01000000}}),
         {0xA0B0C0, 0x102030, 0x102030, 0x102030, 0x102030, 0x102030, 0x102030, 0xA0B0C0, 0x102030, 0xA0B0C0}},
        {"2-bit", dibOf(5, 1, 2, quads({0x111111, 0x222222, 0x333333, 0x444444}), {{0b00011011, 0b11000000}}),
         {0x111111, 0x222222, 0x333333, 0x444444, 0x444444}},
        {"4-bit", dibOf(3, 1, 4, quads({0x000000, 0xFF0000, 0x00FF00, 0x0000FF}), {{0x12, 0x30}}, 4),
         {0xFF0000, 0x00FF00, 0x0000FF}},
        // Indices beyond a short table stay black.
        {"8-bit short table", dibOf(3, 1, 8, quads({0x123456, 0x654321}), {{1, 2, 255}}, 2), {0x654321, 0, 0}},
        {"4-bit short table", dibOf(2, 1, 4, quads({0x123456, 0x654321}), {{0x13}}, 2), {0x654321, 0}},
        {"16-bit 5-5-5", dibOf(2, 1, 16, {}, {le16({red555, 0x7FFF})}), {0xFF0084, 0xFFFFFF}},
        // 6-bit green 0x20 repeats to 130.
        {"5-6-5", dibOf(2, 1, 16, masks(0xF800, 0x07E0, 0x001F), {le16({0x1F << 11, 0x20 << 5})}, 0, true),
         {0xFF0000, 0x008200}},
        // 10-bit red shifted down, 3-bit green 101 repeated to 0xB6, no blue.
        {"32-bit fields",
         dibOf(1, 1, 32, masks(0x3FF00000, 0x700, 0),
               {{uint8_t(px32), uint8_t(px32 >> 8), uint8_t(px32 >> 16), uint8_t(px32 >> 24)}}, 0, true),
         {0xFFB600}},
        // A 1-bit channel repeats to full scale; 2-bit 01 becomes 0x55.
        {"narrow fields", dibOf(1, 1, 16, masks(0x1, 0x6, 0), {le16({0x3})}, 0, true), {0xFF5500}},
        {"32-bit", dibOf(2, 1, 32, {}, {{1, 2, 3, 0xEE, 4, 5, 6, 0xEE}}), {0x030201, 0x060504}},
        // The top row is the last in memory unless the height is negative.
        {"bottom-up", dibOf(1, 2, 32, {}, twoRows), {0x060504, 0x030201}},
        {"top-down", dibOf(1, -2, 32, {}, twoRows), {0x030201, 0x060504}},
    };
    for (const Case& c : cases) {
        const auto out = toTrueColor(c.dib);
        DibHeader h, source;
        ASSERT_TRUE(checkDib(out, &h) && readDibHeader(c.dib, source)) << c.what;
        EXPECT_EQ(h.bitCount, 24) << c.what;
        EXPECT_EQ(h.height, source.height) << c.what;
        for (uint32_t i = 0; i < c.pixels.size(); ++i)
            EXPECT_EQ(pixelRgb(out, i % uint32_t(h.width), i / uint32_t(h.width)), c.pixels[i]) << c.what << " " << i;
    }

    auto src = dibOf(1, 1, 24, {}, {{9, 8, 7}});
    putI32le(src.data() + 24, 2835);
    EXPECT_EQ(toTrueColor(src), src) << "24-bit copies unchanged";
    ByteBuffer buffer;
    ASSERT_TRUE(buffer.assign(src.data(), uint32_t(src.size())));
    EXPECT_FALSE(convertToTrueColor(buffer.bytes(), buffer)) << "its own block";
    putU32le(src.data() + 16, 2);
    EXPECT_FALSE(convertToTrueColor(src, buffer)) << "unknown compression";
}

// Rows swap and the sign of the height turns; a longer header is dropped.
TEST(MakeOrientedCopy, FlipsRowsAndSignBothWays)
{
    DibBuilder b;
    b.header = makeDibHeader(1, 3, 8, 2);
    b.header.size = 44;
    b.table = {0, 0, 0, 0, /* header tail */ 1, 2, 3, 0, 4, 5, 6, 0};
    b.rows = {{10}, {11}, {12}};
    const auto src = b.build();
    ByteBuffer down, up;
    ASSERT_TRUE(makeOrientedCopy(src, down, true));
    const std::vector<uint8_t> table = {1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(std::vector<uint8_t>(down.data(), down.data() + down.size()), dibOf(1, -3, 8, table, {{12}, {11}, {10}}, 2));
    ASSERT_TRUE(makeOrientedCopy(down.bytes(), up, false));
    EXPECT_EQ(std::vector<uint8_t>(up.data(), up.data() + up.size()), dibOf(1, 3, 8, table, {{10}, {11}, {12}}, 2));
}

} // namespace
} // namespace zell
