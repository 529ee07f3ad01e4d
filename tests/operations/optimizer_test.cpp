#include "operations/optimizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "document/gif_export.h"
#include "image/gif_codec.h"
#include "image/random.h"
#include "image/raster_image.h"
#include "operations/animation_fixture.h"
#include "support/indexed_dib.h"

namespace zell {
namespace {

using test::AnimationFixture;

constexpr uint32_t kA = makeColor(10, 200, 30);
constexpr uint32_t kB = makeColor(250, 5, 5);
constexpr uint32_t kC = makeColor(0, 0, 250);

std::vector<uint8_t> filled(uint32_t w, uint32_t h, uint8_t index) { return std::vector<uint8_t>(size_t(w) * h, index); }

void paint(std::vector<uint8_t>& indices, uint32_t width, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint8_t index)
{
    for (uint32_t j = y; j < y + h; ++j)
        for (uint32_t i = x; i < x + w; ++i)
            indices[size_t(j) * width + i] = index;
}

class Optimizer : public ::testing::Test, public AnimationFixture {};

TEST_F(Optimizer, OneFrameIsLeftAlone)
{
    screen(8, 8);
    globalTable({kA, kB, kC});
    addGlobal(8, 8, filled(8, 8, 1));
    const test::DocumentState before = test::snapshot(document());
    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency | kSaveDropUnchanged | kSaveAutoTransparency));
    EXPECT_EQ(test::snapshot(document()), before) << "nothing rewritten, global table not rebuilt";
}

TEST_F(Optimizer, UnchangedFrameIsDroppedWithItsDelayAndWait)
{
    screen(20, 20);
    add(20, 20, {kA, kB}, filled(20, 20, 0)).delay = 5;
    Frame& same = add(10, 10, {kA, kB}, filled(10, 10, 0), 3, 4);
    same.delay = 70;
    same.userInput = 1;
    add(20, 20, {kA, kB}, filled(20, 20, 1)).delay = 9;

    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveDropUnchanged));
    ASSERT_EQ(document().frames.count(), 2);
    EXPECT_EQ(document().frames.frameAt(0)->delay, 5) << "the dropped delay goes nowhere";
    EXPECT_EQ(document().frames.frameAt(1)->name, "frame 2");
    EXPECT_EQ(document().frames.frameAt(1)->delay, 9);
    EXPECT_EQ(document().currentIndex, 0);
    EXPECT_EQ(test::snapshot(document()).directory.size(), 2u) << "the dropped frame's file went with it";
}

TEST_F(Optimizer, UnchangedFrameWithoutDroppingBecomesOnePixel)
{
    screen(20, 20);
    add(20, 20, {kA, kB, kC}, filled(20, 20, 0));
    Frame& same = add(10, 10, {kA, kB, kC}, filled(10, 10, 0), 3, 4);
    same.transparentIndex = 3;
    const auto screens = test::composedScreens(document());

    ASSERT_TRUE(optimize(document(), kSaveOptimize));
    Frame& f = *document().frames.frameAt(1);
    EXPECT_EQ(document().frames.count(), 2);
    EXPECT_EQ(f.left, 3u);
    EXPECT_EQ(f.top, 4u);
    EXPECT_EQ(f.width, 1u);
    EXPECT_EQ(f.height, 1u);
    EXPECT_EQ(test::composedScreens(document()), screens);
}

TEST_F(Optimizer, UnchangedPixelOfTheOnePixelFrameIsTransparent)
{
    screen(20, 20);
    add(20, 20, {kA, kB, kC}, filled(20, 20, 0));
    add(10, 10, {kA, kB, kC}, filled(10, 10, 0), 3, 4).transparentIndex = 3;

    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency));
    const Frame& f = *document().frames.frameAt(1);
    ASSERT_EQ(f.width * f.height, 1u);
    ASSERT_NE(f.transparentIndex, kNoIndex);
    EXPECT_EQ(test::workFileIndices(f), std::vector<uint8_t>{uint8_t(f.transparentIndex)});
}

TEST_F(Optimizer, ChangeIsCroppedAndTheFrameMoved)
{
    screen(100, 100);
    add(100, 100, {kA, kB}, filled(100, 100, 0));
    std::vector<uint8_t> picture = filled(80, 70, 0);
    paint(picture, 80, 30, 40, 10, 5, 1);
    add(80, 70, {kA, kB}, picture, 5, 6);
    const auto screens = test::composedScreens(document());

    ASSERT_TRUE(optimize(document(), kSaveOptimize));
    const Frame& f = *document().frames.frameAt(1);
    EXPECT_EQ(f.width, 10u);
    EXPECT_EQ(f.height, 5u);
    EXPECT_EQ(f.left, 35u);
    EXPECT_EQ(f.top, 46u);
    EXPECT_EQ(test::composedScreens(document()), screens);
    EXPECT_EQ(test::exportedScreens(document()), screens);
}

TEST_F(Optimizer, RestoreToBackgroundFrameKeepsItsRectangle)
{
    screen(30, 30);
    add(30, 30, {kA, kB, kC}, filled(30, 30, 0));
    std::vector<uint8_t> picture = filled(20, 20, 0);
    paint(picture, 20, 2, 2, 3, 3, 1);
    Frame& disposed = add(20, 20, {kA, kB, kC}, picture, 5, 5);
    disposed.disposal = 2;
    disposed.transparentIndex = 3;
    Frame& unchanged = add(20, 20, {kA, kB, kC}, filled(20, 20, 2), 5, 5);
    unchanged.disposal = 2;
    add(30, 30, {kA, kB, kC}, filled(30, 30, 2)).disposal = 2; // identical to the screen after frame 2
    const auto screens = test::composedScreens(document());

    const test::DocumentState plain = test::snapshot(document());
    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveDropUnchanged));
    EXPECT_EQ(test::snapshot(document()), plain) << "without transparency such frames are not touched";

    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency | kSaveDropUnchanged));
    ASSERT_EQ(document().frames.count(), 4) << "never dropped";
    const Frame& f = *document().frames.frameAt(1);
    EXPECT_EQ(f.left, 5u);
    EXPECT_EQ(f.top, 5u);
    EXPECT_EQ(f.width, 20u);
    EXPECT_EQ(f.height, 20u);
    std::vector<uint8_t> expected = picture;
    for (uint8_t& index : expected)
        if (index == 0)
            index = uint8_t(f.transparentIndex);
    EXPECT_EQ(test::workFileIndices(f), expected) << "unchanged pixels still become transparent";
    EXPECT_EQ(test::composedScreens(document()), screens);
}

// A frame of 256 colours whose change, in a block at (10, 10), uses `used`
// distinct colours; the rest shows the screen's colour.
void addManyColourChange(AnimationFixture& a, int used, uint32_t blockWidth, uint32_t blockHeight)
{
    std::vector<uint32_t> colors = test::distinctColors(256);
    const uint32_t screenColor = colors[200];
    a.screen(40, 40);
    a.add(40, 40, {screenColor, kB}, filled(40, 40, 0));
    std::vector<uint8_t> picture = filled(40, 40, 200);
    for (uint32_t k = 0; k < blockWidth * blockHeight; ++k)
        picture[size_t(10 + k / blockWidth) * 40 + 10 + k % blockWidth] = uint8_t(int(k) % used);
    a.add(40, 40, colors, picture).transparentIndex = 255;
}

TEST_F(Optimizer, LocalTableShrinksToThePowerOfTwoTheChangeNeeds)
{
    addManyColourChange(*this, 100, 10, 10);
    const auto screens = test::composedScreens(document());
    ASSERT_TRUE(optimize(document(), kSaveOptimize));
    const Frame& f = *document().frames.frameAt(1);
    EXPECT_EQ(f.width, 10u);
    EXPECT_EQ(f.height, 10u);
    EXPECT_EQ(f.colorCount, 128) << "101 entries needed";
    EXPECT_EQ(test::workFileTable(f).size(), 128u);
    EXPECT_LT(f.transparentIndex, 128);
    EXPECT_EQ(test::composedScreens(document()), screens);
}

TEST_F(Optimizer, LocalTableKeepsItsSizeWhenMoreThanHalfIsNeeded)
{
    addManyColourChange(*this, 129, 13, 10);
    ASSERT_TRUE(optimize(document(), kSaveOptimize));
    const Frame& f = *document().frames.frameAt(1);
    EXPECT_EQ(f.width, 13u);
    EXPECT_EQ(f.colorCount, 256);
    EXPECT_EQ(f.transparentIndex, 255);
}

TEST_F(Optimizer, TwoColourFrameGrowsToFourForItsTransparentColour)
{
    screen(10, 10);
    add(10, 10, {kA, kB}, filled(10, 10, 0));
    std::vector<uint8_t> picture = filled(10, 10, 0);
    paint(picture, 10, 0, 5, 10, 5, 1);
    add(10, 10, {kA, kC}, picture);
    const auto screens = test::composedScreens(document());

    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
    const Frame& f = *document().frames.frameAt(1);
    EXPECT_EQ(f.colorCount, 4);
    EXPECT_EQ(test::workFileTable(f).size(), 4u);
    ASSERT_LT(f.transparentIndex, 4);
    EXPECT_EQ(f.top, 5u);
    EXPECT_EQ(test::composedScreens(document()), screens) << "two colours fit a 4-entry table exactly";
}

TEST_F(Optimizer, AutoTransparencyRebuildsTheGlobalTableWithAFreeEntry)
{
    screen(16, 16);
    globalTable({kA, kB, kC, makeColor(9, 9, 9)}, 2);
    addGlobal(16, 16, filled(16, 16, 0));
    std::vector<uint8_t> picture = filled(16, 16, 0);
    paint(picture, 16, 4, 4, 3, 3, 2);
    addGlobal(16, 16, picture);
    const auto screens = test::composedScreens(document());

    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
    const ColorTable& table = document().settings.globalColorTable;
    ASSERT_EQ(table.count, 4);
    const Frame& f = *document().frames.frameAt(1);
    ASSERT_LT(f.transparentIndex, 4);
    EXPECT_EQ(f.useLocalColorTable, 0);
    EXPECT_EQ(table.color(table.backgroundIndex), kC) << "the entry of the old background colour";
    EXPECT_EQ(f.width, 3u);
    // Three colours used and one free entry: the rebuilt table is exact.
    EXPECT_EQ(test::composedScreens(document()), screens);
}

TEST_F(Optimizer, InterlacedFramesAreWrittenPlainAndSaidSo)
{
    screen(12, 12);
    add(12, 12, {kA, kB}, filled(12, 12, 0));
    std::vector<uint8_t> picture = filled(12, 12, 0);
    for (uint32_t y = 0; y < 12; ++y)
        paint(picture, 12, y, y, 1, 1, 1);
    Frame& f = add(12, 12, {kA, kB, kC}, picture);
    ByteBuffer gif;
    ASSERT_TRUE(encodeGifImage(test::indexedDib(12, 12, {kA, kB, kC, 0}, picture), gif, 2, true));
    test::writeFile(f.workFilePath, {gif.data(), gif.data() + gif.size()});
    f.descriptorFlags = 0x40;
    const auto screens = test::composedScreens(document());
    ASSERT_EQ(test::exportedScreens(document()), screens);

    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency));
    EXPECT_EQ(document().frames.frameAt(1)->descriptorFlags & 0x40, 0);
    EXPECT_EQ(test::exportedScreens(document()), screens);
}

TEST_F(Optimizer, EmptyAnimationFails)
{
    EXPECT_FALSE(optimize(document(), kSaveOptimize));
}

// ------------------------------------------------------------ all or nothing

class OptimizerFailure : public Optimizer {
protected:
    void build()
    {
        screen(24, 24);
        globalTable({kA, kB, kC, makeColor(1, 2, 3)});
        std::vector<uint8_t> picture;
        for (int i = 0; i < 5; ++i) {
            picture = filled(24, 24, 0);
            paint(picture, 24, uint32_t(i * 3), uint32_t(i * 2), 5, 5, uint8_t(1 + i % 3));
            addGlobal(24, 24, picture).delay = uint16_t(i);
        }
        addGlobal(24, 24, picture); // a repeat: dropped when the run succeeds
    }
};

TEST_F(OptimizerFailure, WriteFailingMidRunChangesNothing)
{
    build();
    const test::DocumentState before = test::snapshot(document());
    int writes = 0;
    const WriteFault fault = [&](int index) {
        ++writes;
        return index != 3;
    };
    const uint32_t all = kSaveOptimize | kSaveTransparency | kSaveDropUnchanged | kSaveAutoTransparency;
    EXPECT_FALSE(optimize(document(), all, fault));
    EXPECT_EQ(writes, 4) << "frames 0 to 2 were staged first (the table was rebuilt)";
    EXPECT_EQ(test::snapshot(document()), before);

    ASSERT_TRUE(optimize(document(), all));
    EXPECT_EQ(document().frames.count(), 5);
    EXPECT_NE(test::snapshot(document()).globalEntries, before.globalEntries);
}

TEST_F(OptimizerFailure, UnreadableWorkFileMidRunChangesNothing)
{
    build();
    test::writeFile(document().frames.frameAt(4)->workFilePath, {'G', 'I', 'F', '8', '9', 'a', 0});
    const test::DocumentState before = test::snapshot(document());
    EXPECT_FALSE(optimize(document(), kSaveOptimize | kSaveTransparency | kSaveDropUnchanged));
    EXPECT_EQ(test::snapshot(document()), before);
}

// ------------------------------------------------------------ oracle

// Animations made from short recipes: moving sprites over a pattern, offsets
// reaching past the screen, every disposal, transparent and 256-colour frames.
void generate(AnimationFixture& a, uint32_t seed, bool global)
{
    Random random(seed);
    const uint32_t w = 48 + uint32_t(random.next() % 16), h = 32 + uint32_t(random.next() % 16);
    a.screen(uint16_t(w), uint16_t(h));
    const int colours = global ? 16 : 256;
    std::vector<uint32_t> palette = test::distinctColors(colours, int(seed));
    if (global)
        a.globalTable(palette, 3);
    std::vector<uint8_t> back(size_t(w) * h);
    for (size_t k = 0; k < back.size(); ++k)
        back[k] = uint8_t((k / 7 + k % w / 5) % uint32_t(colours));
    (global ? a.addGlobal(w, h, back) : a.add(w, h, palette, back)).delay = 10;
    std::vector<uint8_t> picture;
    uint32_t fw = 0, fh = 0, left = 0, top = 0;
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
            for (size_t k = 0; k < picture.size(); ++k)
                picture[k] = random.next() % 4 == 0 ? uint8_t(random.next() % colours) : base;
            if (random.next() % 3 == 0)
                transparent = base;
        }
        // Every fifth frame repeats the one before, which stays on screen:
        // it changes nothing.
        if (i % 5 == 4 || i % 5 == 0)
            disposal = 1;
        Frame& f = global ? a.addGlobal(fw, fh, picture, left, top) : a.add(fw, fh, palette, picture, left, top);
        f.disposal = disposal;
        if (i % 5 == 0)
            transparent = a.document().frames.frameAt(i - 1)->transparentIndex;
        f.transparentIndex = transparent;
    }
}

class OptimizerOracle : public ::testing::TestWithParam<std::tuple<uint32_t, bool>>, public AnimationFixture {};

TEST_P(OptimizerOracle, ComposesToTheSameScreens)
{
    const auto [seed, global] = GetParam();
    generate(*this, seed, global);
    const auto screens = test::composedScreens(document());
    ASSERT_FALSE(screens.empty());
    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency));
    EXPECT_EQ(test::composedScreens(document()), screens);
    EXPECT_EQ(test::exportedScreens(document()), screens);
}

TEST_P(OptimizerOracle, DroppedFramesLeaveTheOthersScreensAlone)
{
    const auto [seed, global] = GetParam();
    generate(*this, seed, global);
    const auto screens = test::composedScreens(document());
    std::vector<std::string> names;
    for (int i = 0; i < document().frames.count(); ++i)
        names.push_back(document().frames.frameAt(i)->name);
    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency | kSaveDropUnchanged));
    const auto after = test::composedScreens(document());
    ASSERT_EQ(after.size(), size_t(document().frames.count()));
    EXPECT_LT(after.size(), screens.size());
    for (size_t i = 0; i < after.size(); ++i) {
        const size_t was = size_t(std::find(names.begin(), names.end(), document().frames.frameAt(int(i))->name) - names.begin());
        ASSERT_LT(was, screens.size());
        EXPECT_EQ(after[i], screens[was]) << "frame " << i;
    }
}

TEST_P(OptimizerOracle, AutoTransparencyStaysClose)
{
    const auto [seed, global] = GetParam();
    generate(*this, seed, global);
    const auto screens = test::composedScreens(document());
    ASSERT_TRUE(optimize(document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
    const double db = test::psnr(screens, test::exportedScreens(document()));
    std::printf("[ psnr     ] seed %u %s: %.2f dB\n", seed, global ? "global" : "local", db);
    EXPECT_GT(db, 30.0);
}

INSTANTIATE_TEST_SUITE_P(Generated, OptimizerOracle,
                         ::testing::Combine(::testing::Values(1u, 2u, 3u, 4u), ::testing::Bool()));

} // namespace
} // namespace zell
