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

// A file that ends early still gives a picture, and says so; the corpus
// compares such pictures with libjpeg's.
TEST(JpegDecoder, TruncatedFileKeepsTheRowsItHasAndSaysSo)
{
    const auto file = encodeJpeg({.width = 64, .height = 64}, [](uint32_t x, uint32_t y, JSAMPLE* out) {
        out[0] = JSAMPLE(x * 4), out[1] = JSAMPLE(y * 4), out[2] = JSAMPLE(x ^ y);
    });
    ByteBuffer whole, cut;
    bool wholeRanOut = true, cutRanOut = false;
    ASSERT_TRUE(decodeJpeg(file, whole, &wholeRanOut));
    ASSERT_TRUE(decodeJpeg(std::span(file).first(file.size() * 3 / 4), cut, &cutRanOut));
    EXPECT_FALSE(wholeRanOut);
    EXPECT_TRUE(cutRanOut) << "the caller can warn that the file ends early";
    EXPECT_EQ(cut.size(), whole.size());
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
