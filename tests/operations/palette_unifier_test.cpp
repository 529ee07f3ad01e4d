#include "operations/palette_unifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "image/gif_codec.h"
#include "image/raster_image.h"
#include "support/test_document.h"

namespace zell {
namespace {

using test::globalColors;

constexpr uint32_t kRed = makeColor(255, 0, 0);

// `count` colours for every frame, or for the selected ones only.
UnifyOptions colours(int count, std::vector<int> selected = {})
{
    UnifyOptions options;
    options.colorCount = count;
    options.selectedOnly = !selected.empty();
    options.selected = std::move(selected);
    return options;
}

// Three local-table frames: 16, 4 and 16 colours, each using all of them.
void threeFrames(test::DocumentBuilder& a)
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

// Four frames on an eight-colour global table whose entry 2 was edited after
// import (the work files still carry the colour from before), each frame
// using every entry; the last one smaller, inside the screen, with a
// transparent colour.
void onGlobalTable(test::DocumentBuilder& a)
{
    a.screen(8, 8);
    a.globalTable(test::distinctColors(8, 7), 1);
    for (uint32_t i = 0; i < 4; ++i) {
        const uint32_t side = i == 3 ? 4 : 8;
        std::vector<uint8_t> picture(side * side);
        for (size_t k = 0; k < picture.size(); ++k)
            picture[k] = uint8_t((k + i) % 8);
        a.addGlobal(side, side, picture, i == 3 ? 2 : 0, i == 3 ? 2 : 0);
    }
    a.document.frames.frameAt(3)->transparentIndex = 5;
    a.document.settings.globalColorTable.setColor(2, kRed);
}

class PaletteUnifier : public ::testing::Test, public test::DocumentBuilder {
protected:
    void SetUp() override { threeFrames(*this); }
    const Frame& frame(int i) { return *document.frames.frameAt(i); }
};

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
        test::DocumentBuilder t;
        threeFrames(t);
        const test::DocumentState before = test::snapshot(t.document);
        UnifyOptions options = colours(32, c.selected);
        options.sizeMask = c.sizeMask;
        ASSERT_TRUE(unify(t.document, options));
        const test::DocumentState after = test::snapshot(t.document);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(after.frames[i] == before.frames[i], !c.rewritten[i]) << c.sizeMask << " frame " << i;
            EXPECT_EQ(after.frames[i].colorCount, c.rewritten[i] ? 32 : before.frames[i].colorCount);
        }
        EXPECT_TRUE(c.sizeMask != 256 || after == before);
    }
    test::DocumentBuilder t;
    threeFrames(t);
    EXPECT_FALSE(unify(t.document, colours(48)));
}

// An entry kept for the background (white without a global table) becomes
// the background index.
TEST_F(PaletteUnifier, KeptEntryForTheBackground)
{
    UnifyOptions options = colours(8);
    options.keepBackground = true;
    ASSERT_TRUE(unify(document, options));
    const ColorTable& t = document.settings.globalColorTable;
    const std::vector<uint32_t> colors = globalColors(document);
    EXPECT_EQ(std::count(colors.begin(), colors.end(), 0xFFFFFFu), 1);
    EXPECT_EQ(t.color(t.backgroundIndex), 0xFFFFFFu);
}

// Every frame gets a transparent entry, unused: nothing turns see-through.
TEST_F(PaletteUnifier, TransparentForAllAddsAnUnusedEntry)
{
    const test::Screens screens = test::composedScreens(document);
    UnifyOptions options;
    options.transparentForAll = true;
    options.reserveTransparent = true;
    ASSERT_TRUE(unify(document, options));
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(frame(i).transparentIndex, kNoIndex);
    EXPECT_EQ(test::composedScreens(document), screens);
}

TEST_F(PaletteUnifier, FailureMidRunChangesNothing)
{
    // A failed write takes the same way out as a frame that cannot be read.
    globalTable({0x112233, 0x445566}, 1);
    test::writeFile(document.frames.frameAt(1)->workFile.path(), {1, 2, 3});
    const test::DocumentState broken = test::snapshot(document);
    EXPECT_FALSE(unify(document, colours(32))) << "an unreadable target fails when it is rewritten";
    EXPECT_EQ(test::snapshot(document), broken);
}

// Whenever every colour fits, or only some frames are targets, what the
// document shows and what it saves stay as they were. The pictures are taken
// in the colours they show, so an entry edited after import survives; frames
// without a table of their own are saved with their work files' colours
// while the global table is off, and still are once unification turns it
// on. Frames outside the targets that used the global table take its colours
// as their own table, indices and interlacing untouched; frames with their
// own table are left alone.
TEST(PaletteUnifierOracle, WhatIsShownAndSavedStays)
{
    const struct {
        const char* name;
        std::function<void(test::DocumentBuilder&)> make;
        UnifyOptions options;
        std::function<void(const Document&, const test::DocumentState& before, const std::vector<uint32_t>& oldGlobal)> more = {};
    } cases[] = {
        {"every colour fits", [](test::DocumentBuilder& a) {
             threeFrames(a);
             a.document.frames.frameAt(1)->transparentIndex = 2;
         }, colours(64), [](const Document& d, const test::DocumentState&, const std::vector<uint32_t>&) {
             for (int i = 0; i < 3; ++i) {
                 EXPECT_EQ(d.frames.frameAt(i)->useLocalColorTable, 0);
                 EXPECT_EQ(test::workFileTable(*d.frames.frameAt(i)), globalColors(d));
             }
         }},
        {"an edited global entry", onGlobalTable, colours(16), [](const Document& d, const test::DocumentState&, const std::vector<uint32_t>&) {
             const std::vector<uint32_t> colors = globalColors(d);
             EXPECT_NE(std::find(colors.begin(), colors.end(), kRed), colors.end());
         }},
        {"the global table off", [](test::DocumentBuilder& a) {
             onGlobalTable(a);
             a.document.settings.useGlobalColorTable = false;
         }, colours(8, {3})},
        {"frames left out, one interlaced, one with its own table", [](test::DocumentBuilder& a) {
             onGlobalTable(a);
             std::vector<uint8_t> picture(64);
             for (size_t k = 0; k < picture.size(); ++k)
                 picture[k] = uint8_t(k % 4);
             a.add(8, 8, test::distinctColors(4, 90), picture);
             Frame& interlaced = *a.document.frames.frameAt(1);
             RasterImage stored;
             ByteBuffer gif;
             ASSERT_TRUE(stored.loadGifImage(interlaced.workFile.path(), 0));
             ASSERT_TRUE(encodeGifImage(stored.image.bytes(), gif, 3, true));
             test::writeFile(interlaced.workFile.path(), std::vector<uint8_t>(gif.bytes().begin(), gif.bytes().end()));
             interlaced.descriptorFlags |= 0x40;
         }, colours(8, {3}), [](const Document& d, const test::DocumentState& before, const std::vector<uint32_t>& oldGlobal) {
             ASSERT_NE(globalColors(d), oldGlobal) << "a new table, or the test shows nothing";
             for (size_t i = 0; i < 3; ++i) {
                 const Frame& f = *d.frames.frameAt(int(i));
                 EXPECT_EQ(f.useLocalColorTable, 1) << i;
                 EXPECT_EQ(f.colorCount, before.frames[i].colorCount) << i;
                 EXPECT_EQ(f.descriptorFlags, before.frames[i].descriptorFlags) << i;
                 EXPECT_EQ(test::workFileTable(f), oldGlobal) << i;
             }
             EXPECT_EQ(test::snapshot(d).frames[4], before.frames[4]) << "a frame with its own table is not rewritten";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::DocumentBuilder a;
        c.make(a);
        const test::Screens saved = test::exportedScreens(a.document);
        const test::DocumentState before = test::snapshot(a.document);
        const std::vector<uint32_t> oldGlobal = globalColors(a.document);
        ASSERT_TRUE(unify(a.document, c.options));
        EXPECT_TRUE(a.document.settings.useGlobalColorTable);
        EXPECT_EQ(test::exportedScreens(a.document), saved);
        EXPECT_EQ(test::composedScreens(a.document), saved);
        if (c.more)
            c.more(a.document, before, oldGlobal);
    }
}

} // namespace
} // namespace zell
