#include "document/gif_info.h"

#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "support/gif_builder.h"
#include "support/run_cli.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::GifBuilder;

std::vector<uint8_t> sample()
{
    return GifBuilder()
        .screen(30, 20, test::testPalette(4), 2)
        .application("NETSCAPE2.0", {1, 5, 0})
        .control(0x0F, 12, 3)
        .image(1, 2, 3, 4, 0x80 | 0x40 | 1, test::testPalette(4), 2, {9})
        .comment({"hello ", "world"})
        .image(0, 0, 30, 20, 0, {}, 2, {9})
        .trailer()
        .bytes;
}

TEST(GifInfo, ReportsStreamAndPerImageFacts)
{
    GifStreamInfo info;
    ASSERT_EQ(readGifInfo(sample(), info), GifInfoError::None);
    EXPECT_EQ(info.version, "89a");
    EXPECT_EQ(info.globalTableSize, 4);
    EXPECT_EQ(info.backgroundIndex, 2);
    ASSERT_TRUE(info.loopCount.has_value());
    EXPECT_EQ(*info.loopCount, 5);
    ASSERT_EQ(info.comments.size(), 1u);
    EXPECT_EQ(info.comments[0], "hello world");
    ASSERT_EQ(info.images.size(), 2u);
    const auto& a = info.images[0];
    EXPECT_EQ(std::vector<int>({a.left, a.top, a.width, a.height}), std::vector<int>({1, 2, 3, 4}));
    EXPECT_EQ(a.localTableSize, 4);
    EXPECT_TRUE(a.interlaced);
    EXPECT_EQ(a.disposal, 3);
    EXPECT_TRUE(a.userInput);
    EXPECT_EQ(a.transparentIndex, 3);
    const auto& b = info.images[1];
    EXPECT_EQ(b.delay, 0) << "the control block applies to the next image only";
    EXPECT_FALSE(b.transparentIndex.has_value());
}

TEST(GifInfo, TruncationKeepsWhatWasSeen)
{
    auto bytes = sample();
    bytes.resize(bytes.size() - 8);
    GifStreamInfo info;
    EXPECT_EQ(readGifInfo(bytes, info), GifInfoError::Truncated);
    EXPECT_EQ(info.images.size(), 1u);
    std::vector<uint8_t> junk(100, 'x');
    EXPECT_EQ(readGifInfo(junk, info), GifInfoError::NoSignature);
}

// One JSON object a line, in the order given: a GIF's stream facts, a still
// image's decoded size, and an error for what cannot be read.
TEST(GifInfo, CliPrintsOneJsonObjectPerFileAndFailsOnUnreadable)
{
    test::ScratchDir dir;
    test::writeFile(dir.path() / "a.gif", sample());
    ByteBuffer picture;
    ASSERT_TRUE(createSolidImage(picture, 5, 3, 0x123456));
    test::writeFile(dir.path() / "a.bmp", makeBmpFile(picture.bytes()));
    auto result = test::runCli({"info", "--json", dir.str() + "a.gif", dir.str() + "a.bmp", dir.str() + "missing.gif"});
    EXPECT_EQ(result.status, 1);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = result.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(result.out.substr(at, end - at));
    ASSERT_EQ(lines.size(), 3u) << result.out;
    EXPECT_NE(lines[0].find("\"loop\": 5"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"comments\": [\"hello world\"]"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"transparentIndex\": 3}"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\"format\": \"bmp\", \"width\": 5, \"height\": 3, \"bitsPerPixel\": 24"),
              std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\"error\":"), std::string::npos) << lines[2];
}

} // namespace
} // namespace zell
