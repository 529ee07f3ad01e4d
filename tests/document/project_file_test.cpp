#include "document/project_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "image/bytes.h"
#include "image/lzw_codec.h"
#include "support/gif_builder.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

class ProjectFile : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};

    std::unique_ptr<Frame> frameWithFile(const std::string& name, std::vector<uint8_t> bytes)
    {
        auto frame = std::make_unique<Frame>();
        std::string path;
        EXPECT_TRUE(work.newWorkFileName("gif", path));
        test::writeFile(path, bytes);
        frame->workFile = WorkFile::adopt(path);
        frame->name = name;
        return frame;
    }

    // A work file: one image of that size and table (2 or 16 colours), every pixel 0.
    static std::vector<uint8_t> picture(uint16_t width, uint16_t height, int colors, bool interlaced = false)
    {
        std::vector<uint8_t> codes;
        const int bits = colors <= 2 ? 1 : 4;
        LzwCodec().compress(std::vector<uint8_t>(size_t(width) * height, 0), std::max(bits, 2), codes);
        const uint8_t packed = uint8_t(0x80 | (interlaced ? 0x40 : 0) | (bits - 1));
        return test::GifBuilder().screen(width, height).image(0, 0, width, height, packed,
                                                              test::testPalette(colors), uint8_t(std::max(bits, 2)), codes)
            .trailer().bytes;
    }

    void fill(Document& doc)
    {
        GifSettings& s = doc.settings;
        s.screenWidth = 320, s.screenHeight = 0x1234, s.useGlobalColorTable = false;
        s.globalColorTable.count = 2, s.globalColorTable.backgroundIndex = 1;
        s.globalColorTable.setColor(0, makeColor(1, 2, 3));
        s.globalColorTable.setColor(1, makeColor(4, 5, 6));
        s.loop = s.loopLimited = true, s.loopCount = 7, s.saveComment = false, s.comment = "kept";
        auto a = frameWithFile("one", picture(7, 8, 16, true));
        *a = {.workFile = a->workFile, .name = "one", .left = 5, .top = 6, .width = 7, .height = 8, .delay = 9,
              .colorCount = 16, .transparentIndex = 0xFFFF, .disposal = 2, .userInput = 2, .useLocalColorTable = 1,
              .descriptorFlags = 0x40};
        doc.frames.insert(0, a);
        auto b = frameWithFile("", picture(1, 1, 2));
        b->width = b->height = 1, b->colorCount = 2;
        doc.frames.insert(1, b);
    }

    std::string projectPath() const { return (dir.path() / "p.zpj").string(); }

    // The bytes of a project of fill().
    std::vector<uint8_t> filledProject()
    {
        Document doc(work);
        fill(doc);
        EXPECT_TRUE(saveProject(doc, projectPath()));
        return test::readFile(projectPath());
    }

    // Opens the bytes over a document of fill(). A refusal leaves the
    // document exactly as it was and reports no change; a good open reports
    // every kind.
    bool opensOver(std::span<const uint8_t> bytes)
    {
        Document doc(work);
        fill(doc);
        doc.settings.screenWidth = 99;
        const GifSettings settings = doc.settings;
        const Frame first = *doc.frames.frameAt(0);
        unsigned reported = 0;
        doc.onChange = [&](unsigned what) { reported |= what; };
        const bool opened = openProjectBytes(doc, bytes);
        EXPECT_EQ(reported, opened ? unsigned(kFramesChanged | kSettingsChanged | kGlobalTableChanged | kCurrentChanged) : 0u);
        if (!opened) {
            EXPECT_EQ(doc.settings, settings);
            EXPECT_TRUE(doc.frames.count() == 2 && *doc.frames.frameAt(0) == first);
        }
        return opened;
    }
};

TEST_F(ProjectFile, SavesTheExactLayout)
{
    Document doc(work);
    fill(doc);
    ASSERT_TRUE(saveProject(doc, projectPath()));
    std::vector<uint8_t> expected = {'Z', 'E', 'L', 'L', '0', '0', '0', '0'};
    expected.resize(32, 0);
    expected.insert(expected.end(), {0x40, 0x01, 0x34, 0x12, 0, 1, 0, 2, 0, 1, 2, 3, 4, 5, 6, 0xC0, 7, 0, 0});
    expected.insert(expected.end(), {'k', 'e', 'p', 't', 0, 2, 0, 0, 0});
    // record 1: length = 3 + 1 + 22 + the work file
    const auto one = picture(7, 8, 16, true), two = picture(1, 1, 2);
    expected.insert(expected.end(), {uint8_t(26 + one.size()), 0, 0, 0, 'o', 'n', 'e', 0, 5, 0, 6, 0, 7, 0, 8, 0, 9,
                                     0, 16, 0, 0xFF, 0xFF, 2, 2, 1, 0x40, uint8_t(one.size()), 0, 0, 0});
    expected.insert(expected.end(), one.begin(), one.end());
    // record 2: empty name, default fields but the size
    expected.insert(expected.end(), {uint8_t(23 + two.size()), 0, 0, 0, /* name */ 0, /* fields */ 0, 0, 0, 0, 1, 0,
                                     1, 0, 0, 0, 2, 0, 0xFF, 0xFF, 0, 0, 0, 0, uint8_t(two.size()), 0, 0, 0});
    expected.insert(expected.end(), two.begin(), two.end());
    EXPECT_EQ(test::readFile(projectPath()), expected);
}

TEST_F(ProjectFile, RoundTripRestoresEverything)
{
    Document doc(work);
    fill(doc);
    doc.frames.frameAt(1)->userInput = 0xFF; // every bit of a byte comes back
    doc.frames.frameAt(1)->descriptorFlags = 0xB8;
    ASSERT_TRUE(saveProject(doc, projectPath()));
    Document back(work);
    ASSERT_TRUE(openProject(back, projectPath()));
    EXPECT_EQ(back.settings, doc.settings) << "the comment and loop count kept although off";
    ASSERT_EQ(back.frames.count(), 2);
    for (int i = 0; i < 2; ++i) {
        Frame expected = *doc.frames.frameAt(i);
        const Frame& read = *back.frames.frameAt(i);
        EXPECT_NE(read.workFile.path(), expected.workFile.path()) << "a work file of its own";
        EXPECT_EQ(test::readFile(read.workFile), test::readFile(expected.workFile));
        expected.workFile = read.workFile;
        EXPECT_EQ(read, expected);
    }
    EXPECT_EQ(back.currentIndex, 0);
}

TEST_F(ProjectFile, DamagedFilesLeaveTheDocumentExactlyAsItWas)
{
    const auto good = filledProject();
    const size_t filesBefore = test::namesIn(work.path()).size();
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(opensOver({good.data(), cut})) << cut;
    // A hundred thousand empty records are refused before any file is made.
    std::vector<uint8_t> many(good.begin(), good.begin() + 56);
    many.insert(many.end(), {0xA0, 0x86, 0x01, 0x00}); // 100,000 frames
    const uint8_t empty[27] = {23};
    for (int i = 0; i < 100000; ++i)
        many.insert(many.end(), empty, empty + 27);
    EXPECT_FALSE(opensOver(many));
    EXPECT_EQ(test::namesIn(work.path()).size(), filesBefore) << "records read before the failure left no work files";

    // The reasons tell a damaged project from a file that is none.
    Document doc(work);
    Failure why = Failure::none;
    for (const auto& [bytes, reason] : {std::pair(std::vector<uint8_t>(good.begin(), good.end() - 5), Failure::damaged),
                                        std::pair(std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a'}, Failure::notSupported)}) {
        test::writeFile(projectPath(), bytes);
        EXPECT_FALSE(openProject(doc, projectPath(), &why));
        EXPECT_EQ(why, reason);
    }
}

// Every field of a record that reaches an exported GIF is checked against
// its picture and the format before anything is made; a record that
// disagrees makes the whole project damaged. The rows change one field of
// a project as zell writes it.
TEST_F(ProjectFile, EveryRecordIsCheckedAgainstItsPicture)
{
    using Bytes = std::vector<uint8_t>;
    const Bytes good = filledProject();
    ASSERT_TRUE(saveProject(Document(work), projectPath()));
    const Bytes noTable = test::readFile(projectPath());
    // The first record: a 7 x 8 interlaced picture with 16 colours; the
    // second: 1 x 1 in plain order.
    const size_t background = 37, left = 68, width = 72, count = 78, transparent = 80, disposal = 82,
                 flags = 85, plainFlags = flags + 22 + picture(7, 8, 16, true).size() + 5;
    auto u16 = [](Bytes& p, size_t at, uint16_t v) { putU16le(p.data() + at, v); };
    const struct {
        const char* what;
        std::function<void(Bytes&)> change;
        bool opens;
        const Bytes& base;
    } rows[] = {
        {"a project as zell makes it", [](Bytes&) {}, true, good},
        {"a bad magic", [](Bytes& p) { p[7] = '1'; }, false, good},
        {"background index 2 of 2", [&](Bytes& p) { u16(p, background, 2); }, false, good},
        {"no background of 2", [&](Bytes& p) { u16(p, background, 0xFFFF); }, true, good},
        {"background index 0 of no table", [&](Bytes& p) { u16(p, background, 0); }, true, noTable},
        {"background index 1 of no table", [&](Bytes& p) { u16(p, background, 1); }, false, noTable},
        {"no interlace flag on interlaced rows", [&](Bytes& p) { p[flags] = 0; }, false, good},
        {"an interlace flag on rows in plain order", [&](Bytes& p) { p[plainFlags] = 0x40; }, false, good},
        {"colour count 0", [&](Bytes& p) { u16(p, count, 0); }, false, good},
        {"colour count 8 needs an 8-entry table", [&](Bytes& p) { u16(p, count, 8); }, false, good},
        {"colour count 9 needs the 16-entry table", [&](Bytes& p) { u16(p, count, 9); }, true, good},
        {"transparent index 15 of 16", [&](Bytes& p) { u16(p, transparent, 15); }, true, good},
        {"transparent index 16 of 16", [&](Bytes& p) { u16(p, transparent, 16); }, false, good},
        {"disposal 7, as GIF files may hold it", [&](Bytes& p) { p[disposal] = 7; }, true, good},
        {"disposal 8", [&](Bytes& p) { p[disposal] = 8; }, false, good},
        {"left 65528 for a 7-wide frame", [&](Bytes& p) { u16(p, left, 65528); }, true, good},
        {"left 65529 for a 7-wide frame", [&](Bytes& p) { u16(p, left, 65529); }, false, good},
        {"a width other than the picture's", [&](Bytes& p) { u16(p, width, 6); }, false, good},
    };
    for (const auto& r : rows) {
        Bytes bytes = r.base;
        r.change(bytes);
        EXPECT_EQ(opensOver(bytes), r.opens) << r.what;
    }
}

// What a document holds but its picture contradicts is saved as the
// picture has it, so that every project zell writes opens again: an index
// beyond the table marks no pixel, the rows' own order and table count.
TEST_F(ProjectFile, SavedRecordsAgreeWithTheirPictures)
{
    Document doc(work);
    fill(doc);
    Frame& interlaced = *doc.frames.frameAt(0);
    interlaced.colorCount = 0, interlaced.transparentIndex = 200, interlaced.descriptorFlags = 0x20;
    doc.frames.frameAt(1)->descriptorFlags = 0x40; // on rows in plain order
    ASSERT_TRUE(saveProject(doc, projectPath()));
    Document back(work);
    ASSERT_TRUE(openProject(back, projectPath()));
    const Frame& f = *back.frames.frameAt(0);
    EXPECT_EQ(std::make_tuple(f.colorCount, f.transparentIndex, f.descriptorFlags), std::make_tuple(16, 0xFFFF, 0x60))
        << "the sort bit stays";
    EXPECT_EQ(back.frames.frameAt(1)->descriptorFlags, 0);
}

TEST_F(ProjectFile, FailedSaveKeepsTheEarlierFileAndLeavesNoTemporary)
{
    Document doc(work);
    fill(doc);
    test::writeFile(projectPath(), {'o', 'l', 'd'});
    fs::remove(doc.frames.frameAt(1)->workFile.path()); // a missing work file fails the save
    EXPECT_FALSE(saveProject(doc, projectPath()));
    EXPECT_EQ(test::readFile(projectPath()), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(test::namesIn(dir.path()).size(), 2u) << "only the old project and the work directory";
    // Written whole, then refused where it should go: a folder of that name.
    fs::create_directory(dir.path() / "folder.zpj");
    EXPECT_FALSE(saveProject(Document(work), (dir.path() / "folder.zpj").string()));
    EXPECT_EQ(test::namesIn(dir.path()).size(), 3u) << "no temporary left beside it";
}

} // namespace
} // namespace zell
