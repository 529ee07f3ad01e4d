#include "operations/size_fit.h"

#include <gtest/gtest.h>

#include "image/lzw_lossy.h"
#include "support/test_document.h"

namespace zell {
namespace {

uint64_t measured(const Document& document, uint32_t options)
{
    uint64_t bytes = 0;
    EXPECT_TRUE(measureAnimatedGif(document.frames, GifOutput::fromSettings(document.settings, options), bytes));
    return bytes;
}

// The options the search hands back write exactly the file it reports, at
// the level, weighing and colours it names; the document and its work
// folder are as before, the trials' work files gone.
TEST(SizeFit, WhatItReportsIsWhatTheOptionsWrite)
{
    test::DocumentBuilder a;
    test::addNoisyRamp(a);
    const test::DocumentState before = test::snapshot(a.document);
    const uint64_t exact = measured(a.document, kSaveLosslessDefault);
    const uint64_t lossiest = measured(a.document, kSaveLosslessDefault | lossyOption(kMaxLossyLevel));
    ASSERT_LT(lossiest, exact);
    for (const uint64_t limit : {exact, (exact + lossiest) / 2, lossiest - 1}) {
        SizeFit fit;
        ExportError why = ExportError::Cancelled;
        {
            Document reduced(a.document.workDirectory());
            ASSERT_TRUE(fitToSize(a.document, limit, kSaveLosslessDefault, fit, reduced, &why)) << limit;
            EXPECT_EQ(why, ExportError::None);
            EXPECT_EQ(fit.options & lossyOption(0xFF), lossyOption(fit.level));
            EXPECT_EQ(bool(fit.options & kSaveLossyWeighed), fit.weighed);
            EXPECT_EQ(fit.options & ~lossyOption(0xFF) & ~uint32_t(kSaveLossyWeighed), kSaveLosslessDefault);
            EXPECT_EQ(measured(fit.colors ? reduced : a.document, fit.options), fit.bytes) << limit;
            EXPECT_LE(fit.bytes, limit);
            EXPECT_EQ(fit.level == 0 && !fit.colors, limit == exact) << "only the unreduced level 0 is exact";
            if (limit < lossiest) {
                EXPECT_NE(fit.colors, 0) << "only fewer colours go below the highest level's size";
            }
            EXPECT_EQ(reduced.frames.count(), fit.colors ? a.document.frames.count() : 0);
        }
        EXPECT_TRUE(test::snapshot(a.document) == before) << limit;
    }
    SizeFit none;
    Document reduced(a.document.workDirectory());
    ExportError why = ExportError::Cancelled;
    EXPECT_FALSE(fitToSize(a.document, 100, kSaveLosslessDefault, none, reduced, &why));
    EXPECT_EQ(why, ExportError::None);
    EXPECT_EQ(none.lossiest, lossiest);
    EXPECT_GT(none.fewest, 100u);
    EXPECT_EQ(reduced.frames.count(), 0);
    EXPECT_TRUE(test::snapshot(a.document) == before);
}

} // namespace
} // namespace zell
