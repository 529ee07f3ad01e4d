// The everyday edits against ImageMagick: the input coalesced and edited by
// ImageMagick must show the same screens as zell's edited animation
// coalesced by ImageMagick; pixel for pixel for the exact edits, within a
// stated PSNR for a smooth resize.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "operations/recipes.h"
#include "support/test_document.h"
#include "operations/frame_edits.h"

namespace zell {
namespace {

#ifdef ZELL_HAVE_GIFLIB // for screensPsnr

using test::DocumentBuilder;

// The real ImageMagick: a stand-in may come first on the PATH.
constexpr const char* kMagick = "/usr/bin/convert";

bool haveMagick() { return std::filesystem::exists(kMagick); }

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

// The PSNR of the colour channels after each pixel of `a` is mapped to the
// nearest colour `b` shows anywhere.
double mappedPsnr(const Shown& a, const Shown& b)
{
    std::set<std::array<int, 3>> colours;
    for (const auto& s : b.screens)
        for (size_t p = 0; p < s.size(); p += 4)
            colours.insert({s[p], s[p + 1], s[p + 2]});
    test::Screens mapped, shown;
    for (size_t s = 0; s < std::min(a.screens.size(), b.screens.size()); ++s) {
        mapped.emplace_back();
        shown.emplace_back();
        for (size_t p = 0; p < a.screens[s].size(); p += 4) {
            const uint8_t* x = &a.screens[s][p];
            auto distance = [&](const std::array<int, 3>& c) {
                return (c[0] - x[0]) * (c[0] - x[0]) + (c[1] - x[1]) * (c[1] - x[1]) + (c[2] - x[2]) * (c[2] - x[2]);
            };
            const auto nearest = *std::min_element(colours.begin(), colours.end(),
                                                   [&](const auto& l, const auto& r) { return distance(l) < distance(r); });
            mapped.back().insert(mapped.back().end(), nearest.begin(), nearest.end());
            shown.back().insert(shown.back().end(), &b.screens[s][p], &b.screens[s][p + 3]);
        }
    }
    return test::screensPsnr(mapped, shown);
}

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
enum class Delays { each, total, none, psnr };

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

// A resize of the screen by these factors: nearest neighbour takes no
// colour that was not there, and ImageMagick's -sample gives the same
// pixels. The smooth filters differ (ImageMagick uses Lanczos down and
// Mitchell up, zell averages down), so the screens are compared by PSNR
// after ImageMagick's are mapped to zell's colours.
ExactEdit resize(const char* name, double width, double height, ScaleFilter filter)
{
    auto options = [=](const Document& d) {
        ResizeOptions o;
        o.width = std::max(1u, uint32_t(std::lround(d.settings.screenWidth * width)));
        o.height = std::max(1u, uint32_t(std::lround(d.settings.screenHeight * height)));
        o.filter = filter;
        return o;
    };
    const bool nearest = filter == ScaleFilter::nearest;
    return {name,
            [=](const Document& d) {
                const ResizeOptions o = options(d);
                return (nearest ? "-sample " : "-resize ") + std::to_string(o.width) + "x" + std::to_string(o.height) + "!";
            },
            [=](Document& d, EditResult& r) { return resizeAnimation(d, options(d), &r); },
            nearest ? Delays::none : Delays::psnr};
}

const std::vector<ExactEdit> resizes = {
    resize("half, nearest", 0.5, 0.5, ScaleFilter::nearest),
    resize("twice as wide, two thirds high, nearest", 2, 0.67, ScaleFilter::nearest),
    resize("half, smooth", 0.5, 0.5, ScaleFilter::smooth),
    resize("one and a half, smooth", 1.5, 1.5, ScaleFilter::smooth),
};
constexpr double kSmoothPsnr = 26;

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

// Returns how many edits refused the animation; `lowest` takes the lowest
// PSNR of the smooth resizes.
int checkEdits(const std::function<bool(DocumentBuilder&)>& make, const std::vector<ExactEdit>& edits,
               double* lowest = nullptr)
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
        if (r.edit.delays == Delays::psnr) {
            *lowest = std::min(*lowest, mappedPsnr(expected, got));
            EXPECT_GE(mappedPsnr(expected, got), kSmoothPsnr);
            continue;
        }
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

// Whether ImageMagick reads the animation (it refuses frames wholly off
// the screen) and, with `opaque`, shows every pixel painted: it blends
// transparent pixels into their neighbours when it filters, which no
// palette can show.
bool magickReads(const Document& d, bool opaque = false)
{
    Magick magick;
    magick.add(test::exportedGif(d), "");
    if (!magick.run())
        return false;
    for (const auto& s : opaque ? magick.shown(0).screens : std::vector<std::vector<uint8_t>>{})
        for (size_t p = 3; p < s.size(); p += 4)
            if (s[p] != 255)
                return false;
    return true;
}

TEST(FrameEditsOracle, EditsShowWhatImageMagickShowsOnEveryRecipe)
{
    if (!haveMagick())
        GTEST_SKIP() << "no ImageMagick at " << kMagick;
    int exact = 0, resized = 0, refused = 0;
    double lowest = 99;
    for (const test::Recipe& r : test::recipes()) {
        SCOPED_TRACE(r.name);
        DocumentBuilder a;
        ASSERT_TRUE(r.make(a));
        const int frames = a.document.frames.count();
        if (frames >= 4 && magickReads(a.document)) {
            refused += checkEdits(r.make, exactEdits());
            ++exact;
        }
        if (frames >= 2 && magickReads(a.document, true)) {
            EXPECT_EQ(checkEdits(r.make, resizes, &lowest), 0);
            ++resized;
        }
    }
    EXPECT_GE(exact, 7);
    EXPECT_GE(resized, 4);
    // Only the sprites over 256 colours of their own, whose restored
    // rectangles need one entry more, are refused (and only where frames
    // must be rewritten).
    EXPECT_LE(refused, 6);
    RecordProperty("lowestSmoothPsnr", std::to_string(lowest));
}

// The first frame paints the whole screen and no frame clears its area:
// the frames a viewer leaves unpainted show as ImageMagick's background.
bool paintedThroughout(const Document& d)
{
    const Frame& first = *d.frames.frameAt(0);
    if (first.left != 0 || first.top != 0 || first.width < d.settings.screenWidth
        || first.height < d.settings.screenHeight)
        return false;
    for (int i = 0; i < d.frames.count(); ++i)
        if (d.frames.frameAt(i)->disposal == 2)
            return false;
    return true;
}

// Real animations: small ones, so that the run stays short.
TEST(FrameEditsOracle, ExactEditsOnCorpusAnimations)
{
    if (!haveMagick())
        GTEST_SKIP() << "no ImageMagick at " << kMagick;
    int checked = 0;
    test::forEachCorpusAnimation([&](const std::vector<uint8_t>& gif, Document& document) {
        const GifSettings& s = document.settings;
        if (document.frames.count() < 4 || document.frames.count() > 40 || s.screenWidth > 200 || s.screenHeight > 200
            || !paintedThroughout(document) || !magickReads(document))
            return;
        checkEdits([&](DocumentBuilder& a) { return test::importGif(a.document, gif); }, exactEdits());
        ++checked;
    });
    RecordProperty("animations", checked);
    if (checked == 0)
        GTEST_SKIP() << "no small corpus animation";
}

#endif

} // namespace
} // namespace zell
