#include "image/screen_compositor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/random.h"
#include "support/indexed_dib.h"

namespace zell {
namespace {

std::vector<uint8_t> bytesOf(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

struct Step {
    uint16_t x, y;
    uint32_t width, height;
    int disposal;
    uint16_t transparentIndex;
    std::vector<uint8_t> indices;
};

// Frames of every kind a viewer meets: inside, across an edge, wholly off
// the screen, each disposal, with and without see-through pixels.
std::vector<Step> randomSteps(uint32_t seed, uint32_t screenWidth, uint32_t screenHeight, int count)
{
    Random random(seed);
    auto below = [&](uint32_t n) { return uint32_t(random.next()) % n; };
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i) {
        Step s;
        s.x = uint16_t(below(screenWidth + 6));
        s.y = uint16_t(below(screenHeight + 6));
        s.width = 1 + below(screenWidth / 2 + 3);
        s.height = 1 + below(screenHeight / 2 + 3);
        s.disposal = int(below(5));
        s.transparentIndex = below(3) == 0 ? kNoIndex : uint16_t(below(4));
        for (uint32_t p = 0; p < s.width * s.height; ++p)
            s.indices.push_back(uint8_t(below(4)));
        steps.push_back(std::move(s));
    }
    return steps;
}

const std::vector<uint32_t> kColors{0x0000FF, 0x00FF00, 0xFF0000, 0x808080};

bool drawStep(ScreenCompositor& c, const Step& s)
{
    const auto dib = test::indexedDib(s.width, s.height, kColors, s.indices);
    return c.picture().setDib(dib) && c.compose(s.transparentIndex, s.disposal, s.x, s.y);
}

// The screen part beneath (x, y, width, height) as rows of pixels and
// painted flags, read through areaBeneath.
std::pair<std::vector<uint8_t>, std::vector<uint8_t>> beneath(ScreenCompositor& c, const Step& s)
{
    ScreenArea area;
    EXPECT_TRUE(c.areaBeneath(s.x, s.y, s.width, s.height, area));
    std::vector<uint8_t> pixels, painted;
    DibHeader h;
    if (s.x >= area.screenWidth || s.y >= area.screenHeight || !checkDib(area.canvas, &h))
        return {};
    const uint32_t right = std::min(area.screenWidth, uint32_t(s.x) + s.width);
    const uint32_t bottom = std::min(area.screenHeight, uint32_t(s.y) + s.height);
    for (uint32_t y = s.y; y < bottom; ++y) {
        const uint8_t* row = area.canvas.data() + dibRowOffset(h, y - area.top) + 3 * (s.x - area.left);
        pixels.insert(pixels.end(), row, row + 3 * (right - s.x));
        const uint8_t* known = area.painted.data() + size_t(y - area.top) * uint32_t(h.width) + (s.x - area.left);
        painted.insert(painted.end(), known, known + (right - s.x));
    }
    return {pixels, painted};
}

// A screen kept in tiles shows, pixel for pixel, what a whole screen shows,
// and its part beneath any frame reads the same colours and painted pixels,
// across tile edges too.
TEST(ScreenCompositor, SparseScreenShowsWhatTheWholeScreenShows)
{
    const uint32_t background = 0x102030;
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{23, 17}, {600, 530}}) {
        for (uint32_t seed = 1; seed <= 25; ++seed) {
            ScreenCompositor whole, sparse;
            ASSERT_TRUE(whole.start(w, h, background, true));
            ASSERT_TRUE(sparse.start(w, h, background, true, true));
            for (const Step& s : randomSteps(seed, w, h, 6)) {
                ASSERT_EQ(beneath(sparse, s), beneath(whole, s)) << w << " " << seed;
                ASSERT_TRUE(drawStep(whole, s));
                ASSERT_TRUE(drawStep(sparse, s));
                ASSERT_EQ(bytesOf(sparse.screen().bytes()), bytesOf(whole.screen().bytes())) << w << " " << seed;
            }
            whole.restore();
            sparse.restore();
            ASSERT_EQ(bytesOf(sparse.screen().bytes()), bytesOf(whole.screen().bytes())) << w << " " << seed;
        }
    }
}

// Two dots at the far corners of the largest screen the limit allows are
// composed and read back as dots on the background, with nothing made for
// the screen between them.
TEST(ScreenCompositor, SparseScreenKeepsFarApartFramesApart)
{
    ScreenCompositor c;
    ASSERT_TRUE(c.start(8192, 8192, 0xFFFFFF, true, true));
    const Step dots[] = {{0, 0, 1, 1, 1, kNoIndex, {2}}, {8191, 8191, 1, 1, 1, kNoIndex, {1}},
                         {9000, 5, 4, 4, 1, kNoIndex, std::vector<uint8_t>(16, 1)}};
    for (const Step& s : dots)
        ASSERT_TRUE(drawStep(c, s));
    EXPECT_TRUE(c.picture().baseCanvas.empty());
    EXPECT_TRUE(c.picture().displayCanvas.empty());
    const auto [first, firstPainted] = beneath(c, {0, 0, 2, 1, 0, 0, {}});
    EXPECT_EQ(first, (std::vector<uint8_t>{0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF})); // blue dot, then background
    EXPECT_EQ(firstPainted, (std::vector<uint8_t>{1, 0}));
    const auto [last, lastPainted] = beneath(c, {8190, 8191, 5, 5, 0, 0, {}});
    EXPECT_EQ(last, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x00}));
    EXPECT_EQ(lastPainted, (std::vector<uint8_t>{0, 1}));
}

} // namespace
} // namespace zell
