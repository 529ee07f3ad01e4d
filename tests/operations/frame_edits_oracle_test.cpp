// The everyday edits against ImageMagick: the input coalesced and edited by
// ImageMagick must show the same screens as zell's edited animation
// coalesced by ImageMagick, pixel for pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "operations/recipes.h"
#include "support/test_document.h"
#include "operations/frame_edits.h"

namespace zell {
namespace {

using test::DocumentBuilder;

// The real ImageMagick: a stand-in may come first on the PATH.
constexpr const char* kMagick = "/usr/bin/convert";

// What ImageMagick shows of an animation: every screen as RGBA rows from the
// top (the colour of a transparent pixel does not count and is zeroed), and
// each frame's delay.
struct Shown {
    uint32_t width = 0, height = 0;
    std::vector<std::vector<uint8_t>> screens;
    std::vector<int> delays;
};

// ImageMagick's views of many animations from one run of it, each GIF
// coalesced and then given its operation (ImageMagick's arguments).
struct Magick {
    test::ScratchDir dir;
    std::string command;
    size_t jobs = 0;
    size_t add(const std::vector<uint8_t>& gif, const std::string& operation)
    {
        const std::string n = dir.str() + std::to_string(jobs);
        test::writeFile(n + ".gif", gif);
        command += " \\( " + n + ".gif -coalesce " + operation + " -depth 8 -format '%w %h %T\\n' -write info:" + n
            + ".txt -write rgba:" + n + ".raw +delete \\)";
        return jobs++;
    }
    // False when ImageMagick refuses a file.
    bool run() const
    {
        return std::system(("MAGICK_THREAD_LIMIT=1 " + std::string(kMagick) + command + " xc: null: 2>/dev/null").c_str()) == 0;
    }
    Shown shown(size_t job) const
    {
        Shown shown;
        std::ifstream lines(dir.str() + std::to_string(job) + ".txt");
        uint32_t w = 0, h = 0;
        for (int delay = 0; lines >> w >> h >> delay; shown.width = w, shown.height = h)
            shown.delays.push_back(delay);
        const std::vector<uint8_t> bytes = test::readFile(dir.str() + std::to_string(job) + ".raw");
        const size_t size = size_t(shown.width) * shown.height * 4;
        for (size_t at = 0; size > 0 && at + size <= bytes.size(); at += size) {
            shown.screens.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + size));
            for (size_t p = 0; p < size; p += 4)
                if (shown.screens.back()[p + 3] == 0)
                    std::fill_n(shown.screens.back().begin() + long(p), 3, uint8_t(0));
        }
        return shown;
    }
};

// ImageMagick's frame list "a,b,c" of the frames `keep` leaves out.
std::string dropped(const Document& d, const std::function<bool(int)>& keep)
{
    std::string list;
    for (int i = 0; i < d.frames.count(); ++i)
        if (!keep(i))
            list += (list.empty() ? "" : ",") + std::to_string(i);
    return list.empty() ? "" : "-delete " + list + " ";
}

// ImageMagick's frame list of the frames that show nothing inside `r`.
std::string showingNothing(const Document& d, const ScreenRect& r)
{
    const GifSettings& s = d.settings;
    return dropped(d, [&](int i) {
        const Frame& f = *d.frames.frameAt(i);
        return std::max<uint32_t>(f.left, r.left) < std::min<uint32_t>({uint32_t(f.left) + f.width, r.left + r.width, uint32_t(s.screenWidth)})
            && std::max<uint32_t>(f.top, r.top) < std::min<uint32_t>({uint32_t(f.top) + f.height, r.top + r.height, uint32_t(s.screenHeight)});
    });
}

ScreenRect middleOf(const GifSettings& s)
{
    return {uint32_t(s.screenWidth) / 4, uint32_t(s.screenHeight) / 5, std::max(1u, uint32_t(s.screenWidth) / 2),
            std::max(1u, uint32_t(s.screenHeight) * 2 / 3)};
}

// What ImageMagick checks of the delays after an edit.
enum class Delays { each, total, none };

// One exact edit: what ImageMagick does to the coalesced input, and what
// zell does to the document.
struct ExactEdit {
    const char* name;
    std::function<std::string(const Document&)> magick;
    std::function<bool(Document&, EditResult&)> edit;
    Delays delays = Delays::each;
};

std::function<std::string(const Document&)> fixed(const std::string& operation)
{
    return [operation](const Document&) { return operation; };
}

// Frames wholly off the screen show nothing and go with every turn, as
// with a crop to the whole screen.
ExactEdit turn(const char* name, const std::string& operation, PictureTransform t)
{
    return {name,
            [operation](const Document& d) {
                return showingNothing(d, {0, 0, d.settings.screenWidth, d.settings.screenHeight}) + operation;
            },
            [t](Document& d, EditResult& r) { return transformAnimation(d, t, &r); }};
}

// A nearest-neighbour resize of the screen by these factors takes no colour
// that was not there, and ImageMagick's -sample gives the same pixels.
ExactEdit resize(const char* name, double width, double height)
{
    auto options = [=](const Document& d) {
        return ResizeOptions{std::max(1u, uint32_t(std::lround(d.settings.screenWidth * width))),
                             std::max(1u, uint32_t(std::lround(d.settings.screenHeight * height))), ScaleFilter::nearest,
                             false};
    };
    return {name,
            [=](const Document& d) {
                const ResizeOptions o = options(d);
                return "-sample " + std::to_string(o.width) + "x" + std::to_string(o.height) + "!";
            },
            [=](Document& d, EditResult& r) { return resizeAnimation(d, options(d), &r); }, Delays::none};
}

const std::vector<ExactEdit>& exactEdits()
{
    static const int three[] = {1, 2, 3}, chosen[] = {0, 2, 3};
    static const std::vector<ExactEdit> edits = {
        {"reverse", fixed("-reverse"), [](Document& d, EditResult& r) { return reverseFrames(d, {}, &r); }},
        // Rows 1..3 turn around among the others.
        {"reverse three rows", fixed("-swap 1,3"), [](Document& d, EditResult& r) { return reverseFrames(d, three, &r); }},
        {"ping-pong", fixed("-duplicate 1,-2-1"), [](Document& d, EditResult& r) { return pingPongFrames(d, {}, &r); }},
        // Frames 0, 2 and 3 go there and back: 0 2 3 2 after the others' places.
        {"ping-pong of chosen rows", fixed("-duplicate 1,2 -insert 4"),
         [](Document& d, EditResult& r) { return pingPongFrames(d, chosen, &r); }},
        // Thinning out and cropping hand on the time of what goes.
        {"every second frame", [](const Document& d) { return dropped(d, [](int i) { return i % 2 == 0; }); },
         [](Document& d, EditResult& r) { return thinOut(d, {}, 2, &r); }, Delays::total},
        {"frames 2 to 3", [](const Document& d) { return dropped(d, [](int i) { return i == 1 || i == 2; }); },
         [](Document& d, EditResult& r) { return keepFrames(d, 1, 2, &r); }, Delays::none},
        {"crop to the middle",
         [](const Document& d) {
             const ScreenRect c = middleOf(d.settings);
             return showingNothing(d, c) + "-crop " + std::to_string(c.width) + "x" + std::to_string(c.height) + "+"
                 + std::to_string(c.left) + "+" + std::to_string(c.top) + " +repage";
         },
         [](Document& d, EditResult& r) { return cropAnimation(d, middleOf(d.settings), &r); }, Delays::total},
        turn("rotate 90", "-rotate 90", PictureTransform::rotate90),
        turn("rotate 180", "-rotate 180", PictureTransform::rotate180),
        turn("rotate 270", "-rotate 270", PictureTransform::rotate270),
        turn("flip horizontally", "-flop", PictureTransform::flipHorizontal),
        turn("flip vertically", "-flip", PictureTransform::flipVertical),
        resize("half", 0.5, 0.5),
        resize("twice as wide, two thirds high", 2, 0.67),
    };
    return edits;
}

int totalDelay(const Document& d)
{
    int sum = 0;
    for (int i = 0; i < d.frames.count(); ++i)
        sum += d.frames.frameAt(i)->delay;
    return sum;
}

// Returns how many edits refused the animation.
int checkEdits(const std::function<bool(DocumentBuilder&)>& make, const std::vector<ExactEdit>& edits)
{
    struct Run {
        const ExactEdit& edit;
        size_t expected, got;
        int before, after;
    };
    std::vector<Run> runs;
    Magick magick;
    int refused = 0;
    for (const ExactEdit& e : edits) {
        SCOPED_TRACE(e.name);
        DocumentBuilder a;
        if (!make(a))
            return refused;
        Document& d = a.document;
        const size_t expected = magick.add(test::exportedGif(d), e.magick(d));
        const int before = totalDelay(d);
        const test::DocumentState untouched = test::snapshot(d);
        EditResult result;
        if (!e.edit(d, result)) {
            // A screen of more colours than a table holds cannot be a frame
            // of its own: the edit refuses and changes nothing.
            EXPECT_TRUE(result.tooManyColors) << int(result.why);
            EXPECT_EQ(test::snapshot(d), untouched);
            ++refused;
            continue;
        }
        runs.push_back({e, expected, magick.add(test::exportedGif(d), ""), before, totalDelay(d)});
    }
    if (!magick.run()) {
        ADD_FAILURE() << "ImageMagick refused an edited animation";
        return refused;
    }
    for (const Run& r : runs) {
        SCOPED_TRACE(r.edit.name);
        const Shown expected = magick.shown(r.expected), got = magick.shown(r.got);
        EXPECT_EQ(got.screens.size(), expected.screens.size());
        EXPECT_EQ(std::pair(got.width, got.height), std::pair(expected.width, expected.height));
        for (size_t s = 0; s < std::min(got.screens.size(), expected.screens.size()); ++s)
            EXPECT_TRUE(got.screens[s] == expected.screens[s]) << "screen " << s;
        if (r.edit.delays == Delays::total) {
            EXPECT_EQ(r.after, r.before);
        } else if (r.edit.delays == Delays::each) {
            EXPECT_EQ(got.delays, expected.delays);
        }
    }
    return refused;
}

// ImageMagick refuses frames wholly off the screen.
bool magickReads(const Document& d)
{
    Magick magick;
    magick.add(test::exportedGif(d), "");
    return magick.run();
}

TEST(FrameEditsOracle, EditsShowWhatImageMagickShowsOnEveryRecipe)
{
    if (!std::filesystem::exists(kMagick))
        GTEST_SKIP() << "no ImageMagick at " << kMagick;
    int exact = 0, refused = 0;
    for (const test::Recipe& r : test::recipes()) {
        SCOPED_TRACE(r.name);
        DocumentBuilder a;
        ASSERT_TRUE(r.make(a));
        if (a.document.frames.count() >= 4 && magickReads(a.document)) {
            refused += checkEdits(r.make, exactEdits());
            ++exact;
        }
    }
    EXPECT_GE(exact, 7);
    // Only the sprites over 256 colours of their own, whose restored
    // rectangles need one entry more, are refused (and only where frames
    // must be rewritten).
    EXPECT_LE(refused, 6);
}

} // namespace
} // namespace zell
