#include "document/gif_info.h"

#include <gtest/gtest.h>

#include <optional>

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
    EXPECT_EQ(std::make_tuple(info.version, info.globalTableSize, info.backgroundIndex, info.loopCount, info.comments),
              std::make_tuple("89a", 4, 2, std::optional<uint16_t>(5), std::vector<std::string>{"hello world"}));
    ASSERT_EQ(info.images.size(), 2u);
    const auto& a = info.images[0];
    EXPECT_EQ(std::make_tuple(a.left, a.top, a.width, a.height, a.localTableSize, a.interlaced, a.disposal, a.userInput),
              std::make_tuple(1, 2, 3, 4, 4, true, 3, true));
    EXPECT_EQ(a.transparentIndex, 3);
    EXPECT_EQ(info.images[1].delay, 0) << "the control block applies to the next image only";
    EXPECT_FALSE(info.images[1].transparentIndex.has_value());
    EXPECT_EQ(readGifInfo(std::vector<uint8_t>(100, 'x'), info), GifInfoError::NoSignature);
}

// Comments and names are the file's bytes: on a terminal their control
// characters are shown as \xNN, never obeyed; JSON escapes them its own way.
TEST(GifInfo, CliShowsControlCharactersOfCommentsAndNamesEscaped)
{
    test::ScratchDir dir;
    const std::string hostile = "\x1b]0;owned\x07\x1b[2J\r\xc2\x9b" "1m\x7f ok \xe3\x81\x82";
    const std::string name = dir.str() + "a\x1b[31m.gif";
    const std::string surrogate = "\xed\xa0\x80"; // not UTF-8, whatever it looks like
    const auto gif = GifBuilder().screen(1, 1, test::testPalette(2)).comment({hostile}).comment({surrogate})
                         .image(0, 0, 1, 1, 0, {}, 2, {0}).trailer().bytes;
    test::writeFile(name, gif);
    const auto text = test::runCli({"info", name});
    EXPECT_EQ(text.status, 0) << text.err;
    test::expectContains(text.out, {"comment: \\x1B]0;owned\\x07\\x1B[2J\\x0D\\xC2\\x9B1m\\x7F ok \xe3\x81\x82\n",
                                    "a\\x1B[31m.gif: GIF89a"});
    for (const char c : text.out)
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << "control character " << int(c);
    EXPECT_EQ(text.out.find("\x7f"), std::string::npos);

    const auto json = test::runCli({"info", "--json", name});
    EXPECT_EQ(json.status, 0) << json.err;
    test::expectContains(json.out, {"\"comments\": [\"\\u001b]0;owned\\u0007\\u001b[2J\\r\\u009b1m\x7f ok \xe3\x81\x82\", "
                                    "\"\\u00ed\\u00a0\\u0080\"]"});

    // So is the name of a file that cannot be read, in the error.
    const auto missing = test::runCli({"info", dir.str() + "gone\x1b[2J.gif"});
    EXPECT_EQ(missing.status, 1);
    test::expectContains(missing.err, {"gone\\x1B[2J.gif"});
}

} // namespace
} // namespace zell
