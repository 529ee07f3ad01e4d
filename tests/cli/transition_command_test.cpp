#include <gtest/gtest.h>

#include <tuple>

#include "document/document.h"
#include "document/gif_export.h"
#include "document/gif_info.h"
#include "document/project_file.h"
#include "support/gif_oracle.h"
#include "support/run_cli.h"
#include "support/scoped_environment.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

class TransitionCommand : public ::testing::Test {
protected:
    test::ScratchDir dir;
    test::ScopedEnvironment noPlugins{"ZELL_PLUGIN_PATH", nullptr};
    std::string input = dir.str() + "in.gif";
    std::string output = dir.str() + "out.gif";

    // Full-screen 4 x 2 frames of one colour each, 500 ms, looping 3 times, with a comment.
    void writeInput(const std::vector<uint32_t>& colors)
    {
        test::DocumentBuilder built;
        for (uint32_t color : colors)
            built.add(4, 2, {color}, std::vector<uint8_t>(8, 0)).delay = 50;
        GifOutput gif;
        gif.screenWidth = 4;
        gif.screenHeight = 2;
        gif.loopValue = 3;
        gif.comment = "made for a test";
        ASSERT_TRUE(writeAnimatedGif(input, built.document.frames, gif));
    }
    test::CliResult run(std::vector<std::string> options)
    {
        options.insert(options.begin(), {"transition", input, "-o", output});
        return test::runCli(options);
    }
    GifStreamInfo info()
    {
        GifStreamInfo i;
        EXPECT_EQ(readGifInfo(test::readFile(output), i), GifInfoError::None);
        return i;
    }
};

#ifdef ZELL_HAVE_GIFLIB
TEST_F(TransitionCommand, ThreeCrossFadeFramesAtAQuarterAHalfAndThreeQuarters)
{
    writeInput({makeColor(0, 0, 0), makeColor(200, 100, 40)});
    const auto result = run({"--after", "1", "--pattern", "αブレンド", "--steps", "3", "--delay", "7"});
    ASSERT_EQ(result.status, 0) << result.err;

    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(test::readFile(output), images));
    ASSERT_EQ(images.size(), 5u);
    // (int)(200 a + 0.5) and so on for a = 1/4, 1/2, 3/4; then the next frame.
    const uint32_t expected[] = {makeColor(50, 25, 10), makeColor(100, 50, 20), makeColor(150, 75, 30),
                                 makeColor(200, 100, 40)};
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(images[1 + i].indices.size(), 8u);
        for (uint8_t index : images[1 + i].indices)
            EXPECT_EQ(images[1 + i].colors.at(index), expected[i]) << "image " << i + 1;
    }
    const GifStreamInfo stream = info();
    for (size_t i = 1; i <= 3; ++i) {
        const GifImageInfo& image = stream.images[i];
        // A table of its own, one colour in 1 bit.
        EXPECT_EQ(std::make_tuple(image.delay, image.disposal, image.transparentIndex.has_value(), image.localTableSize),
                  std::make_tuple(uint16_t(7), uint8_t(1), false, uint16_t(2)));
    }
    EXPECT_EQ(stream.images[0].delay, 50);
    EXPECT_EQ(stream.loopCount, std::optional<uint16_t>(3)) << "the input's looping is kept";
    EXPECT_EQ(stream.comments, std::vector<std::string>({"made for a test"}));
}
#endif

TEST_F(TransitionCommand, AProjectKeepsTheNamesOfTheNewFrames)
{
    writeInput({makeColor(0, 0, 0), makeColor(200, 100, 40), makeColor(9, 9, 9)});
    output = dir.str() + "out.zpj";
    ASSERT_EQ(run({"--after", "3", "--steps", "2"}).status, 0);
    test::DocumentBuilder opened;
    Document& document = opened.document;
    ASSERT_TRUE(openProject(document, output));
    ASSERT_EQ(document.frames.count(), 5);
    EXPECT_EQ(document.frames.frameAt(2)->name, "[in]の[003]");
    EXPECT_EQ(document.frames.frameAt(3)->name, " [[in]の[003] >>]の[001]");
    EXPECT_EQ(document.frames.frameAt(4)->name, " [[in]の[003] >>]の[002]");
    EXPECT_EQ(document.frames.frameAt(4)->delay, 8) << "the default delay";
}

TEST_F(TransitionCommand, OneFrameNeedsAColour)
{
    writeInput({makeColor(0, 0, 0)});
    const auto noNext = run({"--after", "1"});
    EXPECT_EQ(noNext.status, 1);
    test::expectContains(noNext.err, {"--to-color"});
    EXPECT_FALSE(std::filesystem::exists(output));
    ASSERT_EQ(run({"--after", "1", "--steps", "1", "--to-color", "FFFFFF"}).status, 0);
    EXPECT_EQ(info().images.size(), 2u);
}

} // namespace
} // namespace zell
