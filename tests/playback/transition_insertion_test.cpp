#include "playback/transition_insertion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "image/bytes.h"
#include "image/gif_codec.h"
#include "support/gif_oracle.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"
#include "support/work_frames.h"

namespace zell {
namespace {

constexpr uint32_t kRed = makeColor(255, 0, 0);
constexpr uint32_t kGreen = makeColor(0, 255, 0);
constexpr uint32_t kBlue = makeColor(0, 0, 255);
constexpr uint32_t kGrey = makeColor(90, 90, 90);

// Every pixel of a 24-bit picture, rows from the top, as 0xRRGGBB.
std::vector<uint32_t> screenPixels(const ByteBuffer& picture, uint32_t width, uint32_t height)
{
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x)
            out.push_back(test::pixelRgb(picture.data(), x, y));
    }
    return out;
}

std::set<std::string> filesIn(const std::string& folder)
{
    std::set<std::string> out;
    if (folder.empty() || !std::filesystem::exists(folder))
        return out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        out.insert(entry.path().string());
    return out;
}

// Step pictures that tell their step apart by the first pixel, and can fail
// or hand back a broken picture at a chosen step.
class ScriptedTransition : public Transition {
public:
    int failAt = -1;
    int brokenAt = -1;
    int begins = 0;
    int ends = 0;
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
        if (int(step) == failAt)
            return false;
        std::vector<uint8_t> dib = pictureOf(step);
        if (int(step) == brokenAt)
            dib.resize(dib.size() - 1);
        return out.assign(dib.data(), uint32_t(dib.size()));
    }
    void end() override { ++ends; }

    // Three colours: a GIF of 2 bits, 4 table entries.
    static std::vector<uint8_t> pictureOf(uint32_t step)
    {
        return test::trueColorDib(3, 1, {makeColor(uint8_t(10 * step), 0, 0), kGreen, kBlue});
    }
};

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
    Frame& add(std::unique_ptr<Frame> frame, uint32_t left, uint32_t top, uint8_t disposal)
    {
        frame->left = left;
        frame->top = top;
        frame->disposal = disposal;
        const int at = document.frames.insert(document.frames.count(), frame);
        return *document.frames.frameAt(at);
    }
    // Frame 0: red over columns 0-2. Frame 1: 2x2 at (1, 1), green on the
    // diagonal, transparent elsewhere. Frame 2: one blue pixel at (3, 3).
    void addThreeFrames(uint8_t disposalOfFrame1)
    {
        add(test::solidFrame(work, 3, 4, kRed), 0, 0, 1).name = "a";
        Frame& f1 = add(test::makeFrame(work, 2, 2, {kGreen, kBlue}, {0, 1, 1, 0}), 1, 1, disposalOfFrame1);
        f1.transparentIndex = 1;
        f1.name = "b";
        add(test::solidFrame(work, 1, 1, kBlue), 3, 3, 1).name = "c";
    }
};

constexpr uint32_t W = 0xFFFFFF, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, Y = 0x5A5A5A;

TEST_F(TransitionInsertion, ComposeScreensShowsTheCurrentFrameAndTheNextOneByItsDisposal)
{
    // The background is the global table's background entry (grey here).
    document.settings.useGlobalColorTable = true;
    document.settings.globalColorTable.count = 2;
    document.settings.globalColorTable.setColor(1, kGrey);
    document.settings.globalColorTable.backgroundIndex = 1;
    const std::vector<uint32_t> source = {R, R, R, Y, R, G, R, Y, R, R, G, Y, R, R, R, Y};
    struct Case {
        uint8_t disposal;
        std::vector<uint32_t> next;
    };
    const Case cases[] = {
        {1, {R, R, R, Y, R, G, R, Y, R, R, G, Y, R, R, R, B}},
        {2, {R, R, R, Y, R, Y, Y, Y, R, Y, Y, Y, R, R, R, B}},
        {3, {R, R, R, Y, R, R, R, Y, R, R, R, Y, R, R, R, B}},
    };
    for (const Case& c : cases) {
        document.frames.clear();
        addThreeFrames(c.disposal);
        TransitionScreens screens;
        ASSERT_TRUE(composeScreens(document, 1, screens));
        EXPECT_EQ(screenPixels(screens.source, 4, 4), source) << "disposal " << int(c.disposal);
        EXPECT_EQ(screenPixels(screens.next, 4, 4), c.next) << "disposal " << int(c.disposal);
    }
}

TEST_F(TransitionInsertion, AfterTheLastFrameFrameZeroIsDrawnOverWhatTheLastOneLeft)
{
    addThreeFrames(1);
    TransitionScreens screens;
    ASSERT_TRUE(composeScreens(document, 2, screens));
    const std::vector<uint32_t> last = {R, R, R, W, R, G, R, W, R, R, G, W, R, R, R, B};
    EXPECT_EQ(screenPixels(screens.source, 4, 4), last);
    const std::vector<uint32_t> wrapped = {R, R, R, W, R, R, R, W, R, R, R, W, R, R, R, B};
    EXPECT_EQ(screenPixels(screens.next, 4, 4), wrapped) << "column 3 keeps what the last frame left";
}

TEST_F(TransitionInsertion, OneFrameGivesNoNextScreenButAColourTarget)
{
    Frame& only = add(test::makeFrame(work, 2, 2, {kGreen, kBlue}, {0, 1, 1, 0}), 1, 1, 1);
    only.transparentIndex = 1;
    TransitionScreens screens;
    ASSERT_TRUE(composeScreens(document, 0, screens));
    EXPECT_EQ(screenPixels(screens.source, 4, 4), std::vector<uint32_t>({W, W, W, W, W, G, W, W, W, W, G, W, W, W, W, W}))
        << "white without a global table";
    EXPECT_TRUE(screens.next.empty());

    ByteBuffer solid;
    EXPECT_TRUE(transitionDestination(screens, false, kBlue, solid).empty());
    const auto colour = transitionDestination(screens, true, kBlue, solid);
    ASSERT_FALSE(colour.empty());
    EXPECT_EQ(screenPixels(solid, 4, 4), std::vector<uint32_t>(16, B));
}

TEST_F(TransitionInsertion, ComposeScreensFailsWithoutTouchingItsOutput)
{
    addThreeFrames(1);
    TransitionScreens screens;
    const uint8_t marker[] = {1, 2, 3};
    screens.source.assign(marker, 3);
    EXPECT_FALSE(composeScreens(document, -1, screens));
    EXPECT_FALSE(composeScreens(document, 3, screens));
    std::filesystem::remove(document.frames.frameAt(1)->workFilePath);
    EXPECT_FALSE(composeScreens(document, 2, screens)) << "a frame before the current one cannot be loaded";
    EXPECT_FALSE(composeScreens(document, 0, screens)) << "the next frame cannot be loaded";
    EXPECT_EQ(screens.source.size(), 3u);
    EXPECT_TRUE(screens.next.empty());
}

TEST_F(TransitionInsertion, GenerateWritesEachStepAsAGifWithAnExactTable)
{
    ScriptedTransition transition;
    const auto source = test::trueColorDib(3, 1, {kRed, kRed, kRed});
    std::vector<GeneratedFile> files;
    ASSERT_TRUE(generateTransition(transition, source, source, 3, false, work, files));
    EXPECT_EQ(transition.steps, std::vector<uint32_t>({0, 1, 2}));
    EXPECT_EQ(transition.ends, 1);
    ASSERT_EQ(files.size(), 3u);
    for (uint32_t step = 0; step < 3; ++step) {
        EXPECT_EQ(files[step].path.substr(files[step].path.size() - 4), ".gif");
        EXPECT_EQ(files[step].colorCount, 4);
        const auto bytes = test::readFile(files[step].path);
        ByteBuffer picture;
        ASSERT_TRUE(decodeGifImage(bytes, picture, 0, false));
        const auto table = test::tableOf(picture.bytes());
        std::vector<uint32_t> colours;
        for (uint8_t index : test::indicesOf(picture.bytes()))
            colours.push_back(table.at(index));
        EXPECT_EQ(colours, std::vector<uint32_t>({makeColor(uint8_t(10 * step), 0, 0), kGreen, kBlue}));
#ifdef ZELL_HAVE_GIFLIB
        std::vector<test::GiflibImage> images;
        ASSERT_TRUE(test::giflibDecode(bytes, images));
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].colors.size(), 4u);
#endif
    }
}

TEST_F(TransitionInsertion, GenerateReducesPicturesOfMoreThan256Colours)
{
    class Rainbow : public ScriptedTransition {
        bool stepPicture(ByteBuffer& out, uint32_t, uint32_t) override
        {
            std::vector<uint32_t> pixels;
            for (uint32_t i = 0; i < 300; ++i)
                pixels.push_back(makeColor(uint8_t(i), uint8_t(i * 7), uint8_t(i >> 1)));
            const auto dib = test::trueColorDib(20, 15, pixels);
            return out.assign(dib.data(), uint32_t(dib.size()));
        }
    } transition;
    const auto source = test::trueColorDib(20, 15, std::vector<uint32_t>(300, kRed));
    std::vector<GeneratedFile> files;
    ASSERT_TRUE(generateTransition(transition, source, source, 1, false, work, files));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].colorCount, 256);
    ByteBuffer picture;
    ASSERT_TRUE(decodeGifImage(test::readFile(files[0].path), picture, 0, false));
    EXPECT_EQ(dibColorCount(picture.bytes()), 256u);
}

TEST_F(TransitionInsertion, PreviewWritesBmpFilesFramedBySourceAndDestination)
{
    ScriptedTransition transition;
    const auto source = test::trueColorDib(3, 1, {kRed, kRed, kRed});
    const auto destination = test::trueColorDib(3, 1, {kBlue, kBlue, kBlue});
    std::vector<GeneratedFile> files;
    ASSERT_TRUE(generateTransition(transition, source, destination, 2, true, work, files));
    ASSERT_EQ(files.size(), 4u);
    const std::vector<uint8_t> expected[] = {source, ScriptedTransition::pictureOf(0),
                                             ScriptedTransition::pictureOf(1), destination};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(files[i].path.substr(files[i].path.size() - 4), ".bmp");
        const auto bytes = test::readFile(files[i].path);
        ASSERT_EQ(bytes.size(), expected[i].size() + 14);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(getU32le(&bytes[2]), bytes.size());
        EXPECT_EQ(getU32le(&bytes[6]), 0u) << "both reserved words";
        EXPECT_EQ(getU32le(&bytes[10]), 54u);
        EXPECT_TRUE(std::equal(expected[i].begin(), expected[i].end(), bytes.begin() + 14)) << "file " << i;
    }
}

TEST_F(TransitionInsertion, AFailedGenerationLeavesNoFileBehind)
{
    const auto source = test::trueColorDib(3, 1, {kRed, kRed, kRed});
    const auto before = filesIn(work.path());
    for (const bool preview : {false, true}) {
        ScriptedTransition failing;
        failing.failAt = 2;
        std::vector<GeneratedFile> files(1);
        EXPECT_FALSE(generateTransition(failing, source, source, 8, preview, work, files));
        EXPECT_EQ(failing.steps, std::vector<uint32_t>({0, 1, 2})) << "generation stops at the failing step";
        EXPECT_EQ(failing.ends, 1);
        EXPECT_TRUE(files.empty());
        EXPECT_EQ(filesIn(work.path()), before) << "preview " << preview;

        ScriptedTransition broken;
        broken.brokenAt = 1;
        EXPECT_FALSE(generateTransition(broken, source, source, 8, preview, work, files));
        EXPECT_EQ(broken.steps.size(), 2u);
        EXPECT_EQ(filesIn(work.path()), before) << "a picture that cannot be written, preview " << preview;
    }
    ScriptedTransition unused;
    unused.maxSteps = 4;
    std::vector<GeneratedFile> files;
    EXPECT_FALSE(generateTransition(unused, source, source, 0, false, work, files));
    EXPECT_FALSE(generateTransition(unused, source, source, 5, false, work, files)) << "beyond maxSteps";
    EXPECT_EQ(unused.begins, 0);
}

TEST_F(TransitionInsertion, InsertedFramesFollowTheCurrentFrameWithTheirFieldsAndNames)
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
    EXPECT_EQ(document.frames.frameAt(0)->name, "a");
    EXPECT_EQ(document.frames.frameAt(4)->name, "b");
    const char* names[] = {" [a >>]の[001]", " [a >>]の[002]", " [a >>]の[003]"};
    for (int i = 0; i < 3; ++i) {
        const Frame& f = *document.frames.frameAt(1 + i);
        EXPECT_EQ(f.name, names[i]);
        EXPECT_EQ(f.workFilePath, paths[size_t(i)].path);
        EXPECT_EQ(f.left, 0u);
        EXPECT_EQ(f.top, 0u);
        EXPECT_EQ(f.width, 4u) << "the logical screen, not the picture";
        EXPECT_EQ(f.height, 4u);
        EXPECT_EQ(f.delay, 25);
        EXPECT_EQ(f.colorCount, 4);
        EXPECT_EQ(f.transparentIndex, 0xFFFF);
        EXPECT_EQ(f.disposal, 1);
        EXPECT_EQ(f.userInput, 0);
        EXPECT_EQ(f.useLocalColorTable, 1);
    }
}

TEST_F(TransitionInsertion, NamesComeFromTheFrameAtCurrentOrTheFirstOrNone)
{
    EXPECT_EQ(transitionFrameName(document, 0, 2), " [unknown >>]の[002]");
    addThreeFrames(1);
    EXPECT_EQ(transitionFrameName(document, 2, 12), " [c >>]の[012]");
    EXPECT_EQ(transitionFrameName(document, -1, 1), " [a >>]の[001]");
}

TEST_F(TransitionInsertion, InsertTransitionChangesNothingWhenItFails)
{
    addThreeFrames(1);
    const auto before = filesIn(work.path());
    ScriptedTransition failing;
    failing.failAt = 2;
    TransitionError error = TransitionError::None;
    EXPECT_FALSE(insertTransition(document, 1, failing, {}, &error));
    EXPECT_EQ(error, TransitionError::GenerateFailed);
    EXPECT_EQ(document.frames.count(), 3);
    EXPECT_EQ(filesIn(work.path()), before);

    ScriptedTransition transition;
    TransitionRequest request;
    request.steps = 16;
    EXPECT_FALSE(insertTransition(document, 1, transition, request, &error));
    EXPECT_EQ(error, TransitionError::BadSteps);
    EXPECT_FALSE(insertTransition(document, 3, transition, {}, &error));
    EXPECT_EQ(error, TransitionError::NoCurrentFrame);
    document.frames.remove(2);
    document.frames.remove(1);
    EXPECT_FALSE(insertTransition(document, 0, transition, {}, &error));
    EXPECT_EQ(error, TransitionError::NoNextFrame);
    EXPECT_EQ(transition.begins, 0);
    EXPECT_EQ(document.frames.count(), 1);
}

TEST_F(TransitionInsertion, OneFrameLeadsToTheChosenColour)
{
    add(test::solidFrame(work, 4, 4, kRed), 0, 0, 1).name = "only";
    ScriptedTransition transition;
    TransitionRequest request;
    request.steps = 2;
    request.delay = 0;
    request.toColor = true;
    request.color = kGreen;
    ASSERT_TRUE(insertTransition(document, 0, transition, request));
    ByteBuffer seen;
    seen.assign(transition.destinationSeen.data(), uint32_t(transition.destinationSeen.size()));
    EXPECT_EQ(screenPixels(seen, 4, 4), std::vector<uint32_t>(16, G));
    ASSERT_EQ(document.frames.count(), 3);
    EXPECT_EQ(document.frames.frameAt(2)->name, " [only >>]の[002]");
    EXPECT_EQ(document.frames.frameAt(2)->delay, 0);
}

} // namespace
} // namespace zell
