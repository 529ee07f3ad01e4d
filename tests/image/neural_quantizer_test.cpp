#include "image/neural_quantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::DibBuilder;
using test::quads;

using test::trueColor;

struct Reduced {
    DibHeader header;
    std::vector<uint32_t> table; // 0xRRGGBB
    std::vector<uint8_t> indices; // memory order
};

Reduced read(const ByteBuffer& dib)
{
    Reduced r;
    EXPECT_TRUE(checkDib(dib.bytes(), &r.header));
    const uint8_t* t = dib.data() + r.header.size;
    for (uint32_t i = 0; i < dibColorCount(r.header); ++i)
        r.table.push_back((uint32_t(t[4 * i + 2]) << 16) | (uint32_t(t[4 * i + 1]) << 8) | t[4 * i]);
    const uint64_t stride = dibStride(r.header.width, 8);
    const uint8_t* bits = dib.data() + dibBitsOffset(r.header);
    for (uint32_t y = 0; y < r.header.absHeight(); ++y)
        r.indices.insert(r.indices.end(), bits + y * stride, bits + y * stride + r.header.width);
    return r;
}

// Distance of two colours, summing |d| (power 1) or d * d (power 2) per channel.
int distance(uint32_t a, uint32_t b, int power = 1)
{
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
        sum += power == 1 ? d : d * d;
    }
    return sum;
}

// Every `step`th pixel's entry is at the least distance from it.
void expectNearestEntries(const Reduced& r, const std::vector<uint32_t>& pixels, int power = 1, size_t step = 1)
{
    ASSERT_EQ(r.indices.size(), pixels.size());
    for (size_t i = 0; i < pixels.size(); i += step) {
        int best = 1 << 30;
        for (uint32_t c : r.table)
            best = std::min(best, distance(c, pixels[i], power));
        ASSERT_EQ(distance(r.table[r.indices[i]], pixels[i], power), best) << "pixel " << i;
    }
}

TEST(NeuQuantSchedule, SampleFactorAndStepFollowTheLength)
{
    struct Case {
        uint64_t length;
        int sampleFactor;
        uint32_t samples, cycleSteps, step;
    };
    // 300 pixels: 900 / 36 = 25 samples give no step per cycle until factor 3.
    // One pixel: the factor runs out and becomes 1 with a cycle of one step.
    const Case cases[] = {{900, 3, 100, 1, 3 * 499}, {1920 * 1080 * 3, 12, 172800, 1728, 0}, {3, 1, 1, 1, 0}};
    for (const Case& c : cases) {
        const NeuQuantSchedule s = neuQuantSchedule(c.length);
        EXPECT_EQ(s.sampleFactor, c.sampleFactor) << c.length;
        EXPECT_EQ(s.samples, c.samples) << c.length;
        EXPECT_EQ(s.cycleSteps, c.cycleSteps) << c.length;
        if (c.step) {
            EXPECT_EQ(s.step, c.step);
        }
    }
    EXPECT_EQ(neuQuantSchedule(900).alphaDecrement, 30);
    EXPECT_EQ(neuQuantSchedule(1920 * 1080 * 3).alphaDecrement, 33);
    // The step avoids primes that divide the length.
    EXPECT_EQ(neuQuantSchedule(3 * 499).step, 3u * 491u);
    EXPECT_EQ(neuQuantSchedule(499 * 491).step, 3u * 487u);
    EXPECT_EQ(neuQuantSchedule(3 * 499 * 491 * 487).step, 3u * 503u);
}

TEST(NeuralQuantizer, TrueColourGetsAFullTableAndEveryPixelItsNearestEntry)
{
    // 300 pixels with 257 colours, the smallest picture worth a network; four
    // flat areas of 32 x 24, top-down.
    std::vector<uint32_t> small, flat;
    for (uint32_t i = 0; i < 300; ++i)
        small.push_back(i < 257 ? i * 0x010305 % 0xFFFFFF : 0x808080);
    const uint32_t colours[4] = {0xE01020, 0x10C040, 0x2030F0, 0xF0F0F0};
    for (uint32_t i = 0; i < 64 * 48; ++i)
        flat.push_back(colours[(i / 64 / 24) * 2 + i % 64 / 32]);
    struct Case {
        int32_t width, height;
        const std::vector<uint32_t>& pixels;
        int worst; // the largest L1 error allowed; 0: no bound (257 colours)
    };
    for (const Case& c : {Case{20, 15, small, 0}, Case{64, -48, flat, 6}}) {
        SCOPED_TRACE(c.width);
        NeuralQuantizer q;
        ByteBuffer out;
        ASSERT_TRUE(q.reduce(trueColor(c.width, c.height, c.pixels), out));
        const Reduced r = read(out);
        EXPECT_EQ(r.header.height, c.height);
        ASSERT_EQ(r.table.size(), 256u);
        // The green-ordered search must find an entry at the least L1 distance.
        expectNearestEntries(r, c.pixels);
        for (size_t i = 0; c.worst && i < c.pixels.size(); ++i)
            ASSERT_LE(distance(r.table[r.indices[i]], c.pixels[i]), c.worst) << "pixel " << i;
    }
}

TEST(NeuralQuantizer, PaletteAndOtherDepths)
{
    DibBuilder b;
    b.header = makeDibHeader(3, 2, 4);
    b.table = quads({0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    b.table.resize(16 * 4, 0);
    b.rows = {{0x01, 0x20}, {0x30, 0x00}};
    NeuralQuantizer q;
    // Palette pictures, 8-bit ones too, are copied as they are.
    for (const auto& palette : {b.build(), test::indexedDib(3, 2, {0x000000, 0x0000FF, 0x00FF00}, {0, 1, 2, 2, 1, 0})}) {
        ByteBuffer out;
        ASSERT_TRUE(q.reduce(palette, out));
        EXPECT_TRUE(std::equal(palette.begin(), palette.end(), out.bytes().begin(), out.bytes().end()));
    }

    // A 32-bit picture reduces like its 24-bit equivalent.
    DibBuilder wide;
    wide.header = makeDibHeader(2, 2, 32);
    wide.rows = {{0x10, 0x20, 0x30, 0, 0xF0, 0xE0, 0xD0, 0}, {0x00, 0x80, 0x00, 0, 0x40, 0x40, 0x40, 0}};
    ByteBuffer fromWide, fromTrue;
    ASSERT_TRUE(q.reduce(wide.build(), fromWide));
    ASSERT_TRUE(q.reduce(trueColor(2, 2, {0x302010, 0xD0E0F0, 0x008000, 0x404040}), fromTrue));
    EXPECT_TRUE(std::equal(fromWide.bytes().begin(), fromWide.bytes().end(), fromTrue.bytes().begin(),
        fromTrue.bytes().end()));

    auto truncated = trueColor(2, 2, {1, 2, 3, 4});
    truncated.pop_back();
    ByteBuffer untouched;
    EXPECT_FALSE(q.reduce(truncated, untouched));
    EXPECT_TRUE(untouched.empty());
}

// Squared error of the reduced picture against its source.
double squaredError(const Reduced& r, const std::vector<uint32_t>& pixels)
{
    double sum = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const double d = double((r.table[r.indices[i]] >> shift) & 0xFF) - double((pixels[i] >> shift) & 0xFF);
            sum += d * d;
        }
    return sum;
}

// Refinement only ever moves entries to the mean of what chose them, so the
// error cannot grow; with it every pixel takes its nearest entry by squared
// distance. Dithering keeps the average colour of a smooth area.
TEST(NeuralQuantizer, RefinementLowersTheErrorAndDitheringKeepsTheMean)
{
    // A smooth two-way gradient of 96 x 64 pixels: thousands of colours.
    const int32_t w = 96, h = 64;
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            pixels.push_back(uint32_t(x * 255 / (w - 1)) << 16 | uint32_t(y * 255 / (h - 1)) << 8
                             | uint32_t((x + y) % 7 * 20));
    const std::vector<uint8_t> source = trueColor(w, -h, pixels); // top-down: memory order is pixel order
    Reduced results[4];
    for (uint32_t options = 0; options < 4; ++options) {
        NeuralQuantizer q;
        ByteBuffer out;
        ASSERT_TRUE(q.reduce(source, out, options));
        results[options] = read(out);
        ASSERT_EQ(results[options].table.size(), 256u);
        ASSERT_EQ(results[options].indices.size(), pixels.size());
    }
    const Reduced& refined = results[kNeuQuantRefine];
    EXPECT_LT(squaredError(refined, pixels), squaredError(results[0], pixels));
    expectNearestEntries(refined, pixels, 2, 37);
    // The passes go on while entries move: each ends near the mean of its pixels.
    std::vector<std::array<uint64_t, 4>> sums(256);
    for (size_t i = 0; i < pixels.size(); ++i) {
        for (int c = 0; c < 3; ++c)
            sums[refined.indices[i]][size_t(c)] += (pixels[i] >> (8 * c)) & 0xFF;
        ++sums[refined.indices[i]][3];
    }
    for (size_t k = 0; k < 256; ++k)
        for (int c = 0; sums[k][3] && c < 3; ++c)
            EXPECT_LE(std::abs(int64_t((refined.table[k] >> (8 * c)) & 0xFF)
                               - int64_t((sums[k][size_t(c)] + sums[k][3] / 2) / sums[k][3])), 1) << k;
    // The mean red of each 8 x 8 block: dithered closer to the source than not.
    for (uint32_t base : {0u, uint32_t(kNeuQuantRefine)}) {
        double plainError = 0, ditheredError = 0;
        for (int32_t by = 0; by < h; by += 8)
            for (int32_t bx = 0; bx < w; bx += 8) {
                double want = 0, plain = 0, dithered = 0;
                for (int32_t y = by; y < by + 8; ++y)
                    for (int32_t x = bx; x < bx + 8; ++x) {
                        const size_t i = size_t(y * w + x);
                        const Reduced& p = results[base];
                        const Reduced& d = results[base | kNeuQuantDither];
                        want += (pixels[i] >> 16) & 0xFF;
                        plain += (p.table[p.indices[i]] >> 16) & 0xFF;
                        dithered += (d.table[d.indices[i]] >> 16) & 0xFF;
                    }
                plainError += std::abs(plain - want);
                ditheredError += std::abs(dithered - want);
            }
        EXPECT_LT(ditheredError, plainError) << base;
    }
}

} // namespace
} // namespace zell
