#include "operations/palette_unifier.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "operations/animation_fixture.h"

namespace zell {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

class PaletteUnifier : public ::testing::Test, public test::AnimationFixture {
protected:
    // Three local-table frames: 16, 4 and 16 colours, each using all of them.
    void threeFrames()
    {
        screen(8, 8);
        for (int i = 0; i < 3; ++i) {
            const int n = i == 1 ? 4 : 16;
            std::vector<uint8_t> picture(64);
            for (size_t k = 0; k < picture.size(); ++k)
                picture[k] = uint8_t(k % size_t(n));
            add(8, 8, test::distinctColors(n, i * 50), picture);
        }
    }
    std::vector<uint32_t> globalColors() const
    {
        const ColorTable& t = const_cast<PaletteUnifier*>(this)->document().settings.globalColorTable;
        std::vector<uint32_t> colors;
        for (uint32_t i = 0; i < t.count; ++i)
            colors.push_back(t.color(i));
        return colors;
    }
};

TEST_F(PaletteUnifier, LosslessWhenEveryColourFits)
{
    threeFrames();
    document().frames.frameAt(1)->transparentIndex = 2;
    const auto screens = test::composedScreens(document());
    UnifyOptions options;
    options.colorCount = 64;
    ASSERT_TRUE(unify(document(), options));
    EXPECT_TRUE(document().settings.useGlobalColorTable);
    EXPECT_EQ(document().settings.globalColorTable.count, 64);
    for (int i = 0; i < 3; ++i) {
        const Frame& f = *document().frames.frameAt(i);
        EXPECT_EQ(f.useLocalColorTable, 0);
        EXPECT_EQ(f.colorCount, 64);
        EXPECT_EQ(test::workFileTable(f), globalColors());
    }
    EXPECT_EQ(test::composedScreens(document()), screens);
    EXPECT_EQ(test::exportedScreens(document()), screens);
    EXPECT_EQ(document().currentIndex, 0);
}

TEST_F(PaletteUnifier, SizeConditionPicksFramesOfThatColourCount)
{
    threeFrames();
    const test::DocumentState before = test::snapshot(document());
    UnifyOptions options;
    options.sizeMask = 16;
    options.colorCount = 32;
    ASSERT_TRUE(unify(document(), options));
    const test::DocumentState after = test::snapshot(document());
    EXPECT_EQ(after.frames[1], before.frames[1]) << "the 4-colour frame is not a target";
    EXPECT_NE(after.frames[0].path, before.frames[0].path);
    EXPECT_NE(after.frames[2].path, before.frames[2].path);
    EXPECT_EQ(after.frames[2].colorCount, 32);
}

TEST_F(PaletteUnifier, SelectedFramesOnly)
{
    threeFrames();
    const test::DocumentState before = test::snapshot(document());
    UnifyOptions options;
    options.selectedOnly = true;
    options.selected = {2, 7, 2};
    options.colorCount = 16;
    ASSERT_TRUE(unify(document(), options));
    const test::DocumentState after = test::snapshot(document());
    EXPECT_EQ(after.frames[0], before.frames[0]);
    EXPECT_EQ(after.frames[1], before.frames[1]);
    EXPECT_NE(after.frames[2].path, before.frames[2].path);
    std::vector<uint32_t> sorted = globalColors(), own = test::distinctColors(16, 100);
    std::sort(sorted.begin(), sorted.end());
    std::sort(own.begin(), own.end());
    EXPECT_EQ(sorted, own) << "16 colours in 16 entries are kept exactly";
}

TEST_F(PaletteUnifier, NoTargetIsASuccessThatChangesNothing)
{
    threeFrames();
    const test::DocumentState before = test::snapshot(document());
    UnifyOptions options;
    options.sizeMask = 256;
    EXPECT_TRUE(unify(document(), options));
    EXPECT_EQ(test::snapshot(document()), before);
}

TEST_F(PaletteUnifier, TwoColoursReserveNothing)
{
    threeFrames();
    UnifyOptions options;
    options.colorCount = 2;
    options.keepBackground = true;
    options.reserveTransparent = true;
    ASSERT_TRUE(unify(document(), options));
    const std::vector<uint32_t> colors = globalColors();
    ASSERT_EQ(colors.size(), 2u);
    EXPECT_EQ(std::count(colors.begin(), colors.end(), kWhite), 0) << "no entry kept for the background";
    for (int i = 0; i < 3; ++i) {
        const Frame& f = *document().frames.frameAt(i);
        EXPECT_EQ(f.transparentIndex, kNoIndex);
        const auto indices = test::workFileIndices(f);
        EXPECT_TRUE(std::all_of(indices.begin(), indices.end(), [](uint8_t v) { return v < 2; }));
    }
}

TEST_F(PaletteUnifier, KeptBackgroundEntryIsTheBackgroundIndex)
{
    threeFrames();
    UnifyOptions options;
    options.colorCount = 8;
    options.keepBackground = true;
    ASSERT_TRUE(unify(document(), options));
    const ColorTable& t = document().settings.globalColorTable;
    EXPECT_EQ(t.backgroundIndex, 7);
    EXPECT_EQ(t.color(t.backgroundIndex), kWhite) << "white without a global table";
}

TEST_F(PaletteUnifier, TransparentTargetForcesTheReservedEntry)
{
    threeFrames();
    document().frames.frameAt(0)->transparentIndex = 5;
    UnifyOptions options;
    options.colorCount = 256;
    ASSERT_TRUE(unify(document(), options));
    const Frame& f = *document().frames.frameAt(0);
    const uint16_t entry = f.transparentIndex;
    ASSERT_NE(entry, kNoIndex);
    const auto indices = test::workFileIndices(f);
    for (size_t k = 0; k < indices.size(); ++k)
        EXPECT_EQ(indices[k] == entry, k % 16 == 5) << k;
    EXPECT_EQ(document().frames.frameAt(1)->transparentIndex, kNoIndex);

    const auto screens = test::composedScreens(document());
    UnifyOptions all = options;
    all.transparentForAll = true;
    all.reserveTransparent = true;
    ASSERT_TRUE(unify(document(), all));
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(document().frames.frameAt(i)->transparentIndex, kNoIndex);
    EXPECT_EQ(test::composedScreens(document()), screens) << "the new entry is unused: nothing turns see-through";
}

TEST_F(PaletteUnifier, WithoutUseGlobalTheFlagsStayButTheTableIsReplaced)
{
    threeFrames();
    globalTable({0x112233, 0x445566}, 1);
    document().frames.frameAt(1)->useLocalColorTable = 0;
    UnifyOptions options;
    options.colorCount = 64;
    options.useGlobal = false;
    options.sizeMask = 16;
    ASSERT_TRUE(unify(document(), options));
    EXPECT_EQ(document().frames.frameAt(0)->useLocalColorTable, 1);
    EXPECT_EQ(document().frames.frameAt(2)->useLocalColorTable, 1);
    EXPECT_EQ(document().frames.frameAt(1)->useLocalColorTable, 0);
    EXPECT_EQ(document().settings.globalColorTable.count, 64);
    EXPECT_EQ(test::workFileTable(*document().frames.frameAt(0)), globalColors());
}

TEST_F(PaletteUnifier, RejectsATableSizeAGifCannotHold)
{
    threeFrames();
    UnifyOptions options;
    options.colorCount = 48;
    EXPECT_FALSE(unify(document(), options));
}

TEST_F(PaletteUnifier, FailureMidRunChangesNothing)
{
    threeFrames();
    globalTable({0x112233, 0x445566}, 1);
    const test::DocumentState before = test::snapshot(document());
    UnifyOptions options;
    options.colorCount = 32;
    EXPECT_FALSE(unify(document(), options, [](int index) { return index != 2; }));
    EXPECT_EQ(test::snapshot(document()), before);

    test::writeFile(document().frames.frameAt(1)->workFilePath, {1, 2, 3});
    const test::DocumentState broken = test::snapshot(document());
    EXPECT_FALSE(unify(document(), options)) << "an unreadable target fails when it is rewritten";
    EXPECT_EQ(test::snapshot(document()), broken);
}

} // namespace
} // namespace zell
