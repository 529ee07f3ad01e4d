#include "playback/builtin_transition.h"

#include <gtest/gtest.h>

#include "playback/transition_run.h"
#include "playback/transition_test_pictures.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::truecolorPicture;

TEST(BuiltinTransition, RunOfThreeCrossFadesAtQuarters)
{
    auto black = truecolorPicture(3, 2, false, [](uint32_t, uint32_t) { return 0u; });
    auto white = truecolorPicture(3, 2, true, [](uint32_t, uint32_t) { return 0xFFFFFFu; });
    BuiltinTransition fade(crossFadeEffect);
    std::vector<uint32_t> seen;
    ASSERT_TRUE(runTransition(fade, black, white, 3, [&](uint32_t step, const ByteBuffer& picture) {
        EXPECT_EQ(step, seen.size());
        seen.push_back(test::pixelRgb(picture.data(), 2, 1));
        return true;
    }));
    // 255 / 4 + .5 = 64.25, 255 / 2 + .5 = 128, 255 * 3 / 4 + .5 = 191.75.
    EXPECT_EQ(seen, (std::vector<uint32_t>{0x404040, 0x808080, 0xBFBFBF}));
}

TEST(BuiltinTransition, NeedsBothPicturesAndStopsAtTheFirstFailure)
{
    auto picture = truecolorPicture(2, 2, false, [](uint32_t, uint32_t) { return 0u; });
    BuiltinTransition slide(horizontalSlideEffect);
    EXPECT_FALSE(slide.begin(picture, {}));
    EXPECT_FALSE(slide.begin({}, picture));

    int taken = 0;
    EXPECT_FALSE(runTransition(slide, picture, picture, 5, [&](uint32_t step, const ByteBuffer&) {
        ++taken;
        return step < 1; // the caller fails to keep the second picture
    }));
    EXPECT_EQ(taken, 2);

    std::vector<uint8_t> notAPicture(10, 0);
    taken = 0;
    EXPECT_FALSE(runTransition(slide, notAPicture, picture, 5, [&](uint32_t, const ByteBuffer&) { return ++taken; }));
    EXPECT_EQ(taken, 0);
}

} // namespace
} // namespace zell
