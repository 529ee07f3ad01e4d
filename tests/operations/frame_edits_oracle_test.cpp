// The everyday edits against ImageMagick: the input coalesced and edited by
// ImageMagick must show the same screens as zell's edited animation
// coalesced by ImageMagick; pixel for pixel for the exact edits, within a
// stated PSNR for a smooth resize.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "document/gif_export.h"
#include "document/history.h"
#include "operations/recipes.h"
#include "support/test_document.h"
#include "operations/frame_edits.h"

namespace zell {
namespace {

using test::DocumentBuilder;

// The real ImageMagick: a stand-in may come first on the PATH.
constexpr const char* kMagick = "/usr/bin/convert";

bool haveMagick()
{
    return std::filesystem::exists(kMagick);
}

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
class Magick {
public:
    size_t add(const std::vector<uint8_t>& gif, const std::string& operation)
    {
        const std::string n = dir_.str() + std::to_string(jobs_.size());
        test::writeFile(n + ".gif", gif);
        command_ += " \\( " + n + ".gif -coalesce " + operation + " -depth 8 -format '%w %h %T\\n' -write info:" + n
            + ".txt -write rgba:" + n + ".raw +delete \\)";
        jobs_.push_back(n);
        return jobs_.size() - 1;
    }
    // False when ImageMagick refuses a file.
    bool run()
    {
        const std::string command = "MAGICK_THREAD_LIMIT=1 " + std::string(kMagick) + command_ + " xc: null: 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }
    Shown shown(size_t job) const;

private:
    test::ScratchDir dir_;
    std::string command_;
    std::vector<std::string> jobs_;
};

Shown Magick::shown(size_t job) const
{
    Shown shown;
    std::ifstream lines(jobs_[job] + ".txt");
    uint32_t w = 0, h = 0;
    int delay = 0;
    while (lines >> w >> h >> delay) {
        shown.width = w;
        shown.height = h;
        shown.delays.push_back(delay);
    }
    const std::vector<uint8_t> bytes = test::readFile(jobs_[job] + ".raw");
    const size_t size = size_t(w) * h * 4;
    for (size_t at = 0; size > 0 && at + size <= bytes.size(); at += size) {
        std::vector<uint8_t> screen(bytes.begin() + long(at), bytes.begin() + long(at + size));
        for (size_t p = 0; p < screen.size(); p += 4) {
            if (screen[p + 3] == 0)
                std::fill_n(screen.begin() + long(p), 3, uint8_t(0));
        }
        shown.screens.push_back(std::move(screen));
    }
    return shown;
}

// Peak signal-to-noise ratio of the colour channels (99 when identical).
double psnr(const Shown& a, const Shown& b)
{
    double sum = 0;
    uint64_t n = 0;
    for (size_t s = 0; s < std::min(a.screens.size(), b.screens.size()); ++s) {
        for (size_t p = 0; p < a.screens[s].size(); ++p) {
            if (p % 4 == 3)
                continue;
            const double d = double(a.screens[s][p]) - b.screens[s][p];
            sum += d * d;
            ++n;
        }
    }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

// Each pixel of `a` as the nearest colour that `palette` shows anywhere.
Shown mappedTo(Shown a, const Shown& palette)
{
    std::set<uint32_t> colours;
    for (const auto& s : palette.screens)
        for (size_t p = 0; p < s.size(); p += 4)
            colours.insert(uint32_t(s[p]) << 16 | uint32_t(s[p + 1]) << 8 | s[p + 2]);
    for (auto& s : a.screens) {
        for (size_t p = 0; p < s.size(); p += 4) {
            uint32_t best = 0;
            int64_t bestDistance = INT64_MAX;
            for (uint32_t c : colours) {
                const int64_t dr = int64_t(c >> 16) - s[p], dg = int64_t(c >> 8 & 0xFF) - s[p + 1],
                              db = int64_t(c & 0xFF) - s[p + 2];
                if (dr * dr + dg * dg + db * db < bestDistance) {
                    bestDistance = dr * dr + dg * dg + db * db;
                    best = c;
                }
            }
            s[p] = uint8_t(best >> 16);
            s[p + 1] = uint8_t(best >> 8);
            s[p + 2] = uint8_t(best);
        }
    }
    return a;
}

// ImageMagick's frame list "a,b,c" of the frames `keep` leaves out.
std::string dropped(int count, const std::function<bool(int)>& keep)
{
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (!keep(i))
            list += (list.empty() ? "" : ",") + std::to_string(i);
    }
    return list.empty() ? "" : "-delete " + list;
}

bool showsNothingOf(const Frame& f, const GifSettings& s, const ScreenRect& r)
{
    const uint32_t left = std::max<uint32_t>(f.left, r.left), top = std::max<uint32_t>(f.top, r.top);
    const uint32_t right = std::min({uint32_t(f.left) + f.width, r.left + r.width, uint32_t(s.screenWidth)});
    const uint32_t bottom = std::min({uint32_t(f.top) + f.height, r.top + r.height, uint32_t(s.screenHeight)});
    return left >= right || top >= bottom;
}

// One exact edit: what ImageMagick does to the coalesced input, and what
// zell does to the document.
struct ExactEdit {
    const char* name;
    std::function<std::string(const Document&)> magick;
    std::function<bool(Document&, EditResult&)> edit;
};

ScreenRect middleOf(const GifSettings& s)
{
    return {uint32_t(s.screenWidth) / 4, uint32_t(s.screenHeight) / 5, std::max(1u, uint32_t(s.screenWidth) / 2),
            std::max(1u, uint32_t(s.screenHeight) * 2 / 3)};
}

const std::vector<ExactEdit>& exactEdits()
{
    static const std::vector<ExactEdit> edits = {
        {"reverse", [](const Document&) { return std::string("-reverse"); },
         [](Document& d, EditResult& r) { return reverseFrames(d, {}, &r); }},
        // Rows 1..3 turn around among the others.
        {"reverse three rows", [](const Document&) { return std::string("-swap 1,3"); },
         [](Document& d, EditResult& r) {
             const int rows[] = {1, 2, 3};
             return reverseFrames(d, rows, &r);
         }},
        {"ping-pong", [](const Document&) { return std::string("-duplicate 1,-2-1"); },
         [](Document& d, EditResult& r) { return pingPongFrames(d, {}, &r); }},
        // Frames 0, 2 and 3 go there and back: 0 2 3 2 after the others' places.
        {"ping-pong of chosen rows",
         [](const Document& d) {
             (void)d;
             return std::string("-duplicate 1,2 -insert 4");
         },
         [](Document& d, EditResult& r) {
             const int rows[] = {0, 2, 3};
             return pingPongFrames(d, rows, &r);
         }},
        {"every second frame", [](const Document& d) { return dropped(d.frames.count(), [](int i) { return i % 2 == 0; }); },
         [](Document& d, EditResult& r) { return thinOut(d, {}, 2, &r); }},
        {"frames 2 to 3", [](const Document& d) { return dropped(d.frames.count(), [](int i) { return i == 1 || i == 2; }); },
         [](Document& d, EditResult& r) { return keepFrames(d, 1, 2, &r); }},
        {"crop to the middle",
         [](const Document& d) {
             const ScreenRect c = middleOf(d.settings);
             const std::string drop = dropped(d.frames.count(), [&](int i) {
                 return !showsNothingOf(*d.frames.frameAt(i), d.settings, c);
             });
             return drop + " -crop " + std::to_string(c.width) + "x" + std::to_string(c.height) + "+"
                 + std::to_string(c.left) + "+" + std::to_string(c.top) + " +repage";
         },
         [](Document& d, EditResult& r) { return cropAnimation(d, middleOf(d.settings), &r); }},
        {"rotate 90", [](const Document&) { return std::string("-rotate 90"); },
         [](Document& d, EditResult& r) { return transformAnimation(d, PictureTransform::rotate90, &r); }},
        {"rotate 180", [](const Document&) { return std::string("-rotate 180"); },
         [](Document& d, EditResult& r) { return transformAnimation(d, PictureTransform::rotate180, &r); }},
        {"rotate 270", [](const Document&) { return std::string("-rotate 270"); },
         [](Document& d, EditResult& r) { return transformAnimation(d, PictureTransform::rotate270, &r); }},
        {"flip horizontally", [](const Document&) { return std::string("-flop"); },
         [](Document& d, EditResult& r) { return transformAnimation(d, PictureTransform::flipHorizontal, &r); }},
        {"flip vertically", [](const Document&) { return std::string("-flip"); },
         [](Document& d, EditResult& r) { return transformAnimation(d, PictureTransform::flipVertical, &r); }},
    };
    return edits;
}

// Frames wholly off the screen show nothing and go with every turn, as
// with a crop to the whole screen.
std::string offScreenDropped(const Document& d)
{
    const ScreenRect all{0, 0, d.settings.screenWidth, d.settings.screenHeight};
    return dropped(d.frames.count(), [&](int i) { return !showsNothingOf(*d.frames.frameAt(i), d.settings, all); });
}

int totalDelay(const Document& d)
{
    int sum = 0;
    for (int i = 0; i < d.frames.count(); ++i)
        sum += d.frames.frameAt(i)->delay;
    return sum;
}

void expectSameScreens(const Shown& expected, const Shown& got)
{
    EXPECT_EQ(got.width, expected.width);
    EXPECT_EQ(got.height, expected.height);
    ASSERT_EQ(got.screens.size(), expected.screens.size());
    for (size_t s = 0; s < got.screens.size(); ++s)
        EXPECT_TRUE(got.screens[s] == expected.screens[s]) << "screen " << s;
}

// Returns how many edits refused the animation.
int checkExactEdits(const std::vector<uint8_t>& gif, const std::function<bool(DocumentBuilder&)>& make)
{
    int refused = 0;
    struct Run {
        const ExactEdit& edit;
        size_t expected, got;
        int before, after;
    };
    std::vector<Run> runs;
    Magick magick;
    for (const ExactEdit& e : exactEdits()) {
        SCOPED_TRACE(e.name);
        DocumentBuilder a;
        if (!make(a)) {
            ADD_FAILURE() << "cannot make the animation";
            return refused;
        }
        Document& d = a.document;
        if (d.frames.count() < 4)
            return refused;
        const std::vector<uint8_t> input = gif.empty() ? test::exportedGif(d) : gif;
        const std::string name = e.name;
        const bool turns = name.rfind("rotate", 0) == 0 || name.rfind("flip", 0) == 0;
        const size_t expected = magick.add(input, (turns ? offScreenDropped(d) + " " : "") + e.magick(d));
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
        const std::string name = r.edit.name;
        const Shown expected = magick.shown(r.expected), got = magick.shown(r.got);
        expectSameScreens(expected, got);
        // Thinning out and cropping hand on the time of what goes.
        if (name.rfind("every", 0) == 0 || name.rfind("crop", 0) == 0) {
            EXPECT_EQ(r.after, r.before);
        } else if (name.rfind("frames", 0) != 0) {
            EXPECT_EQ(got.delays, expected.delays);
        }
    }
    return refused;
}

// Whether ImageMagick reads the animation (it refuses frames wholly off
// the screen).
bool magickReads(const Document& d)
{
    Magick magick;
    magick.add(test::exportedGif(d), "");
    return magick.run();
}

TEST(FrameEditsOracle, ExactEditsShowWhatImageMagickShowsOnEveryRecipe)
{
    if (!haveMagick())
        GTEST_SKIP() << "no ImageMagick at " << kMagick;
    int checked = 0, refused = 0;
    for (const test::Recipe& r : test::recipes()) {
        SCOPED_TRACE(r.name);
        DocumentBuilder a;
        ASSERT_TRUE(r.make(a));
        if (!magickReads(a.document))
            continue;
        refused += checkExactEdits({}, r.make);
        ++checked;
    }
    EXPECT_GE(checked, 8);
    // Only the sprites over 256 colours of their own, whose restored
    // rectangles need one entry more, are refused (and only where frames
    // must be rewritten).
    EXPECT_LE(refused, 6);
}

struct ResizeCase {
    const char* name;
    double width, height; // of the screen's
    ScaleFilter filter;
};

// Nearest neighbour takes no colour that was not there: ImageMagick's
// -sample gives the same pixels. The smooth filters differ (ImageMagick
// uses Lanczos down and Mitchell up, zell averages down), so the screens
// are compared after both are mapped to zell's colours.
constexpr double kSmoothPsnr = 26;

// Returns the lowest PSNR of the smooth cases.
double checkResizes(const std::vector<uint8_t>& gif, const std::function<bool(DocumentBuilder&)>& make)
{
    double lowest = 99;
    const ResizeCase cases[] = {
        {"half, nearest", 0.5, 0.5, ScaleFilter::nearest},
        {"twice as wide, two thirds high, nearest", 2, 0.67, ScaleFilter::nearest},
        {"half, smooth", 0.5, 0.5, ScaleFilter::smooth},
        {"one and a half, smooth", 1.5, 1.5, ScaleFilter::smooth},
    };
    Magick magick;
    std::vector<std::pair<size_t, size_t>> jobs;
    for (const ResizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        DocumentBuilder a;
        if (!make(a)) {
            ADD_FAILURE() << "cannot make the animation";
            return lowest;
        }
        Document& d = a.document;
        const std::vector<uint8_t> input = gif.empty() ? test::exportedGif(d) : gif;
        ResizeOptions options;
        options.width = std::max(1u, uint32_t(std::lround(d.settings.screenWidth * c.width)));
        options.height = std::max(1u, uint32_t(std::lround(d.settings.screenHeight * c.height)));
        options.filter = c.filter;
        const std::string size = std::to_string(options.width) + "x" + std::to_string(options.height) + "!";
        const bool nearest = c.filter == ScaleFilter::nearest;
        const size_t expected = magick.add(input, (nearest ? "-sample " : "-resize ") + size);
        EditResult result;
        if (!resizeAnimation(d, options, &result)) {
            ADD_FAILURE() << "resize failed: " << int(result.why);
            return lowest;
        }
        jobs.push_back({expected, magick.add(test::exportedGif(d), "")});
    }
    if (!magick.run()) {
        ADD_FAILURE() << "ImageMagick refused a resized animation";
        return lowest;
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const Shown expected = magick.shown(jobs[i].first), got = magick.shown(jobs[i].second);
        if (cases[i].filter == ScaleFilter::nearest) {
            expectSameScreens(expected, got);
        } else {
            EXPECT_EQ(got.screens.size(), expected.screens.size());
            const double measured = psnr(mappedTo(expected, got), got);
            EXPECT_GE(measured, kSmoothPsnr);
            lowest = std::min(lowest, measured);
        }
    }
    return lowest;
}

// Screens wholly painted: ImageMagick blends transparent pixels into their
// neighbours when it filters, which no palette can show.
bool magickShowsEveryPixel(const Document& d)
{
    Magick magick;
    magick.add(test::exportedGif(d), "");
    if (!magick.run())
        return false;
    for (const auto& s : magick.shown(0).screens)
        for (size_t p = 3; p < s.size(); p += 4)
            if (s[p] != 255)
                return false;
    return true;
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
        checkExactEdits({}, [&](DocumentBuilder& a) { return test::importGif(a.document, gif); });
        ++checked;
    });
    RecordProperty("animations", checked);
    if (checked == 0)
        GTEST_SKIP() << "no small corpus animation";
}

TEST(FrameEditsOracle, ResizedScreensMatchImageMagicksScaling)
{
    if (!haveMagick())
        GTEST_SKIP() << "no ImageMagick at " << kMagick;
    int checked = 0;
    double lowest = 99;
    for (const test::Recipe& r : test::recipes()) {
        SCOPED_TRACE(r.name);
        DocumentBuilder a;
        ASSERT_TRUE(r.make(a));
        if (a.document.frames.count() < 2 || !magickShowsEveryPixel(a.document))
            continue;
        lowest = std::min(lowest, checkResizes({}, r.make));
        ++checked;
    }
    EXPECT_GE(checked, 4);
    RecordProperty("lowestSmoothPsnr", std::to_string(lowest));
}

} // namespace
} // namespace zell
