// The optimiser and the optimising export make one pass over the frames:
// both are checked against what giflib shows of the animation before, and
// against each other, over every recipe and option set; then the cases
// whose result is fixed.
#include "operations/optimizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <set>
#include <tuple>

#include "document/gif_export.h"
#include "document/gif_info.h"
#include "document/optimizing_pass.h"
#include "document/screen_composer.h"
#include "image/gif_blocks.h"
#include "image/lzw_lossy.h"
#include "operations/recipes.h"
#include "support/corpus.h"
#include "support/gif_screens.h"

namespace zell {
namespace {

using test::DocumentBuilder;
using test::Screens;

constexpr uint32_t kA = makeColor(10, 200, 30);
constexpr uint32_t kB = makeColor(250, 5, 5);
constexpr uint32_t kC = makeColor(0, 0, 250);
constexpr uint32_t kTransparent = kSaveOptimize | kSaveTransparency;
constexpr uint32_t kAll = kTransparent | kSaveDropUnchanged | kSaveAutoTransparency;

std::vector<uint8_t> filled(uint32_t w, uint32_t h, uint8_t index) { return std::vector<uint8_t>(size_t(w) * h, index); }

// A w x h picture of index 0 with a block of `index` at (x, y).
std::vector<uint8_t> block(uint32_t width, uint32_t height, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint8_t index)
{
    std::vector<uint8_t> indices = filled(width, height, 0);
    for (uint32_t j = y; j < y + h; ++j)
        for (uint32_t i = x; i < x + w; ++i)
            indices[size_t(j) * width + i] = index;
    return indices;
}

std::array<uint32_t, 4> rect(const Frame& f) { return {f.left, f.top, f.width, f.height}; }

std::vector<uint16_t> delays(const std::vector<uint8_t>& gif)
{
    GifStreamInfo info;
    readGifInfo(gif, info);
    std::vector<uint16_t> out;
    for (const GifImageInfo& image : info.images)
        out.push_back(image.delay);
    return out;
}

#ifdef ZELL_HAVE_GIFLIB

// The animation `make` builds, optimised in place and written plainly:
// every frame kept shows what it showed before (close to it when colours
// are requantised) and, keeping the timing, waits for the frames dropped
// after it too; no replaced or dropped work file stays behind. The
// optimising export writes the same bytes and changes no frame.
void expectFaithful(uint32_t options, const std::function<bool(DocumentBuilder&)>& make)
{
    DocumentBuilder a, again;
    ASSERT_TRUE(make(a) && make(again));
    Document& d = a.document;
    for (int i = 0; i < d.frames.count(); ++i)
        d.frames.frameAt(i)->name = std::to_string(i);
    const std::vector<uint8_t> plain = test::exportedGif(d);
    const std::vector<uint8_t> gif = optimize(d, options) ? test::exportedGif(d) : std::vector<uint8_t>{};
    Screens original, shown, expected;
    ASSERT_TRUE(test::giflibScreens(plain, original, backgroundColor(again.document.settings)));
    ASSERT_TRUE(test::giflibScreens(gif, shown, backgroundColor(again.document.settings)));
    const std::vector<uint16_t> was = delays(plain);
    std::vector<uint16_t> waits;
    std::set<std::string> files;
    for (int i = 0; i < d.frames.count(); ++i) {
        const Frame& f = *d.frames.frameAt(i);
        const size_t k = std::stoul(f.name);
        size_t end = k + 1; // the frames whose delay this one takes
        if (options & kSaveKeepTiming)
            end = i + 1 < d.frames.count() ? std::stoul(d.frames.frameAt(i + 1)->name) : was.size();
        expected.push_back(original.at(k));
        waits.push_back(uint16_t(std::min(std::accumulate(was.begin() + long(k), was.begin() + long(end), 0u), 0xFFFFu)));
        files.insert(std::filesystem::path(f.workFile.path()).filename().string());
    }
    if (options & kSaveAutoTransparency) {
        EXPECT_EQ(shown.size(), expected.size());
        EXPECT_GT(test::screensPsnr(expected, shown), 30.0);
    } else if (const int level = lossyLevel(options); level > 0) {
        ASSERT_EQ(shown.size(), expected.size());
        double worst = 0;
        for (size_t n = 0; n < shown.size(); ++n) {
            ASSERT_EQ(shown[n].size(), expected[n].size());
            for (size_t p = 0; p + 2 < shown[n].size(); p += 3) {
                const uint8_t* a = &shown[n][p];
                const uint8_t* b = &expected[n][p];
                worst = std::max(worst, lossyDistance(makeColor(a[0], a[1], a[2]), makeColor(b[0], b[1], b[2])));
            }
        }
        EXPECT_LE(worst, lossyBound(level)) << "every pixel of every screen within the bound";
    } else {
        EXPECT_EQ(shown, expected);
    }
    EXPECT_EQ(delays(gif), waits);
    EXPECT_TRUE(!(options & kSaveLosslessTransparency) || gif.size() <= plain.size())
        << "each frame keeps its smallest encoding";
    EXPECT_EQ(test::snapshot(d).directory, files) << "replaced and dropped work files are gone";

    const test::DocumentState before = test::snapshot(again.document);
    EXPECT_EQ(test::exportedGif(again.document, options), gif) << "the export writes the same";
    EXPECT_EQ(test::snapshot(again.document), before) << "the export changes no frame";
}

struct Options {
    const char* name;
    uint32_t bits;
};

const Options kOptions[] = {
    {"crop", kSaveOptimize},
    {"transparency", kTransparent},
    {"drop unchanged", kTransparent | kSaveDropUnchanged},
    {"keep timing, opaque", kSaveOptimize | kSaveDropUnchanged | kSaveKeepTiming},
    {"shrink tables", kTransparent | kSaveShrinkTables},
    {"auto transparency", kTransparent | kSaveAutoTransparency},
    {"auto transparency alone, dropping", kSaveOptimize | kSaveAutoTransparency | kSaveDropUnchanged | kSaveShrinkTables},
    {"lossless", kSaveLosslessDefault},
    {"lossless, own tables", kTransparent | kSaveLosslessTransparency},
    {"lossless, keep timing", kSaveLosslessDefault | kSaveDropUnchanged | kSaveKeepTiming},
    {"lossy 40", kSaveLosslessDefault | lossyOption(40)},
    {"lossy 200, keep timing", kSaveLosslessDefault | kSaveDropUnchanged | kSaveKeepTiming | lossyOption(200)},
};

// Each instance checks both entry points on one option set and recipe.
class OptimizerOracle : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(OptimizerOracle, BothEntriesShowWhatTheAnimationShowed)
{
    const auto [option, recipe] = GetParam();
    SCOPED_TRACE(std::string(kOptions[option].name) + ", " + test::recipes()[recipe].name);
    expectFaithful(kOptions[option].bits, test::recipes()[recipe].make);
}

INSTANTIATE_TEST_SUITE_P(Recipes, OptimizerOracle,
                         ::testing::Combine(::testing::Range(size_t(0), std::size(kOptions)),
                                            ::testing::Range(size_t(0), test::recipes().size())));

TEST(OptimizerCorpus, EveryAnimationShowsTheSameThroughBothEntries)
{
    const int checked = test::forEachCorpusAnimation([](const std::vector<uint8_t>& gif, Document&) {
        for (const uint32_t options : {kTransparent, kTransparent | kSaveAutoTransparency, kSaveLosslessDefault,
                                       kSaveLosslessDefault | lossyOption(120)})
            expectFaithful(options, [&](DocumentBuilder& a) { return test::importGif(a.document, gif); });
    });
    if (checked == 0)
        GTEST_SKIP() << "no corpus at " << test::corpusDir();
    EXPECT_GT(checked, 40);
}

// Lossy streams are ordinary GIFs: ImageMagick shows every pixel it draws
// as giflib does (what it leaves transparent, a restore to background,
// it shows its own way and is not compared).
TEST(OptimizerCorpus, LossyOutputsShowTheSameInImageMagick)
{
    constexpr const char* kMagick = "/usr/bin/convert";
    if (!std::filesystem::exists(kMagick))
        GTEST_SKIP() << "ImageMagick is not installed";
    const test::ScratchDir dir;
    int compared = 0;
    const std::string in = dir.str() + "in.gif", out = dir.str() + "out.rgba";
    const auto magick = [&](const std::vector<uint8_t>& gif) {
        test::writeFile(in, gif);
        return std::system(("MAGICK_THREAD_LIMIT=1 " + std::string(kMagick) + " " + in + " -coalesce -depth 8 rgba:"
                            + out + " 2>/dev/null").c_str()) == 0;
    };
    const int checked = test::forEachCorpusAnimation([&](const std::vector<uint8_t>&, Document& d) {
        if (!magick(test::exportedGif(d)))
            return; // ImageMagick refuses the animation itself (frames off the screen)
        for (const int level : {40, 200}) {
            const std::vector<uint8_t> gif = test::exportedGif(d, kSaveLosslessDefault | lossyOption(level));
            Screens giflib;
            ASSERT_TRUE(test::giflibScreens(gif, giflib, backgroundColor(d.settings)));
            ASSERT_TRUE(magick(gif));
            const std::vector<uint8_t> rgba = test::readFile(out);
            ASSERT_EQ(rgba.size() / 4 * 3, giflib.size() * giflib.front().size()) << "frames or screen size";
            size_t differ = 0;
            for (size_t n = 0, at = 0; n < giflib.size(); ++n)
                for (size_t p = 0; p < giflib[n].size(); p += 3, at += 4)
                    differ += rgba[at + 3] == 255 && !std::equal(&giflib[n][p], &giflib[n][p] + 3, &rgba[at]) ? 1 : 0;
            EXPECT_EQ(differ, 0u) << "level " << level;
            ++compared;
        }
    });
    if (checked == 0)
        GTEST_SKIP() << "no corpus at " << test::corpusDir();
    EXPECT_GT(compared, 80);
}

// gifsicle's optimised streams are inputs with habits of their own:
// changed rectangles, transparency it chose, a table too small for its
// transparent index. Read in and written by every lossless mode, they show
// to giflib what they showed before.
TEST(OptimizerCorpus, GifsicleOutputsShowTheSameThroughTheLosslessModes)
{
    constexpr const char* kGifsicle = "/usr/bin/gifsicle";
    if (!std::filesystem::exists(kGifsicle))
        GTEST_SKIP() << "gifsicle is not installed";
    const test::ScratchDir dir;
    const std::string in = dir.str() + "in.gif", out = dir.str() + "out.gif";
    int compared = 0, pastTheTable = 0;
    const auto check = [&](const std::vector<uint8_t>& gif) {
        test::writeFile(in, gif);
        for (const std::string how : {"-O3", "-O3 --colors 4"}) {
            std::filesystem::remove(out);
            if (std::system((std::string(kGifsicle) + " " + how + " " + in + " -o " + out + " 2>/dev/null").c_str())
                != 0)
                continue; // gifsicle refuses the animation itself
            SCOPED_TRACE(how);
            const std::vector<uint8_t> theirs = test::readFile(out);
            GifStreamInfo info;
            readGifInfo(theirs, info);
            for (const GifImageInfo& image : info.images)
                pastTheTable += image.transparentIndex
                    && *image.transparentIndex >= (image.localTableSize ? image.localTableSize : info.globalTableSize);
            DocumentBuilder a;
            ASSERT_TRUE(test::importGif(a.document, theirs));
            const uint32_t background = backgroundColor(a.document.settings);
            Screens before, after;
            ASSERT_TRUE(test::giflibScreens(theirs, before, background));
            for (const uint32_t options : {kTransparent | kSaveLosslessTransparency, kSaveLosslessDefault}) {
                ASSERT_TRUE(test::giflibScreens(test::exportedGif(a.document, options), after, background));
                EXPECT_TRUE(after == before) << "options " << options;
            }
            ++compared;
        }
    };
    // Two colours, one block moving: gifsicle adds a third index as the
    // transparent one without growing the table.
    DocumentBuilder two;
    two.screen(32, 32);
    two.globalTable({0x000000, 0xFFFFFF});
    for (uint32_t i = 0; i < 4; ++i)
        two.addGlobal(32, 32, block(32, 32, 4 * i, 4, 7, 9, 1));
    check(test::exportedGif(two.document));
    EXPECT_GT(pastTheTable, 0);
    const int checked = test::forEachCorpusAnimation([&](const std::vector<uint8_t>& gif, Document&) { check(gif); });
    if (checked == 0)
        GTEST_SKIP() << "no corpus at " << test::corpusDir();
    EXPECT_GT(compared, 80);
}

// Where the result is fixed: the last frame's rectangle and table, the
// global table, every screen exactly as before.
struct Fixed {
    const char* name;
    uint32_t options;
    std::function<void(DocumentBuilder&)> make;
    int frames;
    std::array<uint32_t, 4> rect;
    int colours, global; // table sizes; 0: no global table, the last frame not checked
    std::function<void(const Document&)> more = {};
};

void fromRecipe(DocumentBuilder& a, const char* name) { ASSERT_TRUE(test::recipe(name).make(a)); }

const Fixed kFixed[] = {
    {"the change is cropped and the frame moved", kSaveOptimize,
     [](DocumentBuilder& a) {
         a.screen(100, 100);
         a.add(100, 100, {kA, kB}, filled(100, 100, 0));
         a.add(80, 70, {kA, kB}, block(80, 70, 30, 40, 10, 5, 1), 5, 6);
     },
     2, {35, 46, 10, 5}, 2, 0},
    // The change uses 100 colours: with the transparent entry they fit half
    // the table.
    {"a local table shrinks to what the change uses", kSaveOptimize,
     [](DocumentBuilder& a) {
         const std::vector<uint32_t> colors = test::distinctColors(256);
         a.screen(40, 40);
         a.add(40, 40, {colors[200], kB}, filled(40, 40, 0));
         std::vector<uint8_t> picture = filled(40, 40, 200);
         for (uint32_t k = 0; k < 100; ++k)
             picture[size_t(10 + k / 10) * 40 + 10 + k % 10] = uint8_t(k);
         a.add(40, 40, colors, picture).transparentIndex = 255;
     },
     2, {10, 10, 10, 10}, 128, 0},
    // Three colours and a free entry, which the background colour keeps.
    {"auto transparency rebuilds the global table", kTransparent | kSaveAutoTransparency,
     [](DocumentBuilder& a) { fromRecipe(a, "global frames without transparency"); }, 2, {4, 4, 3, 3}, 4, 4,
     [](const Document& d) { EXPECT_LT(d.frames.frameAt(1)->transparentIndex, 4); }},
    // Own tables of the same twelve colours move onto one global table.
    {"lossless merges own tables", kSaveLosslessDefault,
     [](DocumentBuilder& a) { fromRecipe(a, "own tables of the same colours"); }, 5, {19, 4, 8, 8}, 16, 16,
     [](const Document& d) {
         for (int i = 0; i < d.frames.count(); ++i)
             EXPECT_EQ(d.frames.frameAt(i)->useLocalColorTable, 0) << i;
     }},
    // A table every frame carries becomes the global one; one other stops that.
    // A frame restores to the background: white joins the table as its entry.
    {"lossless writes a shared own table once", kSaveLosslessDefault,
     [](DocumentBuilder& a) { fromRecipe(a, "one own table in every frame"); }, 4, {14, 4, 6, 6}, 16, 16,
     [](const Document& d) {
         std::vector<uint32_t> colors = test::distinctColors(8, 4);
         colors.push_back(0xFFFFFF);
         colors.resize(16);
         EXPECT_EQ(test::globalColors(d), colors);
         EXPECT_EQ(d.settings.globalColorTable.backgroundIndex, 8);
         EXPECT_EQ(d.frames.frameAt(3)->useLocalColorTable, 0);
     }},
    // Nine colours of 32 in use: the table halves, and the colour the second
    // frame changes comes first, so that its codes start 2 bits wide.
    {"lossless puts the colours small changes use first", kSaveLosslessDefault,
     [](DocumentBuilder& a) {
         a.screen(16, 16);
         a.globalTable(test::distinctColors(32));
         std::vector<uint8_t> picture(16 * 16);
         for (size_t k = 0; k < picture.size(); ++k)
             picture[k] = uint8_t(20 + k % 9);
         a.addGlobal(16, 16, picture);
         for (uint32_t y = 5; y < 8; ++y)
             for (uint32_t x = 4; x < 7; ++x)
                 picture[y * 16 + x] = picture[y * 16 + x] == 28 ? 27 : 28;
         a.addGlobal(16, 16, picture);
     },
     2, {4, 5, 3, 3}, 16, 16,
     [](const Document& d) {
         const std::vector<uint8_t> bytes = test::readFile(d.frames.frameAt(1)->workFile);
         GifHeader header;
         GifImageBlock image;
         ASSERT_TRUE(readGifHeader(bytes, header) && findFirstGifImage(header, image));
         EXPECT_EQ(bytes[image.dataStart], 2);
     }},
    // All 32 colours in use: the table cannot shrink, but its order still
    // lets the second frame's codes start 2 bits wide; the third frame, of
    // an own table of the same colours, moves onto it, its transparent entry
    // among the first four.
    {"lossless reorders a full table for small changes", kSaveLosslessDefault,
     [](DocumentBuilder& a) {
         a.screen(16, 16);
         const std::vector<uint32_t> colors = test::distinctColors(32);
         a.globalTable(colors);
         std::vector<uint8_t> picture(16 * 16);
         for (size_t k = 0; k < picture.size(); ++k)
             picture[k] = uint8_t(k * 7 % 32);
         a.addGlobal(16, 16, picture);
         for (uint32_t y = 5; y < 8; ++y)
             for (uint32_t x = 4; x < 7; ++x)
                 picture[y * 16 + x] = uint8_t(28 + (x + y) % 2);
         a.addGlobal(16, 16, picture);
         picture[6 * 16 + 5] = 28;
         a.add(16, 16, colors, picture);
     },
     3, {5, 6, 1, 1}, 32, 32,
     [](const Document& d) {
         for (const int i : {1, 2}) {
             const std::vector<uint8_t> bytes = test::readFile(d.frames.frameAt(i)->workFile);
             GifHeader header;
             GifImageBlock image;
             ASSERT_TRUE(readGifHeader(bytes, header) && findFirstGifImage(header, image));
             EXPECT_EQ(bytes[image.dataStart], 2) << i;
         }
         EXPECT_EQ(d.frames.frameAt(2)->useLocalColorTable, 0);
     }},
};

TEST(Optimizer, FixedResults)
{
    for (const Fixed& c : kFixed) {
        SCOPED_TRACE(c.name);
        DocumentBuilder a;
        c.make(a);
        Document& d = a.document;
        const uint32_t background = backgroundColor(d.settings);
        Screens before, after;
        ASSERT_TRUE(test::giflibScreens(test::exportedGif(d), before, background));
        ASSERT_TRUE(optimize(d, c.options));
        ASSERT_TRUE(test::giflibScreens(test::exportedGif(d), after, background));
        EXPECT_EQ(after, test::withoutRepeats(before));
        ASSERT_EQ(d.frames.count(), c.frames);
        const Frame& last = *d.frames.frameAt(c.frames - 1);
        if (c.colours > 0) {
            EXPECT_EQ(rect(last), c.rect);
            EXPECT_EQ(last.useLocalColorTable ? int(last.colorCount) : int(d.settings.globalColorTable.count), c.colours);
            EXPECT_EQ(test::workFileTable(last).size(), size_t(c.colours));
        }
        EXPECT_EQ(d.settings.useGlobalColorTable ? int(d.settings.globalColorTable.count) : 0, c.global);
        EXPECT_EQ(backgroundColor(d.settings), background);
        if (c.more)
            c.more(d);
    }
}

#endif

// Frames that all carry one table may share it as the global table, whose
// background entry a reader then restores to: after a write and a reopen,
// zell shows every screen as before, white where the background shows,
// whether the table holds white, has room for it, or is full.
TEST(Optimizer, SharedOwnTableKeepsTheBackground)
{
    const std::vector<uint32_t> withWhite = {kA, kB, kC, 0xFFFFFF};
    const std::vector<uint32_t> small = test::distinctColors(4, 4);
    const std::vector<uint32_t> full = test::distinctColors(256);
    const std::tuple<const char*, const std::vector<uint32_t>*, int> cases[] = {
        {"white in the table", &withWhite, 4}, {"room for white", &small, 8}, {"full table", &full, 0}};
    for (const auto& [what, table, global] : cases) {
        SCOPED_TRACE(what);
        const std::vector<uint32_t>* colors = table; // a lambda may not capture a binding
        auto make = [&](DocumentBuilder& a) {
            a.screen(16, 16);
            // Neither covers the screen, and each is cleared to the background.
            a.add(12, 12, *colors, filled(12, 12, 0), 2, 2).disposal = 2;
            a.add(6, 6, *colors, filled(6, 6, 1), 1, 1).disposal = 2;
            a.add(5, 5, *colors, filled(5, 5, 2), 9, 9).disposal = 2;
            a.document.settings.useGlobalColorTable = false;
        };
        DocumentBuilder exported, inPlace, reopened, reopenedInPlace;
        make(exported);
        make(inPlace);
        const test::Screens before = test::composedScreens(exported.document);
        ASSERT_EQ(before.size(), 3u);

        ASSERT_TRUE(test::importGif(reopened.document, test::exportedGif(exported.document, kSaveLosslessDefault)));
        EXPECT_EQ(test::composedScreens(reopened.document), before);
        const GifSettings& s = reopened.document.settings;
        EXPECT_EQ(s.useGlobalColorTable ? int(s.globalColorTable.count) : 0, global);

        ASSERT_TRUE(optimize(inPlace.document, kSaveLosslessDefault));
        ASSERT_TRUE(test::importGif(reopenedInPlace.document, test::exportedGif(inPlace.document)));
        EXPECT_EQ(test::composedScreens(reopenedInPlace.document), before);
    }
}

// All or nothing: a write refused after the global table was rebuilt and
// three frames staged, or a work file that cannot be read, leave every
// frame, work file and the global table as they were. Rebuilding, merging
// or shrinking the tables reads every frame first (half of these entries are
// unused), so no frame is staged then.
TEST(Optimizer, FailureMidRunChangesNothing)
{
    const std::tuple<const char*, bool, uint32_t> cases[] = {
        {"write failure", false, kAll},
        {"unreadable work file", true, kAll & ~kSaveAutoTransparency},
        {"unreadable work file while the table is rebuilt", true, kAll},
        {"unreadable work file while the tables shrink", true, kSaveLosslessDefault},
    };
    for (const auto& [what, unreadable, options] : cases) {
        SCOPED_TRACE(what);
        DocumentBuilder a;
        a.screen(24, 24);
        a.globalTable({kA, kB, kC, makeColor(1, 2, 3), makeColor(4, 5, 6), makeColor(7, 8, 9), makeColor(1, 1, 1),
                       makeColor(2, 2, 2)});
        for (uint32_t i = 0; i < 5; ++i)
            a.addGlobal(24, 24, block(24, 24, i * 3, i * 2, 5, 5, uint8_t(1 + i % 3))).delay = uint16_t(i);
        a.addGlobal(24, 24, block(24, 24, 12, 8, 5, 5, 2)); // a repeat: dropped when the run succeeds
        if (unreadable)
            test::writeFile(a.document.frames.frameAt(4)->workFile.path(), {'G', 'I', 'F', '8', '9', 'a', 0});
        const test::DocumentState before = test::snapshot(a.document);
        int writes = 0;
        const bool failsOnRead = unreadable; // clang 14 cannot capture a structured binding
        const WriteFault fault = [&](int index) { return ++writes, failsOnRead || index != 3; };
        EXPECT_FALSE(optimize(a.document, options, fault));
        EXPECT_EQ(test::snapshot(a.document), before);
        if (unreadable) {
            EXPECT_TRUE(options == (kAll & ~kSaveAutoTransparency) || writes == 0) << "no frame staged";
            continue;
        }
        EXPECT_EQ(writes, 4) << "frames 0 to 2 were staged first (the table was rebuilt)";
        ASSERT_TRUE(optimize(a.document, kAll));
        EXPECT_EQ(a.document.frames.count(), 5);
        EXPECT_NE(test::snapshot(a.document).globalEntries, before.globalEntries);
    }
}

// Frames encoded ahead on the second thread come out as they do one at a
// time, on a whole screen and on one kept in tiles (whose areas beneath are
// copies already), with frames partly or wholly off the screen, too small to
// hand over, or with tables of their own; a frame that cannot be read fails when
// it is taken, not while the frame before it is.
TEST(OptimizingPass, EncodingAheadChangesNothing)
{
    for (const auto& [width, height] : {std::pair{96, 80}, std::pair{1200, 900}}) {
        for (const bool unreadable : {false, true}) {
            SCOPED_TRACE(testing::Message() << width << "x" << height << (unreadable ? ", unreadable" : ""));
            DocumentBuilder a;
            a.screen(uint16_t(width), uint16_t(height));
            a.globalTable({kA, kB, kC, makeColor(1, 2, 3)});
            a.addGlobal(96, 80, filled(96, 80, 0));
            for (uint32_t i = 0; i < 6; ++i)
                a.addGlobal(96, 80, block(96, 80, i * 9, i * 5, 30, 20, uint8_t(1 + i % 3)), i * 7, i * 3);
            a.addGlobal(20, 20, filled(20, 20, 2), 30, 30);
            a.addGlobal(70, 70, filled(70, 70, 1), uint32_t(width) + 10, 5); // wholly off the screen
            a.add(96, 80, {kC, kB, kA}, block(96, 80, 40, 30, 10, 10, 1), uint32_t(width) - 50, 10);
            a.addGlobal(96, 80, block(96, 80, 3, 3, 50, 50, 3), 5, 5);
            if (unreadable)
                test::writeFile(a.document.frames.frameAt(5)->workFile.path(), {'G', 'I', 'F', '8', '9', 'a', 0});
            // Shrinking the tables reads every frame before the pass.
            const uint32_t options = unreadable ? kSaveLosslessDefault & ~kSaveShrinkTables : kSaveLosslessDefault;
            const GifOutput output = GifOutput::fromSettings(a.document.settings, options);
            auto run = [&](bool ahead, int& failedAt) {
                OptimizingPass pass(a.document.frames, output.globalTable, output.screenWidth, output.screenHeight,
                                    output.options);
                pass.encodeAhead(ahead);
                std::vector<std::vector<uint8_t>> frames;
                failedAt = -1;
                EXPECT_TRUE(pass.prepare());
                for (int i = 0; i < a.document.frames.count() && failedAt < 0; ++i) {
                    OptimizedFrame r;
                    if (!pass.next(i, r)) {
                        failedAt = i;
                        break;
                    }
                    const bool rewritten = r.outcome == OptimizedFrame::Outcome::rewritten;
                    const std::span<const uint8_t> bytes = rewritten ? r.stream.bytes() : pass.currentWorkFile();
                    std::vector<uint8_t> record(bytes.begin(), bytes.end());
                    for (const uint32_t v : {uint32_t(r.outcome), uint32_t(r.attributes.left),
                                             uint32_t(r.attributes.top), uint32_t(r.attributes.transparentIndex)})
                        record.push_back(uint8_t(v));
                    frames.push_back(record);
                }
                return frames;
            };
            int alone = 0, ahead = 0;
            const auto one = run(false, alone);
            EXPECT_EQ(run(true, ahead), one);
            EXPECT_EQ(ahead, alone);
            EXPECT_EQ(alone, unreadable ? 5 : -1);
            EXPECT_EQ(one.size(), unreadable ? 5u : 11u);
        }
    }
}

// A screen without width composes nothing: that is a failure, not an empty
// success, and no file is left.
TEST(OptimizedExport, FailureLeavesNoFile)
{
    DocumentBuilder a;
    ASSERT_TRUE(test::recipe("sprites with own tables").make(a));
    a.document.settings.screenWidth = 0;
    test::ScratchDir dir;
    ExportError why;
    EXPECT_FALSE(writeAnimatedGif(dir.str() + "zero.gif", a.document.frames,
                                  GifOutput::fromSettings(a.document.settings, kSaveOptimize), &why));
    EXPECT_EQ(why, ExportError::OptimizeFailed);
    EXPECT_TRUE(test::namesIn(dir.path()).empty());
}

} // namespace
} // namespace zell
