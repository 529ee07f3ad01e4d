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

const auto kGlobal = test::testPalette(4), kLocal = test::testPalette(2, 5);

// A one-pixel GIF with these tables (none when empty).
std::vector<uint8_t> gif(const std::vector<uint8_t>& global, const std::vector<uint8_t>& local, uint8_t background = 0)
{
    return GifBuilder().screen(1, 1, global, background).control(0, 0, 0)
        .image(0, 0, 1, 1, local.empty() ? 0 : 0x80, local, 2, {0x44, 0x01}).trailer().bytes;
}

// Replaced: the table the frame uses, and no other.
TEST(PaletteFile, ReplacesTheTableTheFrameUsesAndNothingElse)
{
    ColorTable table, found;
    table.count = 2;
    table.setColor(0, 0x112233);
    table.setColor(1, 0x445566);
    std::vector<uint8_t> out;
    const auto both = gif(kGlobal, kLocal);
    ASSERT_TRUE(replaceGifColorTable(both, table, out));
    ASSERT_EQ(out.size(), both.size());
    ASSERT_TRUE(findGifColorTable(out, false, found));
    EXPECT_EQ(colorsOf(found), colorsOf(table));
    ASSERT_TRUE(findGifColorTable(out, true, found));
    EXPECT_EQ(colorsOf(found), colorsOf(kGlobal));

    const std::vector<uint8_t> before = out;
    EXPECT_FALSE(replaceGifColorTable(gif({}, {}), table, out));
    EXPECT_EQ(out, before);
}

TEST(PaletteFile, LoadsGifAndBmpPalettesAndTellsABitmapWithout)
{
    test::ScratchDir dir;
    const std::vector<uint32_t> three = {makeColor(1, 2, 3), makeColor(4, 5, 6), makeColor(7, 8, 9)};
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        PaletteLoad result;
        std::vector<uint32_t> colors;
    } cases[] = {
        {"a.gif", gif(kGlobal, {}), PaletteLoad::ok, colorsOf(kGlobal)},
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
}

} // namespace
} // namespace zell
