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

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

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

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Starts zell-cli stopped right after it made its temporary file, as far as
// a kill can come in the middle of a real export.
pid_t startStoppedAtTemporary(const std::vector<std::string>& args)
{
    const test::ScopedEnvironment stop("ZELL_TEST_STOP_AFTER_TEMPORARY", "1");
    std::vector<std::string> all = {ZELL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, ZELL_CLI_PATH, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return pid;
}

TEST(Cli, AKilledExportLeavesNothingForTheNextRun)
{
    test::ScratchDir dir;
    const auto tmp = dir.path() / "tmp", outDir = dir.path() / "out";
    std::filesystem::create_directories(tmp);
    std::filesystem::create_directories(outDir);
    const test::ScopedEnvironment tmpdir("TMPDIR", tmp.c_str());
    auto gif = test::GifBuilder().screen(2, 2, test::testPalette(2)).image(0, 0, 2, 2, 0, {}, 2, {0x84, 0x8F, 0x00}).trailer();
    const auto in = (dir.path() / "in.gif").string(), project = (dir.path() / "p.zpj").string();
    test::writeFile(in, gif.bytes);
    ASSERT_EQ(test::runCli({"build", "-o", project, in}).status, 0);

    const pid_t pid = startStoppedAtTemporary({"export", project, "-o", (outDir / "a.gif").string()});
    ASSERT_GT(pid, 0);
    const auto hidden = namesIn(outDir), work = namesIn(tmp);
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(hidden.size(), 1u);
    EXPECT_TRUE(hidden[0].starts_with(".a.gif.zll")) << hidden[0];
    ASSERT_EQ(work.size(), 1u);
    EXPECT_TRUE(work[0].starts_with("zell")) << work[0];

    EXPECT_EQ(test::runCli({"info", in}).status, 0);
    EXPECT_TRUE(namesIn(tmp).empty()) << "any start removes the dead process's work directory";
    EXPECT_EQ(namesIn(outDir), hidden) << "the folder of the target was not written yet";
    const auto second = test::runCli({"export", project, "-o", (outDir / "b.gif").string()});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(namesIn(outDir), std::vector<std::string>{"b.gif"}) << "the next write into the folder removes it";
    EXPECT_TRUE(namesIn(tmp).empty());
}

} // namespace
} // namespace zell
