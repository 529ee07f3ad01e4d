#include "document/bmp_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "document/picture_pixels.h"
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
    std::vector<uint32_t> masks{}; // inside a header of 52 bytes or more

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
        for (size_t i = 0; i < masks.size(); ++i)
            putU32le(h + 40 + 4 * i, masks[i]);
        out.resize(14 + headerSize);
        for (const auto* part : {&table, &gap, &pixels})
            out.insert(out.end(), part->begin(), part->end());
        putU32le(out.data() + 2, uint32_t(out.size()));
        return out;
    }
};

// Every layout read becomes a picture with a 40-byte header: the table as
// the used count says, rows from the offset field, larger headers (and the
// masks they hold) cut to 40 bytes, top-down rows kept in their order, true
// colour without a table, OS/2 1.x headers with their three-byte entries.
// The corpus compares the pixels of every other layout with ImageMagick's.
TEST(BmpDecoder, EveryLayoutItReadsGivesTheFilesPixels)
{
    const uint32_t white = 0xFFFFFF;
    const std::vector<uint8_t> os2Rows = {0, 1, 2, 0, 2, 1, 0, 0}; // 3 wide, 2 high, 4-byte rows
    const struct {
        const char* what;
        std::vector<uint8_t> file;
        uint16_t bits;
        uint32_t entries;
        std::vector<uint32_t> want;
    } rows[] = {
        {"8 bits, 3 used",
         BmpFile{.width = 2, .bits = 8, .clrUsed = 3, .table = test::quads({0x020100, 0x030201, 0x040302}),
                 .pixels = {2, 1, 0, 0}}.build(),
         8, 3, {0x040302, 0x030201}},
        {"a gap before the rows", BmpFile{.gap = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE}}.build(), 24, 0, {0x030201}},
        {"rows right after the header", BmpFile{.offset = 0}.build(), 24, 0, {0x030201}},
        {"true colour drops its table", BmpFile{.clrUsed = 2, .gap = test::quads({0x123456, 0x654321})}.build(), 24, 0,
         {0x030201}},
        {"108-byte header, top-down",
         BmpFile{.headerSize = 108, .width = 2, .height = -2, .bits = 1, .table = test::quads({0, white}),
                 .pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0}}.build(),
         1, 2, {white, 0, 0, white}},
        {"108-byte header with 5-6-5 masks",
         BmpFile{.headerSize = 108, .bits = 16, .compression = 3, .pixels = {0x00, 0xF8, 0, 0},
                 .masks = {0xF800, 0x07E0, 0x001F}}.build(),
         16, 0, {0xFF0000}},
        {"os/2, 8 bits, three colours stored", test::coreBmp(3, 2, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9}, os2Rows), 8, 3,
         {0x090807, 0x060504, 0x030201, 0x030201, 0x060504, 0x090807}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ByteBuffer picture;
        DibHeader h;
        ASSERT_TRUE(decodeBmp(r.file, picture));
        ASSERT_TRUE(checkDib(picture.bytes(), &h));
        EXPECT_EQ(std::make_tuple(h.size, h.bitCount, dibColorCount(h)), std::make_tuple(40u, r.bits, r.entries));
        EXPECT_EQ(test::pixels(picture.bytes()), r.want);
    }
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
    EXPECT_FALSE(decodeBmp(test::coreBmp(3, 2, 16, {}, std::vector<uint8_t>(16, 0)), picture)) << "no 16 bits in OS/2 1.x";
}

} // namespace
} // namespace zell
