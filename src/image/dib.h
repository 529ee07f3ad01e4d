// Packed device-independent bitmaps: a 40-byte header, the colour table or
// bit-field masks, then rows padded to 4 bytes (bottom-up when the height is
// positive). This layout is the in-memory picture everywhere in zell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

inline constexpr uint32_t kDibHeaderSize = 40;
inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiBitfields = 3;
// Larger pictures are refused instead of trusting an overcommitting allocator.
inline constexpr uint64_t kMaxPixels = uint64_t(1) << 28;
// A colour value (red in the low byte) that stands for "no colour".
inline constexpr uint32_t kNoColor = 0xFF000000u;

inline constexpr uint32_t makeColor(uint8_t r, uint8_t g, uint8_t b)
{
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
inline constexpr uint8_t colorRed(uint32_t c) { return uint8_t(c); }
inline constexpr uint8_t colorGreen(uint32_t c) { return uint8_t(c >> 8); }
inline constexpr uint8_t colorBlue(uint32_t c) { return uint8_t(c >> 16); }

struct DibHeader {
    uint32_t size = kDibHeaderSize;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;

    uint32_t absHeight() const { return height < 0 ? uint32_t(-int64_t(height)) : uint32_t(height); }
    bool topDown() const { return height < 0; }
};

// Reads the header fields; false when fewer than 40 bytes or biSize < 40.
bool readDibHeader(std::span<const uint8_t> dib, DibHeader& out);
// Writes the 40 header bytes (biSize as given).
void writeDibHeader(uint8_t* out, const DibHeader& header);

uint32_t dibColorCount(const DibHeader& header);
uint32_t dibColorCount(std::span<const uint8_t> dib);
uint64_t dibStride(int64_t width, uint32_t bitCount);
uint64_t dibBitsOffset(const DibHeader& header);
uint64_t dibPackedSize(const DibHeader& header);
uint64_t dibPackedSize(std::span<const uint8_t> dib);

// A picture every operation may work on: readable header, positive size of at
// most kMaxPixels pixels, compression 0 or 3, and bytes covering dibPackedSize.
bool checkDib(std::span<const uint8_t> dib, DibHeader* header = nullptr);

// Offset of row y counted from the top.
uint64_t dibRowOffset(const DibHeader& header, uint32_t y);

// Builds a header for a new picture with biSizeImage filled in.
DibHeader makeDibHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed = 0);

bool convertToTrueColor(std::span<const uint8_t> source, ByteBuffer& destination);
bool makeOrientedCopy(std::span<const uint8_t> source, ByteBuffer& destination, bool topDown);
// Up to 8 bits: the table's capacity. 24 bits: distinct colours, 257 meaning
// "more than 256". 0 for other depths.
int countColors(std::span<const uint8_t> dib);
bool createSolidImage(ByteBuffer& buffer, uint32_t width, uint32_t height, uint32_t color);

} // namespace zell
