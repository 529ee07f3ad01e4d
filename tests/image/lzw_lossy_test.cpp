#include "image/lzw_lossy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/lzw_codec.h"
#include "image/random.h"

namespace zell {
namespace {

// A grey ramp of 60 entries in a 64-slot code space: 60-62 lie past the
// table, 63 is transparent.
ColorTable greyRamp()
{
    ColorTable table;
    table.count = 60;
    for (uint32_t i = 0; i < table.count; ++i)
        table.setColor(i, 0x010101u * (4 * i));
    return table;
}

// A noisy gradient with a transparent block and a stripe of indices past
// the table: what a dithered frame looks like to the encoder.
std::vector<uint8_t> noisyGradient(uint32_t width, uint32_t height, uint32_t seed)
{
    Random random(seed);
    std::vector<uint8_t> pixels(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            int v = int(x * 50 / width) + random.next() % 5 - 2;
            v = std::clamp(v, 0, 59);
            if (x >= 20 && x < 40 && y >= 10 && y < 30)
                v = 63;
            else if (y == 50)
                v = 60 + int(x % 3);
            pixels[size_t(y) * width + x] = uint8_t(v);
        }
    return pixels;
}

TEST(LzwLossy, LevelZeroIsTheExactStream)
{
    const ColorTable table = greyRamp();
    LzwCodec codec;
    for (uint32_t seed : {1u, 2u}) {
        // 400x300 fills the table several times over.
        const std::vector<uint8_t> pixels = noisyGradient(400, 300, seed);
        std::vector<uint8_t> exact, lossy;
        ASSERT_TRUE(codec.compress(pixels, 6, exact));
        ASSERT_TRUE(compressLossy({pixels, &table, 63}, 0, 6, lossy));
        EXPECT_EQ(lossy, exact);
    }
}

// The squared error reported is the one the decoder sees: frames are
// weighed by it against the bytes they save.
TEST(LzwLossy, EveryPixelStaysWithinTheBoundAndFilesShrinkWithTheLevel)
{
    const ColorTable table = greyRamp();
    const std::vector<uint8_t> pixels = noisyGradient(400, 300, 7);
    LzwCodec codec;
    std::vector<uint8_t> previous;
    ASSERT_TRUE(codec.compress(pixels, 6, previous));
    for (int level : {20, 80, 200}) {
        SCOPED_TRACE(level);
        std::vector<uint8_t> data, decoded;
        double reported = -1, squared = 0;
        ASSERT_TRUE(compressLossy({pixels, &table, 63}, level, 6, data, SIZE_MAX, &reported));
        ASSERT_TRUE(codec.decompress(data, 6, decoded));
        ASSERT_EQ(decoded.size(), pixels.size());
        size_t moved = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const uint8_t was = pixels[i], now = decoded[i];
            if (was == now)
                continue;
            ++moved;
            // Transparency and indices past the table are never traded.
            ASSERT_TRUE(was < 60 && now < 60) << i;
            const double d = lossyDistance(table.color(was), table.color(now));
            ASSERT_LE(d, lossyBound(level)) << i;
            squared += d * d;
        }
        EXPECT_GT(moved, 0u);
        EXPECT_NEAR(reported, squared, 1e-3 * squared);
        EXPECT_LT(data.size(), previous.size());
        previous = data;
    }
}

// With a bound no two entries fall within, the lossy coder parses as the
// exact one, and of its two ways with a full table (clear it, or keep it to
// the end) writes the smaller stream.
TEST(LzwLossy, WithNothingToTradeItIsTheSmallerOfClearingAndKeepingAFullTable)
{
    const ColorTable table = greyRamp();
    // Dark noise, then light noise: a full table of dark strings is dead
    // weight. Then noise whose first rows come back: a full table goes on
    // matching them.
    Random random(4);
    std::vector<uint8_t> changing(200 * 160), repeated(200 * 160);
    for (size_t i = 0; i < changing.size(); ++i) {
        changing[i] = uint8_t(random.next() % 8 + (i < changing.size() / 2 ? 0 : 40));
        repeated[i] = i < 200 * 40 ? uint8_t(random.next() % 60) : repeated[i % (200 * 10)];
    }
    LzwCodec codec;
    std::vector<size_t> winners;
    for (const std::vector<uint8_t>& pixels : {changing, repeated}) {
        std::vector<uint8_t> cleared, kept, lossy;
        ASSERT_TRUE(codec.compressChoosing(pixels, pixels, 6, cleared, SIZE_MAX, LzwClear::atFill));
        ASSERT_TRUE(codec.tableFilled());
        ASSERT_TRUE(codec.compressChoosing(pixels, pixels, 6, kept, SIZE_MAX, LzwClear::never));
        ASSERT_TRUE(compressLossy({pixels, &table, 63}, 1, 6, lossy));
        EXPECT_EQ(lossy, kept.size() < cleared.size() ? kept : cleared);
        winners.push_back(kept.size() < cleared.size());
    }
    EXPECT_EQ(winners, (std::vector<size_t>{0, 1})) << "each way wins once";
}

// A stream that outgrows its budget is given up.
TEST(LzwLossy, ABudgetTooSmallIsRefused)
{
    const ColorTable table = greyRamp();
    std::vector<uint8_t> out;
    EXPECT_FALSE(compressLossy({noisyGradient(100, 60, 3), &table, -1}, 80, 6, out, 10));
}

} // namespace
} // namespace zell
