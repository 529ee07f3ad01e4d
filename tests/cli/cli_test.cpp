#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/lzw_codec.h"
#include "support/gif_builder.h"
#include "support/run_cli.h"
#include "support/scoped_environment.h"
#include "support/test_support.h"

namespace zell {
namespace {

// One 2x2 frame, after a comment long enough for several reads when asked.
std::vector<uint8_t> tinyGif(size_t commentBlocks = 0, int frames = 1)
{
    test::GifBuilder gif;
    gif.screen(2, 2, test::testPalette(2)).comment(std::vector<std::string>(commentBlocks, std::string(255, 'c')));
    for (int i = 0; i < frames; ++i)
        gif.image(0, 0, 2, 2, 0, {}, 2, {0x84, 0x8F, 0x00});
    return gif.trailer().bytes;
}

// Starts the program stopped right after it made its temporary file (as far
// as a kill can come in the middle of a real export) with `hookVariable` set;
// -1 when it did not stop there.
pid_t startStopped(const char* program, const std::vector<std::string>& args,
                   const char* hookVariable = "ZELL_TEST_STOP_AFTER_TEMPORARY", const char* hookValue = "1")
{
    const test::ScopedEnvironment stop("ZELL_TEST_STOP_AFTER_TEMPORARY", "1");
    const test::ScopedEnvironment hook(hookVariable, hookValue);
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int status = 0;
    if (::posix_spawn(&pid, program, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    if (::waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status))
        return pid;
    if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    return -1;
}

TEST(Cli, AKilledExportLeavesNothingForTheNextRun)
{
    test::ScratchDir dir;
    const auto tmp = dir.path() / "tmp", outDir = dir.path() / "out";
    std::filesystem::create_directories(tmp);
    std::filesystem::create_directories(outDir);
    const test::ScopedEnvironment tmpdir("TMPDIR", tmp.c_str());
    const auto in = dir.str() + "in.gif", project = dir.str() + "p.zpj";
    test::writeFile(in, tinyGif(0, 2));
    ASSERT_EQ(test::runCli({"build", "-o", project, in}).status, 0);
    EXPECT_TRUE(test::namesIn(tmp).empty()) << "a finished run leaves no work directory";
    EXPECT_EQ(test::namesIn(dir.path()), (std::vector<std::string>{"in.gif", "out", "p.zpj", "tmp"})) << "nor a temporary";

    // Imported frames stay in memory; the frames of a transition are work files.
    const pid_t pid = startStopped(ZELL_HOOKED_CLI_PATH,
                                   {"transition", project, "-o", (outDir / "a.gif").string(), "--after", "1"});
    ASSERT_GT(pid, 0);
    const auto hidden = test::namesIn(outDir), work = test::namesIn(tmp);
    ::kill(pid, SIGKILL);
    ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);
    ASSERT_TRUE(hidden.size() == 1 && work.size() == 1);
    EXPECT_TRUE(hidden[0].starts_with(".a.gif.zll")) << hidden[0];
    EXPECT_TRUE(work[0].starts_with("zell")) << work[0];

    EXPECT_EQ(test::runCli({"info", in}).status, 0);
    EXPECT_TRUE(test::namesIn(tmp).empty()) << "any start removes the dead process's work directory";
    EXPECT_EQ(test::namesIn(outDir), hidden) << "the folder of the target was not written yet";
    EXPECT_EQ(test::runCli({"export", project, "-o", (outDir / "b.gif").string()}).status, 0);
    EXPECT_EQ(test::namesIn(outDir), std::vector<std::string>{"b.gif"}) << "the next write into the folder removes it";
    EXPECT_TRUE(test::namesIn(tmp).empty());
}

// The shipped program reads no test hooks from the environment: a run asked
// to stop or to have its input cut short goes on as usual.
TEST(Cli, TheShippedProgramHasNoTestHooks)
{
    test::ScratchDir dir;
    const std::string in = dir.str() + "in.gif";
    const auto bytes = tinyGif(5000);
    test::writeFile(in, bytes);
    const pid_t stopped = startStopped(ZELL_CLI_PATH, {"optimize", in, "-o", dir.str() + "out.gif"},
                                       "ZELL_TEST_SHRINK_WHILE_READING", in.c_str());
    if (stopped > 0) {
        ::kill(stopped, SIGKILL);
        ::waitpid(stopped, nullptr, 0);
    }
    EXPECT_EQ(stopped, -1) << "stopped by a test hook";
    EXPECT_TRUE(std::filesystem::exists(dir.str() + "out.gif"));
    EXPECT_EQ(test::readFile(in), bytes) << "its input was not cut";
}

// Another program cutting an input short while zell reads it makes the run
// fail with that reason (no signal, no crash), and nothing is written.
TEST(Cli, AnInputCutShortWhileReadIsAnErrorNotACrash)
{
    test::ScratchDir dir;
    const std::string gif = dir.str() + "long.gif", project = dir.str() + "p.zpj", out = dir.str() + "out.gif";
    test::writeFile(gif, tinyGif(5000));
    ASSERT_EQ(test::runCli({"build", "--comments", "-o", project, gif}).status, 0);
    const std::vector<std::vector<std::string>> runs = {
        {"optimize", gif, "-o", out},
        {"export", project, "-o", out, "--optimize"},
        {"info", project},
    };
    for (const auto& args : runs) {
        const std::string input = args[0] == "optimize" ? gif : project;
        const auto whole = test::readFile(input);
        test::CliSetting hooked;
        hooked.program = ZELL_HOOKED_CLI_PATH;
        hooked.tmpdir = dir.str();
        hooked.environment = {{"ZELL_TEST_SHRINK_WHILE_READING", input}};
        const auto result = test::runCli(args, hooked);
        EXPECT_EQ(result.status, 1) << args[0] << ": " << result.err;
        test::expectContains(result.err, {input + ": the file changed while it was read"});
        EXPECT_FALSE(std::filesystem::exists(out)) << args[0];
        EXPECT_EQ(test::readFile(input).size(), 100u) << "the hook cut it";
        test::writeFile(input, whole);
    }
}

// What a full disk does to a run: the system's reason and the folder it
// could not write into, for work files and outputs alike. A file size limit
// makes long writes fail (EFBIG) as a full disk does (ENOSPC), on any machine.
TEST(Cli, FailedWritesNameTheFolderAndTheSystemsReason)
{
    test::ScratchDir dir;
    const std::string gif = dir.str() + "noise.gif", small = dir.str() + "small.gif", out = dir.str() + "out.gif";
    std::vector<uint8_t> noise(200 * 200), codes;
    uint32_t seed = 7;
    for (uint8_t& p : noise)
        p = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
    ASSERT_TRUE(LzwCodec().compress(noise, 8, codes));
    test::writeFile(gif, test::GifBuilder().screen(200, 200, test::testPalette(256)).image(0, 0, 200, 200, 0, {}, 8, codes)
                             .trailer().bytes);
    test::writeFile(small, tinyGif(0, 2));
    test::CliSetting full;
    full.tmpdir = dir.str() + "tmp";
    std::filesystem::create_directories(full.tmpdir);
    full.maxFileBytes = 20000;
    // The input's one frame, reduced, needs a work file larger than the limit.
    auto r = test::runCli({"unify", gif, "-o", out, "--colors", "16"}, full);
    EXPECT_EQ(r.status, 1);
    test::expectContains(r.err, {"noise.gif: the palette unification failed: a work file could not be written in "
                                     + full.tmpdir + "/zell",
                                 "(File too large)"});
    // Small work files, a large output: plain and optimising writers alike.
    full.maxFileBytes = 1000;
    for (const char* optimize : {"", "--optimize"}) {
        std::vector<std::string> args = {"build", "-o", out};
        args.insert(args.end(), 100, small);
        if (*optimize)
            args.push_back(optimize);
        r = test::runCli(args, full);
        EXPECT_EQ(r.status, 1) << optimize;
        test::expectContains(r.err, {out + ": writing into " + dir.path().string() + " failed (File too large)"});
        EXPECT_EQ(test::namesIn(dir.path()), (std::vector<std::string>{"noise.gif", "small.gif", "tmp"}))
            << "no output, no temporary left";
    }
}

// Each failure names the file and what is wrong with it, not a guess.
TEST(Cli, OneLineMessagesSayWhatFailed)
{
    test::ScratchDir dir;
    const std::string good = dir.str() + "good.gif", empty = dir.str() + "empty.gif", cut = dir.str() + "cut.gif";
    const std::string text = dir.str() + "notes.gif", project = dir.str() + "p.zpj", o = dir.str() + "o.gif";
    const std::string noImages = dir.str() + "no-images.gif", bmp = dir.str() + "big.bmp";
    const auto gif = test::GifBuilder().screen(1, 1, test::testPalette(2)).image(0, 0, 1, 1, 0, {}, 2, {0x44, 0x01})
                         .trailer().bytes;
    test::writeFile(good, gif);
    test::writeFile(empty, {});
    test::writeFile(dir.str() + "fake.zpj", gif);
    test::writeFile(noImages, test::GifBuilder().screen(1, 1, test::testPalette(2)).trailer().bytes);
    test::writeFile(cut, std::vector<uint8_t>(gif.begin(), gif.end() - 4));
    test::writeFile(text, {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
    ByteBuffer picture;
    ASSERT_TRUE(createSolidImage(picture, 10, 8, 0x123456));
    test::writeFile(bmp, makeBmpFile(picture.bytes()));
    ASSERT_EQ(test::runCli({"build", "-o", project, good}).status, 0);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    test::writeFile(o, old);
    struct Case {
        std::vector<std::string> args;
        const char* tmpdir;
        std::string message;
    } cases[] = {
        {{"unify", good, "-o", o, "--colors", "2"}, "/no/such/folder", "no work folder could be made in /no/such/folder"},
        {{"build", "-o", o, empty}, nullptr, empty + ": the file is empty"},
        {{"build", "-o", o, cut}, nullptr, cut + ": the file is damaged"},
        {{"build", "-o", o, text}, nullptr, text + ": not a supported image file"},
        {{"build", "-o", o, bmp, "--max-pixels", "79"}, nullptr,
         bmp + ": 10x8 is larger than the limit of 79 pixels, which --max-pixels raises"},
        {{"build", "-o", dir.str(), good}, nullptr, ": is a folder"},
        {{"build", "-o", dir.str() + "gone/x.gif", good}, nullptr, "cannot write into " + dir.str() + "gone ("},
        {{"export", dir.str() + "fake.zpj", "-o", o}, nullptr, "fake.zpj: not a project file"},
        {{"build", "-o", dir.str() + "none.zpj", noImages}, nullptr, "none.zpj: there are no frames to write"},
    };
    for (const Case& c : cases) {
        const auto result = test::runCli(c.args, c.tmpdir ? c.tmpdir : dir.str());
        EXPECT_EQ(result.status, 1) << c.args[0] << " " << c.args.back();
        test::expectContains(result.err, {c.message});
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
        EXPECT_EQ(test::readFile(o), old) << "a failed run leaves the earlier output";
    }
    EXPECT_EQ(test::runCli({"optimize", good, "-o", o}, "/no/such/folder").status, 0)
        << "a run that only reads and writes GIF files keeps its frames in memory";
    const auto info = test::runCli({"info", project});
    EXPECT_EQ(info.status, 0) << info.err;
    test::expectContains(info.out, {"zpj"});
}

// Tiny files claiming huge pictures. A 65535 x 4095 screen is beyond the pixel
// limit: the composing commands refuse it before allocating, naming the size
// and the limit, which --max-pixels moves; copying commands still work.
// Within the limit, a 1x1 frame on an 8192x8192 screen is optimised and
// exported on the part of the screen it reaches, and an 8192x8192 image with
// one pixel of data is damage, found before anything is allocated for it.
TEST(Cli, TinyFilesClaimingHugePicturesCostWhatTheirFramesCost)
{
    test::ScratchDir dir;
    const std::string huge = dir.str() + "huge.gif", image = dir.str() + "image.gif", screen = dir.str() + "screen.gif";
    const std::string single = dir.str() + "single.gif", big = dir.str() + "big.gif", out = dir.str() + "out.gif";
    const std::string shots = dir.str() + "shots";
    const std::vector<uint8_t> onePixel{0x44, 0x01};
    const auto write = [&](const std::string& path, uint16_t sw, uint16_t sh, uint16_t iw, uint16_t ih, bool two) {
        test::GifBuilder gif;
        gif.screen(sw, sh, test::testPalette(2)).control(0, 10, 0).image(two ? 5 : 0, two ? 7 : 0, iw, ih, 0, {}, 2, onePixel);
        if (two)
            gif.image(8000, 8100, 1, 1, 0, {}, 2, onePixel);
        test::writeFile(path, gif.trailer().bytes);
    };
    write(huge, 65535, 4095, 1, 1, false);
    write(image, 1, 1, 65535, 4095, false);
    write(screen, 8192, 8192, 1, 1, true);
    write(single, 8192, 8192, 1, 1, false);
    write(big, 1, 1, 8192, 8192, false);
    const std::string beyondLimit = "65535x4095 is larger than the limit of 67108864 pixels";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"optimize", huge, "-o", out}, 1, beyondLimit},
        {{"frames", huge, "-o", shots, "--composed"}, 1, beyondLimit},
        {{"build", "--optimize", "-o", out, huge}, 1, beyondLimit},
        {{"transition", huge, "-o", out, "--after", "1", "--to-color", "000000", "--steps", "1"}, 1, beyondLimit},
        {{"unify", huge, "-o", out, "--colors", "4"}, 1, beyondLimit},
        {{"frames", image, "-o", shots}, 1, "could not be decoded"},
        {{"optimize", screen, "-o", out}, 0, ""},
        {{"build", "--optimize", "-o", out, screen}, 0, ""},
        {{"optimize", big, "-o", out}, 1, ""},
        {{"frames", big, "-o", shots}, 1, ""},
        {{"unify", big, "-o", out, "--colors", "4"}, 1, ""},
        {{"transition", single, "-o", out, "--after", "1"}, 1, "--to-color"}, // no frame to lead to: told before composing
    };
    for (const auto& c : cases) {
        const auto r = test::runCli(c.args, dir.str());
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args) << r.err;
        test::expectContains(r.err, {c.message});
    }
    EXPECT_EQ(test::runCli({"build", "-o", out, huge}, dir.str()).status, 0) << "plain copies are not limited";
    test::expectContains(test::runCli({"optimize", huge, "-o", out, "--max-pixels", "16"}, dir.str()).err,
                         {"limit of 16 pixels"});
}

} // namespace
} // namespace zell
