#include "document/gif_import.h"

#include <gtest/gtest.h>

#include <tuple>

#include "image/lzw_codec.h"
#include "support/gif_builder.h"
#include "support/gif_oracle.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::GifBuilder;
using test::testPalette;

class GifImport : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};

    int workFileCount() { return test::workFileCount(work.path()); }
    SplitResult split(const GifBuilder& gif)
    {
        SplitResult result;
        EXPECT_TRUE(splitGif(gif.bytes, work, result));
        return result;
    }
};

// A work file is a stream of its own: the frame's size as the screen, a
// control block, the image at 0,0 with the global table carried as its own,
// and the data as they stood. (A frame with its own table is written back
// byte for byte by the export test.)
TEST_F(GifImport, WorkFilesAreByteExactStreamsOfTheirOwn)
{
    const auto global = testPalette(8);
    const SplitResult withGlobal = split(GifBuilder().screen(9, 9, global, 200).image(3, 4, 2, 1, 0x40 | 0x20, {}, 3,
                                                                                       {1, 2, 3}).trailer());
    EXPECT_EQ(withGlobal.globalTable.count, 8);
    EXPECT_EQ(withGlobal.globalTable.backgroundIndex, 0) << "background beyond the table";
    std::vector<uint8_t> expected = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x70, 0, 0, 0x21, 0xF9, 0x04, 0, 0, 0, 0, 0,
                                     0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x80 | 0x40 | 2};
    expected.insert(expected.end(), global.begin(), global.end());
    expected.insert(expected.end(), {3, 3, 1, 2, 3, 0, 0x3B});
    const Frame& g = *withGlobal.frames.at(0);
    EXPECT_EQ(test::readFile(g.workFile.path()), expected);
    EXPECT_EQ(std::make_tuple(g.left, g.top, g.colorCount, g.useLocalColorTable, g.descriptorFlags),
              std::make_tuple(3, 4, 8, 0, 0x60));
}

TEST_F(GifImport, TablesGrowToHoldTheTransparentIndex)
{
    const auto two = testPalette(2);
    std::vector<uint8_t> at, beyond;
    LzwCodec().compress(std::vector<uint8_t>{2}, 2, at);
    LzwCodec().compress(std::vector<uint8_t>{5}, 3, beyond);
    const SplitResult s = split(GifBuilder().screen(4, 4, two)
                                    .control(0x01, 0, 2).image(0, 0, 1, 1, 0x80, two, 2, at)
                                    .control(0x01, 0, 5).image(0, 0, 1, 1, 0, {}, 3, beyond)
                                    .trailer());
    ASSERT_EQ(s.frames.size(), 2u);
    EXPECT_EQ(s.globalTable.count, 8);
    for (const auto& [i, count, codeSize, codes] : {std::tuple(0, 4, 2, at), std::tuple(1, 8, 3, beyond)}) {
        const Frame& f = *s.frames[size_t(i)];
        EXPECT_EQ(std::make_tuple(int(f.colorCount), int(f.transparentIndex)), std::make_tuple(count, i ? 5 : 2));
        std::vector<uint8_t> tail = two;
        tail.resize(3 * size_t(count), 0);
        tail.insert(tail.end(), {uint8_t(codeSize), uint8_t(codes.size())});
        tail.insert(tail.end(), codes.begin(), codes.end());
        tail.insert(tail.end(), {0, 0x3B});
        const std::vector<uint8_t> file = test::readFile(f.workFile.path());
        ASSERT_EQ(file.size(), 31 + tail.size());
        EXPECT_TRUE(std::equal(tail.begin(), tail.end(), file.begin() + 31)) << i;
    }
}

// Frames zell could never show are not made: no table at all, another
// version, a code size outside 1-8, an image without a size or without data.
TEST_F(GifImport, StreamsOrImagesWithoutAPictureAreDamage)
{
    struct Case { uint16_t width, height; uint8_t codeSize; std::vector<uint8_t> data; } cases[] = {
        {1, 1, 0, {0x44, 0x01}}, {1, 1, 12, {0x44, 0x01}}, {0, 1, 2, {0x44, 0x01}}, {1, 1, 2, {}},
        // 3-bit codes 7, end: a first code beyond the table decodes to nothing.
        {2, 2, 2, {0x2F}},
        // 1, 7, end: a code beyond the table before the picture is complete.
        {2, 2, 2, {0x79, 0x01}},
    };
    std::vector<std::vector<uint8_t>> streams = {
        GifBuilder().screen(2, 2).image(0, 0, 1, 1, 0, {}, 2, {0}).trailer().bytes,
        GifBuilder().screen(2, 2, testPalette(2), 0, "88a").trailer().bytes,
    };
    for (const Case& c : cases)
        streams.push_back(GifBuilder().screen(1, 1, testPalette(4)).image(0, 0, 1, 1, 0, {}, 2, {0x44, 0x01})
                              .image(0, 0, c.width, c.height, 0, {}, c.codeSize, c.data).trailer().bytes);
    for (size_t i = 0; i < streams.size(); ++i) {
        SplitResult s;
        EXPECT_FALSE(splitGif(streams[i], work, s)) << i;
        EXPECT_EQ(workFileCount(), 0) << i;
    }
    // Data that merely end early are no damage: viewers show what they give.
    EXPECT_EQ(split(GifBuilder().screen(2, 2, testPalette(4)).image(0, 0, 2, 2, 0, {}, 2, {0x01}).trailer()).frames.size(), 1u);
}

// A frame must end inside 65535 for its project to open again: one placed
// beyond that is moved back as far as it must.
TEST_F(GifImport, FramesPlacedBeyondTheLastPositionAreMovedBack)
{
    const SplitResult far = split(GifBuilder().screen(4, 4, testPalette(2)).image(65535, 65000, 4, 4, 0, {}, 2, {0x4C, 0x01})
                                      .trailer());
    EXPECT_EQ(std::make_pair(int(far.frames.at(0)->left), int(far.frames[0]->top)), std::make_pair(65531, 65000));
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
        SplitResult s;
        ASSERT_TRUE(splitGif(twoFrameGif(file, true), work, s));
        insertSplitFrames(doc, s, "f" + std::to_string(file), options, open);
    }
    ASSERT_EQ(doc.frames.count(), 6);
    EXPECT_EQ(doc.frames.frameAt(1)->name + doc.frames.frameAt(4)->name, "[f3]の[002][f1]の[001]");
    EXPECT_EQ(doc.currentIndex, 1) << "the last inserted frame";
    EXPECT_FALSE(open);
    EXPECT_TRUE(doc.settings.useGlobalColorTable);
    EXPECT_EQ(doc.settings.globalColorTable.entries[0], testPalette(4, 1)[0]) << "first file's table only";
    EXPECT_EQ(doc.frames.frameAt(4)->useLocalColorTable, 0);
    EXPECT_EQ(doc.frames.frameAt(0)->useLocalColorTable, 1) << "later files keep their own tables";

    options.insertMode = kInsertAtCurrent;
    doc.currentIndex = 2;
    SplitResult s;
    ASSERT_TRUE(splitGif(twoFrameGif(9, false), work, s));
    insertSplitFrames(doc, s, "mid", options, open);
    EXPECT_EQ(doc.frames.frameAt(2)->name, "[mid]の[001]");

    // Into an empty document, a global table is taken only when asked; else
    // each frame carries it as its own.
    for (bool load : {true, false}) {
        Document fresh(work);
        open = true;
        options.loadGlobalTable = load;
        ASSERT_TRUE(splitGif(twoFrameGif(5, true), work, s));
        insertSplitFrames(fresh, s, "g", options, open);
        ASSERT_EQ(fresh.frames.count(), 2);
        EXPECT_EQ(fresh.frames.frameAt(0)->colorCount, 4);
        EXPECT_EQ(fresh.frames.frameAt(0)->useLocalColorTable, load ? 0 : 1);
        EXPECT_EQ(fresh.settings.useGlobalColorTable, load);
        EXPECT_EQ(open, !load);
    }
}

#ifdef ZELL_HAVE_GIFLIB

// Data written by giflib, interlaced, over several sub-blocks, come out of
// the work file as giflib wrote them.
TEST_F(GifImport, GiflibDecodesTheWorkFileToTheSourceImage)
{
    std::vector<uint32_t> colors(16);
    std::vector<uint8_t> indices(37 * 23);
    for (uint32_t i = 0; i < 16; ++i)
        colors[i] = i * 0x0F0D0B;
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t((i * 7 + i / 37 * 5 + i * i) % 16);
    const auto source = test::giflibEncode(37, 23, 4, true, indices, colors);
    SplitResult s;
    ASSERT_TRUE(splitGif(source, work, s));
    std::vector<test::GiflibImage> decoded;
    ASSERT_TRUE(test::giflibDecode(test::readFile(s.frames.at(0)->workFile.path()), decoded));
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].indices, indices);
    EXPECT_EQ(decoded[0].colors, colors);
    EXPECT_TRUE(decoded[0].interlaced);
}

#endif

} // namespace
} // namespace zell
