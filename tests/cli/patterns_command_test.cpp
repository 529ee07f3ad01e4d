#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/run_cli.h"
#include "support/scoped_environment.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

const char* const kBuiltinLines[] = {
    "1\tαブレンド\t15\tbuilt-in", "2\tフェード\t15\tbuilt-in", "3\t水平スライド\t15\tbuilt-in",
    "4\t垂直スライド\t15\tbuilt-in", "5\t水平分割\t15\tbuilt-in", "6\t垂直分割\t15\tbuilt-in",
    "7\t円\t15\tbuilt-in", "8\tゆらぎ\t15\tbuilt-in",
};

TEST(PatternsCommand, ListsTheBuiltinsThenThePluginsBesideTheProgram)
{
    test::ScopedEnvironment env("ZELL_PLUGIN_PATH", nullptr);
    const auto result = test::runCli({"patterns"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 11u) << result.out;
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], kBuiltinLines[i]);
    const std::string shipped = fs::weakly_canonical(ZELL_PLUGIN_DIR).string();
    EXPECT_EQ(out[8], "9\t斜めワイプ↘\t30\t" + shipped + "/diagonal_wipe.so");
    EXPECT_EQ(out[9], "10\t斜めワイプ↙\t30\t" + shipped + "/diagonal_wipe.so");
    EXPECT_EQ(out[10], "11\tモザイク\t30\t" + shipped + "/mosaic.so");
}

TEST(PatternsCommand, AddsTheFoldersOfZellPluginPathAfterwards)
{
    test::ScopedEnvironment env("ZELL_PLUGIN_PATH", ZELL_TEST_PLUGIN_DIR);
    const auto result = test::runCli({"patterns"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto out = lines(result.out);
    ASSERT_EQ(out.size(), 21u) << result.out;
    const std::string folder = fs::weakly_canonical(ZELL_TEST_PLUGIN_DIR).string();
    EXPECT_EQ(out[11], "12\ta\t15\t" + folder + "/bad_pictures.so");
    EXPECT_EQ(out[14], "15\td?line?break\t15\t" + folder + "/bad_pictures.so") << "control characters replaced";
    EXPECT_EQ(out[16], "17\tthird\t200\t" + folder + "/counted.so");
    EXPECT_EQ(out[20], "21\tstart throws\t15\t" + folder + "/throwing.so");
}

TEST(PatternsCommand, HelpAndUsage)
{
    const auto help = test::runCli({"patterns", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: zell-cli patterns"), std::string::npos);
    const auto extra = test::runCli({"patterns", "fade"});
    EXPECT_EQ(extra.status, 2);
    EXPECT_NE(extra.err.find("patterns"), std::string::npos);
}

} // namespace
} // namespace zell
