#include "document/frame.h"
#include "document/frame_list.h"
#include "document/work_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

// Copies share the work file, which goes with the last of them; resetting
// a frame hands its file over, keeping only the name.
TEST(Frame, CopiesShareTheWorkFileResetHandsItOver)
{
    test::ScratchDir dir;
    const fs::path path = dir.path() / "w.gif";
    test::writeFile(path, {1});
    auto copy = std::make_unique<Frame>();
    {
        Frame source{WorkFile::adopt(path.string()), "n", 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}; // every field set
        *copy = source;
        EXPECT_EQ(*copy, source);
        source.reset();
        Frame fresh;
        fresh.name = "n";
        EXPECT_EQ(source, fresh);
    }
    EXPECT_TRUE(fs::exists(path)) << "the reset source must not delete the file";
    copy.reset();
    EXPECT_FALSE(fs::exists(path)) << "the last copy deletes it";
}

std::string names(const FrameList& list)
{
    std::string s;
    for (int i = 0; i < list.count(); ++i)
        s += list.frameAt(i)->name + " ";
    return s;
}

// Moves, orders and removals name rows of the list; a row outside it, or
// an order that is no permutation, changes nothing.
TEST(FrameList, RowsOutsideTheListChangeNothing)
{
    test::DocumentBuilder b;
    for (int i = 0; i < 3; ++i)
        b.addNumbered();
    FrameList& list = b.document.frames;
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{3, 0}, {0, 3}, {-1, 1}, {1, -1}, {1, 1}})
        list.move(from, to);
    list.remove(3);
    list.remove(-1);
    EXPECT_EQ(names(list), "f0 f1 f2 ");
    list.move(0, 2);
    EXPECT_EQ(names(list), "f1 f2 f0 ");
    for (const auto& order : std::vector<std::vector<int>>{{0, 1}, {0, 1, 3}, {0, 0, 1}, {-1, 0, 1}})
        EXPECT_FALSE(list.reorder(order));
    EXPECT_EQ(names(list), "f1 f2 f0 ");
    EXPECT_TRUE(list.reorder(std::vector<int>{2, 0, 1}));
    EXPECT_EQ(names(list), "f0 f1 f2 ");
    const std::string removed = list.frameAt(1)->workFile.path();
    list.remove(1);
    EXPECT_FALSE(fs::exists(removed));
    EXPECT_EQ(names(list), "f0 f2 ");
}

TEST(FrameList, DuplicateGetsIdenticalFileOfItsOwnRightAfterTheSource)
{
    test::DocumentBuilder b;
    for (int i = 0; i < 3; ++i)
        b.addNumbered();
    FrameList& list = b.document.frames;
    ASSERT_EQ(list.duplicate(0, b.work), 1);
    EXPECT_EQ(names(list), "f0 f0のｺﾋﾟｰ f1 f2 ");
    const Frame& copy = *list.frameAt(1);
    Frame expected = *list.frameAt(0);
    EXPECT_NE(copy.workFile.path(), expected.workFile.path());
    EXPECT_EQ(test::readFile(copy.workFile), test::readFile(expected.workFile));
    expected.workFile = copy.workFile;
    expected.name = copy.name;
    EXPECT_EQ(copy, expected);

    // A missing source file or work directory fails, leaving the source alone.
    WorkDirectory broken((fs::path(b.work.path()) / "no" / "such").string());
    const std::string last = list.frameAt(3)->workFile.path(), kept = list.frameAt(2)->workFile.path();
    fs::remove(last);
    for (const auto& [row, directory] : {std::pair{3, &b.work}, std::pair{2, &broken}}) {
        EXPECT_EQ(list.duplicate(row, *directory), -1) << row;
        EXPECT_EQ(list.count(), 4);
    }
    EXPECT_EQ(list.frameAt(2)->workFile.path(), kept);
    EXPECT_TRUE(fs::exists(kept));
}

} // namespace
} // namespace zell
