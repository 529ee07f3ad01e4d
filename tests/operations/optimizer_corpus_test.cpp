// The optimizer on real animations: without auto-transparency the result
// must compose to exactly the input's screens, also after a trip through an
// exported GIF; with it, the screens stay close.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "document/gif_export.h"
#include "document/screen_composer.h"
#include "operations/animation_fixture.h"
#include "operations/optimizer.h"
#include "support/corpus.h"

namespace zell {
namespace {

TEST(OptimizerCorpus, EveryDecodableAnimationComposesTheSame)
{
    const std::vector<test::CorpusRow> rows = test::corpusRows("gif");
    if (rows.empty())
        GTEST_SKIP() << "no corpus at " << test::corpusDir();
    int checked = 0;
    double worst = INFINITY;
    for (const test::CorpusRow& row : rows) {
        if (!test::hasVerdict(row, "giflib-slurp=ok"))
            continue;
        SCOPED_TRACE(row.at("path"));
        const std::vector<uint8_t> file = test::readFile(test::corpusDir() / row.at("path"));
        test::AnimationFixture exact, lossy;
        if (!test::importGif(exact.document(), file) || !test::importGif(lossy.document(), file))
            continue;
        const test::Screens screens = test::composedScreens(exact.document());
        ASSERT_FALSE(screens.empty());
        ++checked;
        ASSERT_TRUE(optimize(exact.document(), kSaveOptimize | kSaveTransparency));
        EXPECT_EQ(test::composedScreens(exact.document()), screens);
        EXPECT_EQ(test::exportedScreens(exact.document()), screens);

        const uint32_t background = backgroundColor(lossy.document().settings);
        ASSERT_TRUE(optimize(lossy.document(), kSaveOptimize | kSaveTransparency | kSaveAutoTransparency));
        // A rebuilt table takes the nearest of its colours as the background:
        // where no frame used the old background colour, what shows of the
        // background changes colour, and no floor holds.
        if (backgroundColor(lossy.document().settings) != background)
            continue;
        const double db = test::psnr(screens, test::exportedScreens(lossy.document()));
        worst = std::min(worst, db);
        EXPECT_GT(db, 30.0);
    }
    std::printf("[ corpus   ] %d files, worst PSNR %.2f dB where the background kept its colour\n", checked, worst);
    EXPECT_GT(checked, 40);
}

} // namespace
} // namespace zell
