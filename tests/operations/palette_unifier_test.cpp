#include "operations/palette_unifier.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "operations/animation_fixture.h"

namespace zell {
namespace {

using test::globalColors;

// Three local-table frames: 16, 4 and 16 colours, each using all of them.
void threeFrames(test::AnimationFixture& a)
{
    a.screen(8, 8);
    for (int i = 0; i < 3; ++i) {
        const int n = i == 1 ? 4 : 16;
        std::vector<uint8_t> picture(64);
        for (size_t k = 0; k < picture.size(); ++k)
            picture[k] = uint8_t(k % size_t(n));
        a.add(8, 8, test::distinctColors(n, i * 50), picture);
    }
}

class PaletteUnifier : public ::testing::Test, public test::AnimationFixture {
protected:
    void SetUp() override { threeFrames(*this); }
    const Frame& frame(int i) { return *document().frames.frameAt(i); }
};

TEST_F(PaletteUnifier, LosslessWhenEveryColourFits)
{
    document().frames.frameAt(1)->transparentIndex = 2;
    const test::Screens screens = test::composedScreens(document());
    UnifyOptions options;
    options.colorCount = 64;
    ASSERT_TRUE(unify(document(), options));
    EXPECT_TRUE(document().settings.useGlobalColorTable);
    EXPECT_EQ(document().settings.globalColorTable.count, 64);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frame(i).useLocalColorTable, 0);
        EXPECT_EQ(frame(i).colorCount, 64);
        EXPECT_EQ(test::workFileTable(frame(i)), globalColors(document()));
    }
    EXPECT_EQ(test::composedScreens(document()), screens);
    EXPECT_EQ(test::exportedScreens(document()), screens);
    EXPECT_EQ(document().currentIndex, 0);
}

// The size filter and the selection pick the targets; no target is a success
// that changes nothing; a table size a GIF cannot hold is refused.
TEST(PaletteUnifierTargets, OnlyTheChosenFramesAreRewritten)
{
    struct Case {
        uint32_t sizeMask;
        std::vector<int> selected;
        std::vector<bool> rewritten;
    };
    for (const Case& c : {Case{16, {}, {true, false, true}}, Case{0x1FF, {2, 7, 2}, {false, false, true}},
                          Case{256, {}, {false, false, false}}}) {
        test::AnimationFixture t;
        threeFrames(t);
        const test::DocumentState before = test::snapshot(t.document());
        UnifyOptions options;
        options.sizeMask = c.sizeMask;
        options.selectedOnly = !c.selected.empty();
        options.selected = c.selected;
        options.colorCount = 32;
        ASSERT_TRUE(unify(t.document(), options));
        const test::DocumentState after = test::snapshot(t.document());
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(after.frames[i] == before.frames[i], !c.rewritten[i]) << c.sizeMask << " frame " << i;
            EXPECT_EQ(after.frames[i].colorCount, c.rewritten[i] ? 32 : before.frames[i].colorCount);
        }
        if (c.sizeMask != 256)
            continue;
        EXPECT_EQ(after, before);
        options.sizeMask = 0x1FF;
        options.colorCount = 48;
        EXPECT_FALSE(unify(t.document(), options));
    }
    // Without frames there is nothing to select afterwards.
    test::AnimationFixture empty;
    empty.document().currentIndex = 3;
    UnifyOptions options;
    options.colorCount = 32;
    ASSERT_TRUE(unify(empty.document(), options));
    EXPECT_EQ(empty.document().currentIndex, -1);
}

TEST_F(PaletteUnifier, TwoColoursReserveNothing)
{
    UnifyOptions options;
    options.colorCount = 2;
    options.keepBackground = true;
    options.reserveTransparent = true;
    ASSERT_TRUE(unify(document(), options));
    const std::vector<uint32_t> colors = globalColors(document());
    ASSERT_EQ(colors.size(), 2u);
    EXPECT_EQ(std::count(colors.begin(), colors.end(), 0xFFFFFFu), 0) << "no entry kept for the background";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frame(i).transparentIndex, kNoIndex);
        const auto indices = test::workFileIndices(frame(i));
        EXPECT_TRUE(std::all_of(indices.begin(), indices.end(), [](uint8_t v) { return v < 2; }));
    }
}

TEST_F(PaletteUnifier, KeptBackgroundEntryIsTheBackgroundIndex)
{
    UnifyOptions options;
    options.colorCount = 8;
    options.keepBackground = true;
    ASSERT_TRUE(unify(document(), options));
    const ColorTable& t = document().settings.globalColorTable;
    EXPECT_EQ(t.backgroundIndex, 7);
    EXPECT_EQ(t.color(t.backgroundIndex), 0xFFFFFFu) << "white without a global table";
}

TEST_F(PaletteUnifier, TransparentTargetForcesTheReservedEntry)
{
    document().frames.frameAt(0)->transparentIndex = 5;
    UnifyOptions options;
    ASSERT_TRUE(unify(document(), options));
    const uint16_t entry = frame(0).transparentIndex;
    ASSERT_NE(entry, kNoIndex);
    const auto indices = test::workFileIndices(frame(0));
    for (size_t k = 0; k < indices.size(); ++k)
        EXPECT_EQ(indices[k] == entry, k % 16 == 5) << k;
    EXPECT_EQ(frame(1).transparentIndex, kNoIndex);

    const test::Screens screens = test::composedScreens(document());
    options.transparentForAll = true;
    options.reserveTransparent = true;
    ASSERT_TRUE(unify(document(), options));
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(frame(i).transparentIndex, kNoIndex);
    EXPECT_EQ(test::composedScreens(document()), screens) << "the new entry is unused: nothing turns see-through";
}

TEST_F(PaletteUnifier, WithoutUseGlobalTheFlagsStayButTheTableIsReplaced)
{
    globalTable({0x112233, 0x445566}, 1);
    document().frames.frameAt(1)->useLocalColorTable = 0;
    UnifyOptions options;
    options.colorCount = 64;
    options.useGlobal = false;
    options.sizeMask = 16;
    ASSERT_TRUE(unify(document(), options));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(frame(i).useLocalColorTable, i == 1 ? 0 : 1);
    EXPECT_EQ(document().settings.globalColorTable.count, 64);
    EXPECT_EQ(test::workFileTable(frame(0)), globalColors(document()));
}

TEST_F(PaletteUnifier, FailureMidRunChangesNothing)
{
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
