#include "document/frame.h"
#include "document/frame_list.h"
#include "document/work_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

std::string makeFile(const test::ScratchDir& dir, const std::string& name, std::vector<uint8_t> bytes = {1})
{
    fs::path path = dir.path() / name;
    test::writeFile(path, bytes);
    return path.string();
}

// Copies share the work file, which goes with the last of them; resetting
// a frame hands its file over, keeping only the name.
TEST(Frame, CopiesShareTheWorkFileResetHandsItOver)
{
    test::ScratchDir dir;
    const std::string path = makeFile(dir, "w.gif");
    auto copy = std::make_unique<Frame>();
    {
        Frame source{WorkFile::adopt(path), "n", 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}; // every field set
        *copy = source;
        EXPECT_EQ(*copy, source);
        source.reset();
        Frame fresh;
        fresh.name = "n";
        EXPECT_EQ(source, fresh);
        EXPECT_EQ(source.transparentIndex, 0xFFFF);
    }
    EXPECT_TRUE(fs::exists(path)) << "the reset source must not delete the file";
    copy.reset();
    EXPECT_FALSE(fs::exists(path)) << "the last copy deletes it";
}

// Moves and orders name rows of the list; a row outside it, or an order
// that is no permutation, changes nothing.
TEST(FrameList, MovesAndOrdersStayInsideTheList)
{
    FrameList list;
    for (const char* name : {"a", "b", "c"}) {
        auto f = std::make_unique<Frame>();
        f->name = name;
        list.insert(list.count(), f);
    }
    const auto names = [&] {
        std::string s;
        for (int i = 0; i < list.count(); ++i)
            s += list.frameAt(i)->name;
        return s;
    };
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{3, 0}, {0, 3}, {-1, 1}, {1, -1}, {1, 1}})
        list.move(from, to);
    EXPECT_EQ(names(), "abc");
    list.move(0, 2);
    EXPECT_EQ(names(), "bca");
    for (const auto& order : std::vector<std::vector<int>>{{0, 1}, {0, 1, 3}, {0, 0, 1}, {-1, 0, 1}})
        EXPECT_FALSE(list.reorder(order));
    EXPECT_EQ(names(), "bca");
    EXPECT_TRUE(list.reorder(std::vector<int>{2, 0, 1}));
    EXPECT_EQ(names(), "abc");
}

TEST(FrameList, RemovalAndClearDeleteWorkFiles)
{
    test::ScratchDir dir;
    FrameList list;
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        auto frame = std::make_unique<Frame>();
        paths.push_back(makeFile(dir, "f" + std::to_string(i)));
        frame->workFile = WorkFile::adopt(paths.back());
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
    const Frame& copy = *list.frameAt(1);
    Frame expected = *list.frameAt(0);
    EXPECT_NE(copy.workFile.path(), expected.workFile.path());
    EXPECT_EQ(test::readFile(copy.workFile.path()), test::readFile(expected.workFile.path()));
    expected.workFile = copy.workFile;
    expected.name = "frame0のｺﾋﾟｰ";
    EXPECT_EQ(copy, expected);
    EXPECT_EQ(list.frameAt(2)->name, "frame1");
}

TEST(FrameList, FailedDuplicateNeverDeletesTheSourceFile)
{
    test::ScratchDir dir;
    WorkDirectory work(dir.str()), broken((dir.path() / "no" / "such").string());
    const struct {
        std::string file;
        WorkDirectory& directory;
    } cases[] = {{(dir.path() / "missing.gif").string(), work}, {makeFile(dir, "real.gif"), broken}};
    for (const auto& c : cases) {
        FrameList list;
        auto frame = std::make_unique<Frame>();
        frame->workFile = WorkFile::adopt(c.file);
        list.insert(0, frame);
        EXPECT_EQ(list.duplicate(0, c.directory), -1) << c.file;
        EXPECT_EQ(list.count(), 1);
        EXPECT_EQ(list.frameAt(0)->workFile.path(), c.file);
        EXPECT_TRUE(fs::exists(dir.path() / "real.gif"));
    }
}

} // namespace
} // namespace zell
