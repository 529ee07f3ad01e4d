#include "operations/recipes.h"

#include <gtest/gtest.h>

#include "image/gif_blocks.h"
#include "image/gif_codec.h"
#include "image/lzw_codec.h"
#include "image/random.h"
#include "support/corpus.h"
#include "support/gif_builder.h"
#include "support/indexed_dib.h"

namespace zell::test {

namespace {

std::vector<uint8_t> filled(uint32_t w, uint32_t h, uint8_t index) { return std::vector<uint8_t>(size_t(w) * h, index); }

// Moving sprites over a pattern, offsets reaching past the screen, every
// disposal, transparent colours; every fifth frame repeats the one before,
// which stays on screen: it changes nothing. `tables`: 0 own tables of 256
// colours, 1 a global table of 16, 2 both (odd frames have 8 of their own).
void sprites(DocumentBuilder& a, uint32_t seed, int tables)
{
    Random random(seed);
    const uint32_t w = 48 + uint32_t(random.next() % 16), h = 32 + uint32_t(random.next() % 16);
    a.screen(uint16_t(w), uint16_t(h));
    const std::vector<uint32_t> palette = distinctColors(tables == 0 ? 256 : 16, int(seed));
    const std::vector<uint32_t> own = distinctColors(8, int(seed) + 3);
    if (tables != 0)
        a.globalTable(palette, 3);
    std::vector<uint8_t> picture(size_t(w) * h);
    for (size_t k = 0; k < picture.size(); ++k)
        picture[k] = uint8_t((k / 7 + k % w / 5) % palette.size());
    (tables != 0 ? a.addGlobal(w, h, picture) : a.add(w, h, palette, picture)).delay = 10;
    uint32_t fw = w, fh = h, left = 0, top = 0;
    bool local = tables == 0;
    for (int i = 1; i < 12; ++i) {
        uint16_t transparent = kNoIndex;
        if (i % 5 != 0) {
            local = tables == 0 || (tables == 2 && i % 2 == 1);
            const uint32_t colours = uint32_t(local && tables == 2 ? own.size() : palette.size());
            fw = 8 + uint32_t(random.next() % 20);
            fh = 6 + uint32_t(random.next() % 20);
            left = uint32_t(random.next()) % w;
            top = uint32_t(random.next()) % h;
            picture.assign(size_t(fw) * fh, 0);
            const uint8_t base = uint8_t(random.next() % colours);
            for (uint8_t& index : picture)
                index = random.next() % 4 == 0 ? uint8_t(random.next() % colours) : base;
            if (random.next() % 3 == 0)
                transparent = base;
        }
        const uint8_t disposal = uint8_t(random.next() % 4);
        Frame& f = !local ? a.addGlobal(fw, fh, picture, left, top)
                          : a.add(fw, fh, tables == 2 ? own : palette, picture, left, top);
        f.disposal = i % 5 == 4 || i % 5 == 0 ? 1 : disposal;
        f.delay = uint16_t(5 + i);
        f.transparentIndex = i % 5 == 0 ? a.document.frames.frameAt(i - 1)->transparentIndex : transparent;
    }
}

// A frame whose change spans several rows, stored interlaced.
bool interlaced(DocumentBuilder& a)
{
    a.screen(12, 12);
    const std::vector<uint32_t> colors = distinctColors(4, 3);
    a.add(12, 12, colors, filled(12, 12, 0));
    std::vector<uint8_t> picture = filled(12, 12, 0);
    for (uint32_t y = 0; y < 12; ++y)
        picture[y * 12 + y] = uint8_t(1 + y % 3);
    Frame& f = a.add(12, 12, colors, picture);
    ByteBuffer gif;
    if (!encodeGifImage(indexedDib(12, 12, colors, picture), gif, 2, true))
        return false;
    writeFile(f.workFile.path(), {gif.data(), gif.data() + gif.size()});
    f.descriptorFlags = kGifInterlaceFlag;
    return true;
}

// Frames with their own tables of the same twelve colours in other orders
// (as pictures reduced one by one come out) over a global-table frame.
void sameColours(DocumentBuilder& a)
{
    const std::vector<uint32_t> colours = distinctColors(12, 5);
    a.screen(32, 16);
    std::vector<uint32_t> global(colours.begin(), colours.begin() + 8);
    global.resize(16, 0);
    a.globalTable(global, 0);
    std::vector<uint8_t> picture(32 * 16);
    for (size_t k = 0; k < picture.size(); ++k)
        picture[k] = uint8_t(k % 32 / 4);
    a.addGlobal(32, 16, picture);
    for (int i = 0; i < 4; ++i) {
        std::vector<uint32_t> own;
        for (int k = 0; k < 16; ++k)
            own.push_back(colours[size_t(k + i) % colours.size()]);
        std::vector<uint8_t> sprite(8 * 8);
        for (size_t k = 0; k < sprite.size(); ++k)
            sprite[k] = uint8_t((k / 8 + k % 8 + size_t(i)) % 12);
        a.add(8, 8, own, sprite, uint32_t(4 + 5 * i), 4).disposal = 1;
    }
}

std::vector<uint8_t> lzw(const std::vector<uint8_t>& indices, int codeSize = 2)
{
    std::vector<uint8_t> codes;
    LzwCodec().compress(indices, codeSize, codes);
    return codes;
}

Recipe imported(const char* name, GifBuilder gif)
{
    const std::vector<uint8_t> bytes = gif.trailer().bytes;
    return {name, [bytes](DocumentBuilder& a) { return importGif(a.document, bytes); }, bytes};
}

} // namespace

const std::vector<Recipe>& recipes()
{
    static const std::vector<uint8_t> four = testPalette(4), two = testPalette(2, 9);
    static const std::vector<Recipe> all = {
        {"sprites with own tables", [](DocumentBuilder& a) { return sprites(a, 1, 0), true; }},
        {"sprites on a global table", [](DocumentBuilder& a) { return sprites(a, 2, 1), true; }},
        {"sprites on both tables", [](DocumentBuilder& a) { return sprites(a, 3, 2), true; }},
        // Frames still marked for the global table are written with their own.
        {"sprites with the global table off",
         [](DocumentBuilder& a) {
             sprites(a, 4, 2);
             a.document.settings.useGlobalColorTable = false;
             return true;
         }},
        {"an interlaced frame", interlaced},
        {"own tables of the same colours", [](DocumentBuilder& a) { return sameColours(a), true; }},
        // No global table in use; one frame is still marked for it.
        {"one own table in every frame",
         [](DocumentBuilder& a) {
             const std::vector<uint32_t> c = distinctColors(8, 4);
             a.screen(24, 16);
             std::vector<uint8_t> picture(24 * 16);
             for (size_t k = 0; k < picture.size(); ++k)
                 picture[k] = uint8_t(k % 24 / 3);
             a.add(24, 16, c, picture);
             for (uint32_t i = 0; i < 3; ++i)
                 a.add(6, 6, c, filled(6, 6, uint8_t(5 + i)), 2 + 6 * i, 4).disposal = uint8_t(1 + i % 2);
             a.globalTable(c);
             a.document.settings.useGlobalColorTable = false;
             a.document.frames.frameAt(2)->useLocalColorTable = 0;
             return true;
         }},
        // Three colours and one free entry: a rebuilt table is exact.
        {"global frames without transparency",
         [](DocumentBuilder& a) {
             a.screen(16, 16);
             a.globalTable({0x0AC81E, 0x0505FA, 0xFA0000, 0x090909}, 2);
             a.addGlobal(16, 16, filled(16, 16, 0));
             std::vector<uint8_t> block = filled(16, 16, 0);
             for (uint32_t k = 0; k < 9; ++k)
                 block[(4 + k / 3) * 16 + 4 + k % 3] = 2;
             a.addGlobal(16, 16, block);
             return true;
         }},
        // The restored rectangle comes back as background; the frame after
        // it changes nothing elsewhere.
        {"a restored frame, then one that changes nothing",
         [](DocumentBuilder& a) {
             a.screen(20, 20);
             const std::vector<uint32_t> c = distinctColors(4, 2);
             a.add(20, 20, c, filled(20, 20, 0)).delay = 3;
             Frame& restored = a.add(5, 5, c, filled(5, 5, 1));
             restored.disposal = 2;
             restored.delay = 5;
             a.add(5, 5, c, filled(5, 5, 0), 10, 10).delay = 7;
             a.add(20, 20, c, filled(20, 20, 2)).delay = 11;
             return true;
         }},
        imported("transparent index beyond the table",
                 GifBuilder().screen(2, 1, four)
                     .control(0x05, 10, 5).image(0, 0, 2, 1, 0, {}, 2, lzw({1, 2}))
                     .control(0x05, 10, 5).image(0, 0, 2, 1, 0, {}, 2, lzw({3, 0}))),
        // Decoders make such pixels transparent; some optimisers write them.
        imported("transparent pixels at the global table's end",
                 GifBuilder().screen(3, 2, two)
                     .control(0x04, 10, 0).image(0, 0, 3, 2, 0, {}, 2, lzw({0, 1, 0, 1, 0, 1}))
                     .control(0x05, 10, 2).image(0, 0, 3, 2, 0, {}, 2, lzw({2, 0, 2, 2, 1, 2}))
                     .control(0x05, 10, 2).image(0, 1, 3, 1, 0, {}, 2, lzw({1, 2, 2}))),
        imported("transparent pixels beyond own tables",
                 GifBuilder().screen(3, 2, four)
                     .image(0, 0, 3, 2, 0, {}, 2, lzw({0, 1, 2, 3, 0, 1}))
                     .control(0x05, 10, 6).image(0, 0, 3, 2, 0x80, two, 3, lzw({6, 1, 6, 0, 6, 6}, 3))
                     .control(0x09, 10, 2).image(1, 0, 2, 2, 0x80, two, 2, lzw({2, 0, 1, 2}))
                     .control(0x05, 10, 5).image(0, 0, 3, 2, 0, {}, 3, lzw({5, 5, 3, 5, 2, 5}, 3))),
        imported("transparent index 0 over every disposal",
                 GifBuilder().screen(3, 2, four)
                     .control(0x01, 5, 0).image(0, 0, 3, 2, 0, {}, 2, lzw({1, 2, 3, 3, 2, 1}))
                     .control(0x09, 5, 0).image(1, 0, 2, 2, 0, {}, 2, lzw({0, 3, 2, 0}))
                     .control(0x0D, 5, 0).image(0, 1, 2, 1, 0, {}, 2, lzw({0, 1}))
                     .control(0x05, 5, 3).image(0, 0, 3, 2, 0x80, two, 2, lzw({0, 1, 1, 0, 1, 0}))),
        imported("frames partly and wholly off the screen",
                 GifBuilder().screen(2, 2, four)
                     .image(0, 0, 2, 2, 0, {}, 2, lzw({1, 2, 3, 0}))
                     .image(1, 1, 2, 2, 0, {}, 2, lzw({2, 2, 3, 1}))
                     .control(0x08, 0, 0).image(5, 0, 1, 1, 0, {}, 2, lzw({3}))
                     .image(0, 7, 1, 1, 0, {}, 2, lzw({2}))),
    };
    return all;
}

const Recipe& recipe(const std::string& name)
{
    for (const Recipe& r : recipes())
        if (r.name == name)
            return r;
    ADD_FAILURE() << "no recipe " << name;
    return recipes().front();
}

int forEachCorpusAnimation(const std::function<void(const std::vector<uint8_t>& gif, Document& document)>& check)
{
    int checked = 0;
    for (const CorpusRow& row : corpusRows("gif")) {
        SCOPED_TRACE(row.at("path"));
        DocumentBuilder a;
        const std::vector<uint8_t> gif = readFile(corpusDir() / row.at("path"));
        if (hasVerdict(row, "giflib-slurp=ok") && importGif(a.document, gif)) {
            check(gif, a.document);
            ++checked;
        }
    }
    return checked;
}

} // namespace zell::test
