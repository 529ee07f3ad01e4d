#include "support/indexed_dib.h"

#include "image/dib.h"
#include "support/test_support.h"

namespace zell::test {

std::vector<uint8_t> indexedDib(uint32_t width, uint32_t height, const std::vector<uint32_t>& colors,
                                const std::vector<uint8_t>& indices, uint16_t bitCount, bool topDown)
{
    DibBuilder b;
    b.header = makeDibHeader(int32_t(width), topDown ? -int32_t(height) : int32_t(height), bitCount,
                             uint32_t(colors.size()));
    for (uint32_t c : colors) // colour values to BGR0
        b.table.insert(b.table.end(), {colorBlue(c), colorGreen(c), colorRed(c), 0});
    for (uint32_t r = 0; r < height; ++r) {
        const uint32_t y = topDown ? r : height - 1 - r;
        std::vector<uint8_t> row(dibStride(width, bitCount), 0);
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t v = indices[size_t(y) * width + x];
            if (bitCount == 8)
                row[x] = v;
            else
                row[x * bitCount / 8] |= uint8_t(v << (8 - bitCount - (x * bitCount) % 8));
        }
        b.rows.push_back(row);
    }
    return b.build();
}

std::vector<uint8_t> trueColorDib(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels)
{
    DibBuilder b;
    b.header = makeDibHeader(int32_t(width), int32_t(height), 24);
    for (uint32_t r = 0; r < height; ++r) {
        const uint32_t y = height - 1 - r;
        std::vector<uint8_t> row;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = pixels[size_t(y) * width + x];
            row.insert(row.end(), {colorBlue(c), colorGreen(c), colorRed(c)});
        }
        b.rows.push_back(row);
    }
    return b.build();
}

std::vector<uint8_t> indicesOf(std::span<const uint8_t> dib)
{
    DibHeader h;
    if (!checkDib(dib, &h) || h.bitCount != 8)
        return {};
    std::vector<uint8_t> out;
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* row = dib.data() + dibRowOffset(h, y);
        out.insert(out.end(), row, row + h.width);
    }
    return out;
}

std::vector<uint32_t> tableOf(std::span<const uint8_t> dib)
{
    DibHeader h;
    std::vector<uint32_t> out;
    if (!readDibHeader(dib, h))
        return out;
    for (uint32_t i = 0; i < dibColorCount(h); ++i) {
        const uint8_t* q = dib.data() + h.size + 4 * i;
        out.push_back(makeColor(q[2], q[1], q[0]));
    }
    return out;
}

} // namespace zell::test
