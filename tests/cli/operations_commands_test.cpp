// zell-cli optimize and unify, run as a user would.
#include <gtest/gtest.h>

#include "document/gif_export.h"
#include "document/gif_info.h"
#include "operations/animation_fixture.h"
#include "support/run_cli.h"

namespace zell {
namespace {

constexpr uint32_t kSky = makeColor(40, 90, 200);
constexpr uint32_t kSun = makeColor(250, 220, 0);

class OperationsCommands : public ::testing::Test, public test::AnimationFixture {
protected:
    // A sun crossing the sky over six 48x32 frames, each written whole with
    // its own 4-colour table; looping 3 times, with a comment.
    std::string writeInput()
    {
        screen(48, 32);
        for (int i = 0; i < 6; ++i) {
            std::vector<uint8_t> picture(48 * 32, 0);
            for (int y = 10; y < 16; ++y)
                for (int x = 4 + 6 * i; x < 10 + 6 * i; ++x)
                    picture[size_t(y) * 48 + size_t(x)] = 1;
            add(48, 32, {kSky, kSun, makeColor(0, 0, uint8_t(i))}, picture).delay = 10;
        }
        add(48, 32, {kSky, kSun}, std::vector<uint8_t>(48 * 32, 0)); // the sun sets: a 2-colour frame
        document().settings.loop = true;
        document().settings.loopLimited = true;
        document().settings.loopCount = 3;
        document().settings.saveComment = true;
        document().settings.comment = "made by a test";
        const std::string path = folder_.str() + "in.gif";
        EXPECT_TRUE(writeAnimatedGif(path, document().frames, GifOutput::fromSettings(document().settings, 0)));
        return path;
    }
    std::string out(const std::string& name) { return folder_.str() + name; }
    static GifStreamInfo info(const std::string& path)
    {
        GifStreamInfo i;
        EXPECT_EQ(readGifInfo(test::readFile(path), i), GifInfoError::None);
        return i;
    }
    static std::vector<std::vector<uint8_t>> screensOf(const std::string& path)
    {
        test::AnimationFixture f;
        EXPECT_TRUE(test::importGif(f.document(), test::readFile(path)));
        return test::composedScreens(f.document());
    }

    test::ScratchDir folder_;
};

TEST_F(OperationsCommands, OptimizeCropsAndKeepsLoopingAndComment)
{
    const std::string in = writeInput();
    const auto r = test::runCli({"optimize", in, "-o", out("o.gif"), "--transparency"});
    ASSERT_EQ(r.status, 0) << r.err;
    const GifStreamInfo i = info(out("o.gif"));
    EXPECT_EQ(i.loopCount, std::optional<uint16_t>(3));
    EXPECT_EQ(i.comments, std::vector<std::string>{"made by a test"});
    ASSERT_EQ(i.images.size(), 7u);
    EXPECT_EQ(i.images[1].width, 12) << "the sun's old and new place";
    EXPECT_EQ(screensOf(out("o.gif")), screensOf(in));
    EXPECT_LT(test::readFile(out("o.gif")).size(), test::readFile(in).size());
}

TEST_F(OperationsCommands, OptimizeWritesAProject)
{
    const std::string in = writeInput();
    ASSERT_EQ(test::runCli({"optimize", in, "-o", out("o.zpj"), "--auto-transparency", "--drop-unchanged"}).status, 0);
    const auto r = test::runCli({"optimize", out("o.zpj"), "-o", out("again.gif")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(info(out("again.gif")).images.size(), 7u);
}

TEST_F(OperationsCommands, UnifyInstallsOneGlobalTable)
{
    const std::string in = writeInput();
    const auto r = test::runCli({"unify", in, "-o", out("u.gif"), "--colors", "8", "--keep-background"});
    ASSERT_EQ(r.status, 0) << r.err;
    const GifStreamInfo i = info(out("u.gif"));
    EXPECT_EQ(i.globalTableSize, 8);
    for (const GifImageInfo& image : i.images)
        EXPECT_EQ(image.localTableSize, 0);
    EXPECT_EQ(i.loopCount, std::optional<uint16_t>(3));
    EXPECT_EQ(screensOf(out("u.gif")), screensOf(in)) << "every colour fits in 8 entries";

    ASSERT_EQ(test::runCli({"unify", in, "-o", out("k.gif"), "--colors", "16", "--only-colors", "2", "--keep-local"}).status, 0);
    const GifStreamInfo k = info(out("k.gif"));
    EXPECT_EQ(k.globalTableSize, 16);
    EXPECT_EQ(k.images[0].localTableSize, 4) << "not a 2-colour frame";
    EXPECT_EQ(k.images[6].localTableSize, 16) << "its own table holds the new palette";
}

TEST_F(OperationsCommands, UsageAndFailures)
{
    const std::string in = writeInput();
    EXPECT_EQ(test::runCli({"unify", in, "-o", out("u.gif"), "--colors", "48"}).status, 2);
    EXPECT_EQ(test::runCli({"unify", in, "-o", out("u.gif")}).status, 2);
    EXPECT_EQ(test::runCli({"optimize", in}).status, 2);
    EXPECT_EQ(test::runCli({"optimize", in, "-o", out("o.gif"), "--fast"}).status, 2);
    const auto missing = test::runCli({"optimize", out("none.gif"), "-o", out("o.gif")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.gif"), std::string::npos);
    EXPECT_EQ(test::runCli({"optimize", "--help"}).status, 0);
}

} // namespace
} // namespace zell
