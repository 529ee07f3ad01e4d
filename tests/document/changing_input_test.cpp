// Inputs that another process cuts short while zell reads them: the open
// fails with its reason and the document stays exactly as it was.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "document/file_import.h"
#include "document/project_file.h"
#include "image/mapped_file.h"
#include "support/gif_builder.h"
#include "support/input_change.h"
#include "support/test_document.h"
#include "support/test_support.h"

namespace zell {
namespace {

// A 2x2 GIF whose comment makes it longer than one read.
std::vector<uint8_t> longGif()
{
    std::vector<std::string> blocks(MappedFile::kReadChunk / 255 + 100, std::string(255, 'c'));
    return test::GifBuilder().screen(2, 2, test::testPalette(2)).comment(blocks)
        .image(0, 0, 2, 2, 0, {}, 2, {0x84, 0x8F, 0x00}).trailer().bytes;
}

class ChangingInput : public ::testing::Test {
protected:
    test::ScratchDir dir;
    WorkDirectory work{dir.str()};
    Document document{work};
    const std::string gif = dir.str() + "long.gif";

    void SetUp() override
    {
        test::writeFile(gif, longGif());
        ASSERT_TRUE(import({gif, gif}).empty());
        ASSERT_EQ(document.frames.count(), 2);
    }

    // Why each file that failed did.
    std::vector<Failure> import(const std::vector<std::string>& paths)
    {
        std::vector<std::string> failed;
        std::vector<Failure> reasons;
        ImportOptions options;
        options.loadComment = true;
        importFiles(document, paths, options, failed, &reasons);
        return reasons;
    }

    // What a failed open must leave alone: frames, work files, settings.
    using State = std::tuple<test::DocumentState, GifSettings, int>;
    State state() const { return {test::snapshot(document), document.settings, document.currentIndex}; }
};

// A project or an image cut short, at its start or after the first read,
// fails as changed.
TEST_F(ChangingInput, AnInputCutShortWhileReadLeavesTheDocument)
{
    const std::string project = dir.str() + "p.zpj";
    ASSERT_TRUE(saveProject(document, project));
    ASSERT_GT(test::readFile(project).size(), MappedFile::kReadChunk);
    document.frames.remove(1);
    document.settings.comment = "edited since";
    const State before = state();
    const std::pair<std::string, uint64_t> cuts[] = {{project, MappedFile::kReadChunk}, {gif, 0}, {gif, MappedFile::kReadChunk}};
    for (const auto& [path, offset] : cuts) {
        SCOPED_TRACE(path + " " + std::to_string(offset));
        test::writeFile(gif, longGif());
        const test::InputChange cut(path, test::InputChange::shrink, offset);
        std::vector<Failure> reasons(1, Failure::none);
        if (path == project)
            EXPECT_FALSE(openProject(document, project, &reasons[0]));
        else
            reasons = import({gif});
        EXPECT_EQ(reasons, std::vector<Failure>{Failure::changed});
        EXPECT_TRUE(cut.happened());
        EXPECT_EQ(state(), before);
    }
}

} // namespace
} // namespace zell
