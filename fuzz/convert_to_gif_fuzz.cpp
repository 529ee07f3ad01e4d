#include <cstddef>
#include <cstdint>

#include "document/image_format.h"
#include "document/still_image.h"
#include "image/gif_codec.h"

// Whatever the input, a stream we wrote for it, with fully transparent
// pixels kept or not, must read back as an image, of the size the file's
// header claims (what a refusal for size would name).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> input(data, size);
    if (zell::detectImageFormat(input) == zell::kFormatGif)
        return 0; // copied, not written by us
    uint32_t width = 0, height = 0;
    const bool claimed = zell::imageDimensions({data, size}, width, height);
    for (const bool keepAlpha : {false, true}) {
        zell::ByteBuffer gif;
        if (!zell::convertToGif({data, size}, gif, false, keepAlpha))
            continue;
        zell::ByteBuffer picture;
        zell::DibHeader h;
        if (!zell::decodeGifImage(gif.bytes(), picture, 0, false) || picture.empty()
            || !zell::readDibHeader(picture.bytes(), h))
            __builtin_trap();
        if (!claimed || uint32_t(h.width) != width || h.absHeight() != height)
            __builtin_trap();
    }
    return 0;
}
