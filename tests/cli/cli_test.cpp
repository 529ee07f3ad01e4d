#include <gtest/gtest.h>

#include "support/run_cli.h"

namespace zell {
namespace {

TEST(Cli, HelpVersionAndUsageErrors)
{
    auto help = test::runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zell-cli"), std::string::npos);

    auto version = test::runCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zell-cli ", 0), 0u);

    auto unknown = test::runCli({"no-such-command"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("no-such-command"), std::string::npos);

    EXPECT_EQ(test::runCli({}).status, 2);
}

} // namespace
} // namespace zell

#include <filesystem>

#include "support/gif_builder.h"
#include "support/scoped_environment.h"
#include "support/test_support.h"

namespace zell {
namespace {

TEST(Cli, LeavesNoWorkDirectoryBehind)
{
    test::ScratchDir dir;
    const test::ScopedEnvironment tmp("TMPDIR", dir.str().c_str());
    auto gif = test::GifBuilder().screen(2, 2, test::testPalette(2)).image(0, 0, 2, 2, 0, {}, 2, {0x84, 0x8F, 0x00}).trailer();
    test::writeFile(dir.path() / "in.gif", gif.bytes);
    const auto out = (dir.path() / "out.gif").string();
    ASSERT_EQ(test::runCli({"build", "-o", out, (dir.path() / "in.gif").string()}).status, 0);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2) << "only the input and the output";
}

} // namespace
} // namespace zell
