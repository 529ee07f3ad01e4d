#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "image/gif_blocks.h"
#include "operations/frame_order.h"
#include "operations/frame_table.h"
#include "support/test_document.h"

namespace zell {
namespace {

using test::DocumentBuilder;

struct OrderCase {
    const char* name;
    int count;
    std::vector<int> rows;
    bool reverse;
    int delta;
    std::vector<int> expected;
    int applied;
};

TEST(FrameOrder, SelectedFramesMoveOrTurnAroundAndTheOthersKeepTheirOrder)
{
    const std::vector<OrderCase> cases = {
        {"down, the last already last", 3, {0, 2}, false, 1, {0, 1, 2}, 0},
        {"down by one", 5, {1, 3}, false, 1, {0, 2, 1, 4, 3}, 1},
        {"to the top", 6, {2, 4}, false, INT_MIN, {2, 0, 4, 1, 3, 5}, -2},
        {"to the end", 6, {2, 4}, false, INT_MAX, {0, 1, 3, 2, 5, 4}, 1},
        {"reverse among others", 6, {1, 2, 4}, true, 0, {0, 4, 2, 3, 1, 5}, 0},
        {"reverse all", 4, {0, 1, 2, 3}, true, 0, {3, 2, 1, 0}, 0},
        {"rows out of order", 4, {2, 1}, true, 0, {0, 1, 2, 3}, 0},
        {"row beyond the list", 3, {1, 3}, false, -1, {0, 1, 2}, 0},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        int applied = 99;
        const std::vector<int> order =
            c.reverse ? reversedOrder(c.count, c.rows) : movedOrder(c.count, c.rows, c.delta, &applied);
        EXPECT_EQ(order, c.expected);
        if (!c.reverse) {
            EXPECT_EQ(applied, c.applied);
        }
    }
}

// A reduced table is local and plain and keeps an entry for the transparent
// pixels; a colour edit then writes a new file with the same pixels. An entry
// or a frame that is not there, or a work file that cannot be read, changes
// nothing.
TEST(FrameTable, EditsWriteNewFilesWithThePixelsOrChangeNothing)
{
    DocumentBuilder a;
    a.screen(8, 8);
    std::vector<uint8_t> indices(64);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i % 40);
    a.globalTable(test::distinctColors(64));
    Frame& frame = a.addGlobal(8, 8, indices);
    frame.transparentIndex = 5;
    frame.descriptorFlags = kGifInterlaceFlag | 0x20;
    ASSERT_TRUE(resizeFrameTable(a.document, 0, 2));
    EXPECT_EQ(frame.colorCount, 4);
    EXPECT_EQ(frame.useLocalColorTable, 1);
    EXPECT_EQ(frame.descriptorFlags, 0x20); // the new rows are in plain order
    EXPECT_EQ(test::workFileTable(frame).size(), 4u);
    ASSERT_LT(frame.transparentIndex, 4);
    EXPECT_EQ(test::workFileIndices(frame)[5], frame.transparentIndex);

    const std::string reduced = frame.workFile.path();
    const std::vector<uint8_t> pixels = test::workFileIndices(frame);
    const uint32_t kept = test::workFileTable(frame).at(2);
    ASSERT_TRUE(setFrameTableColor(a.document, 0, 1, 0x123456));
    EXPECT_NE(frame.workFile.path(), reduced);
    EXPECT_EQ(test::workFileTable(frame).at(1), 0x123456u);
    EXPECT_EQ(test::workFileTable(frame).at(2), kept);
    EXPECT_EQ(test::workFileIndices(frame), pixels);
    const std::string edited = frame.workFile.path();
    EXPECT_FALSE(setFrameTableColor(a.document, 0, 4, 0));
    EXPECT_FALSE(setFrameTableColor(a.document, 1, 0, 0));
    std::ofstream(frame.workFile.path(), std::ios::trunc) << "no GIF";
    EXPECT_FALSE(resizeFrameTable(a.document, 0, 1));
    EXPECT_EQ(frame.workFile.path(), edited);
    EXPECT_EQ(frame.colorCount, 4);
}

} // namespace
} // namespace zell
