#include <cstddef>
#include <cstdint>

#include "document/gif_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zell::GifStreamInfo info;
    zell::readGifInfo({data, size}, info);
    return 0;
}
