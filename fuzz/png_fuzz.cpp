#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

#include "document/png_decoder.h"
#include "image/dib.h"

namespace {

uint32_t getU32be(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Mutated chunks almost never keep a valid CRC, and libpng stops at the first
// bad one; writing the right CRCs lets the inputs reach the image data.
void repairCrcs(std::vector<uint8_t>& png)
{
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint64_t length = getU32be(png.data() + at);
        if (at + 12 + length > png.size())
            return;
        const uint32_t crc = uint32_t(crc32(0, png.data() + at + 4, uInt(length + 4)));
        uint8_t* out = png.data() + at + 8 + length;
        out[0] = uint8_t(crc >> 24);
        out[1] = uint8_t(crc >> 16);
        out[2] = uint8_t(crc >> 8);
        out[3] = uint8_t(crc);
        at += 12 + length;
    }
}

} // namespace

// Whatever the input, a decoded picture must be one every other operation
// accepts, converting it must stay inside it, and its transparency, when
// read, must cover it pixel for pixel.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> png(data, data + size);
    repairCrcs(png);
    zell::ByteBuffer picture;
    if (!zell::decodePng(png, picture))
        return 0;
    if (!zell::checkDib(picture.bytes()))
        __builtin_trap();
    zell::ByteBuffer rgb;
    zell::convertToTrueColor(picture.bytes(), rgb);
    zell::DibHeader h;
    std::vector<uint8_t> clear;
    if (zell::decodePngTransparency(png, clear) && !clear.empty()
        && (!zell::readDibHeader(picture.bytes(), h) || clear.size() != uint64_t(h.width) * h.absHeight()))
        __builtin_trap();
    return 0;
}
