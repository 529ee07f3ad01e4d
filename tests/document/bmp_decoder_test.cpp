#include "document/bmp_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/bytes.h"
#include "image/dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

// A BMP file assembled from its parts; the offset field is filled in unless set.
struct BmpFile {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bits = 8;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<uint8_t> table;
    std::vector<uint8_t> gap; // between table and pixel data
    std::vector<uint8_t> pixels;
    bool zeroOffset = false;

    std::vector<uint8_t> build() const
    {
        // Fields past a short header's end are written, then cut off.
        std::vector<uint8_t> out(14 + std::max<uint32_t>(headerSize, 40), 0);
        out[0] = 'B';
        out[1] = 'M';
        const uint32_t offset = zeroOffset ? 0 : uint32_t(14 + headerSize + table.size() + gap.size());
        putU32le(out.data() + 10, offset);
        uint8_t* h = out.data() + 14;
        putU32le(h, headerSize);
        putI32le(h + 4, width);
        putI32le(h + 8, height);
        putU16le(h + 12, 1);
        putU16le(h + 14, bits);
        putU32le(h + 16, compression);
        putU32le(h + 32, clrUsed);
        out.resize(14 + headerSize);
        out.insert(out.end(), table.begin(), table.end());
        out.insert(out.end(), gap.begin(), gap.end());
        out.insert(out.end(), pixels.begin(), pixels.end());
        putU32le(out.data() + 2, uint32_t(out.size()));
        return out;
    }
};

DibHeader headerOf(const ByteBuffer& picture)
{
    DibHeader h;
    EXPECT_TRUE(checkDib(picture.bytes(), &h));
    return h;
}

TEST(BmpDecoder, PaletteTablesFollowDepthOrUsedCount)
{
    struct Case {
        uint16_t bits;
        uint32_t clrUsed;
        uint32_t entries;
    };
    for (const Case c : {Case{1, 0, 2}, Case{4, 0, 16}, Case{8, 0, 256}, Case{8, 3, 3}, Case{2, 0, 4}}) {
        BmpFile file;
        file.width = 3;
        file.height = 2;
        file.bits = c.bits;
        file.clrUsed = c.clrUsed;
        for (uint32_t i = 0; i < c.entries; ++i)
            file.table.insert(file.table.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0});
        file.pixels.assign(2 * dibStride(3, c.bits), 0x11);
        ByteBuffer picture;
        ASSERT_TRUE(decodeBmp(file.build(), picture)) << c.bits;
        const DibHeader h = headerOf(picture);
        EXPECT_EQ(h.bitCount, c.bits);
        EXPECT_EQ(dibColorCount(h), c.entries);
        EXPECT_EQ(picture.size(), 40 + 4 * c.entries + file.pixels.size());
        EXPECT_TRUE(std::equal(file.table.begin(), file.table.end(), picture.data() + 40));
        EXPECT_TRUE(std::equal(file.pixels.begin(), file.pixels.end(), picture.data() + dibBitsOffset(h)));
    }
}

TEST(BmpDecoder, PixelDataComeFromTheOffsetField)
{
    BmpFile file;
    file.width = 1;
    file.height = 1;
    file.bits = 24;
    file.gap = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    file.pixels = {1, 2, 3, 0};
    ByteBuffer picture;
    ASSERT_TRUE(decodeBmp(file.build(), picture));
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0x030201u);

    file.gap.clear();
    file.zeroOffset = true;
    ASSERT_TRUE(decodeBmp(file.build(), picture)) << "offset 0: rows right after the header";
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0x030201u);
}

TEST(BmpDecoder, LargerHeaderIsCutTo40BytesAndTopDownKeepsItsOrder)
{
    BmpFile file;
    file.headerSize = 108;
    file.width = 2;
    file.height = -2;
    file.bits = 1;
    file.table = test::quads({0x000000, 0xFFFFFF});
    file.pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0}; // top row: white, black; bottom: black, white
    ByteBuffer picture;
    ASSERT_TRUE(decodeBmp(file.build(), picture));
    const DibHeader h = headerOf(picture);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.height, -2);
    ByteBuffer rgb;
    ASSERT_TRUE(convertToTrueColor(picture.bytes(), rgb));
    EXPECT_EQ(test::pixelRgb(rgb.data(), 0, 0), 0xFFFFFFu);
    EXPECT_EQ(test::pixelRgb(rgb.data(), 1, 0), 0x000000u);
    EXPECT_EQ(test::pixelRgb(rgb.data(), 1, 1), 0xFFFFFFu);
}

TEST(BmpDecoder, BitFieldMasksOfLargeHeadersAreReadFromTheHeader)
{
    // A V4 header holds its masks at the place a 40-byte header's follow it.
    BmpFile file;
    file.headerSize = 108;
    file.width = 1;
    file.height = 1;
    file.bits = 16;
    file.compression = 3;
    file.pixels = {0x00, 0xF8, 0, 0}; // red in 5-6-5
    std::vector<uint8_t> bytes = file.build();
    putU32le(bytes.data() + 54, 0xF800);
    putU32le(bytes.data() + 58, 0x07E0);
    putU32le(bytes.data() + 62, 0x001F);
    ByteBuffer picture, rgb;
    ASSERT_TRUE(decodeBmp(bytes, picture));
    ASSERT_TRUE(convertToTrueColor(picture.bytes(), rgb));
    EXPECT_EQ(test::pixelRgb(rgb.data(), 0, 0), 0xFF0000u);
}

TEST(BmpDecoder, TrueColourFileWithATableDropsTheTableCount)
{
    BmpFile file;
    file.width = 1;
    file.height = 1;
    file.bits = 24;
    file.clrUsed = 2;
    file.gap = test::quads({0x123456, 0x654321});
    file.pixels = {9, 8, 7, 0};
    ByteBuffer picture;
    ASSERT_TRUE(decodeBmp(file.build(), picture));
    EXPECT_EQ(headerOf(picture).clrUsed, 0u);
    EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0x070809u);
}

TEST(BmpDecoder, RefusesWhatItCannotReadFaithfully)
{
    BmpFile good;
    good.width = 4;
    good.height = 2;
    good.bits = 8;
    good.clrUsed = 2;
    good.table = test::quads({0, 0xFFFFFF});
    good.pixels.assign(8, 1);
    ByteBuffer picture;
    ASSERT_TRUE(decodeBmp(good.build(), picture));

    auto refused = [](BmpFile file) {
        ByteBuffer out;
        return !decodeBmp(file.build(), out) && out.empty();
    };
    BmpFile f = good;
    f.compression = 1;
    EXPECT_TRUE(refused(f)) << "run-length compression";
    f = good;
    f.headerSize = 12;
    EXPECT_TRUE(refused(f)) << "OS/2 header";
    f = good;
    f.bits = 24;
    f.compression = 3;
    f.pixels.assign(24, 0);
    EXPECT_TRUE(refused(f)) << "bit fields on 24 bits";
    f = good;
    f.bits = 30000;
    EXPECT_TRUE(refused(f)) << "unknown depth";
    f = good;
    f.width = -4;
    EXPECT_TRUE(refused(f)) << "negative width";
    f = good;
    f.clrUsed = 0x40000000;
    EXPECT_TRUE(refused(f)) << "table beyond the file";
}

TEST(BmpDecoder, EveryTruncationFailsAndLeavesThePictureAlone)
{
    BmpFile file;
    file.width = 5;
    file.height = 3;
    file.bits = 4;
    file.table.assign(64, 0x22);
    file.pixels.assign(12, 0x12);
    const std::vector<uint8_t> bytes = file.build();
    ByteBuffer picture;
    ASSERT_TRUE(picture.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    for (size_t n = 0; n < bytes.size(); ++n) {
        ASSERT_FALSE(decodeBmp(std::span(bytes).first(n), picture)) << n;
        ASSERT_EQ(picture.size(), 4u);
    }
    std::vector<uint8_t> badOffset = bytes;
    putU32le(badOffset.data() + 10, uint32_t(bytes.size()) - 11);
    EXPECT_FALSE(decodeBmp(badOffset, picture)) << "rows from the offset run past the end";
    EXPECT_TRUE(decodeBmp(bytes, picture));
}

} // namespace
} // namespace zell
