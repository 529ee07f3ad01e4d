#include "operations/optimizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <tuple>

#include "document/gif_export.h"
#include "image/gif_codec.h"
#include "image/random.h"
#include "operations/animation_fixture.h"
#include "support/gif_screens.h"
#include "support/indexed_dib.h"

namespace zell {
namespace {

using test::AnimationFixture;
using test::composedScreens;

constexpr uint32_t kA = makeColor(10, 200, 30);
constexpr uint32_t kB = makeColor(250, 5, 5);
constexpr uint32_t kC = makeColor(0, 0, 250);
constexpr uint32_t kAll = kSaveOptimize | kSaveTransparency | kSaveDropUnchanged | kSaveAutoTransparency;

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

TEST(Optimizer, OneFrameIsLeftAloneAndNoFrameFails)
{
    AnimationFixture a;
    EXPECT_FALSE(optimize(a.document(), kSaveOptimize));
    a.screen(8, 8);
    a.globalTable({kA, kB, kC});
    a.addGlobal(8, 8, filled(8, 8, 1));
    const test::DocumentState before = test::snapshot(a.document());
    ASSERT_TRUE(optimize(a.document(), kAll));
    EXPECT_EQ(test::snapshot(a.document()), before) << "nothing rewritten, global table not rebuilt";
}

// Frame 1 repeats, at (3, 4), what frame 0 shows.
TEST(Optimizer, UnchangedFrameIsDroppedOrShrunkToOnePixel)
{
    for (const uint32_t options : {uint32_t(kSaveDropUnchanged), 0u, uint32_t(kSaveTransparency)}) {
        SCOPED_TRACE(options);
        AnimationFixture a;
        a.screen(20, 20);
        a.add(20, 20, {kA, kB, kC}, filled(20, 20, 0)).delay = 5;
        Frame& same = a.add(10, 10, {kA, kB, kC}, filled(10, 10, 0), 3, 4);
        same.delay = 70;
        same.userInput = 1;
        same.transparentIndex = 3;
        a.add(20, 20, {kA, kB, kC}, filled(20, 20, 1));
        const test::Screens screens = composedScreens(a.document());

        ASSERT_TRUE(optimize(a.document(), kSaveOptimize | options));
        const FrameList& frames = a.document().frames;
        if (options == kSaveDropUnchanged) {
            ASSERT_EQ(frames.count(), 2);
            EXPECT_EQ(frames.frameAt(0)->delay, 5) << "the dropped delay goes nowhere";
            EXPECT_EQ(frames.frameAt(1)->name, "frame 2");
            EXPECT_EQ(a.document().currentIndex, 0);
            EXPECT_EQ(test::snapshot(a.document()).directory.size(), 2u) << "the dropped frame's file went with it";
            continue;
        }
        ASSERT_EQ(frames.count(), 3);
        const Frame& f = *frames.frameAt(1);
        EXPECT_EQ(rect(f), (std::array<uint32_t, 4>{3, 4, 1, 1}));
        EXPECT_EQ(composedScreens(a.document()), screens);
        if (options == kSaveTransparency) {
            ASSERT_NE(f.transparentIndex, kNoIndex);
            EXPECT_EQ(test::workFileIndices(f), std::vector<uint8_t>{uint8_t(f.transparentIndex)});
        }
    }
}

TEST(Optimizer, ChangeIsCroppedAndTheFrameMoved)
{
    AnimationFixture a;
    a.screen(100, 100);
    a.add(100, 100, {kA, kB}, filled(100, 100, 0));
    a.add(80, 70, {kA, kB}, block(80, 70, 30, 40, 10, 5, 1), 5, 6);
    const test::Screens screens = composedScreens(a.document());

    ASSERT_TRUE(optimize(a.document(), kSaveOptimize));
    EXPECT_EQ(rect(*a.document().frames.frameAt(1)), (std::array<uint32_t, 4>{35, 46, 10, 5}));
    EXPECT_EQ(composedScreens(a.document()), screens);
    EXPECT_EQ(test::exportedScreens(a.document()), screens);
}

TEST(Optimizer, RestoreToBackgroundFrameKeepsItsRectangle)
{
    AnimationFixture a;
    a.screen(30, 30);
    a.add(30, 30, {kA, kB, kC}, filled(30, 30, 0));
    const std::vector<uint8_t> picture = block(20, 20, 2, 2, 3, 3, 1);
    Frame& disposed = a.add(20, 20, {kA, kB, kC}, picture, 5, 5);
    disposed.disposal = 2;
    disposed.transparentIndex = 3;
    a.add(20, 20, {kA, kB, kC}, filled(20, 20, 2), 5, 5).disposal = 2;
    a.add(30, 30, {kA, kB, kC}, filled(30, 30, 2)).disposal = 2; // identical to the screen after frame 2
    const test::Screens screens = composedScreens(a.document());

    const test::DocumentState plain = test::snapshot(a.document());
    ASSERT_TRUE(optimize(a.document(), kSaveOptimize | kSaveDropUnchanged));
    EXPECT_EQ(test::snapshot(a.document()), plain) << "without transparency such frames are not touched";

    ASSERT_TRUE(optimize(a.document(), kSaveOptimize | kSaveTransparency | kSaveDropUnchanged));
    ASSERT_EQ(a.document().frames.count(), 4) << "never dropped";
    const Frame& f = *a.document().frames.frameAt(1);
    EXPECT_EQ(rect(f), (std::array<uint32_t, 4>{5, 5, 20, 20}));
    std::vector<uint8_t> expected = picture;
    for (uint8_t& index : expected)
        index = index == 0 ? uint8_t(f.transparentIndex) : index;
    EXPECT_EQ(test::workFileIndices(f), expected) << "unchanged pixels still become transparent";
    EXPECT_EQ(composedScreens(a.document()), screens);
}

// A 256-colour frame whose change, a block at (10, 10), uses `used` distinct
// colours; 101 entries (with the transparent one) fit 128, 130 do not.
TEST(Optimizer, LocalTableShrinksOnlyWhenHalfOfItIsEnough)
{
    struct Case {
        int used;
        uint32_t blockWidth;
        uint16_t colorCount;
    };
    for (const Case c : {Case{100, 10, 128}, Case{129, 13, 256}}) {
        SCOPED_TRACE(c.used);
        const std::vector<uint32_t> colors = test::distinctColors(256);
        AnimationFixture a;
        a.screen(40, 40);
        a.add(40, 40, {colors[200], kB}, filled(40, 40, 0));
        std::vector<uint8_t> picture = filled(40, 40, 200);
        for (uint32_t k = 0; k < c.blockWidth * 10; ++k)
            picture[size_t(10 + k / c.blockWidth) * 40 + 10 + k % c.blockWidth] = uint8_t(int(k) % c.used);
        a.add(40, 40, colors, picture).transparentIndex = 255;
        const test::Screens screens = composedScreens(a.document());

        ASSERT_TRUE(optimize(a.document(), kSaveOptimize));
        const Frame& f = *a.document().frames.frameAt(1);
        EXPECT_EQ(rect(f), (std::array<uint32_t, 4>{10, 10, c.blockWidth, 10}));
        EXPECT_EQ(f.colorCount, c.colorCount);
        EXPECT_EQ(test::workFileTable(f).size(), c.colorCount);
        EXPECT_LT(f.transparentIndex, c.colorCount);
        EXPECT_TRUE(c.colorCount == 128 || f.transparentIndex == 255) << "a kept table keeps its entries";
        EXPECT_EQ(composedScreens(a.document()), screens);
    }
}

TEST(Optimizer, TwoColourFrameGrowsToFourForItsTransparentColour)
{
    AnimationFixture a;
    a.screen(10, 10);
    a.add(10, 10, {kA, kB}, filled(10, 10, 0));
    a.add(10, 10, {kA, kC}, block(10, 10, 0, 5, 10, 5, 1));
    const test::Screens screens = composedScreens(a.document());

    ASSERT_TRUE(optimize(a.document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
    const Frame& f = *a.document().frames.frameAt(1);
    EXPECT_EQ(f.colorCount, 4);
    EXPECT_EQ(test::workFileTable(f).size(), 4u);
    ASSERT_LT(f.transparentIndex, 4);
    EXPECT_EQ(f.top, 5u);
    EXPECT_EQ(composedScreens(a.document()), screens) << "two colours fit a 4-entry table exactly";
}

TEST(Optimizer, AutoTransparencyRebuildsTheGlobalTableWithAFreeEntry)
{
    AnimationFixture a;
    a.screen(16, 16);
    a.globalTable({kA, kB, kC, makeColor(9, 9, 9)}, 2);
    a.addGlobal(16, 16, filled(16, 16, 0));
    a.addGlobal(16, 16, block(16, 16, 4, 4, 3, 3, 2));
    const test::Screens screens = composedScreens(a.document());

    ASSERT_TRUE(optimize(a.document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
    const ColorTable& table = a.document().settings.globalColorTable;
    ASSERT_EQ(table.count, 4);
    const Frame& f = *a.document().frames.frameAt(1);
    ASSERT_LT(f.transparentIndex, 4);
    EXPECT_EQ(f.useLocalColorTable, 0);
    EXPECT_EQ(f.width, 3u);
    EXPECT_EQ(table.color(table.backgroundIndex), kC) << "the entry of the old background colour";
    // Three colours used and one free entry: the rebuilt table is exact.
    EXPECT_EQ(composedScreens(a.document()), screens);
}

TEST(Optimizer, InterlacedFramesAreWrittenPlainAndSaidSo)
{
    AnimationFixture a;
    a.screen(12, 12);
    a.add(12, 12, {kA, kB}, filled(12, 12, 0));
    std::vector<uint8_t> picture = filled(12, 12, 0);
    for (uint32_t y = 0; y < 12; ++y)
        picture[y * 12 + y] = 1;
    Frame& f = a.add(12, 12, {kA, kB, kC}, picture);
    ByteBuffer gif;
    ASSERT_TRUE(encodeGifImage(test::indexedDib(12, 12, {kA, kB, kC, 0}, picture), gif, 2, true));
    test::writeFile(f.workFile.path(), {gif.data(), gif.data() + gif.size()});
    f.descriptorFlags = 0x40;
    const test::Screens screens = composedScreens(a.document());
    ASSERT_EQ(test::exportedScreens(a.document()), screens);

    ASSERT_TRUE(optimize(a.document(), kSaveOptimize | kSaveTransparency));
    EXPECT_EQ(a.document().frames.frameAt(1)->descriptorFlags & 0x40, 0);
    EXPECT_EQ(test::exportedScreens(a.document()), screens);
}

// All or nothing: a write refused after the global table was rebuilt and
// three frames staged, or a work file that cannot be read, leave every
// frame, work file and the global table as they were.
TEST(Optimizer, FailureMidRunChangesNothing)
{
    const std::tuple<const char*, bool, uint32_t> cases[] = {
        {"write failure", false, kAll},
        {"unreadable work file", true, kAll & ~kSaveAutoTransparency},
        {"unreadable work file while the table is rebuilt", true, kAll},
    };
    for (const auto& [what, unreadable, options] : cases) {
        SCOPED_TRACE(what);
        AnimationFixture a;
        a.screen(24, 24);
        a.globalTable({kA, kB, kC, makeColor(1, 2, 3)});
        for (uint32_t i = 0; i < 5; ++i)
            a.addGlobal(24, 24, block(24, 24, i * 3, i * 2, 5, 5, uint8_t(1 + i % 3))).delay = uint16_t(i);
        a.addGlobal(24, 24, block(24, 24, 12, 8, 5, 5, 2)); // a repeat: dropped when the run succeeds
        if (unreadable)
            test::writeFile(a.document().frames.frameAt(4)->workFile.path(), {'G', 'I', 'F', '8', '9', 'a', 0});
        const test::DocumentState before = test::snapshot(a.document());
        int writes = 0;
        const bool failsOnRead = unreadable; // clang 14 cannot capture a structured binding
        const WriteFault fault = [&](int index) { return ++writes, failsOnRead || index != 3; };
        EXPECT_FALSE(optimize(a.document(), options, fault));
        EXPECT_EQ(test::snapshot(a.document()), before);
        if (unreadable) {
            EXPECT_TRUE(options != kAll || writes == 0) << "the table is rebuilt before any frame is staged";
            continue;
        }
        EXPECT_EQ(writes, 4) << "frames 0 to 2 were staged first (the table was rebuilt)";
        ASSERT_TRUE(optimize(a.document(), kAll));
        EXPECT_EQ(a.document().frames.count(), 5);
        EXPECT_NE(test::snapshot(a.document()).globalEntries, before.globalEntries);
    }
}

// Animations made from short recipes: moving sprites over a pattern, offsets
// reaching past the screen, every disposal, transparent and 256-colour frames.
void generate(AnimationFixture& a, uint32_t seed, bool global)
{
    Random random(seed);
    const uint32_t w = 48 + uint32_t(random.next() % 16), h = 32 + uint32_t(random.next() % 16);
    a.screen(uint16_t(w), uint16_t(h));
    const int colours = global ? 16 : 256;
    const std::vector<uint32_t> palette = test::distinctColors(colours, int(seed));
    if (global)
        a.globalTable(palette, 3);
    std::vector<uint8_t> picture(size_t(w) * h);
    for (size_t k = 0; k < picture.size(); ++k)
        picture[k] = uint8_t((k / 7 + k % w / 5) % uint32_t(colours));
    (global ? a.addGlobal(w, h, picture) : a.add(w, h, palette, picture)).delay = 10;
    uint32_t fw = w, fh = h, left = 0, top = 0;
    for (int i = 1; i < 12; ++i) {
        uint16_t transparent = kNoIndex;
        uint8_t disposal = uint8_t(random.next() % 4);
        if (i % 5 != 0) {
            fw = 8 + uint32_t(random.next() % 20);
            fh = 6 + uint32_t(random.next() % 20);
            left = uint32_t(random.next()) % w;
            top = uint32_t(random.next()) % h;
            picture.assign(size_t(fw) * fh, 0);
            const uint8_t base = uint8_t(random.next() % colours);
            for (uint8_t& index : picture)
                index = random.next() % 4 == 0 ? uint8_t(random.next() % colours) : base;
            if (random.next() % 3 == 0)
                transparent = base;
        }
        // Every fifth frame repeats the one before, which stays on screen:
        // it changes nothing.
        if (i % 5 == 4 || i % 5 == 0)
            disposal = 1;
        Frame& f = global ? a.addGlobal(fw, fh, picture, left, top) : a.add(fw, fh, palette, picture, left, top);
        f.disposal = disposal;
        f.transparentIndex = i % 5 == 0 ? a.document().frames.frameAt(i - 1)->transparentIndex : transparent;
    }
}

class OptimizerOracle : public ::testing::TestWithParam<std::tuple<uint32_t, bool>> {};

// Exact without auto-transparency (also with frames dropped: the others keep
// their screens), close with it.
TEST_P(OptimizerOracle, ComposesTheSameScreensOrCloseOnes)
{
    const auto [seed, global] = GetParam();
    AnimationFixture exact, dropped, lossy;
    for (AnimationFixture* a : {&exact, &dropped, &lossy})
        generate(*a, seed, global);
    const test::Screens screens = composedScreens(exact.document());
    ASSERT_FALSE(screens.empty());
    ASSERT_TRUE(optimize(exact.document(), kSaveOptimize | kSaveTransparency));
    EXPECT_EQ(composedScreens(exact.document()), screens);
    EXPECT_EQ(test::exportedScreens(exact.document()), screens);

    ASSERT_TRUE(optimize(dropped.document(), kSaveOptimize | kSaveTransparency | kSaveDropUnchanged));
    const test::Screens after = composedScreens(dropped.document());
    ASSERT_EQ(after.size(), size_t(dropped.document().frames.count()));
    EXPECT_LT(after.size(), screens.size());
    for (size_t i = 0; i < after.size(); ++i) {
        const size_t was = std::stoul(dropped.document().frames.frameAt(int(i))->name.substr(6)); // "frame <n>"
        ASSERT_LT(was, screens.size());
        EXPECT_EQ(after[i], screens[was]) << "frame " << i;
    }

    ASSERT_TRUE(optimize(lossy.document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
    const double db = test::psnr(screens, test::exportedScreens(lossy.document()));
    std::printf("[ psnr     ] seed %u %s: %.2f dB\n", seed, global ? "global" : "local", db);
    EXPECT_GT(db, 30.0);
}

// Issue 18: the lossless modes change no screen, give transparency to frames
// without one, and keeping the timing keeps the animation's length.
TEST_P(OptimizerOracle, LosslessModesKeepEveryScreen)
{
    const auto [seed, global] = GetParam();
    AnimationFixture lossless, timed, plain;
    for (AnimationFixture* a : {&lossless, &timed, &plain}) {
        generate(*a, seed, global);
        for (int i = 0; i < a->document().frames.count(); ++i)
            a->document().frames.frameAt(i)->delay = uint16_t(5 + i);
    }
    const test::Screens screens = composedScreens(lossless.document());
    ASSERT_TRUE(optimize(lossless.document(), kSaveLosslessDefault));
    EXPECT_EQ(composedScreens(lossless.document()), screens);
    EXPECT_EQ(test::exportedScreens(lossless.document()), screens);

    auto totalDelay = [](const Document& d) {
        uint32_t sum = 0;
        for (int i = 0; i < d.frames.count(); ++i)
            sum += d.frames.frameAt(i)->delay;
        return sum;
    };
    const uint32_t before = totalDelay(timed.document());
    ASSERT_TRUE(optimize(timed.document(), kSaveLosslessDefault | kSaveDropUnchanged | kSaveKeepTiming));
    EXPECT_LT(timed.document().frames.count(), plain.document().frames.count());
    EXPECT_EQ(totalDelay(timed.document()), before);
    EXPECT_EQ(test::withoutRepeats(composedScreens(timed.document())), test::withoutRepeats(screens));
    ASSERT_TRUE(optimize(plain.document(), kSaveLosslessDefault | kSaveDropUnchanged));
    EXPECT_LT(totalDelay(plain.document()), before) << "without keep-timing the delay goes with the frame";
}

// Frames whose own tables hold the same few colours in different orders (as
// pictures reduced one by one come out) move onto one global table of those
// colours; no merging when a frame would need longer codes.
TEST(Optimizer, LosslessMergesOwnTablesIntoTheGlobalOne)
{
    const std::vector<uint32_t> colours = test::distinctColors(12, 5);
    for (const bool narrow : {false, true}) {
        AnimationFixture a;
        a.screen(32, 16);
        std::vector<uint32_t> global(colours.begin(), colours.begin() + 8);
        global.resize(16, 0);
        a.globalTable(global, 0);
        std::vector<uint8_t> picture(32 * 16);
        for (size_t k = 0; k < picture.size(); ++k)
            picture[k] = uint8_t(k % 32 / 4);
        a.addGlobal(32, 16, picture);
        for (int i = 0; i < 4; ++i) {
            // Sixteen entries, a rotation of the twelve colours; a 2-entry
            // table in the narrow case.
            std::vector<uint32_t> own;
            for (int k = 0; k < (narrow && i == 3 ? 2 : 16); ++k)
                own.push_back(colours[size_t(k + i) % colours.size()]);
            std::vector<uint8_t> sprite(8 * 8);
            for (size_t k = 0; k < sprite.size(); ++k)
                sprite[k] = uint8_t((k / 8 + k % 8 + size_t(i)) % own.size() % 12);
            a.add(8, 8, own, sprite, uint32_t(4 + 5 * i), 4).disposal = 1;
        }
        const test::Screens screens = composedScreens(a.document());
        ASSERT_TRUE(optimize(a.document(), kSaveLosslessDefault));
        EXPECT_EQ(composedScreens(a.document()), screens) << narrow;
        EXPECT_EQ(test::exportedScreens(a.document()), screens) << narrow;
        if (narrow) {
            EXPECT_EQ(a.document().settings.globalColorTable.count, 8)
                << "a 1-bit table is not merged into one of 4-bit codes: the global one only shrinks";
            continue;
        }
        for (int i = 0; i < a.document().frames.count(); ++i)
            EXPECT_EQ(a.document().frames.frameAt(i)->useLocalColorTable, 0) << i;
        EXPECT_EQ(a.document().settings.globalColorTable.count, 16) << "12 colours and one for transparency";
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, OptimizerOracle,
                         ::testing::Combine(::testing::Values(1u, 2u, 3u, 4u), ::testing::Bool()));

} // namespace
} // namespace zell
