#include "image/raster_image.h"

#include <algorithm>
#include <cstring>

namespace zell {

bool RasterImage::setDib(std::span<const uint8_t> dib)
{
    return setDib(dib.data(), uint32_t(std::min<size_t>(dib.size(), UINT32_MAX)));
}

bool RasterImage::setDib(const uint8_t* dib, uint32_t size)
{
    mask.release();
    if (!dib)
        return false;
    DibHeader h;
    // Without a size the header is all we can trust for the length.
    uint64_t packed = size;
    if (size == 0) {
        if (!readDibHeader({dib, kDibHeaderSize}, h))
            return false;
        packed = dibPackedSize(h);
    }
    if (packed == 0 || packed > UINT32_MAX || !checkDib({dib, size_t(packed)}))
        return false;
    return image.assign(dib, uint32_t(packed));
}

std::pair<uint32_t, uint32_t> RasterImage::imageSize() const
{
    DibHeader h;
    if (image.empty() || !readDibHeader(image.bytes(), h) || h.width < 0)
        return {0, 0};
    return {uint32_t(h.width), h.absHeight()};
}

int RasterImage::pixelIndex(int64_t x, int64_t y) const
{
    DibHeader h;
    if (image.empty() || !checkDib(image.bytes(), &h))
        return 0;
    if (h.bitCount != 8 || x < 0 || y < 0 || x >= h.width || y >= h.absHeight())
        return -1;
    uint8_t index = image.data()[dibRowOffset(h, uint32_t(y)) + uint64_t(x)];
    return index < dibColorCount(h) ? index : -1;
}

bool RasterImage::applyColorTable(const ColorTable* table)
{
    DibHeader h;
    if (!table || image.empty() || !checkDib(image.bytes(), &h))
        return true;
    const uint32_t entries = dibColorCount(h);
    const uint32_t n = std::min<uint32_t>(table->count, entries);
    uint8_t* quad = image.data() + h.size;
    for (uint32_t i = 0; i < entries; ++i, quad += 4) {
        if (i < n) {
            quad[0] = table->entries[3 * i + 2];
            quad[1] = table->entries[3 * i + 1];
            quad[2] = table->entries[3 * i];
        } else {
            quad[0] = quad[1] = quad[2] = 0;
        }
        quad[3] = 0;
    }
    return table->count == entries;
}

bool RasterImage::buildMask(uint32_t transparentIndex)
{
    mask.release();
    DibHeader h;
    if (image.empty() || !checkDib(image.bytes(), &h))
        return false;
    if (transparentIndex == kNoIndex)
        return true;
    if (h.bitCount != 8 || transparentIndex >= dibColorCount(h))
        return false;

    const uint32_t width = uint32_t(h.width);
    const uint32_t height = h.absHeight();
    const uint64_t maskStride = dibStride(width, 1);
    const uint64_t size = kDibHeaderSize + 8 + maskStride * height;
    if (size > UINT32_MAX || !mask.allocate(uint32_t(size)))
        return false;
    uint8_t* out = mask.data();
    DibHeader m = makeDibHeader(h.width, h.height, 1);
    writeDibHeader(out, m);
    const uint8_t table[8] = {255, 255, 255, 0, 0, 0, 0, 0};
    std::memcpy(out + kDibHeaderSize, table, sizeof table);
    uint8_t* maskBits = out + kDibHeaderSize + 8;
    std::memset(maskBits, 0xFF, maskStride * height);

    const uint8_t* bits = image.data() + dibBitsOffset(h);
    const uint64_t stride = dibStride(width, 8);
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* src = bits + row * stride;
        uint8_t* dst = maskBits + row * maskStride;
        for (uint32_t x = 0; x < width; ++x) {
            if (src[x] == transparentIndex)
                dst[x >> 3] &= uint8_t(~(0x80u >> (x & 7)));
        }
    }
    return true;
}

bool RasterImage::toTrueColor()
{
    DibHeader h;
    if (image.empty() || !readDibHeader(image.bytes(), h))
        return false;
    if (h.bitCount == 24)
        return true;
    ByteBuffer converted;
    if (!convertToTrueColor(image.bytes(), converted))
        return false;
    image.swap(converted);
    return true;
}

} // namespace zell
