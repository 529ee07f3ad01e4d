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

std::string names(const FrameList& list)
{
    std::string s;
    for (int i = 0; i < list.count(); ++i)
        s += list.frameAt(i)->name + " ";
    return s;
}

// An order that is no permutation of the rows changes nothing; a removed
// frame's file goes with it.
TEST(FrameList, OrdersThatAreNoPermutationChangeNothing)
{
    test::DocumentBuilder b;
    for (int i = 0; i < 3; ++i)
        b.addNumbered();
    FrameList& list = b.document.frames;
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

    // A missing source file fails and adds nothing.
    fs::remove(list.frameAt(3)->workFile.path());
    EXPECT_EQ(list.duplicate(3, b.work), -1);
    EXPECT_EQ(list.count(), 4);
}

} // namespace
} // namespace zell
