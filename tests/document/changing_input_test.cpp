// Inputs that another process cuts short while zell reads them: the open
// fails with its reason and the document stays exactly as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/file_import.h"
#include "document/project_file.h"
#include "image/mapped_file.h"
#include "support/gif_builder.h"
#include "support/input_change.h"
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
        std::vector<std::string> failed;
        ImportOptions options;
        options.loadComment = true;
        importFiles(document, {gif, gif}, options, failed);
        ASSERT_TRUE(failed.empty());
        ASSERT_EQ(document.frames.count(), 2);
    }

    // What a failed open must leave alone.
    struct State {
        int frames;
        std::string firstFile;
        std::string comment;
        int currentIndex;
        int workFiles;
    };
    State state() const
    {
        return {document.frames.count(), document.frames.frameAt(0)->workFile.path(), document.settings.comment,
                document.currentIndex, test::workFileCount(work.path())};
    }
    static void expectSame(const State& a, const State& b)
    {
        EXPECT_EQ(a.frames, b.frames);
        EXPECT_EQ(a.firstFile, b.firstFile);
        EXPECT_EQ(a.comment, b.comment);
        EXPECT_EQ(a.currentIndex, b.currentIndex);
        EXPECT_EQ(a.workFiles, b.workFiles) << "no work file of the failed open stays";
    }
};

TEST_F(ChangingInput, AProjectCutShortWhileOpeningLeavesTheDocument)
{
    const std::string project = dir.str() + "p.zpj";
    ASSERT_TRUE(saveProject(document, project));
    ASSERT_GT(test::readFile(project).size(), MappedFile::kReadChunk);
    document.frames.remove(1);
    document.settings.comment = "edited since";
    const State before = state();

    const test::InputChange cut(project, test::InputChange::shrink, MappedFile::kReadChunk);
    Failure why = Failure::none;
    EXPECT_FALSE(openProject(document, project, &why));
    EXPECT_TRUE(cut.happened());
    EXPECT_EQ(why, Failure::changed);
    expectSame(before, state());
}

TEST_F(ChangingInput, AnImageCutShortWhileImportingAddsNothing)
{
    const State before = state();
    for (const uint64_t offset : {uint64_t(0), MappedFile::kReadChunk}) {
        test::writeFile(gif, longGif());
        const test::InputChange cut(gif, test::InputChange::shrink, offset);
        std::vector<std::string> failed;
        std::vector<Failure> reasons;
        ImportOptions options;
        options.loadComment = true;
        importFiles(document, {gif}, options, failed, &reasons);
        EXPECT_TRUE(cut.happened());
        ASSERT_EQ(reasons.size(), 1u);
        EXPECT_EQ(reasons[0], Failure::changed) << offset;
        expectSame(before, state());
    }
}

} // namespace
} // namespace zell
