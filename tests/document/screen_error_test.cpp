#include "document/screen_error.h"

#include <gtest/gtest.h>

#include "document/gif_export.h"
#include "image/lzw_lossy.h"
#include "image/random.h"
#include "support/test_document.h"

namespace zell {
namespace {

// Greys only: a grey moved within the lossy bound is off by at most the
// bound in every channel, so the mean squared error is at most its square.
TEST(ScreenError, NoneForTheExactOutputAndWithinTheBoundForALossyOne)
{
    test::DocumentBuilder b;
    b.screen(96, 64);
    std::vector<uint32_t> greys(64);
    for (uint32_t i = 0; i < greys.size(); ++i)
        greys[i] = 0x030303u * i;
    Random random(5);
    for (int f = 0; f < 3; ++f) {
        std::vector<uint8_t> indices(96 * 64);
        for (size_t i = 0; i < indices.size(); ++i)
            indices[i] = uint8_t(std::min<uint32_t>(63, uint32_t(i % 96) * 2 / 3 + random.next() % 4 + f));
        b.add(96, 64, greys, indices);
    }
    double error = -1;
    ASSERT_TRUE(screenError(b.document, test::exportedGif(b.document), error));
    EXPECT_EQ(error, 0);
    const int level = 120;
    std::vector<uint8_t> gif;
    ASSERT_TRUE(encodeAnimatedGif(b.document.frames,
                                  GifOutput::fromSettings(b.document.settings, kSaveLosslessDefault | lossyOption(level)), gif));
    ASSERT_TRUE(screenError(b.document, gif, error));
    EXPECT_GT(error, 0);
    EXPECT_LE(error, lossyBound(level) * lossyBound(level));
}

// Frames merged into one longer frame are weighed over the time they show;
// a frame shown late costs the time it is late.
TEST(ScreenError, AnOutputOfOtherFramesIsWeighedOverTheSameTime)
{
    const uint32_t red = 0x0000FF, blue = 0xFF0000;
    const std::vector<uint8_t> solid(8 * 8, 0);
    const auto animation = [&](std::vector<std::pair<uint32_t, uint16_t>> frames, uint16_t width = 8) {
        auto b = std::make_unique<test::DocumentBuilder>();
        b->screen(width, 8);
        for (const auto& [color, delay] : frames)
            b->add(8, 8, {color}, solid).delay = delay;
        return b;
    };
    const auto reference = animation({{red, 10}, {red, 10}, {blue, 20}});
    double error = -1;
    ASSERT_TRUE(screenError(reference->document, test::exportedGif(animation({{red, 20}, {blue, 20}})->document),
                            error));
    EXPECT_EQ(error, 0);
    // The third frame's screen is red for blue: two channels off by 255.
    ASSERT_TRUE(screenError(reference->document, test::exportedGif(animation({{red, 30}, {blue, 10}})->document),
                            error));
    EXPECT_DOUBLE_EQ(error, 2.0 * 255 * 255 / 3 / 3);
    EXPECT_FALSE(screenError(reference->document,
                             test::exportedGif(animation({{red, 20}, {blue, 20}}, 16)->document), error))
        << "another screen size";
    EXPECT_FALSE(screenError(reference->document, std::vector<uint8_t>{'G', 'I', 'F'}, error));
}

} // namespace
} // namespace zell
