#include "image/dib.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/bytes.h"
#include "image/pixel_limit.h"

namespace zell {

bool readDibHeader(std::span<const uint8_t> dib, DibHeader& out)
{
    if (!dib.data() || dib.size() < kDibHeaderSize)
        return false;
    const uint8_t* p = dib.data();
    DibHeader h;
    h.size = getU32le(p);
    h.width = getI32le(p + 4);
    h.height = getI32le(p + 8);
    h.planes = getU16le(p + 12);
    h.bitCount = getU16le(p + 14);
    h.compression = getU32le(p + 16);
    h.sizeImage = getU32le(p + 20);
    h.xPelsPerMeter = getI32le(p + 24);
    h.yPelsPerMeter = getI32le(p + 28);
    h.clrUsed = getU32le(p + 32);
    h.clrImportant = getU32le(p + 36);
    if (h.size < kDibHeaderSize)
        return false;
    out = h;
    return true;
}

void writeDibHeader(uint8_t* p, const DibHeader& h)
{
    putU32le(p, h.size);
    putI32le(p + 4, h.width);
    putI32le(p + 8, h.height);
    putU16le(p + 12, h.planes);
    putU16le(p + 14, h.bitCount);
    putU32le(p + 16, h.compression);
    putU32le(p + 20, h.sizeImage);
    putI32le(p + 24, h.xPelsPerMeter);
    putI32le(p + 28, h.yPelsPerMeter);
    putU32le(p + 32, h.clrUsed);
    putU32le(p + 36, h.clrImportant);
}

uint32_t dibColorCount(const DibHeader& h)
{
    if (h.clrUsed != 0)
        return h.clrUsed;
    if (h.bitCount > 8)
        return 0;
    return (1u << h.bitCount) & 0x1FF;
}

uint32_t dibColorCount(std::span<const uint8_t> dib)
{
    DibHeader h;
    return readDibHeader(dib, h) ? dibColorCount(h) : 0;
}

uint64_t dibStride(int64_t width, uint32_t bitCount)
{
    if (width <= 0)
        return 0;
    return ((uint64_t(width) * bitCount + 31) / 32) * 4;
}

uint64_t dibBitsOffset(const DibHeader& h)
{
    uint64_t entries = h.clrUsed;
    if (entries == 0 && h.bitCount <= 8)
        entries = uint64_t(1) << h.bitCount;
    uint64_t offset = uint64_t(h.size) + 4 * entries;
    if ((h.bitCount == 16 || h.bitCount == 32) && h.compression == kBiBitfields)
        offset += 12;
    return offset;
}

uint64_t dibPackedSize(const DibHeader& h)
{
    return dibBitsOffset(h) + dibStride(h.width, h.bitCount) * h.absHeight();
}

uint64_t dibPackedSize(std::span<const uint8_t> dib)
{
    DibHeader h;
    return readDibHeader(dib, h) ? dibPackedSize(h) : 0;
}

bool checkDib(std::span<const uint8_t> dib, DibHeader* header)
{
    DibHeader h;
    if (!readDibHeader(dib, h))
        return false;
    if (h.width <= 0 || h.height == 0 || h.bitCount == 0 || h.bitCount > 32)
        return false;
    if (h.compression != kBiRgb && h.compression != kBiBitfields)
        return false;
    if (uint64_t(h.width) * h.absHeight() > kMaxPixels)
        return false;
    if (dibPackedSize(h) > dib.size())
        return false;
    if (header)
        *header = h;
    return true;
}

uint64_t dibRowOffset(const DibHeader& h, uint32_t y)
{
    uint32_t row = h.topDown() ? y : h.absHeight() - 1 - y;
    return dibBitsOffset(h) + uint64_t(row) * dibStride(h.width, h.bitCount);
}

DibHeader makeDibHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed)
{
    DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = bitCount;
    h.clrUsed = clrUsed;
    h.sizeImage = uint32_t(dibStride(width, bitCount) * h.absHeight());
    return h;
}

namespace {

struct MaskChannel {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;

    explicit MaskChannel(uint32_t m) : mask(m)
    {
        if (m == 0)
            return;
        while (!((m >> shift) & 1))
            ++shift;
        while (shift + width < 32 && ((m >> (shift + width)) & 1))
            ++width;
    }

    uint8_t expand(uint32_t pixel) const
    {
        if (width == 0)
            return 0;
        uint32_t v = (pixel & mask) >> shift;
        if (width == 8)
            return uint8_t(v);
        if (width > 8)
            return uint8_t(v >> (width - 8));
        // Repeat the bits downward so that full scale stays full scale.
        uint32_t out = v << (8 - width);
        int r = 8 - width;
        while (r > width) {
            r -= width;
            out |= v << r;
        }
        out |= v >> (width - r);
        return uint8_t(out);
    }
};

inline uint8_t expand5(uint32_t v)
{
    return uint8_t((v << 3) | (v >> 2));
}

void convertPaletteRow(const uint8_t* src, uint8_t* dst, uint32_t width, uint32_t bits,
                       const uint8_t* table, uint32_t tableCount)
{
    // Every frame the optimiser composes passes here at 8 bits: a byte per
    // pixel needs no unpacking.
    if (bits == 8) {
        for (uint32_t x = 0; x < width; ++x) {
            if (const uint32_t index = src[x]; index < tableCount)
                std::memcpy(dst + 3 * x, table + 4 * index, 3);
        }
        return;
    }
    const uint32_t perByte = 8 / bits;
    const uint32_t valueMask = (1u << bits) - 1;
    for (uint32_t x = 0; x < width; ++x) {
        uint32_t byte = src[(uint64_t(x) * bits) / 8];
        uint32_t index = (byte >> ((perByte - 1 - x % perByte) * bits)) & valueMask;
        if (index < tableCount) {
            const uint8_t* q = table + 4 * index;
            dst[3 * x] = q[0];
            dst[3 * x + 1] = q[1];
            dst[3 * x + 2] = q[2];
        }
    }
}

} // namespace

bool convertToTrueColor(std::span<const uint8_t> source, ByteBuffer& destination)
{
    DibHeader h;
    if (!source.data() || source.data() == destination.data() || !checkDib(source, &h))
        return false;
    if (h.bitCount == 24)
        return destination.assign(source.data(), uint32_t(dibPackedSize(h)));

    const uint32_t width = uint32_t(h.width);
    const uint32_t height = h.absHeight();
    const uint64_t outStride = dibStride(width, 24);
    const uint64_t outSize = kDibHeaderSize + outStride * height;
    if (outSize > UINT32_MAX || !destination.allocate(uint32_t(outSize)))
        return false;
    uint8_t* out = destination.data();
    std::memset(out, 0, outSize);
    DibHeader o = makeDibHeader(h.width, h.height, 24);
    o.xPelsPerMeter = h.xPelsPerMeter;
    o.yPelsPerMeter = h.yPelsPerMeter;
    writeDibHeader(out, o);

    const uint8_t* bits = source.data() + dibBitsOffset(h);
    const uint64_t inStride = dibStride(width, h.bitCount);
    const uint8_t* afterHeader = source.data() + h.size;
    const bool bitfields = h.compression == kBiBitfields && (h.bitCount == 16 || h.bitCount == 32);
    uint32_t masks[3] = {0, 0, 0};
    if (bitfields) {
        const uint8_t* m = afterHeader + 4 * uint64_t(h.clrUsed);
        masks[0] = getU32le(m);
        masks[1] = getU32le(m + 4);
        masks[2] = getU32le(m + 8);
    }
    const MaskChannel red(masks[0]), green(masks[1]), blue(masks[2]);
    const uint32_t tableCount = dibColorCount(h);

    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* src = bits + row * inStride;
        uint8_t* dst = out + kDibHeaderSize + row * outStride;
        switch (h.bitCount) {
        case 1:
        case 2:
        case 4:
        case 8:
            convertPaletteRow(src, dst, width, h.bitCount, afterHeader, tableCount);
            break;
        case 16:
            for (uint32_t x = 0; x < width; ++x) {
                uint32_t px = getU16le(src + 2 * x);
                if (bitfields) {
                    dst[3 * x] = blue.expand(px);
                    dst[3 * x + 1] = green.expand(px);
                    dst[3 * x + 2] = red.expand(px);
                } else {
                    dst[3 * x] = expand5(px & 0x1F);
                    dst[3 * x + 1] = expand5((px >> 5) & 0x1F);
                    dst[3 * x + 2] = expand5((px >> 10) & 0x1F);
                }
            }
            break;
        case 32:
            for (uint32_t x = 0; x < width; ++x) {
                if (bitfields) {
                    uint32_t px = getU32le(src + 4 * x);
                    dst[3 * x] = blue.expand(px);
                    dst[3 * x + 1] = green.expand(px);
                    dst[3 * x + 2] = red.expand(px);
                } else {
                    std::memcpy(dst + 3 * x, src + 4 * x, 3);
                }
            }
            break;
        default:
            // Unknown depths give the black picture, as the format's readers do.
            break;
        }
    }
    return true;
}

bool makeOrientedCopy(std::span<const uint8_t> source, ByteBuffer& destination, bool topDown)
{
    DibHeader h;
    if (!source.data() || source.data() == destination.data() || !checkDib(source, &h))
        return false;
    if (topDown == h.topDown())
        return destination.assign(source.data(), uint32_t(dibPackedSize(h)));

    const uint64_t tableBytes = dibBitsOffset(h) - h.size;
    const uint64_t stride = dibStride(h.width, h.bitCount);
    const uint32_t height = h.absHeight();
    const uint64_t outSize = kDibHeaderSize + tableBytes + stride * height;
    if (outSize > UINT32_MAX || !destination.allocate(uint32_t(outSize)))
        return false;
    uint8_t* out = destination.data();
    DibHeader o = h;
    o.size = kDibHeaderSize;
    o.height = -h.height;
    writeDibHeader(out, o);
    std::memcpy(out + kDibHeaderSize, source.data() + h.size, tableBytes);
    const uint8_t* srcBits = source.data() + dibBitsOffset(h);
    uint8_t* dstBits = out + kDibHeaderSize + tableBytes;
    for (uint32_t row = 0; row < height; ++row)
        std::memcpy(dstBits + row * stride, srcBits + (height - 1 - row) * stride, stride);
    return true;
}

int countColors(std::span<const uint8_t> dib)
{
    DibHeader h;
    if (!checkDib(dib, &h))
        return 0;
    if (h.bitCount <= 8)
        return 1 << h.bitCount;
    if (h.bitCount != 24)
        return 0;
    std::vector<uint64_t> seen;
    try {
        seen.assign((uint64_t(1) << 24) / 64, 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const uint32_t width = uint32_t(h.width);
    const uint64_t stride = dibStride(width, 24);
    const uint8_t* bits = dib.data() + dibBitsOffset(h);
    int count = 0;
    for (uint32_t row = 0; row < h.absHeight(); ++row) {
        const uint8_t* p = bits + row * stride;
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            uint32_t c = p[0] | (p[1] << 8) | (p[2] << 16);
            uint64_t bit = uint64_t(1) << (c & 63);
            if (!(seen[c >> 6] & bit)) {
                seen[c >> 6] |= bit;
                if (++count > 256)
                    return 257;
            }
        }
    }
    return count;
}

bool createSolidImage(ByteBuffer& buffer, uint32_t width, uint32_t height, uint32_t color)
{
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX
        || uint64_t(width) * height > pixelLimit())
        return false;
    const uint64_t stride = dibStride(width, 24);
    const uint64_t size = kDibHeaderSize + stride * height;
    if (!buffer.allocate(uint32_t(size)))
        return false;
    uint8_t* out = buffer.data();
    writeDibHeader(out, makeDibHeader(int32_t(width), int32_t(height), 24));
    uint8_t* row0 = out + kDibHeaderSize;
    std::memset(row0, 0, stride);
    for (uint32_t x = 0; x < width; ++x) {
        row0[3 * x] = colorBlue(color);
        row0[3 * x + 1] = colorGreen(color);
        row0[3 * x + 2] = colorRed(color);
    }
    for (uint32_t row = 1; row < height; ++row)
        std::memcpy(row0 + row * stride, row0, stride);
    return true;
}

} // namespace zell
