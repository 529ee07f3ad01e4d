#include "document/frame.h"
#include "document/frame_list.h"
#include "document/work_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

std::string makeFile(const test::ScratchDir& dir, const std::string& name, std::vector<uint8_t> bytes)
{
    fs::path path = dir.path() / name;
    test::writeFile(path, bytes);
    return path.string();
}

TEST(Frame, ResetKeepsNameAndMeansNoTransparency)
{
    Frame frame;
    frame.name = "a";
    frame.transparentIndex = 3;
    frame.delay = 7;
    frame.descriptorFlags = 0x40;
    frame.reset();
    EXPECT_EQ(frame.name, "a");
    EXPECT_EQ(frame.transparentIndex, 0xFFFF);
    EXPECT_EQ(frame.delay, 0);
    EXPECT_EQ(frame.descriptorFlags, 0);
}

TEST(Frame, HandOverByCopyThenResetMovesOwnership)
{
    test::ScratchDir dir;
    std::string path = makeFile(dir, "w.gif", {1, 2, 3});
    auto copy = std::make_unique<Frame>();
    {
        Frame source;
        source.workFile = WorkFile::adopt(path);
        source.name = "n";
        source.delay = 12;
        *copy = source;
        source.reset();
    }
    EXPECT_TRUE(fs::exists(path)) << "the reset source must not delete the file";
    EXPECT_EQ(copy->name, "n");
    EXPECT_EQ(copy->delay, 12);
    copy.reset();
    EXPECT_FALSE(fs::exists(path)) << "the new owner deletes it";
}

TEST(Frame, DeletingAMissingFileIsHarmless)
{
    Frame frame;
    frame.workFile = WorkFile::adopt("/nonexistent/zell/file.gif");
    frame.deleteWorkFile();
    EXPECT_TRUE(frame.workFile.empty());
}

TEST(FrameList, RemovalAndClearDeleteWorkFiles)
{
    test::ScratchDir dir;
    FrameList list;
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        auto frame = std::make_unique<Frame>();
        frame->workFile = WorkFile::adopt(makeFile(dir, "f" + std::to_string(i), {uint8_t(i)}));
        paths.push_back(frame->workFile.path());
        EXPECT_EQ(list.insert(list.count(), frame), i);
        EXPECT_EQ(frame, nullptr);
    }
    list.remove(3);
    list.remove(-1);
    EXPECT_EQ(list.count(), 3) << "an index out of range removes nothing";
    list.remove(1);
    EXPECT_FALSE(fs::exists(paths[1]));
    EXPECT_EQ(list.frameAt(1)->workFile.path(), paths[2]);
    list.clear();
    EXPECT_FALSE(fs::exists(paths[0]));
    EXPECT_FALSE(fs::exists(paths[2]));
}

TEST(FrameList, DuplicateGetsIdenticalFileOfItsOwnRightAfterTheSource)
{
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    FrameList list;
    for (int i = 0; i < 2; ++i) {
        auto frame = std::make_unique<Frame>();
        frame->name = "frame" + std::to_string(i);
        frame->workFile = WorkFile::adopt(makeFile(dir, "src" + std::to_string(i), {7, 8, 9, uint8_t(i)}));
        frame->delay = 25;
        frame->transparentIndex = 4;
        frame->left = 3;
        list.insert(i, frame);
    }
    ASSERT_EQ(list.duplicate(0, work), 1);
    ASSERT_EQ(list.count(), 3);
    const Frame& source = *list.frameAt(0);
    const Frame& copy = *list.frameAt(1);
    EXPECT_EQ(copy.name, "frame0のｺﾋﾟｰ");
    EXPECT_NE(copy.workFile.path(), source.workFile.path());
    EXPECT_EQ(test::readFile(copy.workFile.path()), test::readFile(source.workFile.path()));
    EXPECT_EQ(copy.delay, 25);
    EXPECT_EQ(copy.transparentIndex, 4);
    EXPECT_EQ(copy.left, 3u);
    EXPECT_EQ(list.frameAt(2)->name, "frame1");
}

TEST(FrameList, FailedDuplicateNeverDeletesTheSourceFile)
{
    test::ScratchDir dir;
    FrameList list;
    auto frame = std::make_unique<Frame>();
    frame->name = "keep";
    frame->workFile = WorkFile::adopt((dir.path() / "missing.gif").string()); // copy will fail
    list.insert(0, frame);
    WorkDirectory work(dir.str());
    EXPECT_EQ(list.duplicate(0, work), -1);
    EXPECT_EQ(list.count(), 1);

    // A source whose file exists but no work directory can be made.
    std::string path = makeFile(dir, "real.gif", {1});
    list.frameAt(0)->workFile = WorkFile::adopt(path);
    WorkDirectory broken((dir.path() / "no" / "such").string());
    EXPECT_EQ(list.duplicate(0, broken), -1);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(list.frameAt(0)->workFile.path(), path);
}

} // namespace
} // namespace zell
