#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "image/bmp_file.h"
#include "support/corpus.h"
#include "support/gif_builder.h"
#include "support/gif_screens.h"
#include "support/run_cli.h"
#include "support/test_support.h"

namespace zell {
namespace {

namespace fs = std::filesystem;
using test::Screens;

#ifdef ZELL_HAVE_GIFLIB

// Every corpus GIF that giflib decodes, rebuilt by zell-cli, renders the same.
TEST(BuildCommand, CorpusGifsRenderTheSameAfterARebuild)
{
    const auto rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "corpus not present";
    test::ScratchDir dir;
    const std::string out = (dir.path() / "out.gif").string();
    int compared = 0, refused = 0;
    std::vector<std::string> mismatches;
    double worstPsnr = 99;
    for (const auto& row : rows) {
        if (!test::hasVerdict(row, "giflib-slurp=ok"))
            continue;
        const std::string in = (test::corpusDir() / row.at("path")).string();
        Screens original;
        if (!test::giflibScreens(test::readFile(in), original) || original.empty())
            continue;
        struct Variant { std::vector<std::string> flags; bool exact; bool dedup; };
        // Transparency alone is composed on every corpus file through the
        // engine's export already (the compositor tests).
        const Variant variants[] = {
            {{}, true, false},
            {{"--optimize"}, true, false},
            {{"--optimize=drop-unchanged,transparency"}, true, true},
            {{"--optimize=auto-transparency"}, false, false},
            {{"--optimize=keep-timing"}, true, true},
        };
        for (const auto& v : variants) {
            std::vector<std::string> args = {"build", "--global-table", "-o", out, in};
            args.insert(args.end(), v.flags.begin(), v.flags.end());
            const auto result = test::runCli(args);
            if (result.status != 0) {
                ++refused; // zell's own import rules (e.g. a missing trailer)
                break;
            }
            Screens rebuilt;
            if (!test::giflibScreens(test::readFile(out), rebuilt)) {
                mismatches.push_back(row.at("path") + " " + (v.flags.empty() ? "plain" : v.flags[0]) + ": giflib refuses the output");
                continue;
            }
            ++compared;
            if (v.exact) {
                const bool same = v.dedup ? test::withoutRepeats(rebuilt) == test::withoutRepeats(original) : rebuilt == original;
                if (!same)
                    mismatches.push_back(row.at("path") + " " + (v.flags.empty() ? "plain" : v.flags[0]));
            } else {
                const double psnr = test::screensPsnr(original, rebuilt);
                worstPsnr = std::min(worstPsnr, psnr);
                if (rebuilt.size() != original.size() || psnr < 20)
                    mismatches.push_back(row.at("path") + " auto-transparency PSNR " + std::to_string(psnr));
            }
        }
    }
    std::printf("rebuilt and compared %d outputs; %d inputs refused by zell's import; worst auto-transparency PSNR %.1f dB\n",
                compared, refused, worstPsnr);
    EXPECT_GT(compared, 0);
    for (const auto& m : mismatches)
        ADD_FAILURE() << m;
}

#endif

// ImageMagick's convert: other programs answer to that name (one that only
// prints pictures would make every comparison fail or pass blind), so each
// candidate must say it is ImageMagick. Empty when none does.
const std::string& imageMagick()
{
    static const std::string found = [] {
        for (const char* candidate : {"convert", "/usr/bin/convert", "/usr/bin/convert-im6.q16"}) {
            const std::string command = std::string(candidate) + " -version 2>/dev/null";
            std::FILE* pipe = ::popen(command.c_str(), "r");
            if (!pipe)
                continue;
            std::string text;
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
                text.append(buffer, n);
            if (::pclose(pipe) == 0 && text.find("ImageMagick") != std::string::npos)
                return std::string(candidate);
        }
        return std::string();
    }();
    return found;
}

// What ImageMagick shows of a GIF: its coalesced frames as RGBA bytes; empty
// when it cannot be run.
std::string coalesced(const std::string& path)
{
    const std::string command = imageMagick() + " '" + path + "' -coalesce -depth 8 rgba:- 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string bytes;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        bytes.append(buffer, n);
    return ::pclose(pipe) == 0 ? bytes : std::string();
}

// The lossless optimiser (the default of --optimize) changes nothing that
// ImageMagick shows either, and never makes a file larger than the plain one.
TEST(BuildCommand, LosslessOptimisingChangesNoScreenAndNeverGrowsAFile)
{
    const auto rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "corpus not present";
    if (imageMagick().empty())
        GTEST_SKIP() << "ImageMagick's convert is not installed (another program answers to 'convert')";
    test::ScratchDir dir;
    const std::string plain = (dir.path() / "plain.gif").string(), lossless = (dir.path() / "lossless.gif").string();
    int compared = 0;
    for (const auto& row : rows) {
        if (!test::hasVerdict(row, "giflib-slurp=ok"))
            continue;
        const std::string in = (test::corpusDir() / row.at("path")).string();
        if (test::runCli({"build", "--global-table", "-o", plain, in}).status != 0)
            continue;
        ASSERT_EQ(test::runCli({"build", "--global-table", "--optimize", "-o", lossless, in}).status, 0) << in;
        EXPECT_LE(fs::file_size(lossless), fs::file_size(plain)) << in;
        const std::string expected = coalesced(plain);
        if (expected.empty())
            continue; // ImageMagick refuses the file
        EXPECT_TRUE(coalesced(lossless) == expected) << in;
        ++compared;
    }
    std::printf("[ magick   ] %d lossless outputs coalesce to the same frames\n", compared);
    EXPECT_GT(compared, 0);
}

TEST(BuildCommand, ProjectThenExportGivesTheSameGif)
{
    test::ScratchDir dir;
    const auto p = test::testPalette(4);
    // A GIF with LZW data giflib would accept is not needed: split copies bytes.
    auto gif = test::GifBuilder()
                   .screen(4, 3, p, 0)
                   .application("NETSCAPE2.0", {1, 3, 0})
                   .control(0x04, 20, 0)
                   .image(0, 0, 4, 3, 0, {}, 2, {0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x00})
                   .comment({"hi"})
                   .trailer();
    const auto in = dir.path() / "in.gif";
    test::writeFile(in, gif.bytes);
    const std::string direct = (dir.path() / "direct.gif").string();
    const std::string project = (dir.path() / "p.zpj").string();
    const std::string exported = (dir.path() / "exported.gif").string();
    ASSERT_EQ(test::runCli({"build", "--global-table", "--comments", "-o", direct, in.string()}).status, 0);
    ASSERT_EQ(test::runCli({"build", "--global-table", "--comments", "-o", project, in.string()}).status, 0);
    auto result = test::runCli({"export", project, "-o", exported});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(test::readFile(direct), test::readFile(exported));
    // A project as the first input comes back byte for byte, and images join it.
    const std::string again = (dir.path() / "again.zpj").string();
    result = test::runCli({"build", "-o", again, project});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(test::readFile(again), test::readFile(project));
    const std::string grown = (dir.path() / "grown.gif").string();
    ASSERT_EQ(test::runCli({"build", "-o", grown, project, in.string()}).status, 0);
    result = test::runCli({"info", "--json", grown});
    EXPECT_NE(result.out.find("}, {\"left\""), std::string::npos) << "two images: " << result.out;
    EXPECT_NE(result.out.find("\"loop\": 3"), std::string::npos) << "the project's looping: " << result.out;
    result = test::runCli({"build", "-o", grown, in.string(), project});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("a project can only be the first input"), std::string::npos) << result.err;

    result = test::runCli({"info", "--json", direct});
    EXPECT_NE(result.out.find("\"loop\": 3"), std::string::npos) << "looping kept: " << result.out;
    EXPECT_NE(result.out.find("\"comments\": [\"hi\"]"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"delay\": 20"), std::string::npos) << result.out;
}

TEST(BuildCommand, OptionsAndErrors)
{
    test::ScratchDir dir;
    auto gif = test::GifBuilder().screen(2, 2, test::testPalette(2)).image(0, 0, 2, 2, 0, {}, 2, {0x84, 0x8F, 0x00}).trailer();
    const auto in = dir.path() / "in.gif";
    test::writeFile(in, gif.bytes);
    const std::string out = (dir.path() / "out.gif").string();
    auto r = test::runCli({"build", "-o", out, "--delay", "7", "--disposal", "2", "--loop", "off", "--screen", "9x8",
                           "--comment", "café→🎞", in.string(), in.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::runCli({"info", "--json", out});
    EXPECT_NE(r.out.find("\"screen\": {\"width\": 9, \"height\": 8}"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"loop\": null"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"comments\": [\"café→🎞\"]"), std::string::npos) << "UTF-8 printed as it is: " << r.out;
    EXPECT_NE(r.out.find("\"globalTable\": null"), std::string::npos) << "no --global-table: own tables";
    EXPECT_NE(r.out.find("\"localTable\": 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"delay\": 7, \"disposal\": 2"), std::string::npos) << r.out;

    // A 32-bit BMP of an opaque red pixel and a fully transparent one.
    test::DibBuilder bmp;
    bmp.header = makeDibHeader(2, 1, 32);
    bmp.rows = {{0, 0, 255, 255, 0, 0, 0, 0}};
    const auto alpha = dir.path() / "alpha.bmp";
    test::writeFile(alpha, makeBmpFile(bmp.build()));
    for (const bool keep : {false, true}) {
        std::vector<std::string> args = {"build", "-o", out, alpha.string()};
        if (keep)
            args.push_back("--keep-alpha");
        ASSERT_EQ(test::runCli(args).status, 0);
        r = test::runCli({"info", "--json", out});
        EXPECT_EQ(r.out.find("\"transparentIndex\": null") == std::string::npos, keep) << r.out;
    }
}

} // namespace
} // namespace zell
