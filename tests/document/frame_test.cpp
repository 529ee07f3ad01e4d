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
    test::writeFile(dir.path() / name, bytes);
    return (dir.path() / name).string();
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

// Frames a, b, c, each with a work file of its own.
class FrameList3 : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};
    FrameList list;
    std::vector<std::string> paths;

    void SetUp() override
    {
        for (int i = 0; i < 3; ++i) {
            const std::string name(1, char('a' + i));
            paths.push_back(makeFile(dir, name, {7, 8, 9, uint8_t(i)}));
            auto frame = std::make_unique<Frame>();
            frame->workFile = WorkFile::adopt(paths.back());
            frame->name = name;
            frame->left = 3, frame->delay = 25, frame->transparentIndex = 4;
            EXPECT_EQ(list.insert(list.count(), frame), i);
            EXPECT_EQ(frame, nullptr);
        }
    }
    std::string names() const
    {
        std::string s;
        for (int i = 0; i < list.count(); ++i)
            s += list.frameAt(i)->name + " ";
        return s;
    }
};

// Moves and orders name rows of the list; a row outside it, or an order
// that is no permutation, changes nothing.
TEST_F(FrameList3, MovesAndOrdersStayInsideTheList)
{
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{{3, 0}, {0, 3}, {-1, 1}, {1, -1}, {1, 1}})
        list.move(from, to);
    EXPECT_EQ(names(), "a b c ");
    list.move(0, 2);
    EXPECT_EQ(names(), "b c a ");
    for (const auto& order : std::vector<std::vector<int>>{{0, 1}, {0, 1, 3}, {0, 0, 1}, {-1, 0, 1}})
        EXPECT_FALSE(list.reorder(order));
    EXPECT_EQ(names(), "b c a ");
    EXPECT_TRUE(list.reorder(std::vector<int>{2, 0, 1}));
    EXPECT_EQ(names(), "a b c ");
}

TEST_F(FrameList3, RemovalAndClearDeleteWorkFiles)
{
    list.remove(3);
    list.remove(-1);
    EXPECT_EQ(list.count(), 3) << "an index out of range removes nothing";
    list.remove(1);
    EXPECT_FALSE(fs::exists(paths[1]));
    EXPECT_EQ(list.frameAt(1)->workFile.path(), paths[2]);
    list.remove(0);
    EXPECT_FALSE(fs::exists(paths[0]));
    EXPECT_EQ(list.frameAt(0)->workFile.path(), paths[2]);
    list.clear();
    EXPECT_FALSE(fs::exists(paths[2]));
}

TEST_F(FrameList3, DuplicateGetsIdenticalFileOfItsOwnRightAfterTheSource)
{
    ASSERT_EQ(list.duplicate(0, work), 1);
    EXPECT_EQ(names(), "a aのｺﾋﾟｰ b c ");
    const Frame& copy = *list.frameAt(1);
    Frame expected = *list.frameAt(0);
    EXPECT_NE(copy.workFile.path(), expected.workFile.path());
    EXPECT_EQ(test::readFile(copy.workFile), test::readFile(expected.workFile));
    expected.workFile = copy.workFile;
    expected.name = copy.name;
    EXPECT_EQ(copy, expected);

    // A missing source file or work directory fails, leaving the source alone.
    WorkDirectory broken((dir.path() / "no" / "such").string());
    fs::remove(paths[2]);
    for (const auto& [row, directory] : {std::pair{3, &work}, std::pair{2, &broken}}) {
        EXPECT_EQ(list.duplicate(row, *directory), -1) << row;
        EXPECT_EQ(list.count(), 4);
        EXPECT_EQ(list.frameAt(row)->workFile.path(), paths[size_t(row - 1)]);
    }
    EXPECT_TRUE(fs::exists(paths[1]));
}

} // namespace
} // namespace zell
