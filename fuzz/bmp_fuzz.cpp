#include <cstddef>
#include <cstdint>

#include "document/bmp_decoder.h"
#include "image/dib.h"

// Whatever the input, a decoded picture must be one every other operation
// accepts, and converting it must stay inside it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zell::ByteBuffer picture;
    if (!zell::decodeBmp({data, size}, picture))
        return 0;
    if (!zell::checkDib(picture.bytes()))
        __builtin_trap();
    zell::ByteBuffer rgb;
    zell::convertToTrueColor(picture.bytes(), rgb);
    return 0;
}
