#include "document/work_directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

// The directory is made on first need, gives names no other file has, and
// goes with the last of our files.
TEST(WorkDirectory, MadeOnNeedWithUniqueNamesAndCleanedUpByExtension)
{
    test::ScratchDir dir;
    WorkDirectory work(dir.str());
    EXPECT_TRUE(work.path().empty());
    std::set<std::string> names;
    for (int i = 0; i < 200; ++i) {
        std::string name;
        ASSERT_TRUE(work.newWorkFileName(i ? "gif" : "bmp", name));
        EXPECT_TRUE(names.insert(name).second) << name;
        test::writeFile(name, {1});
    }
    const std::string path = work.path();
    test::writeFile(fs::path(path) / "other.bmp", {3});
    work.cleanUp("bmp");
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return fs::exists(n); }), 199);
    EXPECT_TRUE(fs::exists(fs::path(path) / "other.bmp")) << "only our own names";
    fs::remove(fs::path(path) / "other.bmp");
    work.cleanUp("*");
    EXPECT_FALSE(fs::exists(path));
}

TEST(WorkDirectory, TwoProcessesNeverShareADirectory)
{
    test::ScratchDir dir;
    // Occupy many names around the current tick, as another process would.
    uint32_t now = tickCount();
    for (uint32_t n = now; n < now + 64; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "zell%x", n);
        fs::create_directory(dir.path() / name);
        test::writeFile(dir.path() / name / "zll1.gif", {1});
    }
    WorkDirectory mine(dir.str());
    ASSERT_TRUE(mine.ensure());
    EXPECT_FALSE(fs::exists(fs::path(mine.path()) / "zll1.gif")) << "took a foreign directory";
    mine.cleanUp("*");
    int foreign = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        foreign += fs::exists(entry.path() / "zll1.gif");
    EXPECT_EQ(foreign, 64) << "cleanUp touched another process's files";
}

// A directory whose process is gone, as a destroyed WorkDirectory leaves it:
// its lock released, its work files still there.
std::string abandonedDirectory(const std::string& base)
{
    WorkDirectory gone(base);
    std::string file;
    EXPECT_TRUE(gone.newWorkFileName("gif", file));
    test::writeFile(file, {1});
    return fs::path(gone.path()).parent_path().string();
}

TEST(WorkDirectory, StaleDirectoriesGoWhileLiveAndForeignOnesStay)
{
    test::ScratchDir dir, elsewhere;
    test::writeFile(elsewhere.path() / "precious", {7});
    WorkDirectory live(dir.str());
    std::string liveFile;
    ASSERT_TRUE(live.newWorkFileName("gif", liveFile));
    test::writeFile(liveFile, {1});

    const std::string stale = abandonedDirectory(dir.str());
    fs::create_symlink(elsewhere.path() / "precious", fs::path(stale) / "zll1.gif");
    const std::string withForeignFile = abandonedDirectory(dir.str());
    test::writeFile(fs::path(withForeignFile) / "notes.txt", {2});
    const fs::path unlocked = dir.path() / "zell1";
    fs::create_directory(unlocked);
    test::writeFile(unlocked / "zll1.gif", {3});
    // A link named like a work directory, to a stale one outside.
    const fs::path outsideStale = abandonedDirectory(elsewhere.str());
    const fs::path link = dir.path() / "zellabc";
    fs::create_directory_symlink(outsideStale, link);

    // Start-up deletes what the sweep picks: only names ensure() gives,
    // "zell" and up to eight lower-case hexadecimal digits, are ours.
    const struct {
        const char* name;
        bool swept;
    } rows[] = {
        {"zell0", true},  {"zellffffffff", true}, {"zell", false},          {"Zell1", false},
        {"zellABC", false}, {"zell1 ", false},    {"zell1ffffffff", false}, {"zell1.d", false},
    };
    int swept = 1;
    for (const auto& row : rows) {
        fs::rename(abandonedDirectory(elsewhere.str()), dir.path() / row.name);
        swept += row.swept;
    }

    EXPECT_EQ(removeStaleWorkDirectories(dir.str()), swept);
    for (const auto& row : rows)
        EXPECT_NE(fs::exists(dir.path() / row.name), row.swept) << row.name;
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
    EXPECT_EQ(test::readFile(elsewhere.path() / "precious"), std::vector<uint8_t>{7}) << "a link was followed";
    EXPECT_TRUE(fs::exists(liveFile)) << "a live directory was taken";
    EXPECT_EQ(std::distance(fs::directory_iterator(withForeignFile), fs::directory_iterator()), 3)
        << "a directory with someone else's file was touched";
    EXPECT_TRUE(fs::exists(unlocked / "zll1.gif")) << "no lock file: still being made, or not ours";
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::exists(outsideStale / ".lock"));

    live.cleanUp("*");
    EXPECT_FALSE(fs::exists(live.path().empty() ? fs::path(liveFile).parent_path() : fs::path(live.path())))
        << "cleaning up removes the lock file with the directory";
}

} // namespace
} // namespace zell
