#include "image/lzw_codec.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "image/random.h"

namespace zell {
namespace {

using Codes = std::vector<std::pair<uint32_t, uint32_t>>; // (code, bits)

// Packs codes least significant bit first, as GIF does.
std::vector<uint8_t> pack(const Codes& codes)
{
    std::vector<uint8_t> out;
    uint64_t acc = 0;
    uint32_t count = 0;
    for (auto [code, bits] : codes) {
        acc |= uint64_t(code) << count;
        count += bits;
        while (count >= 8) {
            out.push_back(uint8_t(acc));
            acc >>= 8;
            count -= 8;
        }
    }
    if (count > 0)
        out.push_back(uint8_t(acc));
    return out;
}

// Reads codes of the given widths back out of a stream.
std::vector<uint32_t> unpack(const std::vector<uint8_t>& data, const std::vector<uint32_t>& widths)
{
    std::vector<uint32_t> codes;
    uint64_t bit = 0;
    for (uint32_t width : widths) {
        uint32_t code = 0;
        for (uint32_t i = 0; i < width; ++i, ++bit) {
            if (bit / 8 >= data.size())
                return codes;
            code |= uint32_t((data[bit / 8] >> (bit % 8)) & 1) << i;
        }
        codes.push_back(code);
    }
    return codes;
}

// Bytes whose neighbouring pairs never repeat: blocks of 256 values stepping
// by a different odd number each, so every pixel becomes a code of its own.
std::vector<uint8_t> distinctPairs(size_t n)
{
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = uint8_t((i % 256) * (2 * (i / 256) + 1));
    return out;
}

std::vector<uint8_t> compress(const std::vector<uint8_t>& data, int minCodeSize)
{
    std::vector<uint8_t> out;
    LzwCodec codec;
    EXPECT_TRUE(codec.compress(data, minCodeSize, out));
    return out;
}

std::vector<uint8_t> decompress(const std::vector<uint8_t>& data, int minCodeSize)
{
    std::vector<uint8_t> out;
    LzwCodec codec;
    codec.decompress(data, minCodeSize, out);
    return out;
}

TEST(LzwCodec, TinyInputsGiveHandComputedCodes)
{
    struct Case {
        std::vector<uint8_t> data;
        int minCodeSize;
        Codes codes;
        std::vector<uint8_t> packed; // the codes worked out to bytes by hand
    };
    const Case cases[] = {
        // One byte: its code and the end code.
        {{0}, 2, {{0, 3}, {5, 3}}, {0x28}},
        {{0x41}, 8, {{0x41, 9}, {0x101, 9}}, {0x41, 0x02, 0x02}},
        // Two colours start with 3-bit codes; the second "0 1" is code 6.
        {{0, 1, 0, 1}, 2, {{0, 3}, {1, 3}, {6, 3}, {5, 3}}, {0x88, 0x0B}},
        // Ten zeros: "00" = 6 is used as soon as it is defined (a code equal
        // to the next free code), "000" = 7, then entry 8 exists and "0000" =
        // 8 goes out with 4 bits, as does the end.
        {std::vector<uint8_t>(10, 0), 2, {{0, 3}, {6, 3}, {7, 3}, {8, 4}, {5, 4}}, {0xF0, 0xB1, 0x00}},
        // Minimum code size 1 (real files carry it): clear 2, end 3, 2-bit
        // codes; 0 makes entry 4, so 3-bit codes follow.
        {{0, 1, 0, 1}, 1, {{0, 2}, {1, 3}, {4, 3}, {3, 3}}, {0x84, 0x03}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(pack(c.codes), c.packed);
        EXPECT_EQ(compress(c.data, c.minCodeSize), pack(c.codes)) << c.data.size() << " " << c.minCodeSize;
        EXPECT_EQ(decompress(pack(c.codes), c.minCodeSize), c.data) << c.data.size() << " " << c.minCodeSize;
    }
}

TEST(LzwCodec, ClearCodeWithTwelveBitsAfterEntry4096ThenNineBitCodes)
{
    // Every pixel is a root code, so code j is written when the table holds
    // 258 + j entries: 9 bits up to j = 254, 10 to 766, 11 to 1790, 12 to
    // 3838 (that one makes entry 4096). Then clear, and 9-bit codes again.
    const std::vector<uint8_t> data = distinctPairs(3842);
    std::vector<uint32_t> widths;
    uint64_t bits = 0;
    for (uint32_t j = 0; j < 3839 + 5; ++j) {
        widths.push_back(j <= 254 ? 9 : j <= 766 ? 10 : j <= 1790 ? 11 : j <= 3839 ? 12 : 9);
        bits += widths.back();
    }

    const std::vector<uint8_t> out = compress(data, 8);
    ASSERT_EQ(out.size(), (bits + 7) / 8);
    const std::vector<uint32_t> codes = unpack(out, widths);
    ASSERT_EQ(codes.size(), widths.size());
    for (uint32_t j = 0; j < 3839; ++j)
        ASSERT_EQ(codes[j], data[j]) << j;
    EXPECT_EQ(std::vector<uint32_t>(codes.begin() + 3839, codes.end()),
              (std::vector<uint32_t>{256, data[3839], data[3840], data[3841], 257}));
    EXPECT_EQ(decompress(out, 8), data);
}

TEST(LzwCodec, CodeSizeOneIsTakenAsItStandsAndBadSizesAreRefused)
{
    // 0x32 holds clear, 0, end as 2-bit codes; read with 3 or 4 bits it would give 2.
    EXPECT_EQ(decompress({0x32}, 1), (std::vector<uint8_t>{0}));
    const std::vector<uint8_t> data{1, 0, 1, 1, 0, 0, 1, 1, 1, 1, 0};
    EXPECT_EQ(decompress(compress(data, 1), 1), data);

    LzwCodec codec;
    std::vector<uint8_t> out{9};
    for (int size : {0, 9}) {
        EXPECT_FALSE(codec.compress(data, size, out));
        EXPECT_FALSE(codec.decompress(data, size, out));
    }
    EXPECT_FALSE(codec.compress({}, 8, out));
    EXPECT_FALSE(codec.decompress({}, 8, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{9}));
}

TEST(LzwCodec, CorruptCodesStopAndKeepWhatWasDecoded)
{
    // Code 7 while the next free code is 6.
    EXPECT_EQ(decompress(pack({{1, 3}, {7, 3}, {5, 3}}), 2), (std::vector<uint8_t>{1}));
    // Code 9 (4 bits by now) while the next free code is 8.
    EXPECT_EQ(decompress(pack({{1, 3}, {2, 3}, {0, 3}, {9, 4}, {5, 4}}), 2), (std::vector<uint8_t>{1, 2, 0}));
    // A string code right after a clear has nothing to build on.
    EXPECT_EQ(decompress(pack({{3, 3}, {4, 3}, {6, 3}}), 2), (std::vector<uint8_t>{3}));
    // Nothing decodable at all.
    LzwCodec codec;
    std::vector<uint8_t> out;
    EXPECT_FALSE(codec.decompress(pack({{6, 3}}), 2, out));
    EXPECT_TRUE(out.empty());
}

TEST(LzwCodec, StopsAtEndOfInputAndAtTheOutputLimit)
{
    // No end code: reading goes on to the last whole code. The 7 bits that
    // fill the second byte hold one more 4-bit code (0); 3 bits are left.
    EXPECT_EQ(decompress(pack({{1, 3}, {2, 3}, {3, 3}}), 2), (std::vector<uint8_t>{1, 2, 3, 0}));
    const std::vector<uint8_t> data = distinctPairs(5000);
    const std::vector<uint8_t> codes = compress(data, 8);
    std::vector<uint8_t> out;
    LzwCodec codec;
    ASSERT_TRUE(codec.decompress(codes, 8, out, 1234));
    EXPECT_EQ(out, std::vector<uint8_t>(data.begin(), data.begin() + 1234));
}

TEST(LzwCodec, OneCodecRoundTripsManyCallsOfDifferentSizes)
{
    // Runs and noise mixed, long enough for several table resets. The
    // compressor's tables are not cleared between calls; stale entries from
    // a larger code size must never be taken for strings.
    LzwCodec codec;
    Random random(3);
    for (int round = 0; round < 14; ++round) {
        const int minCodeSize = 2 + round % 7;
        std::vector<uint8_t> data(round < 7 ? 100000 : 5000 + round * 371);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = uint8_t(random.next() % 4 == 0 ? random.next() : i / 1000 + round) & ((1u << minCodeSize) - 1);
        std::vector<uint8_t> packed, unpacked, freshPacked;
        ASSERT_TRUE(codec.compress(data, minCodeSize, packed));
        ASSERT_TRUE(codec.decompress(packed, minCodeSize, unpacked));
        EXPECT_EQ(unpacked, data) << round;
        LzwCodec().compress(data, minCodeSize, freshPacked);
        EXPECT_EQ(packed, freshPacked) << round;
    }
}

} // namespace
} // namespace zell
