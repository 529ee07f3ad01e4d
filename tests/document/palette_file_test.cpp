#include "document/palette_file.h"

#include <gtest/gtest.h>

#include "image/bmp_file.h"
#include "support/gif_builder.h"
#include "support/indexed_dib.h"
#include "support/test_support.h"

namespace zell {
namespace {

using test::GifBuilder;

std::vector<uint32_t> colorsOf(const ColorTable& table)
{
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < table.count; ++i)
        colors.push_back(table.color(i));
    return colors;
}

std::vector<uint32_t> colorsOf(const std::vector<uint8_t>& rgb)
{
    std::vector<uint32_t> colors;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        colors.push_back(makeColor(rgb[i], rgb[i + 1], rgb[i + 2]));
    return colors;
}

TEST(PaletteFile, GifTablesGlobalFirstWhenWantedElseTheFirstImagesOwn)
{
    const auto global = test::testPalette(4), local = test::testPalette(2, 5);
    const auto both = GifBuilder().screen(1, 1, global, 3).control(0, 0, 0)
                          .image(0, 0, 1, 1, 0x80, local, 2, {0x44, 0x01}).trailer().bytes;
    ColorTable table;
    ASSERT_TRUE(findGifColorTable(both, true, table));
    EXPECT_EQ(colorsOf(table), colorsOf(global));
    EXPECT_EQ(table.backgroundIndex, 3);
    ASSERT_TRUE(findGifColorTable(both, false, table));
    EXPECT_EQ(colorsOf(table), colorsOf(local));

    // Without a global table the first image's table serves, background 0.
    const auto localOnly = GifBuilder().screen(1, 1, {}, 7).image(0, 0, 1, 1, 0x80, local, 2, {0x44, 0x01})
                               .trailer().bytes;
    ASSERT_TRUE(findGifColorTable(localOnly, true, table));
    EXPECT_EQ(colorsOf(table), colorsOf(local));
    EXPECT_EQ(table.backgroundIndex, 0);

    // No table at all, or a stream broken before its first image: unchanged.
    const ColorTable before = table;
    for (auto bytes : {GifBuilder().screen(1, 1).image(0, 0, 1, 1, 0, {}, 2, {0x44, 0x01}).trailer().bytes,
                       GifBuilder().screen(1, 1).raw({0x21, 0xFE, 5, 'a'}).bytes}) {
        EXPECT_FALSE(findGifColorTable(bytes, false, table));
        EXPECT_EQ(colorsOf(table), colorsOf(before));
    }
}

TEST(PaletteFile, ReplacesTheTableTheFrameUsesAndNothingElse)
{
    const auto global = test::testPalette(4), local = test::testPalette(2, 5);
    const auto both = GifBuilder().screen(1, 1, global, 3).control(0, 0, 0)
                          .image(0, 0, 1, 1, 0x80, local, 2, {0x44, 0x01}).trailer().bytes;
    ColorTable table;
    table.count = 2;
    table.setColor(0, 0x112233);
    table.setColor(1, 0x445566);
    std::vector<uint8_t> out;
    ASSERT_TRUE(replaceGifColorTable(both, table, out));
    ASSERT_EQ(out.size(), both.size());
    ColorTable found;
    ASSERT_TRUE(findGifColorTable(out, false, found));
    EXPECT_EQ(colorsOf(found), colorsOf(table));
    ASSERT_TRUE(findGifColorTable(out, true, found));
    EXPECT_EQ(colorsOf(found), colorsOf(global));

    // Without a local table the global one is the frame's; a shorter table
    // leaves the entries beyond it as they were.
    const auto globalOnly = GifBuilder().screen(1, 1, global).image(0, 0, 1, 1, 0, {}, 2, {0x44, 0x01})
                                .trailer().bytes;
    table.count = 1;
    ASSERT_TRUE(replaceGifColorTable(globalOnly, table, out));
    ASSERT_TRUE(findGifColorTable(out, false, found));
    auto expected = colorsOf(global);
    expected[0] = 0x112233;
    EXPECT_EQ(colorsOf(found), expected);

    const std::vector<uint8_t> before = out;
    EXPECT_FALSE(replaceGifColorTable(GifBuilder().screen(1, 1).image(0, 0, 1, 1, 0, {}, 2, {0x44, 0x01}).trailer().bytes,
                                      table, out));
    EXPECT_EQ(out, before);
}

TEST(PaletteFile, LoadsGifAndBmpPalettesAndTellsABitmapWithout)
{
    test::ScratchDir dir;
    const auto global = test::testPalette(4);
    const std::vector<uint32_t> three = {makeColor(1, 2, 3), makeColor(4, 5, 6), makeColor(7, 8, 9)};
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        PaletteLoad result;
        std::vector<uint32_t> colors;
    } cases[] = {
        {"a.gif", GifBuilder().screen(1, 1, global).image(0, 0, 1, 1, 0, {}, 2, {0x44, 0x01}).trailer().bytes,
         PaletteLoad::ok, colorsOf(global)},
        {"b.bmp", makeBmpFile(test::indexedDib(2, 1, three, {0, 2})), PaletteLoad::ok, three},
        {"c.bmp", makeBmpFile(test::trueColorDib(1, 1, {0x123456})), PaletteLoad::noEntries, {}},
        {"d.txt", std::vector<uint8_t>(64, 'x'), PaletteLoad::failed, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(dir.path() / c.name, c.bytes);
        ColorTable table;
        table.count = 9;
        EXPECT_EQ(loadPaletteFile((dir.path() / c.name).string(), table), c.result);
        EXPECT_EQ(table.count, c.result == PaletteLoad::ok ? c.colors.size() : 9u);
        if (c.result == PaletteLoad::ok) {
            EXPECT_EQ(colorsOf(table), c.colors);
        }
    }
    // A palette that the file does not hold whole is no palette.
    auto cut = makeBmpFile(test::indexedDib(2, 1, three, {0, 2}));
    cut.resize(14 + 40 + 8);
    test::writeFile(dir.path() / "cut.bmp", cut);
    ColorTable table;
    EXPECT_EQ(loadPaletteFile((dir.path() / "cut.bmp").string(), table), PaletteLoad::failed);
}

TEST(PaletteFile, TheGlobalTableStartsBlackOrFromTheSeedFile)
{
    ColorTable table;
    table.count = 3;
    seedGlobalTable(table, "/nonexistent/gct.tmp");
    EXPECT_EQ(table.count, 256);
    EXPECT_EQ(table.backgroundIndex, 0);
    EXPECT_EQ(table.color(255), 0u);
    test::ScratchDir dir;
    test::writeFile(dir.path() / "gct.tmp", {1, 2, 3, 4, 5});
    seedGlobalTable(table, (dir.path() / "gct.tmp").string());
    EXPECT_EQ(table.color(0), 0x030201u);
    EXPECT_EQ(table.color(1), 0x000504u); // a short file fills what it holds
    EXPECT_EQ(table.count, 256);
}

} // namespace
} // namespace zell
