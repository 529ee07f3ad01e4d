#include "image/mapped_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/input_change.h"
#include "support/test_support.h"

namespace zell {
namespace {

// More than one read's worth, with bytes that show where each came from.
std::vector<uint8_t> largeContent()
{
    std::vector<uint8_t> bytes(MappedFile::kReadChunk + MappedFile::kReadChunk / 2 + 7);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 31 + i / 4096);
    return bytes;
}

// What another process may do to an input while it is read: each change is
// an error, never a signal, and leaves nothing open.
TEST(MappedFile, AFileChangedWhileReadFailsAsChanged)
{
    test::ScratchDir dir;
    const std::string path = (dir.path() / "input").string();
    const struct {
        const char* what;
        test::InputChange::Kind kind;
        uint64_t offset;
    } cases[] = {
        {"cut between two reads", test::InputChange::shrink, MappedFile::kReadChunk},
        {"cut after its size was taken", test::InputChange::shrink, 0},
        {"grown between two reads", test::InputChange::grow, MappedFile::kReadChunk},
        {"grown after its size was taken", test::InputChange::grow, 0},
    };
    for (const auto& c : cases) {
        test::writeFile(path, largeContent());
        MappedFile file;
        const test::InputChange change(path, c.kind, c.offset);
        EXPECT_FALSE(file.open(path)) << c.what;
        EXPECT_TRUE(change.happened()) << c.what;
        EXPECT_EQ(file.error(), FileReadError::changed) << c.what;
        EXPECT_FALSE(file.isOpen()) << c.what;
        EXPECT_TRUE(file.bytes().empty()) << c.what;
    }
    // The same file read again once it stays put.
    MappedFile file;
    ASSERT_TRUE(file.open(path));
    EXPECT_EQ(file.size(), largeContent().size() + 10);
}

} // namespace
} // namespace zell
