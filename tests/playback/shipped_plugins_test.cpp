// The plug-ins that ship with zell, driven through the host.
#include <gtest/gtest.h>

#include "playback/plugin_discovery.h"
#include "playback/transition_test_pictures.h"
#include "support/scoped_environment.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;
using test::differences;
using test::truecolorPicture;

std::unique_ptr<TransitionPlugin> shipped(const std::string& name)
{
    for (auto& plugin : discoverTransitionPlugins({ZELL_PLUGIN_DIR})) {
        if (plugin->name == name)
            return std::move(plugin);
    }
    return nullptr;
}

// The picture of one step, empty on failure.
std::vector<uint8_t> stepOf(TransitionPlugin& plugin, const std::vector<uint8_t>& source,
                            const std::vector<uint8_t>& destination, uint32_t step, uint32_t count)
{
    ByteBuffer out;
    if (!plugin.begin(source, destination) || !plugin.stepPicture(out, step, count))
        return {};
    plugin.end();
    return {out.data(), out.data() + out.size()};
}

std::vector<uint8_t> flat(int32_t width, uint32_t value)
{
    return truecolorPicture(width, 1, false, [value](uint32_t, uint32_t) { return value; });
}

uint32_t S(uint32_t x, uint32_t y) { return test::tagged(0x11, x, y); }
uint32_t D(uint32_t x, uint32_t y) { return test::tagged(0x22, x, y); }

TEST(DiagonalWipePlugin, HalfwayCoversTheTriangleFromItsCorner)
{
    auto down = shipped("斜めワイプ↘");
    ASSERT_TRUE(down);
    EXPECT_FALSE(down->hasSettingsDialog());
    for (bool topDown : {false, true}) {
        auto src = truecolorPicture(4, 4, topDown, S);
        auto dst = truecolorPicture(4, 4, !topDown, D);
        // p = 1/2: pixel centres with x/W + y/H < 1, i.e. x + y < 3.
        EXPECT_EQ(differences(stepOf(*down, src, dst, 0, 1), 4, 4,
                              [](uint32_t x, uint32_t y) { return x + y < 3 ? D(x, y) : S(x, y); }), "");
    }
}

TEST(MosaicPlugin, AveragesBlocksOfTheSettingsSize)
{
    test::ScratchDir dir;
    const fs::path config = dir.path() / "zell" / "mosaic.conf";
    test::ScopedEnvironment file("ZELL_MOSAIC_CONFIG", config.c_str());
    // "true" opens nothing and succeeds.
    test::ScopedEnvironment open("ZELL_MOSAIC_OPEN", "true");
    auto mosaic = shipped("モザイク");
    ASSERT_TRUE(mosaic);
    EXPECT_TRUE(mosaic->hasSettingsDialog());
    auto src = truecolorPicture(4, 2, true, [](uint32_t x, uint32_t y) { return x * 4 + y * 8; });
    auto dst = truecolorPicture(4, 2, false, [](uint32_t x, uint32_t y) { return x * 10 + y * 40; });

    // No file: blocks of up to 16, one block over the whole picture at p = 1/2.
    EXPECT_EQ(differences(stepOf(*mosaic, src, dst, 0, 1), 4, 2, [](uint32_t, uint32_t) { return 35u; }), "");
    std::string message;
    EXPECT_TRUE(mosaic->showSettings(nullptr, message));
    auto written = test::readFile(config);
    EXPECT_NE(std::string(written.begin(), written.end()).find("\nblock = 16\n"), std::string::npos)
        << "the settings dialog writes the defaults when the file is missing";

    const std::string text = "# largest block\nblock = 2\n";
    test::writeFile(config, {text.begin(), text.end()});
    // p = 1/2: the destination in 2 x 2 blocks: (0+10+40+50)/4, (20+30+60+70)/4.
    EXPECT_EQ(differences(stepOf(*mosaic, src, dst, 0, 1), 4, 2, [](uint32_t x, uint32_t) { return x < 2 ? 25u : 45u; }), "");
    // A destination smaller than the block: the source fills the rest of it.
    EXPECT_EQ(differences(stepOf(*mosaic, flat(2, 0), flat(1, 100), 0, 1), 2, 1, [](uint32_t, uint32_t) { return 50u; }), "");
}

TEST(MosaicPlugin, SettingsNoProgramOpensFailAndNameTheFile)
{
    test::ScratchDir dir;
    const fs::path config = dir.path() / "mosaic.conf";
    test::ScopedEnvironment file("ZELL_MOSAIC_CONFIG", config.c_str());
    auto mosaic = shipped("モザイク");
    ASSERT_TRUE(mosaic);
    std::string message;
    for (const char* opener : {"false", "/nonexistent/opener"}) {
        test::ScopedEnvironment open("ZELL_MOSAIC_OPEN", opener);
        EXPECT_FALSE(mosaic->showSettings(nullptr, message)) << opener;
        EXPECT_NE(message.find(config.string()), std::string::npos) << opener << ": " << message;
    }
    EXPECT_TRUE(fs::exists(config)) << "the file is there to be edited by hand";
}

} // namespace
} // namespace zell
