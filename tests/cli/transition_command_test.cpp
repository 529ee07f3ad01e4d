#include <gtest/gtest.h>

#include "document/document.h"
#include "document/gif_export.h"
#include "document/gif_info.h"
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
};

#ifdef ZELL_HAVE_GIFLIB
TEST_F(TransitionCommand, ThreeBlendStepsLeadToTheNextFrame)
{
    writeInput({makeColor(0, 0, 0), makeColor(200, 100, 40)});
    const auto result = run({"--after", "1", "--pattern", "αブレンド", "--steps", "3", "--delay", "7"});
    ASSERT_EQ(result.status, 0) << result.err;

    // The blend itself is the transition's own business: here each step lies
    // between the two frames, nearer the second as it goes.
    std::vector<test::GiflibImage> images;
    ASSERT_TRUE(test::giflibDecode(test::readFile(output), images));
    ASSERT_EQ(images.size(), 5u);
    for (size_t i = 1; i < images.size(); ++i)
        EXPECT_LT(images[i - 1].colors.at(images[i - 1].indices[0]), images[i].colors.at(images[i].indices[0])) << i;
    GifStreamInfo stream;
    ASSERT_EQ(readGifInfo(test::readFile(output), stream), GifInfoError::None);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(stream.images[i].delay, i == 0 || i == 4 ? 50 : 7) << i;
    EXPECT_EQ(stream.loopCount, std::optional<uint16_t>(3)) << "the input's looping is kept";
    EXPECT_EQ(stream.comments, std::vector<std::string>({"made for a test"}));
}
#endif

} // namespace
} // namespace zell
