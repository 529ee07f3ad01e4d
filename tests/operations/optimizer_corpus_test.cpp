// The optimizer on real animations: without auto-transparency the result
// must compose to exactly the input's screens, also after a trip through an
// exported GIF; with it, the screens stay close.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "document/gif_export.h"
#include "document/screen_composer.h"
#include "operations/animation_fixture.h"
#include "operations/optimizer.h"

namespace zell {
namespace {

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

// Paths of the GIFs that giflib reads whole.
std::vector<std::string> decodableGifs(const std::filesystem::path& corpus)
{
    std::ifstream manifest(corpus / "manifest.tsv");
    std::string line;
    if (!manifest || !std::getline(manifest, line))
        return {};
    const std::vector<std::string> columns = split(line, '\t');
    auto column = [&](const char* name) { return size_t(std::find(columns.begin(), columns.end(), name) - columns.begin()); };
    const size_t pathCol = column("path"), formatCol = column("format"), decodeCol = column("decode");
    std::vector<std::string> paths;
    while (std::getline(manifest, line)) {
        const std::vector<std::string> f = split(line, '\t');
        if (f.size() > decodeCol && f[formatCol] == "gif" && f[decodeCol].find("giflib-slurp=ok") != std::string::npos)
            paths.push_back(f[pathCol]);
    }
    return paths;
}

TEST(OptimizerCorpus, EveryDecodableAnimationComposesTheSame)
{
    const std::filesystem::path corpus = ZELL_CORPUS_DIR;
    const std::vector<std::string> gifs = decodableGifs(corpus);
    if (gifs.empty())
        GTEST_SKIP() << "no corpus at " << corpus;
    int checked = 0, animations = 0;
    std::vector<std::string> uncomposable;
    double worst = INFINITY;
    for (const std::string& path : gifs) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> file = test::readFile(corpus / path);
        test::AnimationFixture exact, lossy;
        if (!test::importGif(exact.document(), file) || !test::importGif(lossy.document(), file))
            continue;
        const auto screens = test::composedScreens(exact.document());
        if (screens.empty()) {
            uncomposable.push_back(path);
            continue;
        }
        ++checked;
        animations += screens.size() > 1;
        ASSERT_TRUE(optimize(exact.document(), kSaveOptimize | kSaveTransparency));
        EXPECT_EQ(test::composedScreens(exact.document()), screens);
        EXPECT_EQ(test::exportedScreens(exact.document()), screens);

        const uint32_t background = backgroundColor(lossy.document().settings);
        ASSERT_TRUE(optimize(lossy.document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
        const double db = test::psnr(screens, test::exportedScreens(lossy.document()));
        // A rebuilt table takes the nearest of its colours as the background:
        // where no frame used the old background colour, what shows of the
        // background changes colour, and no floor holds.
        const bool backgroundMoved = backgroundColor(lossy.document().settings) != background;
        if (screens.size() > 1)
            std::printf("[ psnr     ] %s: %.2f dB%s\n", path.c_str(), db, backgroundMoved ? " (background colour moved)" : "");
        if (backgroundMoved)
            continue;
        worst = std::min(worst, db);
        EXPECT_GT(db, 30.0);
    }
    std::printf("[ corpus   ] %d files (%d animations), worst PSNR %.2f dB where the background kept its colour, %zu not composable\n", checked,
                animations, worst, uncomposable.size());
    for (const std::string& p : uncomposable)
        std::printf("[ skipped  ] %s\n", p.c_str());
    EXPECT_GT(checked, 40);
}

} // namespace
} // namespace zell
