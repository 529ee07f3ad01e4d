#include "document/bmp_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "image/bytes.h"
#include "image/dib.h"
#include "support/still_files.h"
#include "support/test_support.h"

namespace zell {
namespace {

// A BMP file assembled from its parts; the offset field is computed unless given.
struct BmpFile {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<uint8_t> table{};
    std::vector<uint8_t> gap{}; // between table and pixel data
    std::vector<uint8_t> pixels = {1, 2, 3, 0};
    std::optional<uint32_t> offset{};

    std::vector<uint8_t> build() const
    {
        // Fields past a short header's end are written, then cut off.
        std::vector<uint8_t> out(14 + std::max<uint32_t>(headerSize, 40), 0);
        out[0] = 'B';
        out[1] = 'M';
        putU32le(out.data() + 10, offset.value_or(uint32_t(14 + headerSize + table.size() + gap.size())));
        uint8_t* h = out.data() + 14;
        putU32le(h, headerSize);
        putI32le(h + 4, width);
        putI32le(h + 8, height);
        putU16le(h + 12, 1);
        putU16le(h + 14, bits);
        putU32le(h + 16, compression);
        putU32le(h + 32, clrUsed);
        out.resize(14 + headerSize);
        for (const auto* part : {&table, &gap, &pixels})
            out.insert(out.end(), part->begin(), part->end());
        putU32le(out.data() + 2, uint32_t(out.size()));
        return out;
    }
};

DibHeader decodeChecked(std::span<const uint8_t> file, ByteBuffer& picture)
{
    DibHeader h;
    EXPECT_TRUE(decodeBmp(file, picture));
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
        BmpFile file{.width = 3, .height = 2, .bits = c.bits, .clrUsed = c.clrUsed};
        for (uint32_t i = 0; i < c.entries; ++i)
            file.table.insert(file.table.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0});
        file.pixels.assign(2 * dibStride(3, c.bits), 0x11);
        ByteBuffer picture;
        const DibHeader h = decodeChecked(file.build(), picture);
        EXPECT_EQ(h.bitCount, c.bits);
        EXPECT_EQ(dibColorCount(h), c.entries);
        EXPECT_EQ(picture.size(), 40 + 4 * c.entries + file.pixels.size());
        EXPECT_TRUE(std::equal(file.table.begin(), file.table.end(), picture.data() + 40));
        EXPECT_TRUE(std::equal(file.pixels.begin(), file.pixels.end(), picture.data() + dibBitsOffset(h)));
    }
}

TEST(BmpDecoder, PixelDataComeFromTheOffsetFieldAndTrueColourDropsItsTable)
{
    std::vector<BmpFile> files(3);
    files[0].gap = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    files[1].offset = 0; // rows right after the header
    files[2].clrUsed = 2;
    files[2].gap = test::quads({0x123456, 0x654321});
    for (const BmpFile& file : files) {
        ByteBuffer picture;
        EXPECT_EQ(decodeChecked(file.build(), picture).clrUsed, 0u);
        EXPECT_EQ(test::pixelRgb(picture.data(), 0, 0), 0x030201u) << file.gap.size();
    }
}

TEST(BmpDecoder, LargerHeaderIsCutTo40BytesAndTopDownKeepsItsOrder)
{
    BmpFile file{.headerSize = 108, .width = 2, .height = -2, .bits = 1};
    file.table = test::quads({0x000000, 0xFFFFFF});
    file.pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0}; // top row: white, black; bottom: black, white
    ByteBuffer picture, rgb;
    const DibHeader h = decodeChecked(file.build(), picture);
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.height, -2);
    ASSERT_TRUE(convertToTrueColor(picture.bytes(), rgb));
    EXPECT_EQ(test::pixelRgb(rgb.data(), 0, 0), 0xFFFFFFu);
    EXPECT_EQ(test::pixelRgb(rgb.data(), 1, 0), 0x000000u);
    EXPECT_EQ(test::pixelRgb(rgb.data(), 1, 1), 0xFFFFFFu);

    // A V4 header holds its bit-field masks where a 40-byte header's follow it.
    file = {.headerSize = 108, .bits = 16, .compression = 3, .pixels = {0x00, 0xF8, 0, 0}}; // red in 5-6-5
    std::vector<uint8_t> bytes = file.build();
    putU32le(bytes.data() + 54, 0xF800);
    putU32le(bytes.data() + 58, 0x07E0);
    putU32le(bytes.data() + 62, 0x001F);
    ASSERT_TRUE(decodeBmp(bytes, picture));
    ASSERT_TRUE(convertToTrueColor(picture.bytes(), rgb));
    EXPECT_EQ(test::pixelRgb(rgb.data(), 0, 0), 0xFF0000u);
}

TEST(BmpDecoder, RefusesWhatItCannotReadFaithfully)
{
    const BmpFile good{.width = 4, .height = 2, .bits = 8, .clrUsed = 2, .table = test::quads({0, 0xFFFFFF}),
                       .pixels = std::vector<uint8_t>(8, 1)};
    ByteBuffer picture;
    ASSERT_TRUE(decodeBmp(good.build(), picture));
    const std::pair<const char*, void (*)(BmpFile&)> cases[] = {
        {"run-length compression", [](BmpFile& f) { f.compression = 1; }},
        {"16-byte OS/2 2.x header", [](BmpFile& f) { f.headerSize = 16; }},
        {"bit fields on 24 bits", [](BmpFile& f) { f.bits = 24, f.compression = 3, f.pixels.assign(24, 0); }},
        {"unknown depth", [](BmpFile& f) { f.bits = 30000; }},
        {"negative width", [](BmpFile& f) { f.width = -4; }},
        {"table beyond the file", [](BmpFile& f) { f.clrUsed = 0x40000000; }},
        {"rows from the offset run past the end", [](BmpFile& f) { f.offset = 14 + 40 + 8 + 1; }},
    };
    for (const auto& [why, spoil] : cases) {
        BmpFile f = good;
        spoil(f);
        ByteBuffer out;
        EXPECT_FALSE(decodeBmp(f.build(), out)) << why;
        EXPECT_TRUE(out.empty()) << why;
    }
}

TEST(BmpDecoder, Os2FilesWithTheTwelveByteHeaderAreRead)
{
    const std::vector<uint8_t> rows = {0, 1, 2, 0, 2, 1, 0, 0}; // 3 wide, 2 high, 4-byte rows
    struct Case {
        const char* what;
        uint16_t bits;
        std::vector<uint8_t> triples;
        std::vector<uint8_t> pixels;
        uint32_t entries;
    } cases[] = {
        {"8 bits, three colours stored", 8, {1, 2, 3, 4, 5, 6, 7, 8, 9}, rows, 3},
        {"1 bit, full table", 1, {0, 0, 0, 255, 255, 255}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}, 2},
        {"24 bits, no table", 24, {}, std::vector<uint8_t>(24, 0x5A), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteBuffer picture;
        const DibHeader h = decodeChecked(test::coreBmp(3, 2, c.bits, c.triples, c.pixels), picture);
        EXPECT_EQ(std::vector<int64_t>({h.width, h.height, h.bitCount}), std::vector<int64_t>({3, 2, c.bits}));
        EXPECT_EQ(dibColorCount(h), c.entries);
        for (uint32_t i = 0; i < c.entries; ++i) {
            const uint8_t* quad = picture.data() + kDibHeaderSize + 4 * i;
            EXPECT_EQ(std::vector<uint8_t>(quad, quad + 4),
                      std::vector<uint8_t>({c.triples[3 * i], c.triples[3 * i + 1], c.triples[3 * i + 2], 0}))
                << "entry " << i;
        }
        EXPECT_TRUE(std::equal(c.pixels.begin(), c.pixels.end(), picture.data() + dibBitsOffset(h)));
    }
    ByteBuffer picture;
    EXPECT_FALSE(decodeBmp(test::coreBmp(3, 2, 16, {}, std::vector<uint8_t>(16, 0)), picture)) << "no 16 bits in OS/2 1.x";
    EXPECT_FALSE(decodeBmp(test::coreBmp(0, 2, 24, {}, {}), picture)) << "no width";
}

} // namespace
} // namespace zell
