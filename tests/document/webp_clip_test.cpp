#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "document/clip_import.h"
#include "document/clip_source.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

std::vector<uint8_t> clipFile(const char* name)
{
    return test::readFile(std::filesystem::path(ZELL_SOURCE_DIR) / "tests/data/clips" / name);
}

uint32_t rgbaAt(const ClipFrame& frame, uint32_t x, uint32_t y)
{
    const uint8_t* p = frame.rgba.data() + (size_t(y) * frame.width + x) * 4;
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The second frame is stored as a 2 x 2 rectangle blended over the first,
// so its corner pixels show whether the decoder composed it.
TEST(WebPClip, AnimatedFramesComeComposedWithTheirTimingAndRewind)
{
    Failure why = Failure::none;
    auto clip = openWebPClip(clipFile("three_frames.webp"), &why);
    ASSERT_TRUE(clip) << int(why);
    const ClipInfo& info = clip->info();
    EXPECT_TRUE(info.width == 8 && info.height == 6 && info.frameCount == 3);
    EXPECT_DOUBLE_EQ(info.duration, 0.39);
    EXPECT_NEAR(info.frameRate, 3 / 0.39, 1e-9);

    for (int pass = 0; pass < 2; ++pass) {
        std::vector<ClipFrame> frames;
        ClipFrame frame;
        while (clip->next(frame))
            frames.push_back(frame);
        EXPECT_FALSE(clip->failed());
        ASSERT_EQ(frames.size(), 3u) << "pass " << pass;
        const double times[] = {0, 0.1, 0.14}, durations[] = {0.1, 0.04, 0.25};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(frames[i].rgba.size(), 8u * 6 * 4);
            EXPECT_DOUBLE_EQ(frames[i].time, times[i]) << i;
            EXPECT_DOUBLE_EQ(frames[i].duration, durations[i]) << i;
        }
        EXPECT_EQ(rgbaAt(frames[0], 2, 2), 0xFF0000FFu);
        EXPECT_EQ(rgbaAt(frames[1], 2, 2), 0x00FF00FFu);
        EXPECT_EQ(rgbaAt(frames[1], 3, 3), 0x00FF00FFu);
        EXPECT_EQ(rgbaAt(frames[1], 1, 2), 0xFF0000FFu) << "outside the rectangle the first frame stays";
        EXPECT_EQ(rgbaAt(frames[2], 3, 3), 0x0000FFFFu);
        ASSERT_TRUE(clip->rewind());
    }
}

// Every prefix of a good file is refused when opened, with a failure that
// tells another format from a broken WebP.
TEST(WebPClip, TruncatedFilesAreRefused)
{
    const std::vector<uint8_t> whole = clipFile("three_frames.webp");
    for (size_t size = 0; size < whole.size(); ++size) {
        Failure why = Failure::none;
        auto clip = openWebPClip(std::span(whole.data(), size), &why);
        EXPECT_FALSE(clip) << size;
        const Failure expected = size == 0 ? Failure::empty : size < 12 ? Failure::notSupported : Failure::damaged;
        EXPECT_EQ(why, expected) << size;
    }
}

TEST(WebPClip, RefusesWhatIsNotAWebPAndCanvasesBeyondThePixelLimit)
{
    Failure why = Failure::none;
    EXPECT_FALSE(openWebPClip(clipFile("README"), &why));
    EXPECT_EQ(why, Failure::notSupported);
    EXPECT_FALSE(openWebPClip(std::string(ZELL_SOURCE_DIR "/tests/data/clips/missing.webp"), &why));
    EXPECT_EQ(why, Failure::cannotRead);

    // The canvas (24-bit sizes less one, after "VP8X", its size and flags)
    // claimed as 8192 x 8193; every frame still fits in it.
    std::vector<uint8_t> huge = clipFile("three_frames.webp");
    ASSERT_EQ(std::string(huge.begin() + 12, huge.begin() + 16), "VP8X");
    const uint32_t w = 8192 - 1, h = 8193 - 1;
    for (int i = 0; i < 3; ++i) {
        huge[24 + i] = uint8_t(w >> (8 * i));
        huge[27 + i] = uint8_t(h >> (8 * i));
    }
    why = Failure::none;
    EXPECT_FALSE(openWebPClip(huge, &why));
    EXPECT_EQ(why, Failure::tooLarge);
}

} // namespace
} // namespace zell
