#include "document/bmp_decoder.h"

#include <algorithm>
#include <cstring>

#include "image/bytes.h"
#include "image/dib.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

constexpr uint64_t kFileHeaderSize = 14;
// The 12-byte header of OS/2 1.x files: 16-bit sizes, three-byte table entries.
constexpr uint32_t kCoreHeaderSize = 12;
// Headers from 56 bytes on hold an alpha mask after the three colour masks.
constexpr uint32_t kAlphaMaskOffset = 52;

// Where the parts of the file lie, every range checked against its size.
struct BmpLayout {
    DibHeader header;
    uint64_t tableOffset = 0;
    uint64_t tableBytes = 0;
    uint64_t bitsOffset = 0;
    uint64_t bitsBytes = 0;
    uint32_t entryBytes = 4; // 3 in the table of a 12-byte header
};

bool supportedDepth(uint32_t bits)
{
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The 12-byte header as the fields of the 40-byte one. Its table has one
// entry per colour of the depth, unless the pixel offset leaves room for
// fewer (writers that store only the colours they use).
bool readCoreLayout(std::span<const uint8_t> data, BmpLayout& layout)
{
    const uint8_t* p = data.data() + kFileHeaderSize;
    DibHeader& h = layout.header;
    h.size = kCoreHeaderSize;
    h.width = getU16le(p + 4);
    h.height = getU16le(p + 6);
    h.planes = getU16le(p + 8);
    h.bitCount = getU16le(p + 10);
    if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24)
        return false;
    layout.entryBytes = 3;
    if (h.bitCount <= 8) {
        const uint64_t tableStart = kFileHeaderSize + kCoreHeaderSize;
        const uint32_t offsetField = getU32le(data.data() + 10);
        uint64_t entries = uint64_t(1) << h.bitCount;
        if (offsetField > tableStart)
            entries = std::min<uint64_t>(entries, (offsetField - tableStart) / 3);
        if (entries == 0)
            return false;
        h.clrUsed = uint32_t(entries);
    }
    return true;
}

bool readLayout(std::span<const uint8_t> data, BmpLayout& layout)
{
    if (data.size() < kFileHeaderSize + kCoreHeaderSize || data[0] != 'B' || data[1] != 'M')
        return false;
    DibHeader& h = layout.header;
    if (getU32le(data.data() + kFileHeaderSize) == kCoreHeaderSize) {
        if (!readCoreLayout(data, layout))
            return false;
    } else if (!readDibHeader(data.subspan(kFileHeaderSize), h)) {
        // Other headers shorter than 40 bytes put other fields where ours are.
        return false;
    }
    if (h.compression != kBiRgb && h.compression != kBiBitfields)
        return false;
    if (!supportedDepth(h.bitCount) || h.width <= 0 || h.height == 0)
        return false;
    // Bit fields only make sense for 16 and 32 bits; elsewhere the masks
    // would shift every row of the picture.
    if (h.compression == kBiBitfields && h.bitCount != 16 && h.bitCount != 32)
        return false;
    if (uint64_t(h.width) * h.absHeight() > pixelLimit())
        return false;

    if (h.bitCount <= 8) {
        layout.tableOffset = kFileHeaderSize + h.size;
        layout.tableBytes = layout.entryBytes * uint64_t(h.clrUsed != 0 ? h.clrUsed : 1u << h.bitCount);
    } else if (h.compression == kBiBitfields) {
        // The masks follow the first 40 header bytes: after a 40-byte header,
        // inside the larger ones that hold them as fields.
        layout.tableOffset = kFileHeaderSize + kDibHeaderSize;
        layout.tableBytes = 12;
    }
    layout.bitsBytes = dibStride(h.width, h.bitCount) * h.absHeight();
    const uint32_t offsetField = getU32le(data.data() + 10);
    layout.bitsOffset = offsetField != 0 ? offsetField : kFileHeaderSize + h.size + layout.tableBytes;
    return layout.tableOffset + layout.tableBytes <= data.size()
        && layout.bitsOffset + layout.bitsBytes <= data.size();
}

} // namespace

bool decodeBmp(std::span<const uint8_t> data, ByteBuffer& picture)
{
    BmpLayout layout;
    if (!data.data() || !readLayout(data, layout))
        return false;
    const uint64_t entries = layout.tableBytes / layout.entryBytes;
    const uint64_t size = kDibHeaderSize + 4 * entries + layout.bitsBytes;
    if (size > UINT32_MAX || !picture.allocate(uint32_t(size)))
        return false;

    DibHeader h = layout.header;
    h.size = kDibHeaderSize;
    h.sizeImage = uint32_t(layout.bitsBytes);
    // A table in front of true-colour rows is not carried over, so its count
    // must not be either: readers would look for the rows behind it.
    if (h.bitCount > 8)
        h.clrUsed = 0;
    uint8_t* out = picture.data();
    writeDibHeader(out, h);
    uint8_t* table = out + kDibHeaderSize;
    for (uint64_t i = 0; i < entries; ++i) {
        const uint8_t* entry = data.data() + layout.tableOffset + layout.entryBytes * i;
        table[4 * i] = entry[0];
        table[4 * i + 1] = entry[1];
        table[4 * i + 2] = entry[2];
        table[4 * i + 3] = layout.entryBytes == 4 ? entry[3] : 0;
    }
    std::memcpy(table + 4 * entries, data.data() + layout.bitsOffset, layout.bitsBytes);
    return true;
}

bool decodeBmpTransparency(std::span<const uint8_t> data, std::vector<uint8_t>& clear)
{
    BmpLayout layout;
    if (!data.data() || !readLayout(data, layout))
        return false;
    const DibHeader& h = layout.header;
    uint32_t alphaMask = 0;
    if (h.bitCount == 32 && h.compression == kBiRgb)
        alphaMask = 0xFF000000u;
    else if (h.bitCount == 32 && h.size >= kAlphaMaskOffset + 4 && kFileHeaderSize + kAlphaMaskOffset + 4 <= data.size())
        alphaMask = getU32le(data.data() + kFileHeaderSize + kAlphaMaskOffset);
    std::vector<uint8_t> out;
    bool anyAlpha = false;
    if (alphaMask != 0) {
        const uint32_t width = uint32_t(h.width), height = h.absHeight();
        const uint64_t stride = dibStride(width, 32);
        out.resize(size_t(uint64_t(width) * height));
        for (uint32_t y = 0; y < height; ++y) {
            const uint32_t stored = h.topDown() ? y : height - 1 - y;
            const uint8_t* row = data.data() + layout.bitsOffset + stored * stride;
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t alpha = getU32le(row + 4 * x) & alphaMask;
                anyAlpha = anyAlpha || alpha != 0;
                out[size_t(y) * width + x] = alpha == 0;
            }
        }
    }
    if (!anyAlpha)
        out.clear();
    clear.swap(out);
    return true;
}

} // namespace zell
