#include "image/neural_quantizer.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(NeuralQuantizer, PalettePicturesPassAndCutOnesFail)
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

// Refinement lowers the error, and with it every pixel takes its nearest
// entry by squared distance. Dithering keeps the average colour of a smooth area.
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
