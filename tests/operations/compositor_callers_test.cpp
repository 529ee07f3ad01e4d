// The screen composer (behind `frames --composed`, transitions and the
// optimisers) and the player must show what a GIF viewer shows: both are
// checked against giflib on the recipes and on real animations. The
// optimisers' own oracle is in optimizer_test.cpp.
#include <gtest/gtest.h>

#include "document/gif_export.h"
#include "document/screen_composer.h"
#include "operations/recipes.h"
#include "playback/preview_player.h"
#include "support/corpus.h"
#include "support/gif_screens.h"

namespace zell {
namespace {

#ifdef ZELL_HAVE_GIFLIB

using test::Screens;

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
    player.start(); // false for a single frame, which is shown all the same
    if (host.shown.empty())
        return {};
    screens.push_back(test::rgbRows(player.canvas().displayCanvas.bytes()));
    player.pressMode(kModeFastForward);
    while (player.playing() && screens.size() < size_t(document.frames.count())) {
        const size_t before = host.shown.size();
        clock.now += 100;
        player.tick();
        if (host.shown.size() > before)
            screens.push_back(test::rgbRows(player.canvas().displayCanvas.bytes()));
    }
    player.stop();
    return screens;
}

// The composer and the player against giflib's rendering of the stream the
// document was imported from; false when there is nothing to compare.
bool expectSameScreens(const Document& document, const std::vector<uint8_t>& gif)
{
    Screens reference;
    if (!test::giflibScreens(gif, reference, backgroundColor(document.settings)) || reference.empty())
        return false;
    EXPECT_EQ(test::composedScreens(document), reference) << "composer";
    EXPECT_EQ(playerScreens(document), reference) << "player";
    return true;
}

TEST(Compositor, EveryCallerShowsWhatGiflibShows)
{
    for (const test::Recipe& recipe : test::recipes()) {
        SCOPED_TRACE(recipe.name);
        test::DocumentBuilder a;
        ASSERT_TRUE(recipe.make(a));
        EXPECT_TRUE(expectSameScreens(a.document, recipe.gif.empty() ? test::exportedGif(a.document) : recipe.gif));
    }
}

TEST(Compositor, EveryCorpusAnimationShowsTheSameThroughEveryCaller)
{
    int compared = 0;
    const int imported = test::forEachCorpusAnimation(
        [&](const std::vector<uint8_t>& gif, Document& document) { compared += expectSameScreens(document, gif); });
    if (imported == 0)
        GTEST_SKIP() << "no corpus at " << test::corpusDir();
    EXPECT_GT(compared, 40);
}

#endif

} // namespace
} // namespace zell
