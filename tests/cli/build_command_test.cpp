#include <gtest/gtest.h>

#include <cstdio>
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

// Every corpus GIF that giflib decodes, rebuilt by zell-cli, renders the same
// to giflib, and the lossless optimiser (the default of --optimize) never
// makes a file larger than the plain one.
TEST(BuildCommandCorpus, RebuiltGifsShowTheSameToGiflib)
{
    const auto rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "corpus not present";
    test::ScratchDir dir;
    const std::string out = (dir.path() / "out.gif").string();
    int compared = 0, refused = 0;
    std::vector<std::string> mismatches;
    double worstPsnr = 99;
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
    for (const auto& row : rows) {
        if (!test::hasVerdict(row, "giflib-slurp=ok"))
            continue;
        const std::string in = (test::corpusDir() / row.at("path")).string();
        Screens original;
        if (!test::giflibScreens(test::readFile(in), original) || original.empty())
            continue;
        uintmax_t plainSize = 0;
        for (const auto& v : variants) {
            const std::string what = row.at("path") + " " + (v.flags.empty() ? "plain" : v.flags[0]);
            std::vector<std::string> args = {"build", "--global-table", "-o", out, in};
            args.insert(args.end(), v.flags.begin(), v.flags.end());
            if (test::runCli(args).status != 0) {
                if (v.flags.empty()) {
                    ++refused; // zell's own import rules (e.g. a missing trailer)
                    break;
                }
                mismatches.push_back(what + ": refused after the plain build succeeded");
                continue;
            }
            Screens rebuilt;
            if (!test::giflibScreens(test::readFile(out), rebuilt)) {
                mismatches.push_back(what + ": giflib refuses the output");
                continue;
            }
            ++compared;
            if (v.exact) {
                const bool same = v.dedup ? test::withoutRepeats(rebuilt) == test::withoutRepeats(original) : rebuilt == original;
                if (!same)
                    mismatches.push_back(what);
            } else {
                const double psnr = test::screensPsnr(original, rebuilt);
                worstPsnr = std::min(worstPsnr, psnr);
                if (rebuilt.size() != original.size() || psnr < 20)
                    mismatches.push_back(what + " PSNR " + std::to_string(psnr));
            }
            if (v.flags.empty())
                plainSize = fs::file_size(out);
            else if (v.flags[0] == "--optimize" && fs::file_size(out) > plainSize)
                mismatches.push_back(what + ": larger than the plain build");
        }
    }
    std::printf("rebuilt and compared %d outputs; %d inputs refused by zell's import; worst auto-transparency PSNR "
                "%.1f dB\n", compared, refused, worstPsnr);
    EXPECT_GT(compared, 0);
    for (const auto& m : mismatches)
        ADD_FAILURE() << m;
}

#endif

TEST(BuildCommand, ProjectThenExportGivesTheSameGif)
{
    test::ScratchDir dir;
    // A GIF with LZW data giflib would accept is not needed: split copies bytes.
    const std::string in = dir.str() + "in.gif", direct = dir.str() + "direct.gif", project = dir.str() + "p.zpj";
    test::writeFile(in, test::GifBuilder().screen(4, 3, test::testPalette(4), 0).application("NETSCAPE2.0", {1, 3, 0})
                            .control(0x04, 20, 0)
                            .image(0, 0, 4, 3, 0, {}, 2, {0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x00})
                            .comment({"hi"}).trailer().bytes);
    ASSERT_EQ(test::runCli({"build", "--global-table", "--comments", "-o", direct, in}).status, 0);
    ASSERT_EQ(test::runCli({"build", "--global-table", "--comments", "-o", project, in}).status, 0);
    ASSERT_EQ(test::runCli({"export", project, "-o", dir.str() + "exported.gif"}).status, 0);
    EXPECT_EQ(test::readFile(direct), test::readFile(dir.str() + "exported.gif"));
    test::expectContains(test::runCli({"info", "--json", direct}).out,
                         {"\"loop\": 3", "\"comments\": [\"hi\"]", "\"delay\": 20"});
    // A project as the first input comes back byte for byte, and images join it.
    ASSERT_EQ(test::runCli({"build", "-o", dir.str() + "again.zpj", project}).status, 0);
    EXPECT_EQ(test::readFile(dir.str() + "again.zpj"), test::readFile(project));
    ASSERT_EQ(test::runCli({"build", "-o", dir.str() + "grown.gif", project, in}).status, 0);
    test::expectContains(test::runCli({"info", "--json", dir.str() + "grown.gif"}).out, {"}, {\"left\"", "\"loop\": 3"});
}

TEST(BuildCommand, OptionsAndErrors)
{
    test::ScratchDir dir;
    const std::string in = dir.str() + "in.gif", out = dir.str() + "out.gif", alpha = dir.str() + "alpha.bmp";
    test::writeFile(in, test::GifBuilder().screen(2, 2, test::testPalette(2)).image(0, 0, 2, 2, 0, {}, 2, {0x84, 0x8F, 0x00})
                            .trailer().bytes);
    ASSERT_EQ(test::runCli({"build", "-o", out, "--delay", "7", "--disposal", "2", "--loop", "off", "--screen", "9x8",
                            "--comment", "café→🎞", in, in}).status, 0);
    // UTF-8 printed as it is; the GIF's global table comes along.
    test::expectContains(test::runCli({"info", "--json", out}).out,
                         {"\"screen\": {\"width\": 9, \"height\": 8}", "\"loop\": null", "\"comments\": [\"café→🎞\"]",
                          "\"globalTable\": {\"size\": 2", "\"localTable\": 0", "\"delay\": 7, \"disposal\": 2"});
    ASSERT_EQ(test::runCli({"build", "-o", out, "--no-global-table", in, in}).status, 0);
    test::expectContains(test::runCli({"info", "--json", out}).out, {"\"globalTable\": null", "\"localTable\": 2"});

    // A 32-bit BMP of an opaque red pixel and a fully transparent one.
    test::DibBuilder bmp;
    bmp.header = makeDibHeader(2, 1, 32);
    bmp.rows = {{0, 0, 255, 255, 0, 0, 0, 0}};
    test::writeFile(alpha, makeBmpFile(bmp.build()));
    for (const bool keep : {false, true}) {
        std::vector<std::string> args = {"build", "-o", out, alpha};
        if (keep)
            args.push_back("--keep-alpha");
        ASSERT_EQ(test::runCli(args).status, 0);
        EXPECT_EQ(test::runCli({"info", "--json", out}).out.find("\"transparentIndex\": null") == std::string::npos, keep);
    }
}

} // namespace
} // namespace zell
