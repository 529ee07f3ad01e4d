#include "playback/transition_effects.h"

#include <gtest/gtest.h>

#include "image/dib.h"
#include "image/random.h"
#include "playback/transition_test_pictures.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::differences;
using test::tagged;
using test::truecolorPicture;

constexpr uint32_t kSrc = 0x11;
constexpr uint32_t kDst = 0x22;

struct RowOrders {
    bool sourceTopDown;
    bool destinationTopDown;
};

// Every effect must read rows from the top whatever each picture's row order.
const RowOrders kRowOrders[] = {{false, false}, {true, true}, {false, true}, {true, false}};

std::string describe(const RowOrders& o)
{
    return std::string("source ") + (o.sourceTopDown ? "top-down" : "bottom-up") + ", destination "
        + (o.destinationTopDown ? "top-down" : "bottom-up");
}

// Runs effect on tagged pictures and compares with expected(x, y).
void expectEffect(TransitionEffect effect, uint32_t step, uint32_t count, int32_t srcW, int32_t srcH, int32_t dstW,
                  int32_t dstH, uint32_t outW, uint32_t outH, const test::PixelFunction& expected)
{
    for (const auto& order : kRowOrders) {
        auto src = truecolorPicture(srcW, srcH, order.sourceTopDown, [](uint32_t x, uint32_t y) { return tagged(kSrc, x, y); });
        auto dst = truecolorPicture(dstW, dstH, order.destinationTopDown, [](uint32_t x, uint32_t y) { return tagged(kDst, x, y); });
        ByteBuffer out;
        ASSERT_TRUE(effect(out, src, dst, step, count)) << describe(order);
        EXPECT_EQ(differences(out.bytes(), outW, outH, expected), "") << describe(order);
    }
}

uint32_t S(uint32_t x, uint32_t y) { return tagged(kSrc, x, y); }
uint32_t D(uint32_t x, uint32_t y) { return tagged(kDst, x, y); }

TEST(CrossFadeEffect, BlendsEveryByteRoundingHalfUp)
{
    auto black = truecolorPicture(2, 2, false, [](uint32_t, uint32_t) { return 0x000000u; });
    auto white = truecolorPicture(2, 2, true, [](uint32_t, uint32_t) { return 0xFFFFFFu; });
    ByteBuffer out;
    ASSERT_TRUE(crossFadeEffect(out, black, white, 0, 1));
    EXPECT_EQ(differences(out.bytes(), 2, 2, [](uint32_t, uint32_t) { return 0x808080u; }), "");

    // n = 3, k = 0: a = 1/4; 100 * .25 + 200 * .75 + .5 = 175.5; 10 * .25 + 0 + .5 = 3.
    auto a = truecolorPicture(1, 1, false, [](uint32_t, uint32_t) { return 0xC80000u; });
    auto b = truecolorPicture(1, 1, false, [](uint32_t, uint32_t) { return 0x64000Au; });
    ASSERT_TRUE(crossFadeEffect(out, a, b, 0, 3));
    EXPECT_EQ(differences(out.bytes(), 1, 1, [](uint32_t, uint32_t) { return 0xAF0003u; }), "");
}

TEST(CrossFadeEffect, BlendsOnlyTheCommonAreaOfDifferentSizes)
{
    for (const auto& order : kRowOrders) {
        auto src = truecolorPicture(3, 2, order.sourceTopDown, [](uint32_t, uint32_t) { return 0x000000u; });
        auto dst = truecolorPicture(2, 3, order.destinationTopDown, [](uint32_t, uint32_t) { return 0xFEFEFEu; });
        ByteBuffer out;
        ASSERT_TRUE(crossFadeEffect(out, src, dst, 0, 1));
        EXPECT_EQ(differences(out.bytes(), 3, 2, [](uint32_t x, uint32_t) { return x < 2 ? 0x7F7F7Fu : 0u; }), "")
            << describe(order);
        EXPECT_EQ(out.size(), src.size());
        EXPECT_TRUE(std::equal(src.begin(), src.begin() + 40, out.data())) << "the source's header";
    }
}

TEST(DissolveEffect, DrawsOneNumberPerPixelFromTheTopAgainstTheThreshold)
{
    struct Case {
        uint32_t step, count;
        int threshold;
    };
    // T = (int)((k + 1) * 255 / (n + 1)).
    for (const Case c : {Case{0, 1, 127}, Case{14, 15, 239}, Case{0, 15, 15}}) {
        for (const auto& order : kRowOrders) {
            auto src = truecolorPicture(5, 3, order.sourceTopDown, S);
            auto dst = truecolorPicture(4, 4, order.destinationTopDown, D);
            // Seed 1012 draws 15, 239 and 127 among its first 12: each threshold is hit exactly.
            seedProcessRandom(1012);
            Random replay(1012);
            ByteBuffer out;
            ASSERT_TRUE(dissolveEffect(out, src, dst, c.step, c.count));
            std::vector<bool> fromDestination;
            for (int i = 0; i < 4 * 3; ++i)
                fromDestination.push_back((replay.next() & 255) <= c.threshold);
            auto expected = [&](uint32_t x, uint32_t y) {
                return x < 4 && fromDestination[y * 4 + x] ? D(x, y) : S(x, y);
            };
            EXPECT_EQ(differences(out.bytes(), 5, 3, expected), "") << describe(order) << ", n " << c.count;
            EXPECT_EQ(processRandom().next(), replay.next()) << "one number per pixel of the common area";
        }
    }
}

TEST(SlideEffects, HalfwayMovesTheSourceByHalfRoundedUp)
{
    // W = 5, n = 1: x = (int)(5 / 2.0 * 1 + 0.5) = 3.
    expectEffect(horizontalSlideEffect, 0, 1, 5, 2, 5, 2, 5, 2,
                 [](uint32_t x, uint32_t y) { return x < 3 ? D(x, y) : S(x - 3, y); });
    // H = 3, n = 1: y = (int)(1.5 + 0.5) = 2.
    expectEffect(verticalSlideEffect, 0, 1, 2, 3, 2, 3, 2, 3,
                 [](uint32_t x, uint32_t y) { return y < 2 ? D(x, y) : S(x, y - 2); });
}

TEST(SlideEffects, LastOfFifteenStepsLeavesOneColumnOrRow)
{
    // W = 16, n = 15, k = 14: x = (int)(16 / 16.0 * 15 + 0.5) = 15.
    expectEffect(horizontalSlideEffect, 14, 15, 16, 2, 16, 2, 16, 2,
                 [](uint32_t x, uint32_t y) { return x < 15 ? D(x, y) : S(x - 15, y); });
    expectEffect(verticalSlideEffect, 14, 15, 1, 16, 1, 16, 1, 16,
                 [](uint32_t x, uint32_t y) { return y < 15 ? D(x, y) : S(x, y - 15); });
}

TEST(SlideEffects, SourceIsClippedToTheDestinationsSize)
{
    // out is the destination (4 x 2); a 2 x 1 source lands at x = 2 on row 0 only.
    expectEffect(horizontalSlideEffect, 0, 1, 2, 1, 4, 2, 4, 2,
                 [](uint32_t x, uint32_t y) { return y == 0 && x >= 2 ? S(x - 2, y) : D(x, y); });
    // A 6 x 3 source on a 4 x 4 destination at y = 2: cut at the width and the bottom.
    expectEffect(verticalSlideEffect, 0, 1, 6, 3, 4, 4, 4, 4,
                 [](uint32_t x, uint32_t y) { return y >= 2 ? S(x, y - 2) : D(x, y); });
}

TEST(BlindsEffects, HalfwayCopiesEightOfEverySixteen)
{
    // 20 rows: bands 0-15 and 16-19; m = 8; the cut band still starts with destination rows.
    expectEffect(horizontalBlindsEffect, 0, 1, 3, 20, 3, 20, 3, 20,
                 [](uint32_t x, uint32_t y) { return y % 16 < 8 ? D(x, y) : S(x, y); });
    expectEffect(verticalBlindsEffect, 0, 1, 20, 2, 20, 2, 20, 2,
                 [](uint32_t x, uint32_t y) { return x % 16 < 8 ? D(x, y) : S(x, y); });
}

TEST(BlindsEffects, LastOfFifteenStepsAndPartialLastBand)
{
    // m = (int)(16 / 16.0 * 15 + 0.5) = 15; 18 columns leave a last band of 2.
    expectEffect(horizontalBlindsEffect, 14, 15, 2, 18, 2, 18, 2, 18,
                 [](uint32_t x, uint32_t y) { return y % 16 < 15 ? D(x, y) : S(x, y); });
    expectEffect(verticalBlindsEffect, 14, 15, 18, 2, 18, 2, 18, 2,
                 [](uint32_t x, uint32_t y) { return x % 16 < 15 ? D(x, y) : S(x, y); });
    // m = 8 in a last band of 3 columns: all 3 come from the destination.
    expectEffect(verticalBlindsEffect, 0, 1, 19, 1, 19, 1, 19, 1,
                 [](uint32_t x, uint32_t y) { return x % 16 < 8 ? D(x, y) : S(x, y); });
}

TEST(BlindsEffects, WorkOnTheCommonAreaOnly)
{
    // Source 20 x 5, destination 10 x 3: rows 3-4 and columns 10-19 keep the source.
    auto inCommon = [](uint32_t x, uint32_t y) { return x < 10 && y < 3; };
    expectEffect(horizontalBlindsEffect, 0, 1, 20, 5, 10, 3, 20, 5,
                 [&](uint32_t x, uint32_t y) { return inCommon(x, y) ? D(x, y) : S(x, y); });
    expectEffect(verticalBlindsEffect, 0, 1, 20, 5, 10, 3, 20, 5,
                 [&](uint32_t x, uint32_t y) { return inCommon(x, y) && x < 8 ? D(x, y) : S(x, y); });
}

TEST(DiscEffect, HalfwayDiscHasHalfTheDiagonal)
{
    // 8 x 6, n = 1: D = (int)(10 / 2 + .5) = 5, cy = 3, r = 2, rows 1-4.
    // dy = -2: L = (int)(2 * sqrt(6 - 4)) = 2 from x0 = 3; dy = -1, 0, 1: L = 4 from x0 = 2.
    expectEffect(discEffect, 0, 1, 8, 6, 8, 6, 8, 6, [](uint32_t x, uint32_t y) {
        const bool inside = (y == 1 && x >= 3 && x < 5) || (y >= 2 && y <= 4 && x >= 2 && x < 6);
        return inside ? D(x, y) : S(x, y);
    });
}

TEST(DiscEffect, DiameterBelowTwoCopiesNothing)
{
    // 2 x 2, n = 1: D = (int)(sqrt(8) / 2 + .5) = 1; 8 x 6, n = 15, k = 0: D = (int)(10 / 16 + .5) = 1.
    expectEffect(discEffect, 0, 1, 2, 2, 2, 2, 2, 2, S);
    expectEffect(discEffect, 0, 15, 8, 6, 8, 6, 8, 6, S);
}

TEST(DiscEffect, UsesTheCommonAreaOfDifferentSizes)
{
    // Source 9 x 7, destination 4 x 4: W = H = 4, D = 3, cy = 2, r = 1:
    // rows 1-2, L = 2 from x0 = 1.
    expectEffect(discEffect, 0, 1, 9, 7, 4, 4, 9, 7, [](uint32_t x, uint32_t y) {
        return y >= 1 && y <= 2 && x >= 1 && x <= 2 ? D(x, y) : S(x, y);
    });
}

TEST(WobbleEffect, ShiftsDestinationRowsAlongTheCosine)
{
    // H = 4, n = 1: A = (int)(4 / 2.0) = 2. c = 65536, 0, -65536, 0 for rows 0-3,
    // so the shifts are +2, 0, -2, 0 pixels.
    expectEffect(wobbleEffect, 0, 1, 4, 4, 4, 4, 4, 4, [](uint32_t x, uint32_t y) {
        switch (y) {
        case 0: return x >= 2 ? D(x - 2, y) : S(x, y);
        case 2: return x < 2 ? D(x + 2, y) : S(x, y);
        default: return D(x, y);
        }
    });
}

TEST(WobbleEffect, ShiftOfTheWholeWidthKeepsTheSourceRow)
{
    // As above but 2 wide: |s| = 6 bytes = 3W on rows 0 and 2.
    expectEffect(wobbleEffect, 0, 1, 2, 4, 2, 4, 2, 4,
                 [](uint32_t x, uint32_t y) { return y % 2 == 0 ? S(x, y) : D(x, y); });
}

TEST(WobbleEffect, OneRowPictureIsTheDestinationRow)
{
    expectEffect(wobbleEffect, 0, 1, 3, 1, 3, 1, 3, 1, D);
    expectEffect(wobbleEffect, 0, 15, 3, 1, 5, 1, 3, 1, D);
    // Only the common width; one row of the taller source.
    expectEffect(wobbleEffect, 3, 4, 5, 2, 3, 1, 5, 2,
                 [](uint32_t x, uint32_t y) { return y == 0 && x < 3 ? D(x, y) : S(x, y); });
}

TEST(WobbleEffect, LastStepShiftsByAFractionOfTheHeight)
{
    // H = 16, n = 3, k = 2: A = (int)(16 / 4.0) = 4; the shift of row y is
    // (c[y] * 4) >> 16 pixels, the shift rounding down: -25079 * 4 >> 16 = -2
    // on row 5 against +1 on row 3. Rows 4 and 12 (cosine near 0) stay put.
    static const int kShift[16] = {4, 3, 2, 1, 0, -2, -3, -4, -4, -4, -3, -2, 0, 1, 2, 3};
    expectEffect(wobbleEffect, 2, 3, 8, 16, 8, 16, 8, 16, [](uint32_t x, uint32_t y) {
        const int from = int(x) - kShift[y];
        return from >= 0 && from < 8 ? D(uint32_t(from), y) : S(x, y);
    });
}

using EffectCase = std::pair<const char*, TransitionEffect>;
const EffectCase kEffects[] = {
    {"cross-fade", crossFadeEffect}, {"dissolve", dissolveEffect},
    {"horizontal slide", horizontalSlideEffect}, {"vertical slide", verticalSlideEffect},
    {"horizontal blinds", horizontalBlindsEffect}, {"vertical blinds", verticalBlindsEffect},
    {"disc", discEffect}, {"wobble", wobbleEffect},
};

TEST(TransitionEffects, RefuseWhatIsNotATrueColorPictureOrABadStep)
{
    auto good = truecolorPicture(4, 4, false, S);
    test::DibBuilder eightBit;
    eightBit.header = makeDibHeader(4, 1, 8, 2);
    eightBit.table = test::quads({0, 0xFFFFFF});
    eightBit.rows = {{0, 1, 0, 1}};
    auto palette = eightBit.build();
    std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
    for (const auto& [name, effect] : kEffects) {
        ByteBuffer out;
        ASSERT_TRUE(out.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
        EXPECT_FALSE(effect(out, palette, good, 0, 1)) << name;
        EXPECT_FALSE(effect(out, good, palette, 0, 1)) << name;
        EXPECT_FALSE(effect(out, truncated, good, 0, 1)) << name;
        EXPECT_FALSE(effect(out, good, {}, 0, 1)) << name;
        EXPECT_FALSE(effect(out, good, good, 1, 1)) << name << ": step must be below count";
        EXPECT_FALSE(effect(out, good, good, 0, 0)) << name;
        EXPECT_EQ(std::string(out.data(), out.data() + out.size()), "keep") << name << ": out untouched";
        EXPECT_TRUE(effect(out, good, good, 0, 1)) << name;
    }
}

} // namespace
} // namespace zell
