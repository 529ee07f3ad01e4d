// zell-cli edit, run as a user would: the steps are the engine's edits,
// which their own oracle checks against ImageMagick.
#include <gtest/gtest.h>

#include <functional>

#include "document/gif_info.h"
#include "operations/frame_edits.h"
#include "operations/recipes.h"
#include "support/test_document.h"
#include "support/run_cli.h"

namespace zell {
namespace {

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
    using T = PictureTransform;
    const auto turn = [](Document& d, T t) { return transformAnimation(d, t); };
    struct Case {
        std::vector<std::string> operations;
        std::function<bool(Document&)> engine;
    };
    const std::vector<Case> cases = {
        {{"--rotate", "90", "--flip", "horizontal", "--reverse"},
         [&](Document& d) { return turn(d, T::rotate90) && turn(d, T::flipHorizontal) && reverseFrames(d, {}); }},
        {{"--pingpong", "--flip", "vertical", "--rotate", "180"},
         [&](Document& d) { return pingPongFrames(d, {}) && turn(d, T::flipVertical) && turn(d, T::rotate180); }},
        {{"--resize", "150%", "--filter", "nearest", "--frames", "3-5", "--rotate", "270"},
         [&](Document& d) {
             const ResizeOptions o{uint32_t(d.settings.screenWidth * 3 + 1) / 2,
                                   uint32_t(d.settings.screenHeight * 3 + 1) / 2, ScaleFilter::nearest, false};
             return resizeAnimation(d, o) && keepFrames(d, 2, 4) && turn(d, T::rotate270);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.operations));
        std::vector<std::string> args = {"edit", in_, "-o", out("out.gif")};
        args.insert(args.end(), c.operations.begin(), c.operations.end());
        const auto r = test::runCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        test::DocumentBuilder cli, engine;
        ASSERT_TRUE(test::importGif(cli.document, test::readFile(out("out.gif"))));
        ASSERT_TRUE(test::importGif(engine.document, test::readFile(in_)) && c.engine(engine.document));
        EXPECT_EQ(test::composedScreens(cli.document), test::composedScreens(engine.document));
        const GifStreamInfo i = info(out("out.gif"));
        ASSERT_EQ(i.images.size(), size_t(engine.document.frames.count()));
        for (size_t k = 0; k < i.images.size(); ++k)
            EXPECT_EQ(i.images[k].delay, engine.document.frames.frameAt(int(k))->delay) << k;
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

} // namespace
} // namespace zell
