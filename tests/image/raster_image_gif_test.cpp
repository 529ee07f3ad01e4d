#include <gtest/gtest.h>

#include "image/gif_codec.h"
#include "image/raster_image.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::indexedDib;
using test::indicesOf;
using test::tableOf;

TEST(RasterImageGif, SavesWithoutReductionWhenTheBitsSuffice)
{
    test::ScratchDir dir;
    RasterImage picture;
    const std::vector<uint8_t> indices{0, 1, 2, 3, 2, 1};
    ASSERT_TRUE(picture.setDib(indexedDib(3, 2, {0x0000FF, 0x00FF00, 0xFF0000, 0x808080}, indices)));
    uint32_t transparent = 2;
    ASSERT_TRUE(picture.saveGif(dir.str() + "out.gif", 8, transparent));
    EXPECT_EQ(transparent, 2u);
    RasterImage back;
    ASSERT_TRUE(back.loadGifImage(dir.str() + "out.gif", 0));
    EXPECT_EQ(indicesOf(back.image.bytes()), indices);
    EXPECT_EQ(tableOf(back.image.bytes()).size(), 256u);
}

TEST(RasterImageGif, ReductionKeepsAnEntryForTheTransparentPixels)
{
    test::ScratchDir dir;
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < 16; ++i)
        colors.push_back(i * 0x101010);
    std::vector<uint8_t> indices(8 * 8);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = uint8_t(i * 7 % 16);
    RasterImage picture;
    ASSERT_TRUE(picture.setDib(indexedDib(8, 8, colors, indices)));
    uint32_t transparent = 5;
    ASSERT_TRUE(picture.saveGif(dir.str() + "out.gif", 2, transparent));
    // Three entries from the histogram, the fourth reserved.
    EXPECT_EQ(transparent, 3u);
    RasterImage back;
    ASSERT_TRUE(back.loadGifImage(dir.str() + "out.gif", 0));
    const std::vector<uint8_t> got = indicesOf(back.image.bytes());
    ASSERT_EQ(got.size(), indices.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i] == 3, indices[i] == 5) << i;

    // Two entries leave no room: no transparent entry any more.
    uint32_t none = 5;
    ASSERT_TRUE(picture.saveGif(dir.str() + "one.gif", 1, none));
    EXPECT_EQ(none, 0xFFFFu);

    // A 4-bit picture goes through true colour to be reduced.
    ASSERT_TRUE(picture.setDib(indexedDib(2, 2, {0x000000, 0xFF0000, 0x00FF00, 0xFFFFFF, 0x0000FF}, {0, 4, 1, 2}, 4)));
    ASSERT_TRUE(picture.saveGif(dir.str() + "four.gif", 2, none));
    ASSERT_TRUE(back.loadGifImage(dir.str() + "four.gif", 0));
    EXPECT_EQ(tableOf(back.image.bytes()).size(), 4u);
}

} // namespace
} // namespace zell
