#include "image/raster_image.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace zell {
namespace {

using test::DibBuilder;
using test::quads;

std::vector<uint8_t> eightBit(int32_t width, int32_t height, std::vector<std::vector<uint8_t>> rows, uint32_t clrUsed = 4)
{
    DibBuilder b;
    b.header = makeDibHeader(width, height, 8, clrUsed);
    for (uint32_t i = 0; i < clrUsed; ++i)
        b.table.insert(b.table.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
    b.rows = std::move(rows);
    return b.build();
}

// The bit of the mask for (x, memory row), 1 = opaque.
int maskBit(const ByteBuffer& mask, uint32_t x, uint32_t memoryRow)
{
    DibHeader h;
    readDibHeader(mask.bytes(), h);
    const uint8_t* row = mask.data() + dibBitsOffset(h) + memoryRow * dibStride(h.width, 1);
    return (row[x / 8] >> (7 - x % 8)) & 1;
}

TEST(RasterImageMask, ClearsBitsOfTransparentPixelsRowForRow)
{
    RasterImage picture;
    // 10 wide so that the mask row spans two bytes; bottom-up.
    auto dib = eightBit(10, 2, {{0, 1, 2, 3, 0, 1, 2, 3, 0, 3}, {3, 3, 3, 3, 3, 3, 3, 3, 3, 1}});
    ASSERT_TRUE(picture.setDib(dib));
    ASSERT_TRUE(picture.buildMask(3));
    DibHeader h;
    ASSERT_TRUE(checkDib(picture.mask.bytes(), &h));
    EXPECT_EQ(h.bitCount, 1);
    EXPECT_EQ(h.height, 2);
    EXPECT_EQ(picture.mask.data()[40], 255) << "entry 0 white";
    EXPECT_EQ(picture.mask.data()[44], 0) << "entry 1 black";
    for (uint32_t x = 0; x < 10; ++x) {
        EXPECT_EQ(maskBit(picture.mask, x, 0), x % 4 == 3 || x == 9 ? 0 : 1) << x;
        EXPECT_EQ(maskBit(picture.mask, x, 1), x == 9 ? 1 : 0) << x;
    }
    EXPECT_EQ(picture.mask.data()[h.size + 8 + 1] & 0x3F, 0x3F) << "padding bits stay opaque";

    ASSERT_TRUE(picture.buildMask(kNoIndex));
    EXPECT_TRUE(picture.mask.empty());
    EXPECT_FALSE(picture.buildMask(4)) << "index beyond the table";
    ASSERT_TRUE(picture.toTrueColor());
    EXPECT_FALSE(picture.buildMask(0)) << "24-bit picture";
    EXPECT_TRUE(picture.mask.empty());
}

TEST(RasterImage, BrokenPicturesAreRefused)
{
    RasterImage picture;
    const auto dib = eightBit(3, 2, {{0, 1, 2}, {3, 4, 1}});
    EXPECT_FALSE(picture.setDib(dib.data(), uint32_t(dib.size() - 1)));
    ASSERT_TRUE(picture.setDib(dib.data(), 0));
    EXPECT_EQ(picture.image.size(), dib.size());

    // Without a size only the header tells the length: a bad header is refused.
    const std::vector<uint8_t> garbage(64, 0); // a header size of 0
    EXPECT_FALSE(picture.setDib(garbage.data(), 0));
    // A header without its pixels cannot become true colour.
    ASSERT_TRUE(picture.image.assign(dib.data(), 40));
    EXPECT_FALSE(picture.toTrueColor());
}

TEST(RasterImage, ApplyColorTableWritesCommonEntriesAndZeroesTheRest)
{
    RasterImage picture;
    DibBuilder b;
    b.header = makeDibHeader(1, 1, 4);
    b.table.assign(64, 0x77);
    b.rows = {{0}};
    ASSERT_TRUE(picture.setDib(b.build()));
    ColorTable colors;
    colors.count = 4;
    for (int i = 0; i < 4; ++i)
        colors.setColor(uint32_t(i), makeColor(uint8_t(10 * i + 1), uint8_t(10 * i + 2), uint8_t(10 * i + 3)));
    EXPECT_FALSE(picture.applyColorTable(&colors)) << "4 entries against 16";
    const uint8_t* quad = picture.image.data() + 40;
    EXPECT_EQ(std::vector<uint8_t>(quad + 12, quad + 15), (std::vector<uint8_t>{33, 32, 31}));
    EXPECT_EQ(std::vector<uint8_t>(quad + 16, quad + 64), std::vector<uint8_t>(48, 0));
    colors.count = 16;
    EXPECT_TRUE(picture.applyColorTable(&colors));
    EXPECT_TRUE(picture.applyColorTable(nullptr));
}

} // namespace
} // namespace zell
