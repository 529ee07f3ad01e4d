#include "playback/transition_effects.h"

#include <gtest/gtest.h>

#include "playback/builtin_transition.h"
#include "playback/transition_run.h"
#include "playback/transition_test_pictures.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::differences;
using test::truecolorPicture;
using Pixel = uint32_t (*)(uint32_t x, uint32_t y);

uint32_t S(uint32_t x, uint32_t y) { return test::tagged(0x11, x, y); }
uint32_t D(uint32_t x, uint32_t y) { return test::tagged(0x22, x, y); }

// Every effect must read rows from the top whatever each picture's row order.
const bool kTopDown[][2] = {{false, false}, {true, true}, {false, true}, {true, false}};

struct EffectCase {
    const char* what;
    TransitionEffect effect;
    uint32_t step, count;
    int32_t srcW, srcH, dstW, dstH;
    Pixel expected;
};

// Slides draw on the destination; every other effect on the source.
bool slides(TransitionEffect e) { return e == horizontalSlideEffect || e == verticalSlideEffect; }

const EffectCase kCases[] = {
    // W = 5, n = 1: x = (int)(5 / 2.0 + 0.5) = 3; H = 3: y = 2.
    {"h-slide half", horizontalSlideEffect, 0, 1, 5, 2, 5, 2, [](uint32_t x, uint32_t y) { return x < 3 ? D(x, y) : S(x - 3, y); }},
    {"v-slide half", verticalSlideEffect, 0, 1, 2, 3, 2, 3, [](uint32_t x, uint32_t y) { return y < 2 ? D(x, y) : S(x, y - 2); }},
    // W = 16, n = 15, k = 14: x = (int)(16 / 16.0 * 15 + 0.5) = 15.
    {"h-slide 14/15", horizontalSlideEffect, 14, 15, 16, 2, 16, 2, [](uint32_t x, uint32_t y) { return x < 15 ? D(x, y) : S(x - 15, y); }},
    // The source is clipped to the destination: 6 x 3 at y = 2 on 4 x 4.
    {"v-slide clipped", verticalSlideEffect, 0, 1, 6, 3, 4, 4, [](uint32_t x, uint32_t y) { return y >= 2 ? S(x, y - 2) : D(x, y); }},
    // m = 8 of every 16; the cut band (rows 16-19, columns 16-18) still starts with the destination.
    {"h-blinds half", horizontalBlindsEffect, 0, 1, 3, 20, 3, 20, [](uint32_t x, uint32_t y) { return y % 16 < 8 ? D(x, y) : S(x, y); }},
    // m = (int)(16 / 16.0 * 15 + 0.5) = 15; 18 leaves a last band of 2.
    {"v-blinds 14/15", verticalBlindsEffect, 14, 15, 18, 2, 18, 2, [](uint32_t x, uint32_t y) { return x % 16 < 15 ? D(x, y) : S(x, y); }},
    // Source 20 x 5, destination 10 x 3: outside the common area the source stays,
    // and a band of 16 is cut by the common width.
    {"h-blinds sizes", horizontalBlindsEffect, 0, 1, 20, 5, 10, 3, [](uint32_t x, uint32_t y) { return x < 10 && y < 3 ? D(x, y) : S(x, y); }},
    {"v-blinds sizes", verticalBlindsEffect, 0, 1, 20, 5, 10, 3, [](uint32_t x, uint32_t y) { return x < 8 && y < 3 ? D(x, y) : S(x, y); }},
    // 8 x 6: D = (int)(10 / 2 + .5) = 5, cy = 3, r = 2: row 1 L = 2 from x 3, rows 2-4 L = 4 from x 2.
    {"disc half", discEffect, 0, 1, 8, 6, 8, 6, [](uint32_t x, uint32_t y) {
         return (y == 1 && x >= 3 && x < 5) || (y >= 2 && y <= 4 && x >= 2 && x < 6) ? D(x, y) : S(x, y); }},
    // Common area 4 x 4: D = 3, cy = 2, r = 1: rows 1-2, L = 2 from x 1.
    {"disc sizes", discEffect, 0, 1, 9, 7, 4, 4, [](uint32_t x, uint32_t y) { return y >= 1 && y <= 2 && x >= 1 && x <= 2 ? D(x, y) : S(x, y); }},
    // Half of each over the common area, rounded half up: 0x11 and 0x22 give
    // 0x1A (25.5 + .5); the source's header and size stay.
    {"cross-fade sizes", crossFadeEffect, 0, 1, 3, 2, 2, 3, [](uint32_t x, uint32_t y) {
         return x < 2 ? test::tagged(0x1A, x, y) : S(x, y); }},
    // H = 4: A = 2, c = 65536, 0, -65536, 0: shifts +2, 0, -2, 0.
    {"wobble half", wobbleEffect, 0, 1, 4, 4, 4, 4, [](uint32_t x, uint32_t y) {
         return y == 0 ? (x >= 2 ? D(x - 2, y) : S(x, y)) : y == 2 ? (x < 2 ? D(x + 2, y) : S(x, y)) : D(x, y); }},
    // H = 16, n = 3, k = 2: A = 4, shift (c[y] * 4) >> 16 rounds down (-2 on row 5, +1 on row 3).
    {"wobble 2/3", wobbleEffect, 2, 3, 8, 16, 8, 16, [](uint32_t x, uint32_t y) {
         static const int kShift[16] = {4, 3, 2, 1, 0, -2, -3, -4, -4, -4, -3, -2, 0, 1, 2, 3};
         const int from = int(x) - kShift[y];
         return from >= 0 && from < 8 ? D(uint32_t(from), y) : S(x, y); }},
};

TEST(TransitionEffects, HandComputedPixelsInEveryRowOrder)
{
    for (const EffectCase& c : kCases) {
        for (const auto& order : kTopDown) {
            auto src = truecolorPicture(c.srcW, c.srcH, order[0], S);
            auto dst = truecolorPicture(c.dstW, c.dstH, order[1], D);
            const bool onDst = slides(c.effect);
            ByteBuffer out;
            ASSERT_TRUE(c.effect(out, src, dst, c.step, c.count)) << c.what;
            EXPECT_EQ(differences(out.bytes(), uint32_t(onDst ? c.dstW : c.srcW), uint32_t(onDst ? c.dstH : c.srcH),
                                  c.expected), "")
                << c.what << ", top-down " << order[0] << order[1];
        }
    }
}

TEST(TransitionEffects, RefuseWhatIsNotATrueColorPictureOrABadStep)
{
    auto good = truecolorPicture(4, 4, false, S);
    const auto palette = test::indexedDib(4, 1, {0, 0xFFFFFF}, {0, 1, 0, 1});
    std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
    for (TransitionEffect effect : {crossFadeEffect, dissolveEffect, horizontalSlideEffect, verticalSlideEffect,
                                    horizontalBlindsEffect, verticalBlindsEffect, discEffect, wobbleEffect}) {
        ByteBuffer out;
        ASSERT_TRUE(out.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
        EXPECT_FALSE(effect(out, palette, good, 0, 1));
        EXPECT_FALSE(effect(out, good, palette, 0, 1));
        EXPECT_FALSE(effect(out, truncated, good, 0, 1));
        EXPECT_FALSE(effect(out, good, {}, 0, 1));
        EXPECT_FALSE(effect(out, good, good, 1, 1)) << "step must be below count";
        EXPECT_FALSE(effect(out, good, good, 0, 0));
        EXPECT_EQ(std::string(out.data(), out.data() + out.size()), "keep") << "out untouched";
        EXPECT_TRUE(effect(out, good, good, 0, 1));
    }
}

// The steps' colours are checked through the command line; here a run ends
// at the first picture its caller cannot keep, or at a source it cannot read.
TEST(BuiltinTransition, StopsAtTheFirstFailure)
{
    auto black = truecolorPicture(3, 2, false, [](uint32_t, uint32_t) { return 0u; });
    auto white = truecolorPicture(3, 2, true, [](uint32_t, uint32_t) { return 0xFFFFFFu; });
    BuiltinTransition fade(crossFadeEffect);
    EXPECT_FALSE(fade.begin(black, {}));
    int taken = 0;
    EXPECT_FALSE(runTransition(fade, black, white, 5, [&](uint32_t step, const ByteBuffer&) {
        ++taken;
        return step < 1;
    }));
    EXPECT_EQ(taken, 2);
    std::vector<uint8_t> notAPicture(10, 0);
    EXPECT_FALSE(runTransition(fade, notAPicture, white, 5, [&](uint32_t, const ByteBuffer&) { return ++taken; }));
    EXPECT_EQ(taken, 2);
}

} // namespace
} // namespace zell
