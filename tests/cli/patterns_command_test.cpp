#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/run_cli.h"
#include "support/scoped_environment.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

// The listing of `zell-cli patterns`, one entry a line, with ZELL_PLUGIN_PATH as given.
std::vector<std::string> patterns(const char* pluginPath)
{
    test::ScopedEnvironment env("ZELL_PLUGIN_PATH", pluginPath);
    const auto result = test::runCli({"patterns"});
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> out;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(PatternsCommand, ListsTheBuiltinsThenThePluginsBesideTheProgramThenZellPluginPath)
{
    const std::string shipped = fs::weakly_canonical(ZELL_PLUGIN_DIR).string();
    const std::vector<std::string> expected = {
        "1\tαブレンド\t15\tbuilt-in", "2\tフェード\t15\tbuilt-in", "3\t水平スライド\t15\tbuilt-in",
        "4\t垂直スライド\t15\tbuilt-in", "5\t水平分割\t15\tbuilt-in", "6\t垂直分割\t15\tbuilt-in",
        "7\t円\t15\tbuilt-in", "8\tゆらぎ\t15\tbuilt-in",
        "9\t斜めワイプ↘\t30\t" + shipped + "/diagonal_wipe.so", "10\t斜めワイプ↙\t30\t" + shipped + "/diagonal_wipe.so",
        "11\tモザイク\t30\t" + shipped + "/mosaic.so",
    };
    EXPECT_EQ(patterns(nullptr), expected);

    const auto out = patterns(ZELL_TEST_PLUGIN_DIR);
    ASSERT_EQ(out.size(), 21u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
    const std::string folder = fs::weakly_canonical(ZELL_TEST_PLUGIN_DIR).string();
    EXPECT_EQ(out[11], "12\ta\t15\t" + folder + "/bad_pictures.so");
    EXPECT_EQ(out[14], "15\td\\x09line\\x0Abreak\t15\t" + folder + "/bad_pictures.so") << "control characters replaced";
    EXPECT_EQ(out[16], "17\tthird\t200\t" + folder + "/counted.so");
    EXPECT_EQ(out[20], "21\tstart throws\t15\t" + folder + "/throwing.so");
}

} // namespace
} // namespace zell
