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
