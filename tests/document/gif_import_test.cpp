#include "document/gif_import.h"

#include <gtest/gtest.h>

#include "support/gif_builder.h"
#include "support/test_support.h"

#ifdef ZELL_HAVE_GIFLIB
#include <gif_lib.h>

#include "support/gif_oracle.h"
#endif

namespace zell {
namespace {

using test::GifBuilder;
using test::testPalette;

class GifImport : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};

    int workFileCount() { return test::workFileCount(work.path()); }
};

TEST_F(GifImport, WorkFileWithLocalTableIsByteExact)
{
    const auto local = testPalette(4);
    auto gif = GifBuilder().screen(50, 40, testPalette(2)).image(3, 4, 5, 6, 0x81 | 0x40, local, 2, {0xAA, 0xBB}).trailer();
    SplitResult split;
    ASSERT_TRUE(splitGif(gif.bytes, work, split));
    ASSERT_EQ(split.frames.size(), 1u);
    const Frame& f = *split.frames[0];
    std::vector<uint8_t> expected = {'G', 'I', 'F', '8', '9', 'a', 5, 0, 6, 0, 0x10, 0, 0,
                                     0x21, 0xF9, 0x04, 0, 0, 0, 0, 0,
                                     0x2C, 0, 0, 0, 0, 5, 0, 6, 0, 0xC1};
    expected.insert(expected.end(), local.begin(), local.end());
    expected.insert(expected.end(), {2, 2, 0xAA, 0xBB, 0, 0x3B});
    EXPECT_EQ(test::readFile(f.workFile.path()), expected);
    EXPECT_EQ(f.left, 3u);
    EXPECT_EQ(f.top, 4u);
    EXPECT_EQ(f.width, 5u);
    EXPECT_EQ(f.height, 6u);
    EXPECT_EQ(f.colorCount, 4);
    EXPECT_EQ(f.useLocalColorTable, 1);
    EXPECT_EQ(f.descriptorFlags, 0xC1);
}

TEST_F(GifImport, WorkFileWithGlobalTableCarriesItAsLocalKeepingInterlace)
{
    const auto global = testPalette(8);
    auto gif = GifBuilder().screen(9, 9, global, 200).image(0, 0, 2, 1, 0x40 | 0x20, {}, 3, {1, 2, 3}).trailer();
    SplitResult split;
    ASSERT_TRUE(splitGif(gif.bytes, work, split));
    EXPECT_EQ(split.globalTable.count, 8);
    EXPECT_EQ(split.globalTable.backgroundIndex, 0) << "background beyond the table";
    ASSERT_EQ(split.frames.size(), 1u);
    const Frame& f = *split.frames[0];
    std::vector<uint8_t> expected = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x70, 0, 0,
                                     0x21, 0xF9, 0x04, 0, 0, 0, 0, 0,
                                     0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x80 | 0x40 | 2};
    expected.insert(expected.end(), global.begin(), global.end());
    expected.insert(expected.end(), {3, 3, 1, 2, 3, 0, 0x3B});
    EXPECT_EQ(test::readFile(f.workFile.path()), expected);
    EXPECT_EQ(f.colorCount, 8);
    EXPECT_EQ(f.useLocalColorTable, 0);
    EXPECT_EQ(f.descriptorFlags, 0x60);
}

TEST_F(GifImport, GraphicControlAppliesToNextImageOnly)
{
    auto gif = GifBuilder()
                   .screen(4, 4, testPalette(2), 1)
                   .control(0x04 << 2 | 0x02 | 0x01, 25, 1) // disposal 4 kept, input, transparent 1
                   .image(0, 0, 1, 1, 0, {}, 2, {0})
                   .image(0, 0, 1, 1, 0, {}, 2, {0})
                   .control(0x08, 7, 9) // transparency bit clear, index 9 ignored
                   .image(0, 0, 1, 1, 0, {}, 2, {0})
                   .trailer();
    SplitResult split;
    ASSERT_TRUE(splitGif(gif.bytes, work, split));
    ASSERT_EQ(split.frames.size(), 3u);
    EXPECT_EQ(split.globalTable.backgroundIndex, 1);
    const Frame& a = *split.frames[0];
    EXPECT_EQ(a.disposal, 4);
    EXPECT_EQ(a.userInput, 2);
    EXPECT_EQ(a.delay, 25);
    EXPECT_EQ(a.transparentIndex, 1);
    const Frame& b = *split.frames[1];
    EXPECT_EQ(b.disposal, 0);
    EXPECT_EQ(b.userInput, 0);
    EXPECT_EQ(b.delay, 0);
    EXPECT_EQ(b.transparentIndex, 0xFFFF);
    const Frame& c = *split.frames[2];
    EXPECT_EQ(c.disposal, 2);
    EXPECT_EQ(c.delay, 7);
    EXPECT_EQ(c.transparentIndex, 0xFFFF);
    EXPECT_EQ(workFileCount(), 3);
}

TEST_F(GifImport, CommentsJoinTextUpToEachSubBlocksNul)
{
    std::string withNul("de\0zz", 5);
    auto gif = GifBuilder()
                   .screen(1, 1, testPalette(2))
                   .comment({"abc", withNul})
                   .application("NETSCAPE2.0", {1, 0, 0})
                   .raw({0x99, 2, 7, 7, 0}) // an unknown block and its sub-blocks
                   .image(0, 0, 1, 1, 0, {}, 2, {0})
                   .comment({"!"})
                   .trailer();
    SplitResult split;
    ASSERT_TRUE(splitGif(gif.bytes, work, split));
    EXPECT_EQ(split.comment, "abcde!");
    EXPECT_EQ(split.frames.size(), 1u);
}

TEST_F(GifImport, BrokenStreamsFailAndLeaveNoWorkFile)
{
    auto good = GifBuilder().screen(2, 2, testPalette(4)).image(0, 0, 1, 1, 0, {}, 2, {1, 2, 3, 4, 5})
                    .image(0, 0, 1, 1, 0, {}, 2, {1}).trailer().bytes;
    // Cut cleanly after a complete image (no trailer), the images so far are
    // kept, as viewers show them; a cut anywhere else is damage.
    const size_t afterFirst = 43, afterSecond = good.size() - 1;
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> truncated(good.begin(), good.begin() + long(cut));
        SplitResult split;
        const bool clean = cut == afterFirst || cut == afterSecond;
        EXPECT_EQ(splitGif(truncated, work, split), clean) << cut;
        EXPECT_EQ(split.frames.size(), cut == afterFirst ? 1u : cut == afterSecond ? 2u : 0u) << cut;
        split.frames.clear();
        EXPECT_EQ(workFileCount(), 0) << cut;
    }
    // No colour table at all.
    auto noTable = GifBuilder().screen(2, 2).image(0, 0, 1, 1, 0, {}, 2, {0}).trailer();
    SplitResult split;
    EXPECT_FALSE(splitGif(noTable.bytes, work, split));
    // Wrong version.
    auto version = GifBuilder().screen(2, 2, testPalette(2), 0, "88a").trailer();
    EXPECT_FALSE(splitGif(version.bytes, work, split));
    EXPECT_EQ(workFileCount(), 0);
}

// Frames zell could never show are not made: a code size outside 1-8, an
// image without a size or without data.
TEST_F(GifImport, ImagesWithoutAPictureAreDamage)
{
    struct Case { uint16_t width, height; uint8_t codeSize; std::vector<uint8_t> data; } cases[] = {
        {1, 1, 0, {0x44, 0x01}}, {1, 1, 12, {0x44, 0x01}}, {1, 1, 255, {0x44, 0x01}},
        {0, 1, 2, {0x44, 0x01}}, {1, 0, 2, {0x44, 0x01}}, {1, 1, 2, {}},
        // 3-bit codes 7, end: a first code beyond the table decodes to nothing.
        {2, 2, 2, {0x2F}},
        // 1, 7, end: a code beyond the table before the picture is complete.
        {2, 2, 2, {0x79, 0x01}},
    };
    for (const Case& c : cases) {
        auto gif = GifBuilder().screen(1, 1, testPalette(4)).image(0, 0, 1, 1, 0, {}, 2, {0x44, 0x01})
                       .image(0, 0, c.width, c.height, 0, {}, c.codeSize, c.data).trailer();
        SplitResult split;
        EXPECT_FALSE(splitGif(gif.bytes, work, split)) << int(c.codeSize) << " " << c.width << "x" << c.height;
        EXPECT_EQ(workFileCount(), 0);
    }
}

// Data that merely end early are no damage: viewers show what they give.
TEST_F(GifImport, ImagesWhoseDataEndEarlyAreKept)
{
    auto gif = GifBuilder().screen(2, 2, testPalette(4)).image(0, 0, 2, 2, 0, {}, 2, {0x01}).trailer();
    SplitResult split;
    ASSERT_TRUE(splitGif(gif.bytes, work, split));
    EXPECT_EQ(split.frames.size(), 1u);
}

// A screen of no width or height would show nothing: it takes the extent of
// the first image, and says so.
TEST_F(GifImport, AScreenWithoutSizeTakesTheFirstImagesExtent)
{
    struct Case {
        uint16_t width, height;
        uint16_t expectedWidth, expectedHeight;
    } cases[] = {{0, 0, 4, 6}, {5, 0, 5, 6}, {0, 9, 4, 9}, {5, 9, 5, 9}};
    for (const Case& c : cases) {
        auto gif = GifBuilder().screen(c.width, c.height, testPalette(2)).image(1, 2, 3, 4, 0, {}, 2, {0})
                       .image(0, 0, 50, 50, 0, {}, 2, {0}).trailer();
        SplitResult split;
        ASSERT_TRUE(splitGif(gif.bytes, work, split));
        EXPECT_EQ(split.screenWidth, c.expectedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(split.screenHeight, c.expectedHeight) << c.width << "x" << c.height;
        EXPECT_EQ(split.screenFromImage, c.width == 0 || c.height == 0);
    }
}

// Looping is no part of any picture: a looping block cut off by the end of
// the file ends the stream like a missing trailer, where viewers go on too.
TEST_F(GifImport, ALoopingBlockCutOffAtTheEndKeepsTheImagesBeforeIt)
{
    auto gif = GifBuilder().screen(1, 1, testPalette(2)).image(0, 0, 1, 1, 0, {}, 2, {0})
                   .raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0x3B});
    SplitResult split;
    ASSERT_TRUE(splitGif(gif.bytes, work, split)) << "its trailer read as a sub-block length runs off the end";
    EXPECT_EQ(split.frames.size(), 1u);

    auto noImage = GifBuilder().screen(1, 1, testPalette(2))
                       .raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 9, 1, 0});
    EXPECT_FALSE(splitGif(noImage.bytes, work, split)) << "nothing before it to keep";
}

TEST_F(GifImport, TrailerWithoutImagesGivesNoFrames)
{
    std::vector<uint8_t> prefix(40, 'x');
    auto gif = GifBuilder().raw(prefix).screen(7, 8, testPalette(2)).trailer();
    SplitResult split;
    ASSERT_TRUE(splitGif(gif.bytes, work, split));
    EXPECT_TRUE(split.frames.empty());
    EXPECT_EQ(split.screenWidth, 7);
    EXPECT_EQ(split.screenHeight, 8);
}

std::vector<uint8_t> twoFrameGif(int seed, bool global)
{
    GifBuilder b;
    b.screen(10, 10, global ? testPalette(4, seed) : std::vector<uint8_t>{});
    for (int i = 0; i < 2; ++i)
        b.image(0, 0, 1, 1, global ? 0 : 0x81, global ? std::vector<uint8_t>{} : testPalette(4, seed), 2,
                {uint8_t(seed % 4)});
    return b.trailer().bytes;
}

TEST_F(GifImport, InsertModesNamesAndGlobalTableHandOver)
{
    Document doc(work);
    bool open = true;
    ImportOptions options;
    options.insertMode = kInsertAtHead;
    options.loadGlobalTable = true;
    for (int file = 1; file <= 3; ++file) {
        SplitResult split;
        ASSERT_TRUE(splitGif(twoFrameGif(file, true), work, split));
        insertSplitFrames(doc, split, "f" + std::to_string(file), options, open);
    }
    ASSERT_EQ(doc.frames.count(), 6);
    const char* names[] = {"[f3]の[001]", "[f3]の[002]", "[f2]の[001]", "[f2]の[002]", "[f1]の[001]", "[f1]の[002]"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(doc.frames.frameAt(i)->name, names[i]);
    EXPECT_EQ(doc.currentIndex, 1) << "the last inserted frame";
    EXPECT_FALSE(open);
    EXPECT_TRUE(doc.settings.useGlobalColorTable);
    EXPECT_EQ(doc.settings.globalColorTable.entries[0], testPalette(4, 1)[0]) << "first file's table only";
    EXPECT_EQ(doc.frames.frameAt(4)->useLocalColorTable, 0);
    EXPECT_EQ(doc.frames.frameAt(0)->useLocalColorTable, 1) << "later files keep their own tables";

    options.insertMode = kInsertAtCurrent;
    doc.currentIndex = 2;
    SplitResult split;
    ASSERT_TRUE(splitGif(twoFrameGif(9, false), work, split));
    insertSplitFrames(doc, split, "mid", options, open);
    EXPECT_EQ(doc.frames.frameAt(2)->name, "[mid]の[001]");
    EXPECT_EQ(doc.frames.frameAt(3)->name, "[mid]の[002]");
    EXPECT_EQ(doc.frames.frameAt(4)->name, "[f2]の[001]");
    EXPECT_EQ(doc.currentIndex, 3);
}

TEST_F(GifImport, OnlyGlobalTableWithAndWithoutLoading)
{
    for (bool load : {true, false}) {
        Document doc(work);
        bool open = true;
        ImportOptions options;
        options.loadGlobalTable = load;
        SplitResult split;
        ASSERT_TRUE(splitGif(twoFrameGif(5, true), work, split));
        insertSplitFrames(doc, split, "g", options, open);
        ASSERT_EQ(doc.frames.count(), 2);
        EXPECT_EQ(doc.frames.frameAt(0)->colorCount, 4);
        EXPECT_EQ(doc.frames.frameAt(0)->useLocalColorTable, load ? 0 : 1);
        EXPECT_EQ(doc.settings.useGlobalColorTable, load);
        EXPECT_EQ(open, !load);
    }
}

#ifdef ZELL_HAVE_GIFLIB

int writeMemory(GifFileType* gif, const GifByteType* in, int n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), in, in + n);
    return n;
}

// A three-image source written by giflib: global table, a local one, interlace.
std::vector<uint8_t> giflibSource()
{
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeMemory, &error);
    auto makeMap = [](int n, int seed) {
        ColorMapObject* map = GifMakeMapObject(n, nullptr);
        for (int i = 0; i < n; ++i)
            map->Colors[i] = {uint8_t(i * 9 + seed), uint8_t(i * 5), uint8_t(255 - i)};
        return map;
    };
    ColorMapObject* global = makeMap(16, 1);
    EGifPutScreenDesc(gif, 20, 12, 8, 0, global);
    struct Spec { int w, h; bool interlace; int colors; };
    const Spec specs[] = {{20, 12, false, 0}, {7, 11, true, 0}, {13, 5, false, 64}};
    for (const Spec& s : specs) {
        ColorMapObject* local = s.colors ? makeMap(s.colors, 3) : nullptr;
        EGifPutImageDesc(gif, 1, 0, s.w, s.h, s.interlace, local);
        int colors = s.colors ? s.colors : 16;
        for (int y = 0; y < s.h; ++y) {
            std::vector<GifPixelType> row(size_t(s.w));
            for (int x = 0; x < s.w; ++x)
                row[size_t(x)] = GifPixelType((x * 3 + y * 5 + x * y) % colors);
            EGifPutLine(gif, row.data(), s.w);
        }
        if (local)
            GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    return out;
}

TEST_F(GifImport, GiflibDecodesEachWorkFileToTheSourceImage)
{
    const auto source = giflibSource();
    std::vector<test::GiflibImage> expected;
    ASSERT_TRUE(test::giflibDecode(source, expected));
    ASSERT_EQ(expected.size(), 3u);
    SplitResult split;
    ASSERT_TRUE(splitGif(source, work, split));
    ASSERT_EQ(split.frames.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        std::vector<test::GiflibImage> decoded;
        ASSERT_TRUE(test::giflibDecode(test::readFile(split.frames[i]->workFile.path()), decoded)) << i;
        ASSERT_EQ(decoded.size(), 1u) << i;
        EXPECT_EQ(decoded[0].indices, expected[i].indices) << i;
        EXPECT_EQ(decoded[0].colors, expected[i].colors) << i;
        EXPECT_EQ(decoded[0].interlaced, expected[i].interlaced) << i;
    }
    // Without its trailer the stream gives the same work files, byte for byte.
    SplitResult cut;
    ASSERT_TRUE(splitGif(std::span(source).first(source.size() - 1), work, cut));
    ASSERT_EQ(cut.frames.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(test::readFile(cut.frames[i]->workFile.path()), test::readFile(split.frames[i]->workFile.path())) << i;
}

#endif

} // namespace
} // namespace zell
