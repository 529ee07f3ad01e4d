#include "document/clip_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <set>

#include "document/file_import.h"
#include "support/still_files.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

// Clips made by the ffmpeg program once for the whole suite; a test that
// needs one is skipped when ffmpeg is not installed. Empty when it cannot be made.
std::string clipMade(const std::string& name, const std::string& arguments)
{
    static const test::ScratchDir folder;
    const fs::path path = folder.path() / name;
    const std::string command = "ffmpeg -v error -nostdin -y " + arguments + " '" + path.string() + "' 2>/dev/null";
    return fs::exists(path) || std::system(command.c_str()) == 0 ? path.string() : std::string();
}

// FFmpeg's test pattern as an H.264 clip, or with the codec given.
std::string pattern(const std::string& name, const std::string& size, int rate, double seconds,
                    const std::string& codec = "-c:v libx264 -pix_fmt yuv420p")
{
    return clipMade(name, "-f lavfi -i testsrc2=size=" + size + ":rate=" + std::to_string(rate)
                              + ":duration=" + std::to_string(seconds) + " " + codec);
}

#define CLIP_OR_SKIP(var, expr)                                                                                \
    const std::string var = (expr);                                                                            \
    if (var.empty())                                                                                           \
        GTEST_SKIP() << "ffmpeg could not make a test clip";

std::vector<uint16_t> delays(const Document& document)
{
    std::vector<uint16_t> out;
    for (int i = 0; i < document.frames.count(); ++i)
        out.push_back(document.frames.frameAt(i)->delay);
    return out;
}

int totalDelay(const Document& document)
{
    const std::vector<uint16_t> d = delays(document);
    return std::accumulate(d.begin(), d.end(), 0);
}

struct RateCase {
    double fps, start, end;
    int frames;
    int total; // hundredths
};

// 4 s at 30 frames a second.
TEST(ClipImport, FramesAndDelaysFollowRateStartAndEnd)
{
    CLIP_OR_SKIP(clip, pattern("count.mp4", "64x48", 30, 4));
    const RateCase cases[] = {
        {10, 1, 2.5, 15, 150},   // every third source frame
        {0, 0, 0, 100, 400},     // the source's 30 a second is more than 25
        {15, 2.5, 6, 23, 150},   // the end past the clip stops at the clip's end
        {60, 0, 0.5, 15, 50},    // above the source's rate: no frame twice
    };
    for (const RateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fps << " fps, " << c.start << " to " << c.end);
        test::DocumentBuilder b;
        ClipOptions options;
        options.fps = c.fps, options.start = c.start, options.end = c.end;
        Failure why = Failure::none;
        ASSERT_TRUE(importClip(b.document, clip, options, &why)) << int(why);
        EXPECT_EQ(b.document.frames.count(), c.frames);
        EXPECT_EQ(totalDelay(b.document), c.total);
        const std::vector<uint16_t> d = delays(b.document);
        const auto [low, high] = std::minmax_element(d.begin(), d.end() - 1);
        // Rounded on the clip's clock: a delay is off by at most one hundredth.
        EXPECT_LE(*high - *low, 1);
    }
}

// The size keeps the aspect. Frames already on the global table keep it;
// the clip's frames take their shared palette as their own.
TEST(ClipImport, SizeKeepsTheAspectAndAGlobalTableInUseIsKept)
{
    CLIP_OR_SKIP(clip, pattern("count.mp4", "64x48", 30, 4));
    test::DocumentBuilder b;
    b.globalTable({0x112233, 0x445566});
    b.addGlobal(2, 1, {0, 1});
    ClipOptions options;
    options.end = 0.2, options.height = 12;
    ASSERT_TRUE(importClip(b.document, clip, options));
    EXPECT_EQ(std::make_pair(b.document.settings.screenWidth, b.document.settings.screenHeight),
              std::make_pair(uint16_t(16), uint16_t(12)));
    EXPECT_EQ(test::globalColors(b.document), (std::vector<uint32_t>{0x112233, 0x445566}));
    ASSERT_GT(b.document.frames.count(), 2);
    for (int i = 1; i < b.document.frames.count(); ++i)
        EXPECT_EQ(b.document.frames.frameAt(i)->useLocalColorTable, 1) << i;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += double(int(a[i]) - int(b[i])) * (int(a[i]) - int(b[i]));
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

// What the animation shows, composed frame by frame after the optimiser,
// against the decoded source: a swapped channel, a flipped row order or an
// optimiser that drops a change would each cost far more than 10 dB.
TEST(ClipImport, ComposedFramesShowTheSourceFrames)
{
    CLIP_OR_SKIP(clip, pattern("ten.webm", "64x48", 10, 2, "-c:v libvpx-vp9 -b:v 200k"));
    std::vector<std::vector<uint8_t>> source;
    std::unique_ptr<ClipSource> reader = openClip(clip);
    ASSERT_TRUE(reader);
    for (ClipFrame f; reader->next(f);) {
        std::vector<uint8_t> rgb;
        for (size_t i = 0; i < f.rgba.size(); i += 4)
            rgb.insert(rgb.end(), {f.rgba[i], f.rgba[i + 1], f.rgba[i + 2]});
        source.push_back(rgb);
    }
    ASSERT_EQ(source.size(), 20u);
    for (ClipDither dither : {ClipDither::diffusion, ClipDither::ordered, ClipDither::none}) {
        SCOPED_TRACE(int(dither));
        test::DocumentBuilder b;
        ClipOptions options;
        options.dither = dither;
        ASSERT_TRUE(importClip(b.document, clip, options));
        const test::Screens screens = test::composedScreens(b.document);
        ASSERT_EQ(screens.size(), source.size());
        for (size_t i = 0; i < screens.size(); ++i)
            EXPECT_GT(psnr(screens[i], source[i]), 26) << "frame " << i;
    }
}

// Screen content: a flat field, two ramps (more colours than a table holds)
// and one still pixel of a colour nothing else has. Frames this large are
// sampled sparsely for the palette, and a still pixel must not fall between
// the samples of every frame.
TEST(ClipImport, AColourOnlyAStillPixelHasKeepsItsEntry)
{
    const std::string at = "eq(Y\\,50)*eq(X\\,101)";
    CLIP_OR_SKIP(clip, clipMade("still.apng", "-f lavfi -i \"color=c=0xc8c8c8:s=256x192:r=10:d=5,format=rgb24,geq="
                                                  "r='if(eq(Y\\,10)\\,X\\,if(eq(Y\\,11)\\,255-X\\,if(" + at + "\\,0\\,200)))':"
                                                  "g='if(eq(Y\\,10)\\,X/2\\,if(eq(Y\\,11)\\,X\\,if(" + at + "\\,255\\,200)))':"
                                                  "b='if(between(Y\\,10\\,11)\\,90\\,if(" + at + "\\,0\\,200))'\" -plays 0 -f apng"));
    test::DocumentBuilder b;
    ASSERT_TRUE(importClip(b.document, clip, ClipOptions{}));
    const test::Screens screens = test::composedScreens(b.document);
    ASSERT_EQ(screens.size(), 50u);
    for (size_t i = 0; i < screens.size(); i += 7) {
        const uint8_t* p = &screens[i][3 * (50 * 256 + 101)];
        EXPECT_EQ(std::vector<int>(p, p + 3), (std::vector<int>{0, 255, 0})) << "frame " << i;
    }
}

// Noisy video maps onto every colour of its table; the table must leave an
// entry over, or the optimiser finds no index to make unchanged pixels
// transparent with and writes nearly every frame whole.
TEST(ClipImport, NoisyFramesKeepAnIndexForTransparency)
{
    CLIP_OR_SKIP(clip, clipMade("noisy.mp4", "-f lavfi -i testsrc2=s=160x120:r=10:d=2,noise=alls=30:allf=t+u "
                                             "-c:v libx264 -pix_fmt yuv420p"));
    test::DocumentBuilder b;
    ASSERT_TRUE(importClip(b.document, clip, ClipOptions{}));
    const std::vector<uint32_t> table = test::globalColors(b.document);
    EXPECT_LT(std::set<uint32_t>(table.begin(), table.end()).size(), table.size());
}

TEST(ClipImport, AnimatedPngKeepsItsOwnTiming)
{
    // Solid red, green, blue and green again, shown at 0, 0.1, 0.6 and 0.8 s.
    CLIP_OR_SKIP(path, clipMade("blink.png", "-f lavfi -i \"color=red:s=8x6:r=1:d=1[a];"
                                                          "color=lime:s=8x6:r=1:d=1[b];color=blue:s=8x6:r=1:d=1[c];"
                                                          "color=lime:s=8x6:r=1:d=1[d];[a][b][c][d]concat=n=4,format=rgb24,"
                                                          "setpts='if(eq(N\\,0)\\,0\\,if(eq(N\\,1)\\,10\\,if(eq(N\\,2)"
                                                          "\\,60\\,80)))/100/TB'\" -fps_mode passthrough -f apng"));
    EXPECT_TRUE(isClipFile(path));
    test::DocumentBuilder b;
    Failure why = Failure::none;
    ASSERT_TRUE(importClip(b.document, path, {}, &why)) << int(why);
    EXPECT_EQ(delays(b.document), (std::vector<uint16_t>{10, 50, 20, 20}));
    const test::Screens screens = test::composedScreens(b.document);
    ASSERT_EQ(screens.size(), 4u);
    // Three colours make a table of four entries; written out, the frames
    // must agree with the global table about its size.
    EXPECT_EQ(test::exportedScreens(b.document), screens);
    EXPECT_EQ(std::vector<uint8_t>(screens[2].begin(), screens[2].begin() + 3), (std::vector<uint8_t>{0, 0, 255}));

    // Content decides, not the name: a still PNG named like a video stays a still.
    test::ScratchDir dir;
    test::writeFile(dir.path() / "still.mp4", test::rgbaPng(2, 2, std::vector<uint32_t>(4, 0xFF000000)));
    EXPECT_FALSE(isClipFile((dir.path() / "still.mp4").string()));
}

class CancelAfter final : public Progress {
public:
    explicit CancelAfter(int reports) : left_(reports) {}
    void report(int64_t done, int64_t total) override
    {
        EXPECT_GE(done, last_);
        EXPECT_LE(done, total);
        last_ = done;
        --left_;
    }
    bool cancelled() override { return left_ <= 0; }

private:
    int left_;
    int64_t last_ = 0;
};

// Each frame is on disk as soon as it is mapped, so that a long clip goes
// through a bounded amount of memory.
TEST(ClipImport, FramesGoToWorkFilesAsTheyAreMapped)
{
    CLIP_OR_SKIP(clip, pattern("count.mp4", "64x48", 30, 4));
    class Watch final : public Progress {
    public:
        explicit Watch(const WorkDirectory& work) : work_(work) {}
        void report(int64_t done, int64_t) override
        {
            // The mapping pass counts on from the sampling pass's 120.
            if (done > 120 && done % 10 == 0) {
                ++checks_;
                behind_ = behind_ || test::workFileCount(work_.path()) < done - 120;
            }
        }
        const WorkDirectory& work_;
        int checks_ = 0;
        bool behind_ = false;
    };
    test::DocumentBuilder b;
    Watch watch(b.work);
    ClipOptions options;
    options.fps = 30;
    ASSERT_TRUE(importClip(b.document, clip, options, nullptr, &watch));
    EXPECT_EQ(b.document.frames.count(), 120);
    EXPECT_GT(watch.checks_, 5);
    EXPECT_FALSE(watch.behind_);
}

// An import that fails (a clip cut off or garbled, a cancel in either pass,
// more frames than allowed) says why and leaves the document and its work
// directory exactly as they were, through both doors.
TEST(ClipImport, FailuresChangeNothing)
{
    CLIP_OR_SKIP(clip, pattern("count.mp4", "64x48", 30, 4));
    CLIP_OR_SKIP(webm, pattern("ten.webm", "64x48", 10, 2, "-c:v libvpx-vp9 -b:v 200k"));
    test::ScratchDir dir;
    const auto broken = [&](const std::string& whole, const std::string& name, bool garble) {
        std::vector<uint8_t> bytes = test::readFile(whole);
        for (size_t i = 200; garble && i < bytes.size(); i += 7)
            bytes[i] ^= 0x5A;
        bytes.resize(garble ? bytes.size() : bytes.size() / 2);
        test::writeFile(dir.path() / name, bytes);
        return (dir.path() / name).string();
    };
    ClipOptions limited, perFrame;
    limited.fps = 10, limited.maxFrames = 39;
    perFrame = limited, perFrame.palette = ClipPalette::perFrame;
    const struct {
        std::string path;
        ClipOptions options;
        int cancelAfter; // reports; 0: never
        Failure why;
    } rows[] = {
        {broken(clip, "half.mp4", false), {}, 0, Failure::damaged},
        {broken(webm, "half.webm", false), {}, 0, Failure::damaged},
        {broken(clip, "garbled.mp4", true), {}, 0, Failure::damaged},
        {clip, {}, 3, Failure::cancelled},   // in the sampling pass
        {clip, {}, 150, Failure::cancelled}, // in the mapping pass
        {clip, limited, 0, Failure::tooManyFrames},
        {clip, perFrame, 0, Failure::tooManyFrames},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << fs::path(r.path).filename() << " " << r.cancelAfter);
        test::DocumentBuilder b;
        b.globalTable({0x112233, 0x445566});
        b.addGlobal(2, 1, {0, 1});
        const test::DocumentState before = test::snapshot(b.document);
        CancelAfter cancel(r.cancelAfter ? r.cancelAfter : 1 << 30);
        Failure why = Failure::none;
        EXPECT_FALSE(importClip(b.document, r.path, r.options, &why, &cancel));
        EXPECT_EQ(why, r.why);
        std::vector<std::string> failed;
        if (r.why == Failure::damaged)
            importFiles(b.document, {r.path}, ImportOptions{}, failed);
        EXPECT_EQ(failed.size(), r.why == Failure::damaged ? 1u : 0u);
        EXPECT_EQ(test::snapshot(b.document), before);
    }
    test::DocumentBuilder b;
    perFrame.maxFrames = 40;
    ASSERT_TRUE(importClip(b.document, clip, perFrame));
    EXPECT_EQ(b.document.frames.count(), 40);
    EXPECT_EQ(b.document.frames.frameAt(39)->useLocalColorTable, 1);
}

} // namespace
} // namespace zell
