#include "document/bmp_decoder.h"

#include <cstring>

#include "image/bytes.h"
#include "image/dib.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

constexpr uint64_t kFileHeaderSize = 14;
// Headers from 56 bytes on hold an alpha mask after the three colour masks.
constexpr uint32_t kAlphaMaskOffset = 52;

// Where the parts of the file lie, every range checked against its size.
struct BmpLayout {
    DibHeader header;
    uint64_t tableOffset = 0;
    uint64_t tableBytes = 0;
    uint64_t bitsOffset = 0;
    uint64_t bitsBytes = 0;
};

bool supportedDepth(uint32_t bits)
{
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool readLayout(std::span<const uint8_t> data, BmpLayout& layout)
{
    if (data.size() < kFileHeaderSize + kDibHeaderSize || data[0] != 'B' || data[1] != 'M')
        return false;
    DibHeader& h = layout.header;
    // Headers shorter than 40 bytes (OS/2) put other fields where ours are.
    if (!readDibHeader(data.subspan(kFileHeaderSize), h))
        return false;
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
        layout.tableBytes = 4 * uint64_t(h.clrUsed != 0 ? h.clrUsed : 1u << h.bitCount);
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
    const uint64_t size = kDibHeaderSize + layout.tableBytes + layout.bitsBytes;
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
    std::memcpy(out + kDibHeaderSize, data.data() + layout.tableOffset, layout.tableBytes);
    std::memcpy(out + kDibHeaderSize + layout.tableBytes, data.data() + layout.bitsOffset, layout.bitsBytes);
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
