#include "document/history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "document/gif_export.h"
#include "operations/animation_fixture.h"
#include "operations/optimizer.h"
#include "operations/palette_unifier.h"
#include "support/test_support.h"
#include "support/work_frames.h"

namespace zell {
namespace {

using test::AnimationFixture;
using test::DocumentState;


// The document, work-file bytes and all settings included, without the
// directory listing (steps keep files alive).
struct State {
    DocumentState frames;
    GifSettings settings;
    bool operator==(const State&) const = default;
};

State state(const Document& document)
{
    State s{test::snapshot(document), document.settings};
    s.frames.directory.clear();
    return s;
}

std::vector<uint8_t> filled(uint32_t w, uint32_t h, uint8_t v)
{
    return std::vector<uint8_t>(size_t(w) * h, v);
}

// Four frames on a global table and two with tables of their own.
void fill(AnimationFixture& a)
{
    a.screen(8, 8);
    a.globalTable({0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF});
    for (int i = 0; i < 4; ++i)
        a.addGlobal(8, 8, filled(8, 8, uint8_t(i % 3))).delay = uint16_t(10 + i);
    a.add(4, 4, {0x123456, 0x654321}, filled(4, 4, 1), 2, 2).delay = 7;
    a.add(8, 8, {0x123456, 0x654321, 0x111111}, filled(8, 8, 2)).delay = 9;
}

void moveFrame(Document& d, int from, int to)
{
    d.frames.move(from, to);
}

// Writes a new work file of frame i with another picture (as a palette edit does).
void rewrite(Document& d, int i, uint32_t color)
{
    auto made = test::solidFrame(d.workDirectory(), d.frames.frameAt(i)->width, d.frames.frameAt(i)->height, color);
    Frame& f = *d.frames.frameAt(i);
    f.workFile = made->workFile;
    f.colorCount = made->colorCount;
    f.useLocalColorTable = 1;
}

struct Edit {
    const char* name;
    std::function<void(Document&)> run;
};

const std::vector<Edit>& edits()
{
    static const std::vector<Edit> all = {
        {"delay", [](Document& d) { d.frames.frameAt(2)->delay = 99; }},
        {"position", [](Document& d) { d.frames.frameAt(4)->left = 1, d.frames.frameAt(4)->top = 3; }},
        {"rename", [](Document& d) { d.frames.frameAt(0)->name = "renamed"; }},
        {"apply to all",
         [](Document& d) {
             for (int i = 0; i < d.frames.count(); ++i)
                 d.frames.frameAt(i)->disposal = 2;
         }},
        {"settings", [](Document& d) { d.settings.loopLimited = true, d.settings.loopCount = 3, d.settings.comment = "c"; }},
        {"global table", [](Document& d) { d.settings.globalColorTable.setColor(1, 0x808080); }},
        {"global table off", [](Document& d) { d.settings.useGlobalColorTable = false; }},
        {"duplicate", [](Document& d) { d.frames.duplicate(1, d.workDirectory()); }},
        {"delete", [](Document& d) { d.frames.remove(3), d.frames.remove(0); }},
        {"delete all", [](Document& d) { d.frames.clear(); }},
        {"move", [](Document& d) { moveFrame(d, 0, 5); }},
        {"insert", [](Document& d) {
             auto f = test::solidFrame(d.workDirectory(), 8, 8, 0x00AA00);
             d.frames.insert(2, f);
         }},
        {"palette edit", [](Document& d) { rewrite(d, 5, 0xABCDEF); }},
        {"optimise", [](Document& d) { EXPECT_TRUE(optimize(d, kSaveOptimize | kSaveTransparency | kSaveDropUnchanged)); }},
        {"unify", [](Document& d) {
             UnifyOptions o;
             o.colorCount = 16;
             EXPECT_TRUE(unify(d, o));
         }},
    };
    return all;
}

TEST(History, EachKindOfEditIsUndoneAndRedoneExactly)
{
    for (const Edit& edit : edits()) {
        SCOPED_TRACE(edit.name);
        AnimationFixture a;
        fill(a);
        Document& d = a.document();
        History history(d);
        const State before = state(d);
        history.begin(edit.name);
        edit.run(d);
        ASSERT_TRUE(history.commit()) << "the edit changed nothing";
        const State after = state(d);
        ASSERT_NE(before, after);
        EXPECT_EQ(history.undoName(), edit.name);
        EXPECT_TRUE(history.modified());
        ASSERT_TRUE(history.undo());
        EXPECT_EQ(state(d), before);
        EXPECT_FALSE(history.modified());
        EXPECT_FALSE(history.canUndo());
        EXPECT_EQ(history.redoName(), edit.name);
        ASSERT_TRUE(history.redo());
        EXPECT_EQ(state(d), after);
        ASSERT_TRUE(history.undo());
        EXPECT_EQ(state(d), before);
    }
}

TEST(History, ACommandThatChangesNothingRecordsNothing)
{
    AnimationFixture a;
    fill(a);
    History history(a.document());
    {
        HistoryScope scope(&history, "nothing");
        a.document().frames.frameAt(0)->delay += 1;
        a.document().frames.frameAt(0)->delay -= 1;
    }
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.undo());
}

TEST(History, NestedCommandsAreOneStep)
{
    AnimationFixture a;
    fill(a);
    History history(a.document());
    {
        HistoryScope outer(&history, "outer");
        a.document().frames.frameAt(0)->delay = 1;
        HistoryScope inner(&history, "inner");
        a.document().frames.frameAt(1)->delay = 1;
    }
    EXPECT_EQ(history.undoCount(), 1u);
    EXPECT_EQ(history.undoName(), "outer");
}

TEST(History, TypedDigitsOfOneFieldAreOneStep)
{
    AnimationFixture a;
    fill(a);
    Document& d = a.document();
    History history(d);
    const State before = state(d);
    for (uint16_t v : {1, 12, 123}) {
        HistoryScope scope(&history, "delay", 7);
        d.frames.frameAt(1)->delay = v;
        d.frames.frameAt(2)->delay = v;
    }
    {
        HistoryScope scope(&history, "left", 8);
        d.frames.frameAt(1)->left = 1;
    }
    EXPECT_EQ(history.undoCount(), 2u);
    {
        HistoryScope scope(&history, "left", 8);
        d.frames.frameAt(1)->left = 0;
    }
    EXPECT_EQ(history.undoCount(), 1u) << "typed back to what it was";
    history.undo();
    EXPECT_EQ(state(d), before);
    history.redo();
    EXPECT_EQ(d.frames.frameAt(2)->delay, 123);
}

TEST(History, AnUnrecordedEditIsAStepOfItsOwn)
{
    AnimationFixture a;
    fill(a);
    Document& d = a.document();
    History history(d);
    const State before = state(d);
    d.frames.frameAt(0)->delay = 1; // no command
    const State middle = state(d);
    {
        HistoryScope scope(&history, "named");
        d.frames.frameAt(1)->delay = 1;
    }
    EXPECT_EQ(history.undoCount(), 2u);
    EXPECT_EQ(history.undoName(), "named");
    d.frames.frameAt(2)->delay = 1;
    EXPECT_TRUE(history.record("late"));
    EXPECT_EQ(history.undoName(), "late");
    d.frames.frameAt(3)->delay = 1;
    ASSERT_TRUE(history.canUndo());
    ASSERT_TRUE(history.undo()) << "takes the unrecorded edit back first";
    EXPECT_EQ(history.undoName(), "late");
    ASSERT_TRUE(history.undo());
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(state(d), middle);
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(state(d), before);
}

TEST(History, SelectionComesBackWithTheStep)
{
    AnimationFixture a;
    fill(a);
    Document& d = a.document();
    History history(d);
    HistorySelection shown{1, {1, 2}};
    history.selection = [&] { return shown; };
    history.begin("move");
    d.frames.move(1, 4);
    d.frames.move(1, 4);
    shown = {3, {3, 4}};
    history.commit();
    shown = {0, {0}};
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(history.lastSelection(), (HistorySelection{1, {1, 2}}));
    EXPECT_EQ(d.currentIndex, 1);
    ASSERT_TRUE(history.redo());
    EXPECT_EQ(history.lastSelection(), (HistorySelection{3, {3, 4}}));
}

TEST(History, UndoThenANewEditDropsTheRedoStepsAndTheirFiles)
{
    AnimationFixture a;
    fill(a);
    Document& d = a.document();
    History history(d);
    const int files = test::workFileCount(d.workDirectory().path());
    history.begin("insert");
    auto f = test::solidFrame(d.workDirectory(), 8, 8, 0x00AA00);
    d.frames.insert(0, f);
    history.commit();
    EXPECT_EQ(test::workFileCount(d.workDirectory().path()), files + 1);
    history.undo();
    EXPECT_EQ(test::workFileCount(d.workDirectory().path()), files + 1) << "redo may bring it back";
    history.record("delay");
    EXPECT_TRUE(history.canRedo());
    d.frames.frameAt(0)->delay = 77;
    history.record("delay");
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(test::workFileCount(d.workDirectory().path()), files);
}

TEST(History, TrimmedStepsLetGoOfTheirFiles)
{
    AnimationFixture a;
    fill(a);
    Document& d = a.document();
    History history(d, 3);
    const int files = test::workFileCount(d.workDirectory().path());
    for (int i = 0; i < 6; ++i) {
        HistoryScope scope(&history, "palette");
        rewrite(d, 0, 0x010101u * uint32_t(i + 1));
    }
    EXPECT_EQ(history.undoCount(), 3u);
    // The frame's file and the three older pictures three steps still hold.
    EXPECT_EQ(test::workFileCount(d.workDirectory().path()), files + 3);
    history.setLimit(1);
    EXPECT_EQ(test::workFileCount(d.workDirectory().path()), files + 1);
    history.clear();
    EXPECT_EQ(test::workFileCount(d.workDirectory().path()), files);
    EXPECT_FALSE(history.canUndo());
}

TEST(History, SavedStateIsNotModified)
{
    AnimationFixture a;
    fill(a);
    Document& d = a.document();
    History history(d, 2);
    EXPECT_FALSE(history.modified());
    d.frames.frameAt(0)->delay = 1;
    EXPECT_TRUE(history.modified()) << "an edit not recorded yet";
    history.record("a");
    history.markSaved();
    EXPECT_FALSE(history.modified());
    d.frames.frameAt(0)->delay = 2;
    history.record("b", 5);
    EXPECT_TRUE(history.modified());
    history.undo();
    EXPECT_FALSE(history.modified());
    history.redo();
    d.frames.frameAt(0)->delay = 3;
    history.record("c");
    d.frames.frameAt(0)->delay = 4;
    history.record("d");
    history.undo();
    history.undo();
    EXPECT_FALSE(history.canUndo()) << "the limit dropped the step of the saved state";
    EXPECT_TRUE(history.modified());
}

TEST(History, SeededRandomEditsUndoToTheStartAndRedoToTheEnd)
{
    AnimationFixture a;
    fill(a);
    Document& d = a.document();
    History history(d, 1000);
    const State start = state(d);
    std::mt19937 random(20261206);
    auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    std::vector<State> states{start};
    int steps = 0;
    for (int n = 0; n < 300; ++n) {
        const int count = d.frames.count();
        const int kind = pick(10);
        history.begin("edit " + std::to_string(n), kind == 0 ? 1 : 0);
        if (count == 0 || kind == 9) {
            auto f = test::solidFrame(d.workDirectory(), 8, 8, random() & 0xFFFFFF);
            d.frames.insert(pick(count + 1), f);
        } else if (kind == 0) {
            d.frames.frameAt(0)->delay = uint16_t(random());
        } else if (kind == 1) {
            d.frames.frameAt(pick(count))->left = uint16_t(pick(5));
        } else if (kind == 2) {
            d.frames.frameAt(pick(count))->name = "n" + std::to_string(n);
        } else if (kind == 3) {
            d.frames.move(pick(count), pick(count));
        } else if (kind == 4) {
            d.frames.duplicate(pick(count), d.workDirectory());
        } else if (kind == 5 && count > 2) {
            d.frames.remove(pick(count));
        } else if (kind == 6) {
            rewrite(d, pick(count), random() & 0xFFFFFF);
        } else if (kind == 7) {
            d.settings.globalColorTable.setColor(uint32_t(pick(4)), random() & 0xFFFFFF);
        } else {
            d.settings.comment = "comment " + std::to_string(n);
        }
        if (history.commit()) {
            if (history.undoCount() == size_t(steps)) // joined the step before
                states.back() = state(d);
            else {
                ++steps;
                states.push_back(state(d));
            }
        }
    }
    ASSERT_EQ(history.undoCount(), size_t(steps));
    ASSERT_GT(steps, 200);
    const State end = state(d);
    for (int i = steps; i > 0; --i) {
        ASSERT_TRUE(history.undo());
        if (i % 37 == 0) {
            ASSERT_EQ(state(d), states[size_t(i - 1)]) << i;
        }
    }
    EXPECT_FALSE(history.undo());
    EXPECT_EQ(state(d), start);
    while (history.redo()) {
    }
    EXPECT_EQ(state(d), end);
}

TEST(History, NothingIsLeftInTheWorkDirectoryAtExit)
{
    test::ScratchDir scratch;
    WorkDirectory work(scratch.str());
    {
        Document d(work);
        History history(d);
        for (int i = 0; i < 5; ++i) {
            HistoryScope scope(&history, "insert");
            auto f = test::solidFrame(work, 4, 4, 0x10101u * uint32_t(i));
            d.frames.insert(0, f);
        }
        for (int i = 0; i < 3; ++i) {
            HistoryScope scope(&history, "delete");
            d.frames.remove(0);
        }
        history.undo();
        ASSERT_GT(test::workFileCount(work.path()), 0);
    }
    EXPECT_EQ(test::workFileCount(work.path()), 0);
}

TEST(WorkFile, TheLastHandleDeletesTheFile)
{
    test::ScratchDir dir;
    const std::string path = (dir.path() / "w.gif").string();
    test::writeFile(std::filesystem::path(path), {1});
    WorkFile a = WorkFile::adopt(path);
    {
        WorkFile b = a;
        EXPECT_EQ(a.useCount(), 2);
        a.clear();
        EXPECT_TRUE(std::filesystem::exists(path));
        a = b;
        EXPECT_EQ(a, b);
    }
    EXPECT_TRUE(std::filesystem::exists(path));
    a.clear();
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace zell
