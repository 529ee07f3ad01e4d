#include "playback/transition_plugin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "playback/plugin_discovery.h"
#include "playback/transition_run.h"
#include "playback/transition_test_pictures.h"
#include "support/test_support.h"
#include "zell/transition_plugin.h"

namespace zell {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<TransitionPlugin> pluginOf(const char* library, int32_t index)
{
    for (auto& plugin : discoverTransitionPlugins({ZELL_TEST_PLUGIN_DIR})) {
        if (fs::path(plugin->libraryPath).filename() == library && plugin->index == index)
            return std::move(plugin);
    }
    return nullptr;
}

// Keeps the logging test library loaded, so that the host's loads share its
// call log, and reads that log.
class TransitionPluginTest : public ::testing::Test {
protected:
    void* module = ::dlopen((fs::path(ZELL_TEST_PLUGIN_DIR) / "counted.so").c_str(), RTLD_NOW);
    std::vector<uint8_t> source = test::truecolorPicture(2, 2, false, [](uint32_t, uint32_t) { return 0x0A0B0Cu; });
    std::vector<uint8_t> destination = test::truecolorPicture(1, 1, true, [](uint32_t, uint32_t) { return 0x010203u; });

    void SetUp() override
    {
        ASSERT_TRUE(module && ::dlsym(module, "testPluginLog"));
    }
    void TearDown() override
    {
        if (module)
            ::dlclose(module);
    }
    // The plug-in, with the log of its listing cleared.
    std::unique_ptr<TransitionPlugin> counted(int32_t index)
    {
        auto plugin = pluginOf("counted.so", index);
        reinterpret_cast<void (*)()>(::dlsym(module, "testPluginClearLog"))();
        return plugin;
    }
    std::string log() { return reinterpret_cast<const char* (*)()>(::dlsym(module, "testPluginLog"))(); }
};

// A run calls the exports in order with their arguments; a failed size
// query (transition 2 at step 2 of 8) ends it, and the handle is closed.
TEST_F(TransitionPluginTest, RunCallsTheExportsInOrderWithTheirArguments)
{
    auto plugin = counted(0);
    ASSERT_TRUE(plugin);
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(runTransition(*plugin, source, destination, 2, [&](uint32_t, const ByteBuffer& picture) {
        for (uint32_t x = 0; x < 3; ++x)
            pixels.push_back(test::pixelRgb(picture.data(), x, 0));
        return true;
    }));
    EXPECT_EQ(log(), "init 0;frame 0 0/2 size;frame 0 0/2 fill;frame 0 1/2 size;frame 0 1/2 fill;close 0;");
    // (count, step, index) as red, green, blue; then the first stored pixel of
    // the source (bottom-up: its bottom row) and of the destination.
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0x020000, 0x0A0B0C, 0x010203, 0x020100, 0x0A0B0C, 0x010203}));
    EXPECT_EQ(plugin->handle, 0u);
    EXPECT_NE(plugin->module, nullptr) << "stays loaded until the transition goes";

    plugin = counted(2);
    ASSERT_TRUE(plugin);
    int taken = 0;
    EXPECT_FALSE(runTransition(*plugin, source, destination, 8, [&](uint32_t, const ByteBuffer&) { return ++taken > 0; }));
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(log(), "init 2;frame 2 0/8 size;frame 2 0/8 fill;frame 2 1/8 size;frame 2 1/8 fill;"
                     "frame 2 2/8 size;close 2;");
}

TEST_F(TransitionPluginTest, NewRunClosesTheOpenOneDestructionTheLastSettingsGetParentAndIndex)
{
    auto plugin = counted(2);
    ASSERT_TRUE(plugin);
    ASSERT_TRUE(plugin->begin(source, destination));
    ASSERT_TRUE(plugin->begin(source, destination));
    EXPECT_NE(plugin->handle, 0u);
    std::string message = "stale";
    EXPECT_TRUE(plugin->showSettings(reinterpret_cast<void*>(uintptr_t(0x1234)), message));
    EXPECT_EQ(message, "");
    plugin.reset();
    EXPECT_EQ(log(), "init 2;close 2;init 2;config 4660 2;close 2;");
}

TEST_F(TransitionPluginTest, FailedSettingsBringThePluginsTextCutToTheBuffer)
{
    auto plugin = counted(2);
    ASSERT_TRUE(plugin);
    using Fail = void (*)(int, const char*);
    const auto fail = reinterpret_cast<Fail>(::dlsym(module, "testPluginFailConfig"));
    ASSERT_TRUE(fail);
    std::string message;
    fail(1, nullptr);
    EXPECT_FALSE(plugin->showSettings(nullptr, message));
    EXPECT_EQ(message, "");
    fail(1, "edit ~/.config/x.conf by hand");
    EXPECT_FALSE(plugin->showSettings(nullptr, message));
    EXPECT_EQ(message, "edit ~/.config/x.conf by hand") << "the claimed length counts no NUL";
    const std::string longText(3000, 'x');
    fail(1, longText.c_str());
    EXPECT_FALSE(plugin->showSettings(nullptr, message));
    EXPECT_EQ(message, longText.substr(0, ZPI_CONFIG_MESSAGE_SIZE - 1)) << "a full buffer without its NUL";
    fail(0, nullptr);
    EXPECT_TRUE(plugin->showSettings(nullptr, message));
    EXPECT_EQ(message, "");
    EXPECT_EQ(log(), "config 0 2;message 2;config 0 2;message 2;config 0 2;message 2;config 0 2;");
}

TEST_F(TransitionPluginTest, ExceptionsInsideCallsCountAsFailures)
{
    ByteBuffer out;
    auto run = pluginOf("throwing.so", 0);
    ASSERT_TRUE(run);
    ASSERT_TRUE(run->begin(source, destination));
    EXPECT_TRUE(run->stepPicture(out, 0, 3));
    EXPECT_FALSE(run->stepPicture(out, 1, 3)) << "size query throws";
    EXPECT_FALSE(run->stepPicture(out, 2, 3)) << "fill throws";
    std::string message;
    EXPECT_FALSE(run->showSettings(nullptr, message)) << "settings throw";
    run->end();
    EXPECT_EQ(run->handle, 0u);

    auto close = pluginOf("throwing.so", 3);
    ASSERT_TRUE(close);
    ASSERT_TRUE(close->begin(source, destination));
    close->end();
    EXPECT_EQ(close->handle, 0u) << "cleared after a failing close as after a normal one";

    auto start = pluginOf("throwing.so", 4);
    ASSERT_TRUE(start);
    EXPECT_FALSE(start->begin(source, destination));
    EXPECT_EQ(start->handle, 0u);
}

TEST_F(TransitionPluginTest, MissingExportsMakeRunsFailAndSettingsDoNothing)
{
    auto plugin = pluginOf("info_only.so", 0);
    ASSERT_TRUE(plugin);
    EXPECT_FALSE(plugin->begin(source, destination));
    EXPECT_NE(plugin->module, nullptr);
    ByteBuffer out;
    EXPECT_FALSE(plugin->stepPicture(out, 0, 1));
    std::string message;
    EXPECT_TRUE(plugin->showSettings(nullptr, message)) << "nothing to show is no failure";
    plugin->end();
}

TEST_F(TransitionPluginTest, RefusesPicturesThatAreNotPackedBitmaps)
{
    for (int32_t index = 0; index < 4; ++index) {
        auto plugin = pluginOf("bad_pictures.so", index);
        ASSERT_TRUE(plugin);
        ASSERT_TRUE(plugin->begin(source, destination)) << index;
        ByteBuffer out;
        ASSERT_TRUE(out.assign(destination.data(), uint32_t(destination.size())));
        EXPECT_FALSE(plugin->stepPicture(out, 0, 1)) << index;
        EXPECT_EQ(std::vector<uint8_t>(out.data(), out.data() + out.size()), destination) << index << ": out untouched";
        EXPECT_FALSE(plugin->begin({}, destination)) << "no picture to hand over";
    }
}

} // namespace
} // namespace zell
