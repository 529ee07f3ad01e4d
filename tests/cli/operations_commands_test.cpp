// zell-cli optimize and unify, run as a user would.
#include <gtest/gtest.h>

#include "document/gif_export.h"
#include "document/gif_info.h"
#include "support/run_cli.h"
#include "support/test_document.h"

namespace zell {
namespace {

class OperationsCommands : public ::testing::Test, public test::DocumentBuilder {
protected:
    // A sun crossing the sky over six 48x32 frames, each written whole with
    // its own 4-colour table, then a 2-colour frame; looping 3 times, with a
    // comment.
    void SetUp() override
    {
        screen(48, 32);
        const uint32_t sky = makeColor(40, 90, 200), sun = makeColor(250, 220, 0);
        for (int i = 0; i < 6; ++i) {
            std::vector<uint8_t> picture(48 * 32, 0);
            for (int y = 10; y < 16; ++y)
                std::fill_n(picture.begin() + y * 48 + 4 + 6 * i, 6, 1);
            add(48, 32, {sky, sun, makeColor(0, 0, uint8_t(i))}, picture).delay = 10;
        }
        add(48, 32, {sky, sun}, std::vector<uint8_t>(48 * 32, 0));
        GifSettings& s = document.settings;
        s.loop = s.loopLimited = s.saveComment = true;
        s.loopCount = 3;
        s.comment = "made by a test";
        ASSERT_TRUE(writeAnimatedGif(in_, document.frames, GifOutput::fromSettings(s, 0)));
    }
    std::string out(const std::string& name) { return folder_.str() + name; }
    static GifStreamInfo info(const std::string& path)
    {
        GifStreamInfo i;
        EXPECT_EQ(readGifInfo(test::readFile(path), i), GifInfoError::None);
        return i;
    }
    static test::Screens screensOf(const std::string& path)
    {
        test::DocumentBuilder f;
        EXPECT_TRUE(test::importGif(f.document, test::readFile(path)));
        return test::composedScreens(f.document);
    }

    test::ScratchDir folder_;
    const std::string in_ = folder_.str() + "in.gif";
};

TEST_F(OperationsCommands, OptimizeCropsAndKeepsLoopingAndComment)
{
    const auto r = test::runCli({"optimize", in_, "-o", out("o.gif"), "--transparency"});
    ASSERT_EQ(r.status, 0) << r.err;
    const GifStreamInfo i = info(out("o.gif"));
    EXPECT_EQ(i.loopCount, std::optional<uint16_t>(3));
    EXPECT_EQ(i.comments, std::vector<std::string>{"made by a test"});
    ASSERT_EQ(i.images.size(), 7u);
    EXPECT_EQ(i.images[1].width, 12) << "the sun's old and new place";
    EXPECT_EQ(screensOf(out("o.gif")), screensOf(in_));
    EXPECT_LT(test::readFile(out("o.gif")).size(), test::readFile(in_).size());

    ASSERT_EQ(test::runCli({"optimize", in_, "-o", out("o.zpj"), "--auto-transparency", "--drop-unchanged"}).status, 0);
    ASSERT_EQ(test::runCli({"optimize", out("o.zpj"), "-o", out("again.gif")}).status, 0) << "the project reads back";
    EXPECT_EQ(info(out("again.gif")).images.size(), 7u);
}

TEST_F(OperationsCommands, UnifyInstallsOneGlobalTable)
{
    const auto r = test::runCli({"unify", in_, "-o", out("u.gif"), "--colors", "8", "--keep-background"});
    ASSERT_EQ(r.status, 0) << r.err;
    const GifStreamInfo i = info(out("u.gif"));
    EXPECT_EQ(i.globalTableSize, 8);
    for (const GifImageInfo& image : i.images)
        EXPECT_EQ(image.localTableSize, 0);
    EXPECT_EQ(i.loopCount, std::optional<uint16_t>(3));
    EXPECT_EQ(screensOf(out("u.gif")), screensOf(in_)) << "every colour fits in 8 entries";

    ASSERT_EQ(test::runCli({"unify", in_, "-o", out("k.gif"), "--colors", "16", "--only-colors", "2", "--keep-local"}).status, 0);
    const GifStreamInfo k = info(out("k.gif"));
    EXPECT_EQ(k.globalTableSize, 16);
    EXPECT_EQ(k.images[0].localTableSize, 4) << "not a 2-colour frame";
    EXPECT_EQ(k.images[6].localTableSize, 16) << "its own table holds the new palette";
}

} // namespace
} // namespace zell
