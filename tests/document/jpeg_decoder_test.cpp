#include "document/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/dib.h"
#include "support/still_files.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::encodeJpeg;
using test::JpegRecipe;

TEST(JpegDecoder, TruncatedFileKeepsTheRowsItHas)
{
    JpegRecipe recipe{.width = 64, .height = 64};
    // 8x8 blocks of colours from a small table, so that each block is flat.
    const test::JpegSource source = [](uint32_t x, uint32_t y, JSAMPLE* out) {
        static const JSAMPLE kLevels[] = {0, 255, 128, 64, 200};
        for (uint32_t c = 0; c < 3; ++c)
            out[c] = kLevels[((x / 8) * 3 + (y / 8) * 2 + c) % 5];
    };
    for (bool progressive : {false, true}) {
        recipe.progressive = progressive;
        const auto file = encodeJpeg(recipe, source);
        // Cut in the middle of the longest scan, not inside a table or a
        // scan header, where the library gives up.
        size_t cutAt = 0, longest = 0, next = file.size();
        for (size_t i = file.size() - 1; i-- > 0;) {
            if (file[i] == 0xFF && file[i + 1] == 0xDA) {
                if (next - i > longest)
                    longest = next - i, cutAt = i + longest / 2;
                next = i;
            }
        }
        ByteBuffer whole, cut;
        bool wholeRanOut = true, cutRanOut = false;
        ASSERT_TRUE(decodeJpeg(file, whole, &wholeRanOut));
        ASSERT_TRUE(decodeJpeg(std::span(file).first(cutAt), cut, &cutRanOut)) << progressive;
        EXPECT_FALSE(wholeRanOut);
        EXPECT_TRUE(cutRanOut) << "the caller can warn that the file ends early";
        ASSERT_EQ(cut.size(), whole.size());
        if (!progressive) {
            // The first block rows were complete in the file: same pixels.
            for (uint32_t x = 0; x < 64; ++x)
                EXPECT_EQ(test::pixelRgb(cut.data(), x, 0), test::pixelRgb(whole.data(), x, 0)) << x;
        }
        EXPECT_NE(std::vector<uint8_t>(cut.data(), cut.data() + cut.size()),
                  std::vector<uint8_t>(whole.data(), whole.data() + whole.size()))
            << "the missing part is not invented";
    }
}

TEST(JpegDecoder, StartMarkerIsSearchedAndFatalErrorsFailCleanly)
{
    const auto file = encodeJpeg({}, [](uint32_t x, uint32_t y, JSAMPLE* out) { out[0] = out[1] = out[2] = JSAMPLE(x + y); });
    std::vector<uint8_t> junk = {'j', 'u', 'n', 'k', 0xFF, 0x00};
    junk.insert(junk.end(), file.begin(), file.end());
    ByteBuffer picture;
    EXPECT_TRUE(decodeJpeg(junk, picture)) << "junk before the start marker";

    std::vector<uint8_t> endFirst = {0xFF, 0xD9};
    endFirst.insert(endFirst.end(), file.begin(), file.end());
    ByteBuffer untouched;
    ASSERT_TRUE(untouched.assign(reinterpret_cast<const uint8_t*>("keep"), 4));
    EXPECT_FALSE(decodeJpeg(endFirst, untouched));
    EXPECT_FALSE(decodeJpeg(std::span(file).first(40), untouched)) << "no frame header: fatal";
    const auto twoComponents = encodeJpeg({.components = 2, .inSpace = JCS_UNKNOWN},
                                          [](uint32_t x, uint32_t, JSAMPLE* out) { out[0] = out[1] = JSAMPLE(x); });
    EXPECT_FALSE(decodeJpeg(twoComponents, untouched)) << "neither grey, colour nor inks";
    EXPECT_EQ(untouched.size(), 4u);
    EXPECT_EQ(std::memcmp(untouched.data(), "keep", 4), 0);
}

} // namespace
} // namespace zell
