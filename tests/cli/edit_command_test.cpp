// zell-cli edit, run as a user would, its results read by ImageMagick.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "document/gif_info.h"
#include "operations/recipes.h"
#include "support/test_document.h"
#include "support/run_cli.h"

namespace zell {
namespace {

// The real ImageMagick: a stand-in may come first on the PATH.
constexpr const char* kMagick = "/usr/bin/convert";

class EditCommand : public ::testing::Test, public test::DocumentBuilder {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::recipe("sprites on a global table").make(*this));
        GifSettings& s = document.settings;
        s.loop = s.loopLimited = s.saveComment = true;
        s.loopCount = 2;
        s.comment = "edited";
        test::writeFile(in_, test::exportedGif(document));
    }
    std::string out(const std::string& name) const { return folder_.str() + name; }

    // The GIF coalesced by ImageMagick and given `operation`, as RGBA bytes
    // of every screen, with the delays.
    std::string magick(const std::string& gif, const std::string& operation) const
    {
        const std::string command = "MAGICK_THREAD_LIMIT=1 " + std::string(kMagick) + " " + gif + " -coalesce "
            + operation + " -depth 8 -format '%T,' -write info:" + gif + ".txt rgba:" + gif + ".raw 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            return "refused";
        std::vector<uint8_t> shown = test::readFile(gif + ".txt"), raw = test::readFile(gif + ".raw");
        // The colour of a transparent pixel does not show.
        for (size_t p = 0; p + 3 < raw.size(); p += 4)
            if (raw[p + 3] == 0)
                std::fill_n(raw.begin() + long(p), 3, uint8_t(0));
        shown.insert(shown.end(), raw.begin(), raw.end());
        return std::string(shown.begin(), shown.end());
    }
    static GifStreamInfo info(const std::string& path)
    {
        GifStreamInfo i;
        EXPECT_EQ(readGifInfo(test::readFile(path), i), GifInfoError::None);
        return i;
    }

    test::ScratchDir folder_;
    const std::string in_ = folder_.str() + "in.gif";
};

TEST_F(EditCommand, OperationsApplyInTheOrderGiven)
{
    if (!std::filesystem::exists(kMagick))
        GTEST_SKIP() << "no ImageMagick at " << kMagick;
    struct Case {
        std::vector<std::string> operations;
        std::string magick;
    };
    const std::vector<Case> cases = {
        {{"--rotate", "90", "--flip", "horizontal", "--reverse"}, "-rotate 90 -flop -reverse"},
        {{"--pingpong", "--flip", "vertical", "--rotate", "180"}, "-duplicate 1,-2-1 -flip -rotate 180"},
        {{"--resize", "150%", "--filter", "nearest", "--frames", "3-5", "--rotate", "270"},
         "-sample 150% -delete 0,1,5--1 -rotate 270"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.magick);
        std::vector<std::string> args = {"edit", in_, "-o", out("out.gif")};
        args.insert(args.end(), c.operations.begin(), c.operations.end());
        const auto r = test::runCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(magick(out("out.gif"), ""), magick(in_, c.magick));
        const GifStreamInfo i = info(out("out.gif"));
        EXPECT_EQ(i.loopCount, std::optional<uint16_t>(2));
        EXPECT_EQ(i.comments, std::vector<std::string>{"edited"});
    }
}

TEST_F(EditCommand, ProjectsInAndOutAndOneNoteForHeldDelays)
{
    const auto r = test::runCli({"edit", in_, "-o", out("e.zpj"), "--crop", "20x10+3+4", "--delay", "1", "--speed", "400"});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t notes = 0;
    for (size_t at = r.err.find("note"); at != std::string::npos; at = r.err.find("note", at + 1))
        ++notes;
    EXPECT_EQ(notes, 1u) << r.err;
    ASSERT_EQ(test::runCli({"edit", out("e.zpj"), "-o", out("e.gif"), "--resize", "40x20"}).status, 0);
    const GifStreamInfo i = info(out("e.gif"));
    EXPECT_EQ(i.screenWidth, 40);
    EXPECT_EQ(i.screenHeight, 20);
    for (const GifImageInfo& image : i.images)
        EXPECT_EQ(image.delay, 2);
}

TEST_F(EditCommand, RefusesWhatItCannotDoAndWritesNothing)
{
    struct Case {
        std::vector<std::string> operations;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{}, 2, "at least one operation"},
        {{"--filter", "nearest", "--resize", "50%"}, 2, "belongs to the --resize"},
        {{"--rotate", "45"}, 2, "90, 180 or 270"},
        {{"--flip", "sideways"}, 2, "horizontal or vertical"},
        {{"--crop", "10x10+3"}, 2, "WxH+X+Y"},
        {{"--resize", "0x5"}, 2, "WxH"},
        {{"--resize", "50%", "--filter", "bicubic"}, 2, "nearest or smooth"},
        {{"--speed", "0"}, 2, "percentage"},
        {{"--frames", "5-2"}, 2, "A-B"},
        {{"--every"}, 2, "needs a value"},
        {{"--spin"}, 2, "unknown option"},
        {{"--crop", "10x10+500+500"}, 1, "outside the screen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.operations));
        std::vector<std::string> args = {"edit", in_, "-o", out("never.gif")};
        args.insert(args.end(), c.operations.begin(), c.operations.end());
        const auto r = test::runCli(args);
        EXPECT_EQ(r.status, c.status);
        test::expectContains(r.err, {c.says});
        EXPECT_FALSE(std::filesystem::exists(out("never.gif")));
        std::filesystem::remove(out("never.gif"));
    }
}

} // namespace
} // namespace zell
