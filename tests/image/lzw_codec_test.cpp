#include "image/lzw_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "image/color_table.h"
#include "image/gif_codec.h"
#include "image/random.h"
#include "support/gif_oracle.h"

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

TEST(LzwCodec, DecodingStopsAtCorruptCodesAndEndOfInputKeepingWhatCameOut)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> stream;
        int minCodeSize;
        bool ok;
        std::vector<uint8_t> out; // starts as {9}: refusals leave it
        bool clean;               // what the import's check says of it
    };
    const Case cases[] = {
        // Clear, 0, end as 2-bit codes; read with 3 or 4 bits it would give 2.
        {"code size 1 as it stands", {0x32}, 1, true, {0}, true},
        {"code 7, next free 6", pack({{1, 3}, {7, 3}, {5, 3}}), 2, true, {1}, false},
        {"code 9 (4 bits), next free 8", pack({{1, 3}, {2, 3}, {0, 3}, {9, 4}, {5, 4}}), 2, true, {1, 2, 0}, false},
        {"string code right after a clear", pack({{3, 3}, {4, 3}, {6, 3}}), 2, true, {3}, false},
        {"nothing decodable", pack({{6, 3}}), 2, false, {}, false},
        {"nothing but an end code", pack({{4, 3}, {5, 3}}), 2, false, {}, false},
        // No end code: the 7 bits filling the second byte hold one more
        // 4-bit code (0); 3 bits are left over.
        {"no end code", pack({{1, 3}, {2, 3}, {3, 3}}), 2, true, {1, 2, 3, 0}, true},
        {"the code being defined, used at once", pack({{1, 3}, {6, 3}, {5, 3}}), 2, true, {1, 1, 1}, true},
        {"empty", {}, 8, false, {9}, false},
        {"code size 0", {0x32}, 0, false, {9}, false},
        {"code size 9", {0x32}, 9, false, {9}, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out{9};
        EXPECT_EQ(LzwCodec().decompress(c.stream, c.minCodeSize, out), c.ok) << c.what;
        EXPECT_EQ(out, c.out) << c.what;
        EXPECT_EQ(lzwDataDecodes(c.stream, c.minCodeSize, 1000), c.clean) << c.what;
    }
    // A corrupt code after the last pixel is never read, by either.
    EXPECT_TRUE(lzwDataDecodes(pack({{1, 3}, {7, 3}}), 2, 1));
    EXPECT_FALSE(lzwDataDecodes(pack({{1, 3}, {7, 3}}), 2, 2));
    EXPECT_FALSE(lzwDataDecodes(pack({{1, 3}}), 2, 0)) << "no pixels wanted, none to give";
    std::vector<uint8_t> out{7};
    EXPECT_FALSE(LzwCodec().compress(std::vector<uint8_t>{}, 2, out)) << "nothing to compress";
    EXPECT_EQ(out, std::vector<uint8_t>{7});
    const std::vector<uint8_t> data = distinctPairs(5000);
    std::vector<uint8_t> limited;
    ASSERT_TRUE(LzwCodec().decompress(compress(data, 8), 8, limited, 1234));
    EXPECT_EQ(limited, std::vector<uint8_t>(data.begin(), data.begin() + 1234));
}

// The import's check follows the decoder code by code: damaged streams made
// by flipping bits of real ones must get the same verdict from both. The
// decoder shows a stream the check accepts, and one that ends in a corrupt
// code before the pixels are out gives fewer of them.
TEST(LzwCodec, TheImportCheckAgreesWithTheDecoder)
{
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    int corrupt = 0, clean = 0;
    for (int round = 0; round < 400; ++round) {
        const int minCodeSize = 2 + round % 7;
        std::vector<uint8_t> pixels(200 + next() % 3000);
        for (uint8_t& p : pixels)
            p = uint8_t(next() % (round % 3 == 0 ? 3 : 1u << minCodeSize));
        std::vector<uint8_t> stream = compress(pixels, minCodeSize);
        for (int flips = 1 + round % 4; flips > 0; --flips)
            stream[next() % stream.size()] ^= uint8_t(1u << (next() % 8));
        std::vector<uint8_t> out;
        const bool decoded = LzwCodec().decompress(stream, minCodeSize, out, pixels.size());
        if (lzwDataDecodes(stream, minCodeSize, pixels.size())) {
            ++clean;
            EXPECT_TRUE(decoded) << round;
        } else {
            ++corrupt;
            EXPECT_LT(out.size(), pixels.size()) << round;
        }
    }
    EXPECT_GT(corrupt, 50) << "the flips must reach the check's refusals";
    EXPECT_GT(clean, 50) << "and leave some streams whole";
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

constexpr LzwClear kEveryWay[] = {LzwClear::whenWorse, LzwClear::atFill, LzwClear::searched, LzwClear::never};

// Runs and noise, `colours` values; long enough to fill the table many times.
std::vector<uint8_t> runsAndNoise(size_t n, uint32_t colours, uint32_t seed)
{
    Random random(seed);
    std::vector<uint8_t> out(n);
    uint8_t run = 0;
    for (size_t i = 0; i < n; ++i) {
        if (random.next() % 11 == 0)
            run = uint8_t(random.next() % colours);
        out[i] = random.next() % 4 == 0 ? uint8_t(random.next() % colours) : run;
    }
    return out;
}

std::vector<uint8_t> choosing(const std::vector<uint8_t>& data, const std::vector<uint8_t>& alt, int bits,
                              LzwClear how, uint32_t lookAheadGain = 0)
{
    std::vector<uint8_t> out;
    LzwCodec codec;
    EXPECT_TRUE(codec.compressChoosing(data, alt, bits, out, SIZE_MAX, how, lookAheadGain));
    EXPECT_EQ(codec.tableFilled(), data.size() > 10000) << "every case fills it but the short one";
    return out;
}

// Our decoder and giflib read the same pixels from `codes`, each one of the
// pixel's two values; the import's check passes them.
void expectReadBack(const std::vector<uint8_t>& codes, const std::vector<uint8_t>& data,
                    const std::vector<uint8_t>& other, int bits)
{
    std::vector<uint8_t> back;
    ASSERT_TRUE(LzwCodec().decompress(codes, bits, back));
    ASSERT_EQ(back.size(), data.size());
    for (size_t i = 0; i < back.size(); ++i)
        ASSERT_TRUE(back[i] == data[i] || back[i] == other[i]) << i;
    EXPECT_TRUE(lzwDataDecodes(codes, bits, data.size()));
#ifdef ZELL_HAVE_GIFLIB
    const uint32_t width = 500;
    const uint32_t height = uint32_t(data.size() / width);
    ByteBuffer gif;
    ASSERT_TRUE(writeGifStream(width, height, std::vector<uint32_t>(1u << bits, 0), bits, codes, gif,
                               std::max(bits, 2)));
    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(gif.bytes(), images));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].indices, back);
#endif
}

// Every way of clearing writes an ordinary stream: our decoder and giflib
// read the same pixels from it, each one of the pixel's two values, through
// tables that fill many times, at every code size; with no choice, clearing
// at every fill is compress() to the byte.
TEST(LzwCodec, EveryWayOfClearingRoundTripsThroughBothDecoders)
{
    for (const int bits : {2, 5, 8}) {
        const uint32_t colours = 1u << bits;
        for (const size_t size : {size_t(3000), size_t(150000)}) {
            const std::vector<uint8_t> data = runsAndNoise(size, colours, uint32_t(bits * 7 + size));
            std::vector<uint8_t> alt = data;
            for (size_t i = 0; i < alt.size(); i += 3)
                alt[i] = uint8_t(colours - 1);
            std::vector<std::vector<uint8_t>> streams;
            for (const LzwClear how : kEveryWay) {
                for (const bool choice : {false, true}) {
                    SCOPED_TRACE(testing::Message() << bits << " bits, " << size << " pixels, way " << int(how)
                                                    << (choice ? ", choosing" : ""));
                    const std::vector<uint8_t>& other = choice ? alt : data;
                    const std::vector<uint8_t> codes = choosing(data, other, bits, how);
                    if (!choice)
                        streams.push_back(codes);
                    expectReadBack(codes, data, other, bits);
                }
            }
            EXPECT_EQ(streams[1], compress(data, bits));
            if (size > 10000) { // the ways differ once the table has filled
                EXPECT_NE(streams[1], streams[3]);
            }
        }
    }
}

// Strings ended early make entries that repeat ones the table has; the
// decoders' tables must stay in step with the encoder's through many fills
// and clears, with and without a choice of values. On runs and noise some
// gain codes smaller than the longest strings do.
TEST(LzwCodec, StringsEndingEarlyRoundTripThroughBothDecoders)
{
    for (const int bits : {2, 8}) {
        const uint32_t colours = 1u << bits;
        const std::vector<uint8_t> data = runsAndNoise(150000, colours, uint32_t(bits + 40));
        std::vector<uint8_t> alt = data;
        for (size_t i = 0; i < alt.size(); i += 3)
            alt[i] = uint8_t(colours - 1);
        size_t smallest = SIZE_MAX;
        for (const uint32_t gain : {1u, 2u, 4u}) {
            for (const LzwClear how : {LzwClear::searched, LzwClear::never}) {
                for (const bool choice : {false, true}) {
                    SCOPED_TRACE(testing::Message() << bits << " bits, gain " << gain << ", way " << int(how)
                                                    << (choice ? ", choosing" : ""));
                    const std::vector<uint8_t>& other = choice ? alt : data;
                    const std::vector<uint8_t> codes = choosing(data, other, bits, how, gain);
                    expectReadBack(codes, data, other, bits);
                    if (!choice && how == LzwClear::searched)
                        smallest = std::min(smallest, codes.size());
                }
            }
        }
        EXPECT_LT(smallest, choosing(data, data, bits, LzwClear::searched).size()) << bits;
    }
}

// An encoding gives up once it falls more than kPaceSlack bytes behind the
// pace it is given, at any step, and only then.
TEST(LzwCodec, AnEncodingGivesUpOnceBehindItsPace)
{
    const std::vector<uint8_t> data = runsAndNoise(60000, 16, 3);
    LzwCodec codec;
    std::vector<uint8_t> codes;
    ASSERT_TRUE(codec.compressChoosing(data, data, 4, codes));
    const std::vector<uint32_t> marks = codec.paceMarks();
    ASSERT_EQ(marks.size(), data.size() / LzwCodec::kPaceStep);
    EXPECT_LE(marks.back(), codes.size());
    for (size_t s = 1; s < marks.size(); ++s)
        EXPECT_LT(marks[s - 1], marks[s]);

    auto finishes = [&](const std::vector<uint8_t>& pixels, const std::vector<uint32_t>& pace) {
        std::vector<uint8_t> out;
        const bool done = codec.compressChoosing(pixels, pixels, 4, out, SIZE_MAX, LzwClear::whenWorse, 0, pace);
        if (done) {
            EXPECT_EQ(out, codes);
        }
        return done;
    };
    std::vector<uint32_t> pace = marks;
    for (uint32_t& m : pace)
        m -= LzwCodec::kPaceSlack;
    EXPECT_TRUE(finishes(data, pace));
    pace[pace.size() / 2] -= 1;
    EXPECT_FALSE(finishes(data, pace));
    // Noise falls behind at once.
    Random random(4);
    std::vector<uint8_t> noise(data.size());
    for (uint8_t& p : noise)
        p = uint8_t(random.next() % 16);
    EXPECT_FALSE(finishes(noise, marks));
}

// Where the pixels stop matching the full table, the windowed rule and the
// search clear and gain on never clearing; where they go on as they began,
// the windowed rule keeps the table as never clearing does and beats
// clearing at every fill.
TEST(LzwCodec, ClearsComeWhereTheyPay)
{
    // 60000 pixels of values 0..15, then 60000 of 16..31 with no string in
    // common: a kept table codes the second half a pixel at a time.
    std::vector<uint8_t> shifting = runsAndNoise(120000, 16, 5);
    for (size_t i = 60000; i < shifting.size(); ++i)
        shifting[i] = uint8_t(shifting[i] + 16);
    const size_t never = choosing(shifting, shifting, 8, LzwClear::never).size();
    EXPECT_LT(choosing(shifting, shifting, 8, LzwClear::whenWorse).size() * 10, never * 9);
    EXPECT_LT(choosing(shifting, shifting, 8, LzwClear::searched).size() * 10, never * 9);

    // One block of 1000 random pixels over and over: the first full table
    // holds long strings of it, a fresh one must learn them again.
    Random random(9);
    std::vector<uint8_t> block(1000);
    for (uint8_t& p : block)
        p = uint8_t(random.next() % 16);
    std::vector<uint8_t> repeating;
    while (repeating.size() < 200000)
        repeating.insert(repeating.end(), block.begin(), block.end());
    const std::vector<uint8_t> kept = choosing(repeating, repeating, 8, LzwClear::whenWorse);
    const size_t atFill = choosing(repeating, repeating, 8, LzwClear::atFill).size();
    EXPECT_EQ(kept, choosing(repeating, repeating, 8, LzwClear::never));
    EXPECT_LT(kept.size() * 4, atFill * 3);
    EXPECT_LT(choosing(repeating, repeating, 8, LzwClear::searched).size() * 4, atFill * 3);
}

} // namespace
} // namespace zell
