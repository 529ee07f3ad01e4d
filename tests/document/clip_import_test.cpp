#include "document/clip_import.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numeric>

#include "document/file_import.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

// Clips made by the ffmpeg program once for the whole suite; a test that
// needs one is skipped when ffmpeg is not installed.
class ClipFiles {
public:
    static ClipFiles& get()
    {
        static ClipFiles files;
        return files;
    }
    // An H.264 or VP9 clip of FFmpeg's test pattern; empty when it cannot be made.
    std::string make(const std::string& name, const std::string& arguments)
    {
        const fs::path path = dir_.path() / name;
        if (!fs::exists(path)) {
            const std::string command = "ffmpeg -v error -nostdin -y " + arguments + " '" + path.string() + "' 2>/dev/null";
            if (std::system(command.c_str()) != 0)
                return {};
        }
        return path.string();
    }
    std::string pattern(const std::string& name, const std::string& size, int rate, double seconds,
                        const std::string& codec = "-c:v libx264 -pix_fmt yuv420p")
    {
        return make(name, "-f lavfi -i testsrc2=size=" + size + ":rate=" + std::to_string(rate)
                              + ":duration=" + std::to_string(seconds) + " " + codec);
    }
    fs::path folder() const { return dir_.path(); }

private:
    test::ScratchDir dir_;
};

#define CLIP_OR_SKIP(var, expr)                                                                                \
    const std::string var = (expr);                                                                            \
    if (var.empty())                                                                                           \
        GTEST_SKIP() << "ffmpeg could not make a test clip";

void putU32be(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    putU32be(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putU32be(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

struct ApngFrame {
    uint32_t rgb;
    uint16_t delay; // hundredths
};

// An animated PNG of solid frames, each with its own delay.
std::vector<uint8_t> apng(uint32_t width, uint32_t height, const std::vector<ApngFrame>& frames)
{
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, data;
    putU32be(data, width), putU32be(data, height);
    data.insert(data.end(), {8, 2, 0, 0, 0});
    putChunk(out, "IHDR", data);
    data.clear();
    putU32be(data, uint32_t(frames.size())), putU32be(data, 0);
    putChunk(out, "acTL", data);
    uint32_t sequence = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        data.clear();
        putU32be(data, sequence++), putU32be(data, width), putU32be(data, height), putU32be(data, 0),
            putU32be(data, 0);
        data.insert(data.end(), {uint8_t(frames[i].delay >> 8), uint8_t(frames[i].delay), 0, 100, 0, 0});
        putChunk(out, "fcTL", data);
        std::vector<uint8_t> raw;
        for (uint32_t y = 0; y < height; ++y) {
            raw.push_back(0);
            for (uint32_t x = 0; x < width; ++x)
                raw.insert(raw.end(), {uint8_t(frames[i].rgb >> 16), uint8_t(frames[i].rgb >> 8), uint8_t(frames[i].rgb)});
        }
        std::vector<uint8_t> packed(compressBound(uLong(raw.size())));
        uLongf size = uLongf(packed.size());
        compress(packed.data(), &size, raw.data(), uLong(raw.size()));
        packed.resize(size);
        data.clear();
        if (i > 0)
            putU32be(data, sequence++);
        data.insert(data.end(), packed.begin(), packed.end());
        putChunk(out, i == 0 ? "IDAT" : "fdAT", data);
    }
    putChunk(out, "IEND", {});
    return out;
}

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
    CLIP_OR_SKIP(clip, ClipFiles::get().pattern("count.mp4", "64x48", 30, 4));
    const RateCase cases[] = {
        {10, 1, 2.5, 15, 150},   // every third source frame
        {0, 0, 0, 100, 400},     // the source's 30 a second is more than 25
        {15, 2.5, 6, 23, 150},   // the end past the clip stops at the clip's end
        {30, 0, 1, 30, 100},     // the source's own rate
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
        EXPECT_EQ(b.document.settings.screenWidth, 64);
    }
}

// The size keeps the aspect. The shared palette becomes the global table,
// unless frames already use that table: they keep it, and the clip's frames
// take their palette as their own.
TEST(ClipImport, SizeKeepsTheAspectAndAGlobalTableInUseIsKept)
{
    CLIP_OR_SKIP(clip, ClipFiles::get().pattern("count.mp4", "64x48", 30, 4));
    for (const bool occupied : {false, true}) {
        SCOPED_TRACE(occupied);
        test::DocumentBuilder b;
        if (occupied) {
            b.globalTable({0x112233, 0x445566});
            b.addGlobal(2, 1, {0, 1});
        }
        ClipOptions options;
        options.end = 0.2;
        if (occupied)
            options.height = 12;
        else
            options.width = 32;
        ASSERT_TRUE(importClip(b.document, clip, options));
        EXPECT_EQ(b.document.settings.screenWidth, occupied ? 16 : 32);
        EXPECT_EQ(b.document.settings.screenHeight, occupied ? 12 : 24);
        EXPECT_TRUE(b.document.settings.useGlobalColorTable);
        if (occupied) {
            EXPECT_EQ(test::globalColors(b.document), (std::vector<uint32_t>{0x112233, 0x445566}));
        }
        ASSERT_GT(b.document.frames.count(), 1 + occupied);
        for (int i = occupied; i < b.document.frames.count(); ++i)
            EXPECT_EQ(b.document.frames.frameAt(i)->useLocalColorTable, occupied) << i;
    }
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
    CLIP_OR_SKIP(clip, ClipFiles::get().pattern("ten.webm", "64x48", 10, 2, "-c:v libvpx-vp9 -b:v 200k"));
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

TEST(ClipImport, AnimatedPngKeepsItsOwnTiming)
{
    test::ScratchDir dir;
    const fs::path path = dir.path() / "blink.png";
    test::writeFile(path, apng(8, 6, {{0xFF0000, 10}, {0x00FF00, 50}, {0x0000FF, 20}, {0x00FF00, 7}}));
    EXPECT_TRUE(isClipFile(path.string()));
    test::DocumentBuilder b;
    Failure why = Failure::none;
    ASSERT_TRUE(importClip(b.document, path.string(), {}, &why)) << int(why);
    EXPECT_EQ(delays(b.document), (std::vector<uint16_t>{10, 50, 20, 7}));
    const test::Screens screens = test::composedScreens(b.document);
    ASSERT_EQ(screens.size(), 4u);
    // Three colours make a table of four entries; written out, the frames
    // must agree with the global table about its size.
    EXPECT_EQ(test::exportedScreens(b.document), screens);
    const uint8_t expected[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 255, 0}};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(std::vector<uint8_t>(screens[i].begin(), screens[i].begin() + 3),
                  std::vector<uint8_t>(expected[i], expected[i] + 3))
            << i;

    // Content decides, not the name: a still PNG named like a video stays a still.
    std::vector<uint8_t> png = apng(2, 2, {{0, 10}});
    const std::vector<uint8_t> actl = {'a', 'c', 'T', 'L'};
    const auto at = std::search(png.begin(), png.end(), actl.begin(), actl.end()) - 4;
    png.erase(at, at + 20);
    test::writeFile(dir.path() / "still.mp4", png);
    test::writeFile(dir.path() / "junk.mp4", std::vector<uint8_t>(64, 'x'));
    EXPECT_FALSE(isClipFile((dir.path() / "still.mp4").string()));
    EXPECT_FALSE(isClipFile((dir.path() / "junk.mp4").string()));
    EXPECT_FALSE(openClip((dir.path() / "junk.mp4").string(), &why));
    EXPECT_EQ(why, Failure::notSupported);
}

// A cut-off or garbled clip fails as damaged and leaves the document and
// the work directory exactly as they were, through both doors.
TEST(ClipImport, BrokenClipsFailAndChangeNothing)
{
    CLIP_OR_SKIP(moovLast, ClipFiles::get().pattern("count.mp4", "64x48", 30, 4));
    CLIP_OR_SKIP(moovFirst, ClipFiles::get().make("fast.mp4", "-i " + moovLast + " -c copy -movflags +faststart"));
    CLIP_OR_SKIP(webm, ClipFiles::get().pattern("ten.webm", "64x48", 10, 2, "-c:v libvpx-vp9 -b:v 200k"));
    test::ScratchDir dir;
    std::vector<fs::path> broken;
    for (const std::string& whole : {moovLast, moovFirst, webm}) {
        std::vector<uint8_t> bytes = test::readFile(whole);
        bytes.resize(bytes.size() / 2);
        broken.push_back(dir.path() / ("half-" + fs::path(whole).filename().string()));
        test::writeFile(broken.back(), bytes);
    }
    std::vector<uint8_t> garbled = test::readFile(moovFirst);
    for (size_t i = 200; i < garbled.size(); i += 7)
        garbled[i] ^= 0x5A;
    broken.push_back(dir.path() / "garbled.mp4");
    test::writeFile(broken.back(), garbled);

    for (const fs::path& path : broken) {
        SCOPED_TRACE(path.filename().string());
        ASSERT_TRUE(isClipFile(path.string()));
        test::DocumentBuilder b;
        b.screen(10, 10);
        b.globalTable({0x112233, 0x445566});
        b.addGlobal(2, 1, {0, 1});
        const test::DocumentState before = test::snapshot(b.document);
        Failure why = Failure::none;
        EXPECT_FALSE(importClip(b.document, path.string(), {}, &why));
        EXPECT_EQ(why, Failure::damaged);
        std::vector<std::string> failed;
        std::vector<Failure> reasons;
        importFiles(b.document, {path.string()}, ImportOptions{}, failed, &reasons);
        EXPECT_EQ(failed.size(), 1u);
        EXPECT_EQ(test::snapshot(b.document), before);
    }
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

TEST(ClipImport, CancelAndTheFrameLimitChangeNothing)
{
    CLIP_OR_SKIP(clip, ClipFiles::get().pattern("count.mp4", "64x48", 30, 4));
    for (int reports : {3, 150}) { // in the sampling pass, then in the mapping pass
        test::DocumentBuilder b;
        b.addNumbered();
        const test::DocumentState before = test::snapshot(b.document);
        CancelAfter cancel(reports);
        Failure why = Failure::none;
        EXPECT_FALSE(importClip(b.document, clip, {}, &why, &cancel));
        EXPECT_EQ(why, Failure::cancelled);
        EXPECT_EQ(test::snapshot(b.document), before);
    }
    for (ClipPalette palette : {ClipPalette::shared, ClipPalette::perFrame}) {
        test::DocumentBuilder b;
        const test::DocumentState before = test::snapshot(b.document);
        ClipOptions options;
        options.fps = 10, options.maxFrames = 39, options.palette = palette;
        Failure why = Failure::none;
        EXPECT_FALSE(importClip(b.document, clip, options, &why));
        EXPECT_EQ(why, Failure::tooManyFrames);
        EXPECT_EQ(test::snapshot(b.document), before);
        options.maxFrames = 40;
        EXPECT_TRUE(importClip(b.document, clip, options, &why));
        EXPECT_EQ(b.document.frames.count(), 40);
        EXPECT_EQ(b.document.frames.frameAt(39)->useLocalColorTable, palette == ClipPalette::perFrame);
    }
}

// Each frame is on disk as soon as it is mapped, so that a long clip goes
// through a bounded amount of memory.
TEST(ClipImport, FramesGoToWorkFilesAsTheyAreMapped)
{
    CLIP_OR_SKIP(clip, ClipFiles::get().pattern("count.mp4", "64x48", 30, 4));
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

} // namespace
} // namespace zell
