// The rules of the everyday edits that no picture oracle sees: delays,
// all or nothing, undo, and pictures kept at the index level.
#include <gtest/gtest.h>

#include <functional>

#include "document/history.h"
#include "operations/recipes.h"
#include "support/test_document.h"
#include "operations/frame_edits.h"

namespace zell {
namespace {

using test::DocumentBuilder;

std::vector<uint16_t> delaysOf(const Document& d)
{
    std::vector<uint16_t> delays;
    for (int i = 0; i < d.frames.count(); ++i)
        delays.push_back(d.frames.frameAt(i)->delay);
    return delays;
}

// Four frames of their own 4 colours on a 4x4 screen, with these delays.
void fourFrames(DocumentBuilder& a, const std::vector<uint16_t>& delays)
{
    a.screen(4, 4);
    for (uint16_t delay : delays)
        a.add(4, 4, test::distinctColors(4, delay), std::vector<uint8_t>(16, uint8_t(delay % 4))).delay = delay;
}

// A percentage scales the delays, a delay sets them; both hold them between
// 2 and 65535 and say so. Thinning out hands the dropped frames' delays to
// the frame kept before them.
TEST(FrameEditsRules, DelaysAfterSpeedAndThinningOut)
{
    using Edit = std::function<bool(Document&, EditResult*)>;
    const auto speed = [](std::vector<int> rows, uint32_t percent) -> Edit {
        return [=](Document& d, EditResult* r) { return scaleDelays(d, rows, percent, r); };
    };
    const auto delay = [](std::vector<int> rows, uint32_t cs) -> Edit {
        return [=](Document& d, EditResult* r) { return setDelays(d, rows, cs, r); };
    };
    const auto every = [](std::vector<int> rows, uint32_t n) -> Edit {
        return [=](Document& d, EditResult* r) { return thinOut(d, rows, n, r); };
    };
    const struct {
        const char* name;
        std::vector<uint16_t> from;
        Edit edit;
        std::vector<uint16_t> delays;
        bool clamped;
    } cases[] = {
        {"twice as fast, rounded", {0, 3, 10, 65535}, speed({}, 200), {0, 2, 5, 32768}, false},
        {"three times as fast falls below 2", {0, 3, 10, 65535}, speed({}, 300), {0, 2, 3, 21845}, true},
        {"half as fast stops at 65535", {0, 3, 10, 65535}, speed({}, 50), {0, 6, 20, 65535}, true},
        {"set below 2", {0, 3, 10, 65535}, delay({0, 3}, 1), {2, 3, 10, 2}, true},
        {"every second", {1, 2, 4, 8}, every({}, 2), {3, 12}, false},
        {"every third of rows 1 to 3", {1, 2, 4, 8}, every({1, 2, 3}, 3), {1, 14}, false},
        {"frames 2 to 3", {1, 2, 4, 8}, [](Document& d, EditResult* r) { return keepFrames(d, 1, 2, r); }, {2, 4}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DocumentBuilder a;
        fourFrames(a, c.from);
        EditResult result;
        ASSERT_TRUE(c.edit(a.document, &result));
        EXPECT_EQ(delaysOf(a.document), c.delays);
        EXPECT_EQ(result.delaysClamped, c.clamped);
    }
}

// Asks to stop once it has been asked `stopAt` times (never when -1), and
// counts how often it was asked.
struct StopAt : Progress {
    explicit StopAt(int at) : stopAt(at) {}
    bool cancelled() override { return looks++ == stopAt; }
    int stopAt, looks = 0;
};

TEST(FrameEditsRules, AStoppedEditChangesNothingAndUndoTakesADoneOneBack)
{
    // Every edit, as the desktop program calls it on all frames.
    const struct {
        const char* name;
        std::function<bool(Document&, EditResult*, Progress*)> run;
    } edits[] = {
        {"reverse", [](Document& d, EditResult* r, Progress* p) { return reverseFrames(d, {}, r, p); }},
        {"ping-pong", [](Document& d, EditResult* r, Progress* p) { return pingPongFrames(d, {}, r, p); }},
        {"speed", [](Document& d, EditResult* r, Progress* p) { return scaleDelays(d, {}, 150, r, p); }},
        {"delay", [](Document& d, EditResult* r, Progress* p) { return setDelays(d, {}, 4, r, p); }},
        {"thin out", [](Document& d, EditResult* r, Progress* p) { return thinOut(d, {}, 2, r, p); }},
        {"keep frames", [](Document& d, EditResult* r, Progress* p) { return keepFrames(d, 2, 6, r, p); }},
        {"crop", [](Document& d, EditResult* r, Progress* p) { return cropAnimation(d, {5, 3, 30, 20}, r, p); }},
        {"rotate", [](Document& d, EditResult* r, Progress* p) {
             return transformAnimation(d, PictureTransform::rotate90, r, p);
         }},
        {"resize", [](Document& d, EditResult* r, Progress* p) {
             return resizeAnimation(d, ResizeOptions{30, 50, ScaleFilter::smooth, false}, r, p);
         }},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.name);
        DocumentBuilder a;
        ASSERT_TRUE(test::recipe("sprites on a global table").make(a));
        Document& d = a.document;
        const test::DocumentState before = test::snapshot(d);
        const GifSettings settings = d.settings;
        DocumentBuilder counted;
        ASSERT_TRUE(test::recipe("sprites on a global table").make(counted));
        StopAt never(-1);
        ASSERT_TRUE(e.run(counted.document, nullptr, &never));
        // A stop at the first look, one half way, and one at the last.
        for (int stopAt : {0, never.looks / 2, never.looks - 1}) {
            StopAt stop(stopAt);
            EditResult result;
            EXPECT_FALSE(e.run(d, &result, &stop));
            EXPECT_EQ(result.why, Failure::cancelled);
            EXPECT_EQ(test::snapshot(d), before);
            EXPECT_EQ(d.settings, settings);
        }
        History history(d);
        history.begin(e.name);
        EditResult result;
        ASSERT_TRUE(e.run(d, &result, nullptr)) << int(result.why);
        ASSERT_TRUE(history.commit());
        const test::DocumentState after = test::snapshot(d);
        const GifSettings edited = d.settings;
        // The steps keep the new work files, so the folder is left out.
        auto document = [](test::DocumentState state) {
            state.directory.clear();
            return state;
        };
        ASSERT_TRUE(history.undo());
        EXPECT_EQ(document(test::snapshot(d)), document(before));
        EXPECT_EQ(d.settings, settings);
        ASSERT_TRUE(history.redo());
        EXPECT_EQ(document(test::snapshot(d)), document(after));
        EXPECT_EQ(d.settings, edited);
    }
}

} // namespace
} // namespace zell
