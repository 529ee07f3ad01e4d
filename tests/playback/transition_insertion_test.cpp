#include "playback/transition_insertion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "document/screen_composer.h"
#include "image/gif_codec.h"
#include "playback/builtin_transition.h"
#include "playback/transition_test_pictures.h"
#include "support/indexed_dib.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

constexpr uint32_t kRed = makeColor(255, 0, 0), kGreen = makeColor(0, 255, 0), kBlue = makeColor(0, 0, 255);

std::vector<uint8_t> red3x1() { return test::trueColorDib(3, 1, {kRed, kRed, kRed}); }

// Step pictures told apart by their first pixel (three colours: a 2-bit
// GIF), failing at a chosen step.
class ScriptedTransition : public Transition {
public:
    int failAt = -1, begins = 0, ends = 0;
    std::vector<uint32_t> steps;
    std::vector<uint8_t> destinationSeen;

    bool begin(std::span<const uint8_t>, std::span<const uint8_t> destination) override
    {
        ++begins;
        destinationSeen.assign(destination.begin(), destination.end());
        return true;
    }
    bool stepPicture(ByteBuffer& out, uint32_t step, uint32_t) override
    {
        steps.push_back(step);
        const std::vector<uint8_t> dib = pictureOf(step);
        return int(step) != failAt && out.assign(dib.data(), uint32_t(dib.size()));
    }
    void end() override { ++ends; }
    static std::vector<uint8_t> pictureOf(uint32_t step)
    {
        return test::trueColorDib(3, 1, {makeColor(uint8_t(10 * step), 0, 0), kGreen, kBlue});
    }
};

// Two passes through the animation, the screen after each frame outside
// [skipFrom, skipTo): the second pass shows what a looping viewer composes
// over what the last frame left.
std::vector<std::vector<uint8_t>> twoPasses(const Document& document, int skipFrom = 0, int skipTo = 0)
{
    std::vector<std::vector<uint8_t>> screens;
    ScreenComposer composer(document);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < document.frames.count(); ++i) {
            if (!composer.composeFrame(i))
                return {};
            if (i < skipFrom || i >= skipTo)
                screens.emplace_back(composer.screen().data(), composer.screen().data() + composer.screen().size());
        }
    }
    return screens;
}

class TransitionInsertion : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};
    Document document{work};

    void SetUp() override
    {
        document.settings.screenWidth = 4;
        document.settings.screenHeight = 4;
        ASSERT_TRUE(work.ensure());
    }
    Frame& add(std::unique_ptr<Frame> frame, uint32_t left, uint32_t top, uint8_t disposal, const char* name,
               uint16_t transparent = kNoIndex)
    {
        frame->left = left;
        frame->top = top;
        frame->disposal = disposal;
        frame->name = name;
        frame->transparentIndex = transparent;
        return *document.frames.frameAt(document.frames.insert(document.frames.count(), frame));
    }
    // A 2x2 frame at (1, 1): green on the diagonal, transparent elsewhere.
    Frame& addDiagonal(uint8_t disposal)
    {
        return add(test::makeFrame(work, 2, 2, {kGreen, kBlue}, {0, 1, 1, 0}), 1, 1, disposal, "b", 1);
    }
    // Red over columns 0-2, the diagonal, one blue pixel at (3, 3).
    void addThreeFrames(uint8_t disposalOfFrame1)
    {
        document.frames.clear();
        add(test::solidFrame(work, 3, 4, kRed), 0, 0, 1, "a");
        addDiagonal(disposalOfFrame1);
        add(test::solidFrame(work, 1, 1, kBlue), 3, 3, 1, "c");
    }
};

// The source is the screen after the current frame, the next one the
// screen after the frame that follows (frame 0 after the last), as a
// looping viewer composes them.
TEST_F(TransitionInsertion, ComposeScreensTakesTheCurrentAndTheNextScreen)
{
    document.settings.useGlobalColorTable = true;
    document.settings.globalColorTable.count = 2;
    document.settings.globalColorTable.setColor(1, makeColor(90, 90, 90));
    document.settings.globalColorTable.backgroundIndex = 1;
    TransitionScreens screens;
    for (uint8_t disposal = 1; disposal <= 3; ++disposal) {
        addThreeFrames(disposal);
        const auto passes = twoPasses(document);
        for (int current = 0; current < 3; ++current) {
            ASSERT_TRUE(composeScreens(document, current, screens));
            EXPECT_EQ(std::vector<uint8_t>(screens.source.data(), screens.source.data() + screens.source.size()),
                      passes.at(size_t(current)));
            EXPECT_EQ(std::vector<uint8_t>(screens.next.data(), screens.next.data() + screens.next.size()),
                      passes.at(size_t(current) + 1)) << int(disposal) << " " << current;
        }
    }

    EXPECT_FALSE(composeScreens(document, 3, screens));
    std::filesystem::remove(document.frames.frameAt(1)->workFile.path());
    EXPECT_FALSE(composeScreens(document, 2, screens)) << "a frame before the current one cannot be loaded";
    EXPECT_FALSE(composeScreens(document, 0, screens)) << "the next frame cannot be loaded";
}

// Each step becomes a GIF with an exact table.
TEST_F(TransitionInsertion, GenerateWritesEachStepAsAGif)
{
    ScriptedTransition transition;
    std::vector<GeneratedFile> files;
    ASSERT_TRUE(generateTransition(transition, red3x1(), red3x1(), 3, false, work, files));
    EXPECT_EQ(transition.steps, std::vector<uint32_t>({0, 1, 2}));
    EXPECT_EQ(transition.ends, 1);
    ASSERT_EQ(files.size(), 3u);
    for (uint32_t step = 0; step < 3; ++step) {
        EXPECT_TRUE(files[step].path.ends_with(".gif"));
        EXPECT_EQ(files[step].colorCount, 4);
        ByteBuffer picture;
        ASSERT_TRUE(decodeGifImage(test::readFile(files[step].path), picture, 0, false));
        std::vector<uint32_t> colours;
        for (uint8_t index : test::indicesOf(picture.bytes()))
            colours.push_back(test::tableOf(picture.bytes()).at(index));
        EXPECT_EQ(colours, std::vector<uint32_t>({makeColor(uint8_t(10 * step), 0, 0), kGreen, kBlue}));
    }

}

TEST_F(TransitionInsertion, InsertedFramesFollowTheCurrentFrameWithTheirFields)
{
    addThreeFrames(1);

    ScriptedTransition transition;
    const auto picture = test::trueColorDib(4, 4, std::vector<uint32_t>(16, kRed));
    std::vector<GeneratedFile> files;
    ASSERT_TRUE(generateTransition(transition, picture, picture, 3, false, work, files));
    const auto paths = files;
    EXPECT_EQ(insertTransitionFrames(document, 0, files, 25), 3);
    EXPECT_TRUE(files.empty()) << "the frames own the files now";
    ASSERT_EQ(document.frames.count(), 6);
    EXPECT_EQ(document.frames.frameAt(4)->name, "b");
    for (int i = 0; i < 3; ++i) {
        const Frame& f = *document.frames.frameAt(1 + i);
        // The logical screen's size, not the picture's; no transparency; the
        // screen beneath restored, as the next frame is small and see-through.
        EXPECT_EQ(std::make_tuple(f.left, f.top, f.width, f.height, f.delay, f.colorCount, f.transparentIndex, f.disposal,
                                  f.userInput, f.useLocalColorTable),
                  std::make_tuple(0, 0, 4, 4, 25, 4, 0xFFFF, 3, 0, 1));
        EXPECT_EQ(f.workFile.path(), paths[size_t(i)].path);
    }
}

TEST_F(TransitionInsertion, InsertTransitionChangesNothingWhenItFails)
{
    addThreeFrames(1);
    const auto before = test::namesIn(work.path());
    ScriptedTransition failing, transition;
    failing.failAt = 2;
    TransitionError error = TransitionError::None;
    EXPECT_FALSE(insertTransition(document, 1, failing, {}, &error));
    EXPECT_EQ(error, TransitionError::GenerateFailed);
    EXPECT_EQ(document.frames.count(), 3);
    EXPECT_EQ(test::namesIn(work.path()), before);

    TransitionRequest request;
    request.steps = 16;
    EXPECT_FALSE(insertTransition(document, 1, transition, request, &error));
    EXPECT_EQ(error, TransitionError::BadSteps);
    EXPECT_FALSE(insertTransition(document, 3, transition, {}, &error));
    EXPECT_EQ(error, TransitionError::NoCurrentFrame);
    document.frames.remove(2);
    document.frames.remove(1);
    // Told before any picture is decoded: a frame that cannot be is no reason.
    std::ofstream(document.frames.frameAt(0)->workFile.path(), std::ios::trunc) << "not a GIF";
    EXPECT_FALSE(insertTransition(document, 0, transition, {}, &error));
    EXPECT_EQ(error, TransitionError::NoNextFrame);
    EXPECT_EQ(transition.begins, 0);
    EXPECT_EQ(document.frames.count(), 1);
}

TEST_F(TransitionInsertion, OneFrameLeadsOnlyToAChosenColour)
{
    addDiagonal(1).name = "only";
    TransitionScreens screens;
    ASSERT_TRUE(composeScreens(document, 0, screens));
    EXPECT_EQ(test::pixelRgb(screens.source.data(), 0, 0), 0xFFFFFFu) << "white without a global table";
    EXPECT_TRUE(screens.next.empty());

    ScriptedTransition transition;
    TransitionRequest request;
    request.steps = 2;
    request.toColor = true;
    request.color = kGreen;
    ASSERT_TRUE(insertTransition(document, 0, transition, request));
    EXPECT_EQ(test::differences(transition.destinationSeen, 4, 4, [](uint32_t, uint32_t) { return 0x00FF00u; }), "");
    ASSERT_EQ(document.frames.count(), 3);
}

// The frames after a transition compose exactly as they did before it was
// inserted. A frame that lets the screen beneath it count needs the
// transition's pictures to restore that screen (disposal 3); one that
// replaces the whole screen does not, and they stay on it (disposal 1).
TEST_F(TransitionInsertion, TheFrameAfterATransitionComposesAsBefore)
{
    struct Case {
        const char* what;
        uint32_t width, height;
        uint16_t left, top;
        std::vector<uint8_t> indices;
        uint16_t transparent;
        uint8_t disposal;
        bool wraps; // the transition follows the last frame
        uint8_t expected;
    };
    // A spinner frame: a spoke of colour 0 through the screen, see-through
    // (index 2) around it; the overhanging frame is see-through only in its
    // fifth row, below the screen.
    const std::vector<uint8_t> spokes = {2, 0, 2, 2, 2, 0, 2, 2, 0, 0, 0, 0, 2, 0, 2, 2};
    const std::vector<uint8_t> turned = {0, 2, 2, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0, 2, 2, 0};
    const std::vector<uint8_t> opaque = {0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0};
    std::vector<uint8_t> overhanging(25, 1);
    std::fill(overhanging.begin() + 20, overhanging.end(), 2);
    const Case cases[] = {
        {"transparent spokes", 4, 4, 0, 0, spokes, 2, 1, false, 3},
        {"transparent spokes after the last frame", 4, 4, 0, 0, spokes, 2, 1, true, 3},
        {"smaller than the screen", 2, 2, 1, 1, {0, 1, 1, 0}, kNoIndex, 1, false, 3},
        {"restores the screen before it", 4, 4, 0, 0, opaque, kNoIndex, 3, false, 3},
        {"transparent colour unused", 4, 4, 0, 0, opaque, 2, 1, false, 1},
        {"see-through only off the screen", 5, 5, 0, 0, overhanging, 2, 1, false, 1},
        {"opaque and cleared to the background", 4, 4, 0, 0, opaque, kNoIndex, 2, false, 1},
    };
    std::vector<std::unique_ptr<Transition>> builtins;
    ASSERT_TRUE(appendBuiltinTransitions(builtins));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        document.frames.clear();
        // A picture cleared after it shows, the frame under test, and a
        // spinner frame that lets any difference beneath show. The
        // transition goes from a cleared picture, so its last steps differ
        // from the screen the next frame was made for.
        const auto backdrop = [&] {
            add(test::makeFrame(work, 4, 4, {kRed, kBlue}, {0, 1, 0, 1, 1, 0, 1, 0, 0, 0, 1, 1, 1, 1, 0, 0}), 0, 0, 2,
                "backdrop");
        };
        if (!c.wraps)
            backdrop();
        add(test::makeFrame(work, c.width, c.height, {kGreen, kBlue, kRed}, c.indices), c.left, c.top, c.disposal,
            "next", c.transparent);
        if (c.wraps)
            backdrop();
        add(test::makeFrame(work, 4, 4, {kBlue, kGreen, kRed}, turned), 0, 0, 2, "spinner", 2);
        const int current = c.wraps ? 2 : 0;
        const auto before = twoPasses(document);
        ASSERT_EQ(before.size(), 6u);

        TransitionRequest request;
        request.steps = 3;
        ASSERT_TRUE(insertTransition(document, current, *builtins.front(), request));
        ASSERT_EQ(document.frames.count(), 6);
        for (int i = current + 1; i <= current + 3; ++i)
            EXPECT_EQ(document.frames.frameAt(i)->disposal, c.expected) << "frame " << i;
        EXPECT_EQ(twoPasses(document, current + 1, current + 4), before);
    }
}

} // namespace
} // namespace zell
