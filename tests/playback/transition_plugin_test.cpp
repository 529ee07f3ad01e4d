#include "playback/transition_plugin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "playback/plugin_discovery.h"
#include "playback/transition_run.h"
#include "playback/transition_test_pictures.h"
#include "support/test_support.h"

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
// state, and reads what it logged.
class CallLog {
public:
    CallLog() : module_(::dlopen((fs::path(ZELL_TEST_PLUGIN_DIR) / "counted.so").c_str(), RTLD_NOW))
    {
        if (module_) {
            read_ = reinterpret_cast<const char* (*)()>(::dlsym(module_, "testPluginLog"));
            clear_ = reinterpret_cast<void (*)()>(::dlsym(module_, "testPluginClearLog"));
        }
    }
    ~CallLog()
    {
        if (module_)
            ::dlclose(module_);
    }
    bool ready() const { return read_ && clear_; }
    void clear() { clear_(); }
    std::string text() const { return read_(); }

private:
    void* module_;
    const char* (*read_)() = nullptr;
    void (*clear_)() = nullptr;
};

struct Pictures {
    std::vector<uint8_t> source = test::truecolorPicture(2, 2, false, [](uint32_t, uint32_t) { return 0x0A0B0Cu; });
    std::vector<uint8_t> destination = test::truecolorPicture(1, 1, true, [](uint32_t, uint32_t) { return 0x010203u; });
};

TEST(TransitionPlugin, RunCallsTheExportsInOrderWithTheirArguments)
{
    CallLog log;
    ASSERT_TRUE(log.ready());
    auto plugin = pluginOf("counted.so", 0);
    ASSERT_TRUE(plugin);
    Pictures pictures;
    log.clear();
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(runTransition(*plugin, pictures.source, pictures.destination, 2,
                              [&](uint32_t, const ByteBuffer& picture) {
                                  for (uint32_t x = 0; x < 3; ++x)
                                      pixels.push_back(test::pixelRgb(picture.data(), x, 0));
                                  return true;
                              }));
    EXPECT_EQ(log.text(), "init 0;frame 0 0/2 size;frame 0 0/2 fill;frame 0 1/2 size;frame 0 1/2 fill;close 0;");
    // (count, step, index) as red, green, blue; then the first stored pixel of
    // the source (bottom-up: its bottom row) and of the destination.
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0x020000, 0x0A0B0C, 0x010203, 0x020100, 0x0A0B0C, 0x010203}));
    EXPECT_EQ(plugin->handle, 0u);
    EXPECT_NE(plugin->module, nullptr) << "stays loaded until the transition goes";
}

TEST(TransitionPlugin, FailedSizeQueryAtStepTwoOfEightEndsTheRun)
{
    CallLog log;
    ASSERT_TRUE(log.ready());
    auto plugin = pluginOf("counted.so", 2);
    ASSERT_TRUE(plugin);
    Pictures pictures;
    log.clear();
    int taken = 0;
    EXPECT_FALSE(runTransition(*plugin, pictures.source, pictures.destination, 8,
                               [&](uint32_t, const ByteBuffer&) { return ++taken > 0; }));
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(log.text(), "init 2;frame 2 0/8 size;frame 2 0/8 fill;frame 2 1/8 size;frame 2 1/8 fill;"
                          "frame 2 2/8 size;close 2;");
}

TEST(TransitionPlugin, NewRunClosesTheOpenOneAndDestructionClosesTheLast)
{
    CallLog log;
    ASSERT_TRUE(log.ready());
    auto plugin = pluginOf("counted.so", 2);
    ASSERT_TRUE(plugin);
    Pictures pictures;
    log.clear();
    ASSERT_TRUE(plugin->begin(pictures.source, pictures.destination));
    ASSERT_TRUE(plugin->begin(pictures.source, pictures.destination));
    EXPECT_NE(plugin->handle, 0u);
    plugin.reset();
    EXPECT_EQ(log.text(), "init 2;close 2;init 2;close 2;");
}

TEST(TransitionPlugin, SettingsGetTheParentAndTheIndex)
{
    CallLog log;
    ASSERT_TRUE(log.ready());
    auto plugin = pluginOf("counted.so", 2);
    ASSERT_TRUE(plugin);
    log.clear();
    plugin->showSettings(reinterpret_cast<void*>(uintptr_t(0x1234)));
    EXPECT_EQ(log.text(), "config 4660 2;");
}

TEST(TransitionPlugin, ExceptionsInsideCallsCountAsFailures)
{
    Pictures pictures;
    ByteBuffer out;
    auto run = pluginOf("throwing.so", 0);
    ASSERT_TRUE(run);
    ASSERT_TRUE(run->begin(pictures.source, pictures.destination));
    EXPECT_TRUE(run->stepPicture(out, 0, 3));
    EXPECT_FALSE(run->stepPicture(out, 1, 3)) << "size query throws";
    EXPECT_FALSE(run->stepPicture(out, 2, 3)) << "fill throws";
    run->showSettings(nullptr);
    run->end();
    EXPECT_EQ(run->handle, 0u);

    auto close = pluginOf("throwing.so", 3);
    ASSERT_TRUE(close);
    ASSERT_TRUE(close->begin(pictures.source, pictures.destination));
    close->end();
    EXPECT_EQ(close->handle, 0u) << "cleared after a failing close as after a normal one";

    auto start = pluginOf("throwing.so", 4);
    ASSERT_TRUE(start);
    EXPECT_FALSE(start->begin(pictures.source, pictures.destination));
    EXPECT_EQ(start->handle, 0u);
}

TEST(TransitionPlugin, MissingExportsMakeRunsFailAndSettingsDoNothing)
{
    Pictures pictures;
    auto plugin = pluginOf("info_only.so", 0);
    ASSERT_TRUE(plugin);
    EXPECT_FALSE(plugin->begin(pictures.source, pictures.destination));
    EXPECT_NE(plugin->module, nullptr);
    ByteBuffer out;
    EXPECT_FALSE(plugin->stepPicture(out, 0, 1));
    plugin->showSettings(nullptr);
    plugin->end();

    TransitionPlugin missing;
    missing.libraryPath = (fs::path(ZELL_TEST_PLUGIN_DIR) / "gone.so").string();
    EXPECT_FALSE(missing.loadLibrary());
    EXPECT_FALSE(missing.begin(pictures.source, pictures.destination));
}

TEST(TransitionPlugin, RefusesPicturesThatAreNotPackedBitmaps)
{
    Pictures pictures;
    for (int32_t index = 0; index < 4; ++index) {
        auto plugin = pluginOf("bad_pictures.so", index);
        ASSERT_TRUE(plugin);
        ASSERT_TRUE(plugin->begin(pictures.source, pictures.destination)) << index;
        ByteBuffer out;
        ASSERT_TRUE(out.assign(pictures.destination.data(), uint32_t(pictures.destination.size())));
        EXPECT_FALSE(plugin->stepPicture(out, 0, 1)) << index;
        EXPECT_EQ(std::vector<uint8_t>(out.data(), out.data() + out.size()), pictures.destination)
            << index << ": out untouched";
        EXPECT_FALSE(plugin->begin({}, pictures.destination)) << "no picture to hand over";
    }
}

} // namespace
} // namespace zell
