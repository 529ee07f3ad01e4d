// Every part of zell that composes frames must show what a GIF viewer shows:
// the screen composer behind `frames --composed` and transitions, the player,
// the optimising export and the optimizer, checked against giflib on real
// animations and on recipes for the cases where composers tend to drift.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "document/gif_export.h"
#include "document/screen_composer.h"
#include "operations/animation_fixture.h"
#include "operations/optimizer.h"
#include "image/lzw_codec.h"
#include "playback/preview_player.h"
#include "support/corpus.h"
#include "support/gif_builder.h"
#include "support/gif_screens.h"
#include "support/run_cli.h"

namespace zell {
namespace {

#ifdef ZELL_HAVE_GIFLIB

using test::Screens;

// A composed 24-bit screen as RGB rows from the top, as giflibScreens gives it.
std::vector<uint8_t> rgbRows(const std::vector<uint8_t>& dib)
{
    DibHeader h;
    if (!checkDib(dib, &h))
        return {};
    std::vector<uint8_t> rgb;
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* row = dib.data() + dibRowOffset(h, y);
        for (int32_t x = 0; x < h.width; ++x)
            rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    return rgb;
}

Screens rgbScreens(const Screens& dibs)
{
    Screens out;
    for (const auto& s : dibs)
        out.push_back(rgbRows(s));
    return out;
}

class ClockAtHand : public Clock {
public:
    uint32_t nowMs() override { return now; }
    uint32_t now = 0;
};

class DocumentHost : public PlayerHost {
public:
    explicit DocumentHost(const Document& document) : document_(document) {}
    const Frame* frame(int index) override { return document_.frames.frameAt(index); }
    const ColorTable& globalTable() override { return document_.settings.globalColorTable; }
    int speed() override { return 0; }
    void frameShown(int index) override { shown.push_back(index); }
    std::vector<int> shown;

private:
    const Document& document_;
};

// The screens the player shows for one pass, fast-forwarded by the clock.
Screens playerScreens(const Document& document)
{
    DocumentHost host(document);
    ClockAtHand clock;
    PreviewPlayer player(host, clock);
    player.setScreen(uint16_t(document.settings.screenWidth), uint16_t(document.settings.screenHeight));
    player.setBackground(backgroundColor(document.settings));
    Screens screens;
    auto record = [&] {
        const ByteBuffer& s = player.canvas().displayCanvas;
        screens.emplace_back(s.data(), s.data() + s.size());
    };
    player.start(); // false for a single frame, which is shown all the same
    if (host.shown.empty())
        return {};
    record();
    player.pressMode(kModeFastForward);
    while (player.playing() && screens.size() < size_t(document.frames.count())) {
        const size_t before = host.shown.size();
        clock.now += 100;
        player.tick();
        if (host.shown.size() > before)
            record();
    }
    player.stop();
    return screens;
}

// Each way of composing, from the same imported document.
struct Caller {
    const char* name;
    std::function<Screens(test::AnimationFixture&)> screens;
};

const Caller kCallers[] = {
    {"screen composer", [](test::AnimationFixture& f) { return test::composedScreens(f.document()); }},
    {"player", [](test::AnimationFixture& f) { return playerScreens(f.document()); }},
    {"optimising export",
     [](test::AnimationFixture& f) {
         test::ScratchDir folder;
         const std::string path = folder.str() + "out.gif";
         Screens screens;
         const GifOutput output = GifOutput::fromSettings(f.document().settings, kSaveOptimize | kSaveTransparency);
         if (!writeAnimatedGif(path, f.document().frames, output)
             || !test::giflibScreens(test::readFile(path), screens, backgroundColor(f.document().settings)))
             return Screens{};
         return screens;
     }},
    {"optimizer",
     [](test::AnimationFixture& f) {
         if (!optimize(f.document(), kSaveOptimize | kSaveTransparency))
             return Screens{};
         return test::composedScreens(f.document());
     }},
    // Issue 18: the lossless modes, read back by giflib.
    {"lossless export",
     [](test::AnimationFixture& f) {
         test::ScratchDir folder;
         const std::string path = folder.str() + "out.gif";
         Screens screens;
         const GifOutput output = GifOutput::fromSettings(f.document().settings, kSaveLosslessDefault);
         if (!writeAnimatedGif(path, f.document().frames, output)
             || !test::giflibScreens(test::readFile(path), screens, backgroundColor(f.document().settings)))
             return Screens{};
         return screens;
     }},
    {"lossless optimizer",
     [](test::AnimationFixture& f) {
         if (!optimize(f.document(), kSaveLosslessDefault))
             return Screens{};
         test::ScratchDir folder;
         const std::string path = folder.str() + "out.gif";
         Screens screens;
         const GifOutput output = GifOutput::fromSettings(f.document().settings, 0);
         if (!writeAnimatedGif(path, f.document().frames, output)
             || !test::giflibScreens(test::readFile(path), screens, backgroundColor(f.document().settings)))
             return Screens{};
         return screens;
     }},
};

// Compares every caller with giflib's rendering of `gif`; false when zell's
// import refuses the file (nothing to compare).
bool expectSameScreens(const std::vector<uint8_t>& gif, const std::string& what)
{
    SCOPED_TRACE(what);
    // zell shows the background in the global table's background colour.
    test::AnimationFixture imported;
    if (!test::importGif(imported.document(), gif))
        return false;
    Screens reference;
    if (!test::giflibScreens(gif, reference, backgroundColor(imported.document().settings)) || reference.empty())
        return false;
    for (const Caller& caller : kCallers) {
        test::AnimationFixture fixture;
        if (!test::importGif(fixture.document(), gif))
            return false;
        const Screens screens = caller.screens(fixture);
        const std::string name = caller.name;
        const bool giflib = name == "optimising export" || name.rfind("lossless", 0) == 0;
        const Screens rgb = giflib ? screens : rgbScreens(screens);
        EXPECT_EQ(rgb, reference) << caller.name;
    }
    return true;
}

std::vector<uint8_t> lzw(const std::vector<uint8_t>& indices)
{
    std::vector<uint8_t> codes;
    LzwCodec().compress(indices, 2, codes);
    return codes;
}

// Two frames of a four-colour table whose transparent index is 5.
test::GifBuilder transparentBeyondTheTable()
{
    return test::GifBuilder().screen(2, 1, test::testPalette(4))
        .control(0x05, 10, 5).image(0, 0, 2, 1, 0, {}, 2, lzw({1, 2}))
        .control(0x05, 10, 5).image(0, 0, 2, 1, 0, {}, 2, lzw({3, 0})).trailer();
}

// Recipes for what composers get wrong: transparency at or beyond the table,
// every disposal, frames partly or wholly off the screen, local tables.
TEST(Compositor, EveryCallerShowsWhatGiflibShows)
{
    const auto four = test::testPalette(4);
    const auto two = test::testPalette(2, 9);
    struct Recipe {
        const char* name;
        test::GifBuilder gif;
    };
    std::vector<Recipe> recipes;
    recipes.push_back({"transparent index beyond the table", transparentBeyondTheTable()});
    recipes.push_back({"transparent index 0 over every disposal", test::GifBuilder()
        .screen(3, 2, four).control(0x01, 5, 0).image(0, 0, 3, 2, 0, {}, 2, lzw({1, 2, 3, 3, 2, 1}))
        .control(0x09, 5, 0).image(1, 0, 2, 2, 0, {}, 2, lzw({0, 3, 2, 0}))
        .control(0x0D, 5, 0).image(0, 1, 2, 1, 0, {}, 2, lzw({0, 1}))
        .control(0x05, 5, 3).image(0, 0, 3, 2, 0x80, two, 2, lzw({0, 1, 1, 0, 1, 0})).trailer()});
    recipes.push_back({"frames partly and wholly off the screen", test::GifBuilder()
        .screen(2, 2, four).image(0, 0, 2, 2, 0, {}, 2, lzw({1, 2, 3, 0}))
        .image(1, 1, 2, 2, 0, {}, 2, lzw({2, 2, 3, 1}))
        .control(0x08, 0, 0).image(5, 0, 1, 1, 0, {}, 2, lzw({3}))
        .image(0, 7, 1, 1, 0, {}, 2, lzw({2})).trailer()});
    for (Recipe& r : recipes)
        EXPECT_TRUE(expectSameScreens(r.gif.bytes, r.name)) << r.name << ": nothing compared";
}

// The same file through the commands a user runs.
TEST(Compositor, CommandsAcceptATransparentIndexBeyondTheTable)
{
    const auto palette = test::testPalette(4);
    const auto gif = transparentBeyondTheTable().bytes;
    test::ScratchDir dir;
    const std::string in = dir.str() + "in.gif";
    test::writeFile(in, gif);
    Screens reference;
    ASSERT_TRUE(test::giflibScreens(gif, reference, makeColor(palette[0], palette[1], palette[2])));

    ASSERT_EQ(test::runCli({"frames", in, "-o", dir.str() + "shots", "--composed"}).status, 0);
    for (int i = 0; i < 2; ++i) {
        auto bmp = test::readFile(dir.str() + "shots/frame000" + std::to_string(i + 1) + ".bmp");
        ASSERT_GT(bmp.size(), 14u);
        EXPECT_EQ(rgbRows(std::vector<uint8_t>(bmp.begin() + 14, bmp.end())), reference[size_t(i)]) << i;
    }
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"build", "--global-table", "--optimize", "-o", dir.str() + "out.gif", in},
          {"optimize", in, "-o", dir.str() + "out.gif", "--transparency"}}) {
        ASSERT_EQ(test::runCli(command).status, 0) << command[0];
        Screens screens;
        ASSERT_TRUE(test::giflibScreens(test::readFile(dir.str() + "out.gif"), screens, 0));
        Screens plain;
        ASSERT_TRUE(test::giflibScreens(gif, plain, 0));
        EXPECT_EQ(screens, plain) << command[0];
    }
    // The transition runs from the first screen to the second.
    ASSERT_EQ(test::runCli({"transition", in, "-o", dir.str() + "out.gif", "--after", "1", "--steps", "1"}).status, 0);
    Screens screens;
    ASSERT_TRUE(test::giflibScreens(test::readFile(dir.str() + "out.gif"), screens));
    ASSERT_EQ(screens.size(), 3u);
    EXPECT_EQ(screens.front(), reference.front());
    EXPECT_EQ(screens.back(), reference.back());
}

TEST(Compositor, EveryCorpusAnimationShowsTheSameThroughEveryCaller)
{
    const std::vector<test::CorpusRow> rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "no corpus at " << test::corpusDir();
    int checked = 0;
    for (const test::CorpusRow& row : rows) {
        if (test::hasVerdict(row, "giflib-slurp=ok"))
            checked += expectSameScreens(test::readFile(test::corpusDir() / row.at("path")), row.at("path"));
    }
    std::printf("[ corpus   ] %d files composed the same by every caller\n", checked);
    EXPECT_GT(checked, 40);
}

// Auto-transparency requantises, so its screens only stay close.
TEST(Compositor, AutoTransparencyStaysCloseOnTheCorpus)
{
    const std::vector<test::CorpusRow> rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "no corpus at " << test::corpusDir();
    double worst = INFINITY;
    for (const test::CorpusRow& row : rows) {
        if (!test::hasVerdict(row, "giflib-slurp=ok"))
            continue;
        SCOPED_TRACE(row.at("path"));
        test::AnimationFixture lossy;
        if (!test::importGif(lossy.document(), test::readFile(test::corpusDir() / row.at("path"))))
            continue;
        const test::Screens screens = test::composedScreens(lossy.document());
        const uint32_t background = backgroundColor(lossy.document().settings);
        ASSERT_TRUE(optimize(lossy.document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
        // A rebuilt table takes the nearest of its colours as the background:
        // where no frame used the old background colour, what shows of the
        // background changes colour, and no floor holds.
        if (backgroundColor(lossy.document().settings) != background)
            continue;
        const double db = test::psnr(screens, test::exportedScreens(lossy.document()));
        worst = std::min(worst, db);
        EXPECT_GT(db, 30.0);
    }
    std::printf("[ corpus   ] worst auto-transparency PSNR %.2f dB where the background kept its colour\n", worst);
}

#endif

} // namespace
} // namespace zell
