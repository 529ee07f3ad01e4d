#include "image/lossless_frame.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "image/gif_blocks.h"
#include "image/gif_codec.h"
#include "image/lzw_codec.h"
#include "image/lzw_lossy.h"
#include "image/random.h"
#include "support/indexed_dib.h"

namespace zell {
namespace {

std::vector<uint32_t> palette(uint32_t count)
{
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < count; ++i)
        colors.push_back(makeColor(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)));
    return colors;
}

// Runs and noise over `colours` indices.
std::vector<uint8_t> runsAndNoise(size_t n, uint32_t colours, uint32_t seed)
{
    Random random(seed);
    std::vector<uint8_t> out(n);
    uint8_t run = 0;
    for (size_t i = 0; i < n; ++i) {
        if (random.next() % 9 == 0)
            run = uint8_t(random.next() % colours);
        out[i] = random.next() % 5 == 0 ? uint8_t(random.next() % colours) : run;
    }
    return out;
}

struct Encoded {
    ByteBuffer stream;
    LosslessFrame frame;
};

// A w x h frame at (0, 0) over a screen of the same size showing `screen`
// (indices into `colors`); nothing painted yet when `painted` is false.
Encoded encode(uint32_t w, uint32_t h, const std::vector<uint32_t>& colors, const std::vector<uint8_t>& screen,
               const std::vector<uint8_t>& frame, bool giveTransparency, bool painted = true,
               bool keepColors = false, int lossy = 0, bool weighed = false)
{
    RasterImage picture;
    std::vector<uint32_t> shown;
    for (const uint8_t index : screen)
        shown.push_back(colors[index]);
    const std::vector<uint8_t> canvas = test::trueColorDib(w, h, shown);
    EXPECT_TRUE(picture.displayCanvas.assign(canvas.data(), uint32_t(canvas.size())));
    EXPECT_TRUE(picture.setDib(test::indexedDib(w, h, colors, frame)));
    const std::vector<uint8_t> known(size_t(w) * h, painted ? 1 : 0);
    Encoded e;
    e.frame.giveTransparency = giveTransparency;
    e.frame.keepColors = keepColors;
    e.frame.lossy = lossy;
    e.frame.lossyWeighed = weighed;
    EXPECT_TRUE(encodeLosslessFrame(picture, e.stream, e.frame, known));
    return e;
}

// What the screen shows once the written frame is drawn on it.
std::vector<uint32_t> shownAfter(const Encoded& e, uint32_t w, const std::vector<uint32_t>& colors,
                                 const std::vector<uint8_t>& screen)
{
    std::vector<uint32_t> out;
    for (const uint8_t index : screen)
        out.push_back(colors[index]);
    ByteBuffer dib;
    EXPECT_TRUE(decodeGifImage(e.stream.bytes(), dib, 0, false));
    const std::vector<uint8_t> indices = test::indicesOf(dib.bytes());
    const std::vector<uint32_t> table = test::tableOf(dib.bytes());
    for (uint32_t y = 0; y < e.frame.height; ++y) {
        for (uint32_t x = 0; x < e.frame.width; ++x) {
            const uint8_t index = indices[size_t(y) * e.frame.width + x];
            if (index != e.frame.transparentIndex)
                out[size_t(e.frame.top + y) * w + size_t(e.frame.left + x)] = table.at(index);
        }
    }
    return out;
}

GifImageBlock imageOf(const ByteBuffer& stream)
{
    GifHeader header;
    GifImageBlock image;
    EXPECT_TRUE(readGifHeader(stream.bytes(), header) && findFirstGifImage(header, image));
    return image;
}

// Frames over a noisy screen: scattered changes and a changed block (the
// optimisers' oracle draws whole animations). Written with a transparent
// colour given, every pixel shows the frame's colour, and the frame never
// costs more than written cropped and opaque.
TEST(LosslessFrame, TransparencyShowsTheFrameExactlyAndNeverCostsMore)
{
    const uint32_t w = 160, h = 120;
    const std::vector<uint32_t> colors = palette(200);
    const std::vector<uint8_t> screen = runsAndNoise(size_t(w) * h, 200, 1);
    Random random(2);
    std::vector<std::vector<uint8_t>> frames(2, screen);
    for (uint8_t& p : frames[0])
        p = random.next() % 20 == 0 ? uint8_t(random.next() % 200) : p;
    for (uint32_t y = 30; y < 90; ++y)
        for (uint32_t x = 40; x < 130; ++x)
            frames[1][y * w + x] = uint8_t((x / 4 + y / 3) % 200);
    for (size_t k = 0; k < frames.size(); ++k) {
        SCOPED_TRACE(k);
        const Encoded lossless = encode(w, h, colors, screen, frames[k], true);
        const Encoded cropped = encode(w, h, colors, screen, frames[k], false);
        std::vector<uint32_t> wanted;
        for (const uint8_t index : frames[k])
            wanted.push_back(colors[index]);
        EXPECT_EQ(shownAfter(lossless, w, colors, screen), wanted);
        EXPECT_EQ(shownAfter(cropped, w, colors, screen), wanted);
        EXPECT_EQ(cropped.frame.transparentIndex, kNoIndex);
        EXPECT_LE(frameStreamCost(lossless.stream.bytes(), false), frameStreamCost(cropped.stream.bytes(), false));
        if (k == 0) { // scattered changes leave long unchanged runs: transparency pays there
            EXPECT_LT(frameStreamCost(lossless.stream.bytes(), false) * 10,
                      frameStreamCost(cropped.stream.bytes(), false) * 9);
        }
    }
}

// A frame of 256 colours whose every pixel must be written keeps an LZW
// stream no longer than clearing at every fill or never clearing gives.
TEST(LosslessFrame, KeepsTheSmallestWayOfClearingTheTable)
{
    const uint32_t w = 300, h = 200;
    const std::vector<uint32_t> colors = palette(256);
    for (const uint32_t seed : {3u, 4u}) {
        std::vector<uint8_t> pixels = runsAndNoise(size_t(w) * h, 256, seed);
        if (seed == 4) // the lower half from other strings than the upper
            for (size_t i = pixels.size() / 2; i < pixels.size(); ++i)
                pixels[i] = uint8_t(255 - pixels[i] / 3);
        for (uint32_t i = 0; i < 256; ++i)
            pixels[i] = uint8_t(i); // every entry in use: the table stays as it is
        const Encoded e = encode(w, h, colors, pixels, pixels, true, false);
        ASSERT_EQ(e.frame.width * e.frame.height, w * h);
        const GifImageBlock image = imageOf(e.stream);
        ASSERT_EQ(e.stream.bytes()[image.dataStart], 8);
        const uint64_t written = image.end - image.dataStart;
        LzwCodec codec;
        for (const LzwClear how : {LzwClear::atFill, LzwClear::never, LzwClear::whenWorse}) {
            std::vector<uint8_t> codes;
            ASSERT_TRUE(codec.compressChoosing(pixels, pixels, 8, codes, SIZE_MAX, how));
            ASSERT_TRUE(codec.tableFilled());
            // Minimum code size, sub-block lengths, terminator.
            EXPECT_LE(written, 2 + codes.size() + (codes.size() + 254) / 255) << seed << " " << int(how);
        }
        ByteBuffer dib;
        ASSERT_TRUE(decodeGifImage(e.stream.bytes(), dib, 0, false));
        EXPECT_EQ(test::indicesOf(dib.bytes()), pixels);
    }
}

// A block of runs moved sideways changes where runs end: an unchanged
// stretch of several colours is cheapest transparent, one of a single
// colour cheapest kept, as it continues the run beside it (here smaller
// than every unchanged pixel transparent). The frame shows exactly its
// colours and costs no more than written that way.
TEST(LosslessFrame, UnchangedStretchesOfSeveralColoursBecomeTransparent)
{
    const uint32_t w = 96, h = 64;
    const std::vector<uint32_t> colors = palette(10); // 0 stays unused
    for (const uint32_t seed : {6u, 7u}) {
        Random random(seed);
        std::vector<uint8_t> screen(size_t(w) * h), frame;
        // Rows of runs, each row band repeating; the frame moves a block of
        // them sideways, so that the block changes only where runs end.
        std::vector<uint8_t> band(size_t(w) * 4);
        for (size_t p = 0; p < band.size();) {
            const uint8_t c = uint8_t(1 + random.next() % 8);
            for (uint32_t n = 3 + random.next() % 9; n > 0 && p < band.size(); --n)
                band[p++] = c;
        }
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                screen[y * w + x] = band[(y % 4) * w + x];
        frame = screen;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 8; x < w - 8; ++x)
                frame[y * w + x] = screen[y * w + x - 3];
        frame.front() = 9;
        frame.back() = 9;
        std::vector<uint8_t> written(frame.size());
        for (size_t p = 0; p < frame.size();) {
            if (frame[p] != screen[p]) {
                written[p] = frame[p];
                ++p;
                continue;
            }
            size_t end = p;
            bool mixed = false;
            for (; end < frame.size() && frame[end] == screen[end]; ++end)
                mixed = mixed || frame[end] != frame[p];
            for (; p < end; ++p)
                written[p] = mixed ? 0 : frame[p];
        }
        std::vector<uint8_t> codes;
        LzwCodec codec;
        ASSERT_TRUE(codec.compressChoosing(written, written, 4, codes, SIZE_MAX, LzwClear::never));

        const Encoded e = encode(w, h, colors, screen, frame, true);
        ASSERT_EQ(e.frame.width * e.frame.height, w * h);
        std::vector<uint32_t> wanted;
        for (const uint8_t index : frame)
            wanted.push_back(colors[index]);
        EXPECT_EQ(shownAfter(e, w, colors, screen), wanted) << seed;
        const GifImageBlock image = imageOf(e.stream);
        EXPECT_LE(image.end - image.dataStart, 2 + codes.size() + (codes.size() + 254) / 255) << seed;
    }
}

// A frame on a 256-entry table that uses only its first entries starts with
// codes just wide enough for its largest index.
TEST(LosslessFrame, CodesStartAsNarrowAsTheLargestIndexAllows)
{
    const uint32_t w = 40, h = 30;
    const std::vector<uint32_t> colors = palette(256);
    for (const auto& [largest, codeSize] : {std::pair{1, 2}, {3, 2}, {4, 3}, {5, 3}, {16, 5}, {200, 8}}) {
        std::vector<uint8_t> pixels = runsAndNoise(size_t(w) * h, uint32_t(largest) + 1, 5);
        pixels[7] = uint8_t(largest);
        const Encoded e = encode(w, h, colors, pixels, pixels, true, false, true);
        EXPECT_EQ(e.stream.bytes()[imageOf(e.stream).dataStart], codeSize) << largest;
        ByteBuffer dib;
        ASSERT_TRUE(decodeGifImage(e.stream.bytes(), dib, 0, false));
        EXPECT_EQ(test::indicesOf(dib.bytes()), pixels) << largest;
    }
}

// A weighed lossy frame pays for its error: what it saves against the
// exact frame is at least the price of the squared distances it moves its
// pixels by, so a level just wide enough for two colours keeps a frame whose
// saving is small exact, and a high level, where the same moves cost
// little, trades. Unweighed, the first level trades already.
TEST(LosslessFrame, AWeighedLossyFrameSavesMoreThanItsErrorCosts)
{
    const uint32_t w = 120, h = 80;
    // 0 and 1 are 8 apart; the screen beneath is far from both.
    const std::vector<uint32_t> colors = {0x646464, 0x6C6C6C, 0x000000, 0xFFFFFF};
    ASSERT_NEAR(lossyDistance(colors[0], colors[1]), 8, 1e-9);
    Random random(5);
    std::vector<uint8_t> frame(size_t(w) * h);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = (i / 40) % 5 == 4 ? 3 : random.next() % 6 == 0 ? 1 : 0;
    const std::vector<uint8_t> screen(frame.size(), 2);
    const uint64_t exact = frameStreamCost(encode(w, h, colors, screen, frame, true).stream.bytes(), false);
    std::vector<size_t> moves;
    for (int level : {32, 200, -32}) {
        SCOPED_TRACE(level);
        const bool weighed = level > 0;
        level = std::abs(level);
        const Encoded lossy = encode(w, h, colors, screen, frame, true, true, false, level, weighed);
        const std::vector<uint32_t> shown = shownAfter(lossy, w, colors, screen);
        double squared = 0;
        size_t moved = 0;
        for (size_t i = 0; i < frame.size(); ++i) {
            const double d = lossyDistance(shown[i], colors[frame[i]]);
            ASSERT_LE(d, lossyBound(level)) << i;
            squared += d * d;
            moved += d > 0 ? 1 : 0;
        }
        if (weighed) {
            EXPECT_LE(double(frameStreamCost(lossy.stream.bytes(), false)) + squared * lossyPrice(level),
                      double(exact) + 0.5);
        }
        moves.push_back(moved);
    }
    EXPECT_EQ(moves[0], 0u);
    EXPECT_GT(moves[1], 0u);
    EXPECT_GT(moves[2], 0u);
}

} // namespace
} // namespace zell
