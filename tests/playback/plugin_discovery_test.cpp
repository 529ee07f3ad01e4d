#include "playback/plugin_discovery.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

TEST(PluginDiscovery, ListsEachGoodRecordInFileOrderAndSkipsTheRest)
{
    // bad_pictures offers 4; counted 3 of which record 1 fails; info_only 1;
    // no_info lacks the query; throwing 5 of which record 1 throws and record 2
    // has no NUL within its 29 bytes of name; throws_count throws on the count query.
    const std::vector<std::string> expected = {
        "bad_pictures.so#0 'a' 15",  "bad_pictures.so#1 'b' 15",    "bad_pictures.so#2 'c' 15",
        "bad_pictures.so#3 'd\tline\nbreak' 15", "counted.so#0 'first' 4", "counted.so#2 'third' 200 settings",
        "info_only.so#0 'info only' 9 settings", "throwing.so#0 'run throws' 15", "throwing.so#3 'close throws' 15",
        "throwing.so#4 'start throws' 15",
    };
    std::vector<std::string> listed;
    for (const auto& p : discoverTransitionPlugins({ZELL_TEST_PLUGIN_DIR})) {
        listed.push_back(fs::path(p->libraryPath).filename().string() + "#" + std::to_string(p->index) + " '" + p->name
                         + "' " + std::to_string(p->maxSteps) + (p->hasSettings ? " settings" : ""));
        EXPECT_EQ(p->module, nullptr) << "unloaded after the listing";
        EXPECT_EQ(fs::path(p->libraryPath).parent_path(), fs::path(ZELL_TEST_PLUGIN_DIR));
    }
    EXPECT_EQ(listed, expected);
}

TEST(PluginDiscovery, SkipsWhatIsNotALibraryAndMissingFolders)
{
    test::ScratchDir dir;
    test::writeFile(dir.path() / "text.so", {'n', 'o', 't', '\n'});
    fs::create_directory(dir.path() / "folder.so");
    fs::copy_file(fs::path(ZELL_TEST_PLUGIN_DIR) / "info_only.so", dir.path() / "renamed.so.1");
    fs::copy_file(fs::path(ZELL_TEST_PLUGIN_DIR) / "info_only.so", dir.path() / "z.so");
    const auto found = discoverTransitionPlugins({dir.path() / "missing", dir.path()});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->libraryPath, (dir.path() / "z.so").string());
}

} // namespace
} // namespace zell
