#include "document/palette_file.h"

#include <algorithm>
#include <fstream>

#include "document/image_format.h"
#include "image/bytes.h"
#include "image/dib.h"
#include "image/gif_blocks.h"
#include "image/mapped_file.h"

namespace zell {

namespace {

ColorTable tableOf(std::span<const uint8_t> rgb, uint8_t backgroundIndex)
{
    ColorTable table;
    table.count = uint16_t(rgb.size() / 3);
    std::copy(rgb.begin(), rgb.end(), table.entries.begin());
    table.backgroundIndex = backgroundIndex < table.count ? backgroundIndex : 0;
    return table;
}

PaletteLoad bmpPalette(std::span<const uint8_t> data, ColorTable& out)
{
    constexpr size_t kFileHeader = 14;
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
        return PaletteLoad::failed;
    const uint32_t headerSize = getU32le(&data[kFileHeader]);
    const uint16_t bits = getU16le(&data[kFileHeader + 14]);
    const uint32_t used = getU32le(&data[kFileHeader + 32]);
    const uint64_t count = used != 0 ? used : bits <= 8 ? uint64_t(1) << bits : 0;
    if (count == 0)
        return PaletteLoad::noEntries;
    const uint64_t start = kFileHeader + uint64_t(headerSize);
    if (count > 256 || start + 4 * count > data.size())
        return PaletteLoad::failed;
    ColorTable table;
    table.count = uint16_t(count);
    table.backgroundIndex = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* quad = &data[size_t(start) + 4 * i];
        table.setColor(i, makeColor(quad[2], quad[1], quad[0]));
    }
    out = table;
    return PaletteLoad::ok;
}

} // namespace

bool findGifColorTable(std::span<const uint8_t> data, bool wantGlobal, ColorTable& out)
{
    GifHeader header;
    if (!readGifHeader(data, header))
        return false;
    if (wantGlobal && !header.globalTable.empty()) {
        out = tableOf(header.globalTable, header.backgroundIndex);
        return true;
    }
    GifImageBlock image;
    if (!findFirstGifImage(header, image))
        return false;
    const std::span<const uint8_t> table = image.localTable.empty() ? header.globalTable : image.localTable;
    if (table.empty())
        return false;
    out = tableOf(table, header.backgroundIndex);
    return true;
}

bool replaceGifColorTable(std::span<const uint8_t> data, const ColorTable& table, std::vector<uint8_t>& out)
{
    GifHeader header;
    GifImageBlock image;
    if (!readGifHeader(data, header) || !findFirstGifImage(header, image))
        return false;
    const std::span<const uint8_t> found = image.localTable.empty() ? header.globalTable : image.localTable;
    if (found.empty())
        return false;
    std::vector<uint8_t> copy(data.begin(), data.end());
    const size_t at = size_t(found.data() - data.data());
    const size_t bytes = std::min<size_t>(found.size(), size_t(3) * table.count);
    std::copy_n(table.entries.begin(), bytes, copy.begin() + std::ptrdiff_t(at));
    out = std::move(copy);
    return true;
}

PaletteLoad loadPaletteFile(const std::string& path, ColorTable& out)
{
    MappedFile file;
    if (!file.open(path))
        return PaletteLoad::failed;
    std::span<const uint8_t> data = file.bytes();
    switch (detectImageFormat(data)) {
    case kFormatGif:
        return findGifColorTable(data, true, out) ? PaletteLoad::ok : PaletteLoad::failed;
    case kFormatBmp:
        return bmpPalette(data, out);
    default:
        return PaletteLoad::failed;
    }
}

void seedGlobalTable(ColorTable& table, const std::string& seedPath)
{
    table = ColorTable();
    table.count = 256;
    table.backgroundIndex = 0;
    std::ifstream in(seedPath, std::ios::binary);
    if (in)
        in.read(reinterpret_cast<char*>(table.entries.data()), std::streamsize(table.entries.size()));
}

} // namespace zell
