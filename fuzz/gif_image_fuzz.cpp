// decodeGifImage on untrusted bytes. The first byte picks the image (low 7
// bits) and the replace-transparent flag (high bit); the rest is the stream.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "image/dib.h"
#include "image/gif_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int index = data[0] & 0x7F;
    const bool replace = (data[0] & 0x80) != 0;
    zell::ByteBuffer out;
    if (!zell::decodeGifImage(std::span(data + 1, size - 1), out, index, replace) || out.empty())
        return 0;
    // Whatever comes out must be a whole 8-bit picture.
    zell::DibHeader h;
    if (!zell::checkDib(out.bytes(), &h) || h.bitCount != 8 || h.clrUsed == 0 || h.clrUsed > 256)
        std::abort();
    return 0;
}
