#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/bmp_decoder.h"
#include "image/dib.h"

// Whatever the input, a decoded picture must be one every other operation
// accepts, converting it must stay inside it, and its transparency, when
// read, must cover it pixel for pixel.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zell::ByteBuffer picture;
    if (!zell::decodeBmp({data, size}, picture))
        return 0;
    if (!zell::checkDib(picture.bytes()))
        __builtin_trap();
    zell::ByteBuffer rgb;
    zell::convertToTrueColor(picture.bytes(), rgb);
    zell::DibHeader h;
    std::vector<uint8_t> clear;
    if (zell::decodeBmpTransparency({data, size}, clear) && !clear.empty()
        && (!zell::readDibHeader(picture.bytes(), h) || clear.size() != uint64_t(h.width) * h.absHeight()))
        __builtin_trap();
    return 0;
}
