#include "document/gif_export.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "document/gif_import.h"
#include "document/gif_info.h"
#include "document/project_file.h"
#include "image/lzw_codec.h"
#include "support/gif_builder.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;
using test::GifBuilder;

class GifExport : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};
    FrameList frames;

    // One frame from a one-image GIF: a 2x1 image with a 4-entry local table.
    Frame& addFrame(uint8_t packed = 0x81)
    {
        auto gif = GifBuilder().screen(2, 1).image(0, 0, 2, 1, packed, test::testPalette(4), 2, {0x11, 0x22}).trailer();
        SplitResult split;
        EXPECT_TRUE(splitGif(gif.bytes, work, split));
        frames.insert(frames.count(), split.frames[0]);
        return *frames.frameAt(frames.count() - 1);
    }

    std::string out() const { return (dir.path() / "out.gif").string(); }
};

// What the settings ask for, read back by the stream walker: looping
// (limited to 0 writes no block), a comment in sub-blocks of up to 255
// bytes, the global table's size and a background index inside it (one
// beyond it is written as 0).
TEST(GifExportHeader, SettingsComeBackThroughTheStreamWalker)
{
    const struct {
        bool loop, limited;
        uint16_t count;
        std::optional<uint16_t> loopRead;
        size_t comment;
        uint16_t colors, background, backgroundRead;
    } rows[] = {
        {true, false, 7, 0, 255, 256, 300, 0},
        {true, true, 0x0105, 0x0105, 300, 2, 1, 1},
        {true, true, 0, std::nullopt, 45, 4, 3, 3},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(&r - rows);
        GifSettings s;
        s.screenWidth = 0x0102, s.screenHeight = 3;
        s.loop = r.loop, s.loopLimited = r.limited, s.loopCount = r.count;
        s.saveComment = true, s.comment = std::string(r.comment, 'c');
        s.useGlobalColorTable = r.colors > 0;
        s.globalColorTable.count = r.colors, s.globalColorTable.backgroundIndex = r.background;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(writeStreamHeader(bytes, GifOutput::fromSettings(s, 0)));
        bytes.push_back(0x3B);
        GifStreamInfo info;
        ASSERT_EQ(readGifInfo(bytes, info), GifInfoError::None);
        EXPECT_EQ(std::make_tuple(info.version, info.screenWidth, info.screenHeight, info.loopCount, info.globalTableSize,
                                  info.backgroundIndex),
                  std::make_tuple("89a", 0x0102, 3, r.loopRead, r.colors, r.backgroundRead));
        EXPECT_EQ(info.comments, r.comment ? std::vector<std::string>{s.comment} : std::vector<std::string>{});
    }
}

// A whole export, byte for byte: looping block, comment, global table, each
// frame's control block and descriptor (interlace and sort bits kept, no
// transparent colour written as index 0), its own table or none, and the
// data as they stood.
TEST_F(GifExport, TheWholeStreamIsByteExact)
{
    Frame& a = addFrame(0x81 | 0x40);
    a.left = 0x0304, a.top = 5, a.disposal = 3, a.userInput = 2, a.transparentIndex = 2, a.delay = 0x0A0B;
    a.descriptorFlags = 0x81 | 0x40 | 0x20;
    Frame& b = addFrame(0x81 | 0x40);
    b.useLocalColorTable = 0, b.descriptorFlags = 0x81 | 0x40 | 0x20;
    ColorTable table;
    table.count = 2;
    GifOutput o;
    o.screenWidth = 0x0310, o.screenHeight = 9, o.loopValue = kLoopForever, o.comment = "hi", o.globalTable = &table;
    ASSERT_TRUE(writeAnimatedGif(out(), frames, o));
    std::vector<uint8_t> want = {'G', 'I', 'F', '8', '9', 'a', 0x10, 3, 9, 0, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0,
                                 0x21, 0xFE, 2, 'h', 'i', 0, 0x21, 0xF9, 4, 0x0F, 0x0B, 0x0A, 2, 0,
                                 0x2C, 4, 3, 5, 0, 2, 0, 1, 0, 0xE1};
    const auto palette = test::testPalette(4);
    want.insert(want.end(), palette.begin(), palette.end());
    want.insert(want.end(), {2, 2, 0x11, 0x22, 0, 0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x60,
                             2, 2, 0x11, 0x22, 0, 0x3B});
    EXPECT_EQ(test::readFile(out()), want);
}

// What the save panel shows must be what saving then writes, plain or
// optimised (the optimiser drops the repeated third frame).
TEST(GifExportMeasure, MeasuredSizeIsTheWrittenSize)
{
    test::DocumentBuilder b;
    b.screen(8, 4);
    const std::vector<uint32_t> colors = test::distinctColors(4);
    std::vector<uint8_t> indices(32);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i % 3);
    b.add(8, 4, colors, indices);
    indices[9] = 3;
    b.add(8, 4, colors, indices);
    b.add(8, 4, colors, indices);
    for (uint32_t options : {0u, kSaveLosslessDefault}) {
        SCOPED_TRACE(options);
        const std::vector<uint8_t> written = test::exportedGif(b.document, options);
        ASSERT_FALSE(written.empty());
        uint64_t measured = 0;
        ASSERT_TRUE(measureAnimatedGif(b.document.frames, GifOutput::fromSettings(b.document.settings, options),
                                       measured));
        EXPECT_EQ(measured, written.size());
    }
    uint64_t measured = 7;
    EXPECT_FALSE(measureAnimatedGif(FrameList(), GifOutput{}, measured) || measured != 7) << "no frames, no size";
}

TEST_F(GifExport, BrokenWorkFileKeepsTheEarlierOutput)
{
    Frame& f = addFrame();
    test::writeFile(out(), {'o', 'l', 'd'});
    auto bytes = test::readFile(f.workFile.path());
    bytes.resize(bytes.size() - 3); // cut inside the image data
    test::writeFile(f.workFile.path(), bytes);
    ExportError why;
    EXPECT_FALSE(writeAnimatedGif(out(), frames, GifOutput{}, &why));
    EXPECT_EQ(why, ExportError::BadWorkFile);
    EXPECT_EQ(test::readFile(out()), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(test::namesIn(dir.path()).size(), 2u) << "no temporary file left beside the output";
}

std::vector<std::string> hiddenNames(const fs::path& folder)
{
    auto names = test::namesIn(folder);
    std::erase_if(names, [](const std::string& n) { return !n.starts_with("."); });
    return names;
}

// A new file gets the usual mode, not the private one of a temporary; an
// overwritten file keeps its own, but not the set-ID and sticky bits, which
// belong to the file they were given to.
TEST_F(GifExport, OutputGetsOrdinaryPermissionsOrKeepsTheTargets)
{
    addFrame();
    const mode_t mask = ::umask(022);
    const struct {
        mode_t given, kept;
    } rows[] = {{0, 0644}, {0640, 0640}, {07750, 0750}};
    for (const auto& r : rows) {
        if (r.given)
            ::chmod(out().c_str(), r.given);
        ASSERT_TRUE(writeAnimatedGif(out(), frames, GifOutput{}));
        struct stat st;
        ASSERT_EQ(::stat(out().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, r.kept) << std::oct << r.given;
    }
    ::umask(mask);
}

// Temporaries whose writer is gone are swept; a live writer's, names that
// only look alike and a link (never followed) stay.
TEST_F(GifExport, TemporariesOfDeadWritersGoLiveOnesAndOthersStay)
{
    addFrame();
    test::writeFile(dir.path() / ".out.gif.zllAb12Cd", {1}); // nobody holds its lock
    const fs::path live = dir.path() / ".x.gif.zllQw12Er";
    test::writeFile(live, {2});
    const int held = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    for (const char* name : {".out.gif.zll_x-y.z", ".zllAbCdEf", "out.gif.zllAbCdEf"})
        test::writeFile(dir.path() / name, {3});
    test::writeFile(dir.path() / "real", {4});
    fs::create_symlink(dir.path() / "real", dir.path() / ".l.gif.zllLnK123");

    ASSERT_TRUE(writeAnimatedGif(out(), frames, GifOutput{}));
    ::close(held);
    EXPECT_EQ(hiddenNames(dir.path()),
              (std::vector<std::string>{".l.gif.zllLnK123", ".out.gif.zll_x-y.z", ".x.gif.zllQw12Er", ".zllAbCdEf"}));
    EXPECT_TRUE(fs::exists(dir.path() / "out.gif.zllAbCdEf"));
    EXPECT_EQ(test::readFile(dir.path() / "real"), std::vector<uint8_t>{4});
}

TEST_F(GifExport, SymbolicLinksAreWrittenThroughForGifsAndProjects)
{
    addFrame();
    fs::create_directory(dir.path() / "real");
    const fs::path target = dir.path() / "real" / "target.gif";
    test::writeFile(target, {'o', 'l', 'd'});
    ::chmod(target.c_str(), 0640);
    fs::create_symlink("hop.gif", dir.path() / "link.gif"); // relative, then absolute
    fs::create_symlink(target, dir.path() / "hop.gif");
    ASSERT_TRUE(writeAnimatedGif((dir.path() / "link.gif").string(), frames, GifOutput{}));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.gif"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "hop.gif"));
    const auto written = test::readFile(target);
    ASSERT_GE(written.size(), 6u);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 6), "GIF89a");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A dangling link makes the file it names, as cp does; projects too.
    fs::create_symlink("real/new.zpj", dir.path() / "new.zpj");
    ASSERT_TRUE(saveProject(Document(work), (dir.path() / "new.zpj").string()));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "new.zpj") && fs::exists(dir.path() / "real" / "new.zpj"));

    EXPECT_TRUE(hiddenNames(dir.path()).empty());
    EXPECT_TRUE(hiddenNames(dir.path() / "real").empty());
}

// Frames kept in memory write, optimise and save the bytes their files on
// disk give; past the budget the rest go to disk, and no directory is made
// while none did.
TEST(GifExportFromMemory, FramesInMemoryGiveTheBytesOfFramesOnDisk)
{
    const auto codes = [](std::vector<uint8_t> pixels, int bits) {
        std::vector<uint8_t> out;
        EXPECT_TRUE(LzwCodec().compress(pixels, bits, out));
        return out;
    };
    const auto gif = GifBuilder()
                         .screen(4, 2, test::testPalette(4))
                         .image(0, 0, 4, 2, 0, {}, 2, codes({0, 1, 2, 3, 3, 2, 1, 0}, 2))
                         .control(0x05, 3, 1)
                         .image(1, 0, 2, 2, 0x81, test::testPalette(4, 7), 2, codes({1, 2, 1, 3}, 2))
                         .image(0, 0, 4, 2, 0, {}, 2, codes({0, 1, 2, 3, 3, 2, 1, 1}, 2))
                         .trailer()
                         .bytes;
    test::ScratchDir dir;
    const auto outputs = [&](WorkDirectory& work, const std::string& name) {
        Document document(work);
        EXPECT_TRUE(test::importGif(document, gif));
        EXPECT_EQ(document.frames.duplicate(1, work, "+"), 2);
        std::vector<std::vector<uint8_t>> bytes;
        for (uint32_t options : {0u, kSaveLosslessDefault | kSaveDropUnchanged, kSaveOptimize | kSaveTransparency})
            bytes.push_back(test::exportedGif(document, options));
        const auto project = dir.path() / (name + ".zpj");
        EXPECT_TRUE(saveProject(document, project.string()));
        bytes.push_back(test::readFile(project));
        std::vector<bool> inMemory;
        for (int i = 0; i < document.frames.count(); ++i)
            inMemory.push_back(document.frames.frameAt(i)->workFile.isInMemory());
        return std::pair{bytes, inMemory};
    };
    WorkDirectory onDisk((dir.path() / "disk").string()), inMemory((dir.path() / "memory").string()),
        partly((dir.path() / "partly").string());
    fs::create_directories(dir.path() / "disk");
    fs::create_directories(dir.path() / "memory");
    fs::create_directories(dir.path() / "partly");
    inMemory.keepInMemory(1 << 20);
    const auto [expected, none] = outputs(onDisk, "disk");
    EXPECT_EQ(none, std::vector<bool>(4, false));
    ASSERT_FALSE(expected[0].empty());
    const auto [memory, all] = outputs(inMemory, "memory");
    EXPECT_EQ(memory, expected);
    EXPECT_EQ(all, std::vector<bool>(4, true));
    EXPECT_TRUE(inMemory.path().empty()) << "no work directory";
    // Room for the first frame's picture only.
    Document probe(onDisk);
    ASSERT_TRUE(test::importGif(probe, gif));
    partly.keepInMemory(fs::file_size(probe.frames.frameAt(0)->workFile.path()));
    const auto [some, first] = outputs(partly, "partly");
    EXPECT_EQ(some, expected);
    EXPECT_EQ(first, (std::vector<bool>{true, false, false, false}));
}

} // namespace
} // namespace zell
