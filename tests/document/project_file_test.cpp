#include "document/project_file.h"

#include <gtest/gtest.h>

#include <filesystem>

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
        doc.settings.screenWidth = 320;
        doc.settings.screenHeight = 0x1234;
        doc.settings.useGlobalColorTable = false;
        doc.settings.globalColorTable.count = 2;
        doc.settings.globalColorTable.backgroundIndex = 1;
        doc.settings.globalColorTable.setColor(0, makeColor(1, 2, 3));
        doc.settings.globalColorTable.setColor(1, makeColor(4, 5, 6));
        doc.settings.loop = true;
        doc.settings.loopLimited = true;
        doc.settings.loopCount = 7;
        doc.settings.saveComment = false;
        doc.settings.comment = "kept";
        auto a = frameWithFile("one", picture(7, 8, 16, true));
        a->left = 5;
        a->top = 6;
        a->width = 7;
        a->height = 8;
        a->delay = 9;
        a->colorCount = 16;
        a->transparentIndex = 0xFFFF;
        a->disposal = 2;
        a->userInput = 2;
        a->useLocalColorTable = 1;
        a->descriptorFlags = 0x40;
        doc.frames.insert(0, a);
        auto b = frameWithFile("", picture(1, 1, 2));
        b->width = b->height = 1;
        b->colorCount = 2;
        doc.frames.insert(1, b);
    }

    std::string projectPath() const { return (dir.path() / "p.zpj").string(); }
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

TEST_F(ProjectFile, RoundTripRestoresSettingsFramesAndPictures)
{
    Document doc(work);
    fill(doc);
    ASSERT_TRUE(saveProject(doc, projectPath()));
    Document back(work);
    ASSERT_TRUE(openProject(back, projectPath()));
    EXPECT_EQ(back.settings.screenHeight, 0x1234);
    EXPECT_EQ(back.settings.comment, "kept") << "kept although the comment is off";
    EXPECT_EQ(back.settings.loopCount, 7);
    EXPECT_TRUE(back.settings.loopLimited);
    EXPECT_EQ(back.settings.globalColorTable.backgroundIndex, 1);
    EXPECT_EQ(back.settings.globalColorTable.color(1), makeColor(4, 5, 6));
    ASSERT_EQ(back.frames.count(), 2);
    const Frame& a = *back.frames.frameAt(0);
    EXPECT_EQ(a.name, "one");
    EXPECT_EQ(a.descriptorFlags, 0x40);
    EXPECT_EQ(a.userInput, 2);
    EXPECT_NE(a.workFile.path(), doc.frames.frameAt(0)->workFile.path()) << "a work file of its own";
    EXPECT_EQ(test::readFile(a.workFile.path()), test::readFile(doc.frames.frameAt(0)->workFile.path()));
    EXPECT_EQ(back.currentIndex, 0);

    // Saving the reopened document gives the same bytes.
    const std::string again = (dir.path() / "q.zpj").string();
    ASSERT_TRUE(saveProject(back, again));
    EXPECT_EQ(test::readFile(again), test::readFile(projectPath()));

    // An empty project ends with a count of zero frames and empties what it opens into.
    ASSERT_TRUE(saveProject(Document(work), again));
    const auto bytes = test::readFile(again);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(getU32le(bytes.data() + bytes.size() - 4), 0u);
    ASSERT_TRUE(openProject(back, again));
    EXPECT_EQ(back.frames.count(), 0);
    EXPECT_EQ(back.currentIndex, -1);
}

TEST_F(ProjectFile, DamagedFilesLeaveTheDocumentExactlyAsItWas)
{
    Document source(work);
    fill(source);
    ASSERT_TRUE(saveProject(source, projectPath()));
    const auto good = test::readFile(projectPath());

    Document doc(work);
    fill(doc);
    doc.settings.screenWidth = 99;
    const std::string firstFile = doc.frames.frameAt(0)->workFile.path();
    auto unchanged = [&] {
        EXPECT_EQ(doc.settings.screenWidth, 99);
        ASSERT_EQ(doc.frames.count(), 2);
        EXPECT_EQ(doc.frames.frameAt(0)->workFile.path(), firstFile);
        EXPECT_TRUE(fs::exists(firstFile));
    };
    const size_t filesBefore = test::namesIn(work.path()).size();
    unsigned reported = 0;
    doc.onChange = [&](unsigned what) { reported |= what; };
    for (size_t cut = 0; cut < good.size(); ++cut) {
        EXPECT_FALSE(openProjectBytes(doc, {good.data(), cut})) << cut;
        unchanged();
    }
    auto badMagic = good;
    badMagic[7] = '1';
    EXPECT_FALSE(openProjectBytes(doc, badMagic));
    auto tooManyColours = good;
    putU16le(tooManyColours.data() + 39, 257);
    EXPECT_FALSE(openProjectBytes(doc, tooManyColours));
    unchanged();
    // A record must agree with its picture: a 65535 x 65535 frame around a
    // 7 x 8 picture, or a transparent index no GIF can carry, is damage.
    const size_t firstFields = 68;
    for (auto [offset, value] : {std::pair{firstFields + 4, 65535}, {firstFields + 6, 65535}, {firstFields + 12, 300},
                                 {firstFields + 10, 257}}) {
        auto disagreeing = good;
        putU16le(disagreeing.data() + offset, uint16_t(value));
        EXPECT_FALSE(openProjectBytes(doc, disagreeing)) << offset;
        unchanged();
    }
    // A hundred thousand empty records are refused before any file is made.
    std::vector<uint8_t> many(good.begin(), good.begin() + 56);
    many.insert(many.end(), {0xA0, 0x86, 0x01, 0x00}); // 100,000 frames
    for (int i = 0; i < 100000; ++i) {
        const uint8_t empty[27] = {23};
        many.insert(many.end(), empty, empty + 27);
    }
    EXPECT_FALSE(openProjectBytes(doc, many));
    unchanged();
    EXPECT_EQ(test::namesIn(work.path()).size(), filesBefore)
        << "records read before the failure left no work files";
    EXPECT_EQ(reported, 0u) << "a failed open reports no change";

    // The reasons tell a damaged project from a file that is none, and a
    // good open reports every kind of change.
    Failure why = Failure::none;
    test::writeFile(dir.path() / "cut.zpj", std::vector<uint8_t>(good.begin(), good.end() - 5));
    EXPECT_FALSE(openProject(doc, (dir.path() / "cut.zpj").string(), &why));
    EXPECT_EQ(why, Failure::damaged);
    test::writeFile(dir.path() / "other.zpj", {'G', 'I', 'F', '8', '9', 'a'});
    EXPECT_FALSE(openProject(doc, (dir.path() / "other.zpj").string(), &why));
    EXPECT_EQ(why, Failure::notSupported);
    const uint64_t revision = doc.revision();
    EXPECT_TRUE(openProject(doc, projectPath(), &why));
    EXPECT_EQ(why, Failure::none);
    EXPECT_EQ(doc.revision(), revision + 1);
    EXPECT_EQ(reported, unsigned(kFramesChanged | kSettingsChanged | kGlobalTableChanged | kCurrentChanged));
}

// A hand-made project: no global table (or `tableCount` entries with the
// background index), one record with these fields around a 4 x 3 picture
// with a 4-entry table.
struct Record {
    uint16_t left = 0, top = 0, width = 4, height = 3, delay = 0, colorCount = 4, transparentIndex = 0xFFFF;
    uint8_t disposal = 0, userInput = 0, useLocalColorTable = 1, descriptorFlags = 0;
    bool interlacedPicture = false;
    uint16_t tableCount = 0, background = 0xFFFF;
};

std::vector<uint8_t> handMadeProject(const Record& r)
{
    std::vector<uint8_t> codes;
    LzwCodec().compress(std::vector<uint8_t>(12, 1), 2, codes);
    const auto picture = test::GifBuilder().screen(4, 3)
                             .image(0, 0, 4, 3, uint8_t(0x81 | (r.interlacedPicture ? 0x40 : 0)),
                                    test::testPalette(4), 2, codes)
                             .trailer().bytes;
    std::vector<uint8_t> p = {'Z', 'E', 'L', 'L', '0', '0', '0', '0'};
    p.resize(32, 0);
    auto u16 = [&](uint32_t v) { p.insert(p.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    u16(8), u16(8), p.push_back(r.tableCount ? 1 : 0);
    u16(r.background), u16(r.tableCount);
    p.resize(p.size() + 3 * size_t(r.tableCount), 0x55);
    p.insert(p.end(), {0x80, 0, 0, 0, 0, 1, 0, 0, 0}); // loop, count 0, no comment, one frame
    const uint32_t length = 2 + 22 + uint32_t(picture.size());
    p.insert(p.end(), {uint8_t(length), uint8_t(length >> 8), 0, 0, 'f', 0});
    for (uint16_t v : {r.left, r.top, r.width, r.height, r.delay, r.colorCount, r.transparentIndex})
        u16(v);
    p.insert(p.end(), {r.disposal, r.userInput, r.useLocalColorTable, r.descriptorFlags});
    p.insert(p.end(), {uint8_t(picture.size()), uint8_t(picture.size() >> 8), 0, 0});
    p.insert(p.end(), picture.begin(), picture.end());
    return p;
}

// Every field of a record that reaches an exported GIF is checked against
// its picture and the format before anything is made; a record that
// disagrees makes the whole project damaged and the document stays as it was.
TEST_F(ProjectFile, EveryRecordIsCheckedAgainstItsPicture)
{
    const struct {
        const char* what;
        void (*change)(Record&);
        bool opens;
    } cases[] = {
        {"a record as zell makes it", [](Record&) {}, true},
        {"an interlace flag on rows in plain order", [](Record& r) { r.descriptorFlags = 0x40; }, false},
        {"no interlace flag on interlaced rows", [](Record& r) { r.interlacedPicture = true; }, false},
        {"interlaced rows with their flag", [](Record& r) { r.interlacedPicture = true, r.descriptorFlags = 0x40; }, true},
        {"the sort and reserved bits", [](Record& r) { r.descriptorFlags = 0x38; }, true},
        {"colour count 0", [](Record& r) { r.colorCount = 0; }, false},
        {"colour count 200 with 4 entries", [](Record& r) { r.colorCount = 200; }, false},
        {"colour count 2 needs a 2-entry table", [](Record& r) { r.colorCount = 2; }, false},
        {"colour count 3 needs the 4-entry table", [](Record& r) { r.colorCount = 3; }, true},
        {"transparent index 3 of 4", [](Record& r) { r.transparentIndex = 3; }, true},
        {"transparent index 4 of 4", [](Record& r) { r.transparentIndex = 4; }, false},
        {"transparent index 200 of 4", [](Record& r) { r.transparentIndex = 200; }, false},
        {"disposal 3", [](Record& r) { r.disposal = 3; }, true},
        {"disposal 7, as GIF files may hold it", [](Record& r) { r.disposal = 7; }, true},
        {"disposal 8", [](Record& r) { r.disposal = 8; }, false},
        {"disposal 255", [](Record& r) { r.disposal = 255; }, false},
        {"left 65531 for a 4-wide frame", [](Record& r) { r.left = 65531; }, true},
        {"left 65532 for a 4-wide frame", [](Record& r) { r.left = 65532; }, false},
        {"left 65535 for a 4-wide frame", [](Record& r) { r.left = 65535; }, false},
        {"top 65533 for a 3-tall frame", [](Record& r) { r.top = 65533; }, false},
        {"a width other than the picture's", [](Record& r) { r.width = 5; }, false},
        {"background index 0 of no table", [](Record& r) { r.background = 0; }, true},
        {"background index 300 of no table", [](Record& r) { r.background = 300; }, false},
        {"background index 1 of 2", [](Record& r) { r.tableCount = 2, r.background = 1; }, true},
        {"background index 2 of 2", [](Record& r) { r.tableCount = 2, r.background = 2; }, false},
        {"no background of 2", [](Record& r) { r.tableCount = 2; }, true},
    };
    for (const auto& c : cases) {
        Document doc(work);
        fill(doc);
        const std::string firstFile = doc.frames.frameAt(0)->workFile.path();
        Record r;
        c.change(r);
        EXPECT_EQ(openProjectBytes(doc, handMadeProject(r)), c.opens) << c.what;
        if (c.opens) {
            ASSERT_EQ(doc.frames.count(), 1) << c.what;
            EXPECT_EQ(doc.frames.frameAt(0)->left, r.left) << c.what;
        } else {
            EXPECT_EQ(doc.settings.screenWidth, 320) << c.what;
            ASSERT_EQ(doc.frames.count(), 2) << c.what;
            EXPECT_EQ(doc.frames.frameAt(0)->workFile.path(), firstFile) << c.what;
        }
    }
}

// What a document holds but its picture contradicts is saved as the
// picture has it, so that every project zell writes opens again: an index
// beyond the table marks no pixel, the rows' own order and table count.
TEST_F(ProjectFile, SavedRecordsAgreeWithTheirPictures)
{
    Document doc(work);
    auto f = frameWithFile("odd", picture(7, 8, 16));
    f->width = 7;
    f->height = 8;
    f->colorCount = 0;
    f->transparentIndex = 200;
    f->descriptorFlags = 0x40 | 0x20;
    doc.frames.insert(0, f);
    ASSERT_TRUE(saveProject(doc, projectPath()));
    Document back(work);
    ASSERT_TRUE(openProject(back, projectPath()));
    const Frame& g = *back.frames.frameAt(0);
    EXPECT_EQ(g.colorCount, 16);
    EXPECT_EQ(g.transparentIndex, 0xFFFF);
    EXPECT_EQ(g.descriptorFlags, 0x20) << "the sort bit stays";
    // Interlaced rows get their flag back.
    Document interlaced(work);
    auto i = frameWithFile("interlaced", picture(7, 8, 16, true));
    i->width = 7;
    i->height = 8;
    i->colorCount = 16;
    interlaced.frames.insert(0, i);
    ASSERT_TRUE(saveProject(interlaced, projectPath()));
    ASSERT_TRUE(openProject(back, projectPath()));
    EXPECT_EQ(back.frames.frameAt(0)->descriptorFlags, 0x40);
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
    EXPECT_FALSE(saveProject(doc, (dir.path() / "no" / "such" / "p.zpj").string()));
}

} // namespace
} // namespace zell
