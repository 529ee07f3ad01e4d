#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "document/gif_info.h"
#include "support/run_cli.h"
#include "support/test_support.h"

namespace zell {
namespace {

// A 2 s clip at 30 frames a second, 64x48; empty when ffmpeg is missing.
std::string makeClip(const test::ScratchDir& dir)
{
    const std::string path = (dir.path() / "clip.mp4").string();
    const std::string command = "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=64x48:rate=30:duration=2 "
                                "-c:v libx264 -pix_fmt yuv420p '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 ? path : std::string();
}

GifStreamInfo infoOf(const std::string& path)
{
    GifStreamInfo info;
    EXPECT_EQ(readGifInfo(test::readFile(path), info), GifInfoError::None);
    return info;
}

TEST(ClipOptions, BuildTakesRateStretchSizeAndLimit)
{
    test::ScratchDir dir;
    const std::string clip = makeClip(dir);
    if (clip.empty())
        GTEST_SKIP() << "ffmpeg could not make a test clip";
    const std::string out = dir.str() + "out.gif";
    test::CliResult r = test::runCli({"build", "-o", out, clip, "--fps", "10", "--start", "0.5", "--end", "1.5",
                                      "--width", "32", "--dither=ordered", "--delay", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    GifStreamInfo info = infoOf(out);
    EXPECT_EQ(info.screenWidth, 32);
    EXPECT_EQ(info.screenHeight, 24);
    ASSERT_EQ(info.images.size(), 10u);
    EXPECT_EQ(info.images[3].delay, 7); // the still options apply after the import
    EXPECT_GT(info.globalTableSize, 0);

    r = test::runCli({"build", "-o", out, clip, "--max-frames", "10"});
    EXPECT_EQ(r.status, 1);
    test::expectContains(r.err, {"clip.mp4", "--max-frames"});
    r = test::runCli({"build", "-o", out, clip, "--max-frames", "50", "--palette", "per-frame"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(infoOf(out).images.size(), 50u);

    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--fps", "0"}, {"--start", "-1"}, {"--end", "x"}, {"--start", "2", "--end", "1"},
             {"--width", "0"}, {"--palette", "mixed"}, {"--max-frames"}}) {
        std::vector<std::string> args = {"build", "-o", out, clip};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(test::runCli(args).status, 2) << bad.front();
    }
}

TEST(ClipOptions, InfoDescribesAClip)
{
    test::ScratchDir dir;
    const std::string clip = makeClip(dir);
    if (clip.empty())
        GTEST_SKIP() << "ffmpeg could not make a test clip";
    const test::CliResult r = test::runCli({"info", clip, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    test::expectContains(r.out, {"\"format\": \"clip\"", "\"codec\": \"h264\"", "\"width\": 64", "\"height\": 48",
                                 "\"duration\": 2,", "\"frameRate\": 30,", "\"frames\": 60}"});
    std::vector<uint8_t> bytes = test::readFile(clip);
    bytes.resize(100);
    test::writeFile(dir.path() / "cut.mp4", bytes);
    const test::CliResult cut = test::runCli({"info", dir.str() + "cut.mp4", "--json"});
    EXPECT_EQ(cut.status, 1);
    test::expectContains(cut.out, {"\"error\": \"the file is damaged\""});
}

// The clip decoders are a module the program loads beside it or from
// ../lib/zell: without it clips are refused like any unknown format, and
// everything else still works.
TEST(ClipOptions, WithoutTheDecoderModuleClipsAreRefusedAndGifsStillRead)
{
    test::ScratchDir dir;
    const std::string webp = ZELL_SOURCE_DIR "/tests/data/clips/three_frames.webp";
    const std::string gif = dir.str() + "three.gif";
    ASSERT_EQ(test::runCli({"build", "-o", gif, webp}).status, 0);
    const std::filesystem::path alone = dir.path() / "zell-cli";
    std::filesystem::copy_file(ZELL_CLI_PATH, alone);
    test::CliSetting setting;
    setting.program = alone.string();
    const test::CliResult r = test::runCli({"info", webp, "--json"}, setting);
    EXPECT_EQ(r.status, 1);
    test::expectContains(r.out, {"\"error\": \"not a supported image file\""});
    const std::string out = dir.str() + "out.gif";
    EXPECT_EQ(test::runCli({"build", "-o", out, webp}, setting).status, 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(test::runCli({"optimize", gif, "-o", out}, setting).status, 0);
}

} // namespace
} // namespace zell
