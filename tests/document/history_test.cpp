#include "document/history.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "document/gif_export.h"
#include "operations/frame_order.h"
#include "operations/frame_table.h"
#include "operations/optimizer.h"
#include "operations/palette_unifier.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

// The document, work-file bytes and all settings included, without the
// directory listing (steps keep files alive).
struct State {
    test::DocumentState frames;
    GifSettings settings;
    bool operator==(const State&) const = default;
};

State state(const Document& document)
{
    State s{test::snapshot(document), document.settings};
    s.frames.directory.clear();
    return s;
}

// Four frames on a global table and two with tables of their own.
Document& filled(test::DocumentBuilder& a)
{
    const auto solid = [](uint32_t side, int v) { return std::vector<uint8_t>(size_t(side) * side, uint8_t(v)); };
    a.screen(8, 8);
    a.globalTable({0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF});
    for (int i = 0; i < 4; ++i)
        a.addGlobal(8, 8, solid(8, i % 3)).delay = uint16_t(10 + i);
    a.add(4, 4, {0x123456, 0x654321}, solid(4, 1), 2, 2).delay = 7;
    a.add(8, 8, {0x123456, 0x654321, 0x111111}, solid(8, 2)).delay = 9;
    return a.document;
}

class HistoryTest : public ::testing::Test {
protected:
    test::DocumentBuilder a;
    Document& d = filled(a);
    History history{d};
    const State before = state(d);
    Frame& at(int i) { return *d.frames.frameAt(i); }
};

// Writes a new work file of frame i with another picture (as a palette edit does).
void rewrite(Document& d, int i, uint32_t color)
{
    Frame& f = *d.frames.frameAt(i);
    auto made = test::solidFrame(d.workDirectory(), f.width, f.height, color);
    f.workFile = made->workFile;
    f.colorCount = made->colorCount;
    f.useLocalColorTable = 1;
}

// A command is one step however it is nested, none when it changed nothing;
// typed digits of one field join into one step, which goes when typed back,
// but not with typing on other frames; an edit no command recorded is a
// step of its own, undone first.
TEST_F(HistoryTest, StepBoundaries)
{
    for (uint16_t v : {1, 12, 123}) {
        HistoryScope outer(&history, "delay", 7);
        at(1).delay = v;
        HistoryScope inner(&history, "inner");
        at(2).delay = v;
    }
    EXPECT_EQ(history.undoName(), "delay");
    for (const uint16_t left : {1, 0}) { // the same key on other frames
        history.begin("left", 7);
        at(2).left = at(3).left = left;
        history.commit();
        EXPECT_EQ(history.undoCount(), 1u + left) << "typed back to what it was";
    }
    const State typed = state(d);
    at(3).delay = 1; // no command
    const State stray = state(d);
    {
        HistoryScope scope(&history, "named");
        at(4).delay = 1;
    }
    EXPECT_EQ(history.undoCount(), 3u);
    EXPECT_EQ(history.undoName(), "named");
    at(5).delay = 1;
    EXPECT_TRUE(history.record("late"));
    EXPECT_EQ(history.undoName(), "late");
    at(0).delay = 1;
    ASSERT_TRUE(history.undo()) << "takes the unrecorded edit back first";
    EXPECT_EQ(history.undoName(), "late");
    history.undo();
    history.undo();
    EXPECT_EQ(state(d), stray);
    history.undo();
    EXPECT_EQ(state(d), typed);
    history.undo();
    EXPECT_EQ(state(d), before);
    history.redo();
    EXPECT_EQ(at(2).delay, 123);
}

// A picture lives while a frame or a step holds it: steps dropped by a new
// edit, by the limit or by clear() let go of theirs, and nothing stays when
// the document and its history go.
TEST(History, FilesLiveWhileAFrameOrAStepHoldsThem)
{
    test::ScratchDir scratch;
    WorkDirectory work(scratch.str());
    auto files = [&] { return test::workFileCount(work.path()); };
    {
        Document d(work);
        History history(d, 3);
        for (int i = 0; i < 2; ++i) {
            HistoryScope scope(&history, "insert");
            auto f = test::solidFrame(work, 4, 4, 0x10101u * uint32_t(i));
            d.frames.insert(0, f);
        }
        history.undo();
        EXPECT_EQ(files(), 2) << "redo may bring it back";
        history.record("nothing");
        EXPECT_TRUE(history.canRedo()) << "no change, no step";
        d.frames.frameAt(0)->delay = 77;
        history.record("delay");
        EXPECT_FALSE(history.canRedo());
        EXPECT_EQ(files(), 1);
        for (int i = 0; i < 6; ++i) {
            HistoryScope scope(&history, "palette");
            rewrite(d, 0, 0x010101u * uint32_t(i + 1));
        }
        EXPECT_EQ(history.undoCount(), 3u);
        EXPECT_EQ(files(), 1 + 3) << "the frame's picture and the three older ones its steps hold";
        history.setLimit(1);
        EXPECT_EQ(files(), 1 + 1);
        history.clear();
        EXPECT_EQ(files(), 1);
        EXPECT_FALSE(history.canUndo());
        HistoryScope scope(&history, "delete");
        d.frames.remove(0);
    }
    EXPECT_EQ(files(), 0);
}

TEST_F(HistoryTest, SavedStateIsNotModified)
{
    history.setLimit(2);
    EXPECT_FALSE(history.modified());
    at(0).delay = 1;
    EXPECT_TRUE(history.modified()) << "an edit not recorded yet";
    history.record("a");
    history.markSaved();
    EXPECT_FALSE(history.modified());
    const auto edit = [&](uint16_t delay) { at(0).delay = delay, history.record("e"); };
    edit(2);
    EXPECT_TRUE(history.modified());
    history.undo();
    EXPECT_FALSE(history.modified());
    history.redo();
    edit(3);
    edit(4);
    history.undo();
    history.undo();
    EXPECT_FALSE(history.canUndo()) << "the limit dropped the step of the saved state";
    EXPECT_TRUE(history.modified());
}

// Edits of every kind in a seeded random order; each step is undone and
// made again exactly, work-file bytes and settings included. Typing joins
// steps whatever they change (settings alone, frames taken out and put in),
// so that some kinds join the step before them.
TEST_F(HistoryTest, SeededRandomEditsOfEveryKindUndoAndRedoExactly)
{
    history.setLimit(1000);
    std::mt19937 random(20261206);
    auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    auto any = [&] { return pick(d.frames.count()); };
    auto color = [&] { return uint32_t(random() & 0xFFFFFF); };
    const std::pair<const char*, std::function<void(int n)>> kinds[] = {
        {"delay", [&](int) { at(0).delay = uint16_t(random()); }},
        {"position", [&](int) { at(any()).left = uint16_t(pick(5)); }},
        {"rename", [&](int n) { at(any()).name = "n" + std::to_string(n); }},
        {"apply to all", [&](int) { for (int i = 0; i < d.frames.count(); ++i) at(i).disposal = uint8_t(pick(4)); }},
        {"move", [&](int) { d.frames.move(any(), any()); }},
        {"duplicate", [&](int) { d.frames.duplicate(any(), d.workDirectory()); }},
        {"delete", [&](int) { d.frames.count() > 2 ? d.frames.remove(any()) : void(); }},
        {"palette edit", [&](int) { rewrite(d, any(), color()); }},
        {"reverse", [&](int) { d.frames.reorder(reversedOrder(d.frames.count(), std::vector{0, d.frames.count() - 1})); }},
        {"table colour", [&](int) { setFrameTableColor(d, any(), 1, color()); }},
        {"table size", [&](int) { resizeFrameTable(d, any(), 1 + pick(3)); }},
        {"global table", [&](int) { d.settings.globalColorTable.setColor(uint32_t(pick(4)), color()); }},
        {"global table use", [&](int) { d.settings.useGlobalColorTable = !d.settings.useGlobalColorTable; }},
        {"settings", [&](int n) { d.settings.loopCount = uint16_t(n), d.settings.comment = std::to_string(n); }},
        {"optimise", [&](int) { optimize(d, kSaveOptimize | kSaveTransparency | kSaveDropUnchanged); }},
        {"unify", [&](int) { UnifyOptions o; o.colorCount = 16, unify(d, o); }},
        {"insert", [&](int) {
             auto f = test::solidFrame(d.workDirectory(), 8, 8, color());
             d.frames.insert(pick(d.frames.count() + 1), f);
         }},
        {"delete all", [&](int) { d.frames.clear(); }},
    };
    const int insert = int(std::size(kinds)) - 2, deleteAll = insert + 1;
    const std::set<std::string> joining = {"delay", "delete", "settings", "insert"};
    std::vector<std::pair<std::string, State>> steps{{"", before}}; // the state after each step
    std::set<std::string> recorded;
    for (int n = 0; n < 300; ++n) {
        const int kind = d.frames.count() == 0 ? insert : n == 150 ? deleteAll : pick(insert + 1);
        history.begin(kinds[kind].first, joining.count(kinds[kind].first));
        kinds[kind].second(n);
        if (history.commit()) {
            recorded.insert(kinds[kind].first);
            steps.resize(history.undoCount());
            steps.emplace_back(history.undoName(), state(d));
        }
    }
    EXPECT_EQ(recorded.size(), std::size(kinds)) << "a kind of edit never changed anything";
    ASSERT_GT(steps.size(), 200u);
    for (size_t i = steps.size() - 1; i > 0; --i) {
        ASSERT_TRUE(history.undo());
        ASSERT_EQ(state(d), steps[i - 1].second) << i;
    }
    EXPECT_FALSE(history.undo());
    for (size_t i = 1; i < steps.size(); ++i) {
        EXPECT_EQ(history.redoName(), steps[i].first);
        ASSERT_TRUE(history.redo());
        ASSERT_EQ(state(d), steps[i].second) << i;
    }
}

} // namespace
} // namespace zell
