// LzwCodec::decompress on untrusted bytes; the first byte gives the minimum
// code size (0..9, so refused sizes are tried too). Whatever decodes must
// survive a round trip through the compressor, and the import's check must
// agree with the decoder: what it accepts decodes, what it refuses stops
// short of the pixels asked for.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "image/lzw_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int minCodeSize = data[0] % 10;
    zell::LzwCodec codec;
    std::vector<uint8_t> pixels;
    const size_t wanted = size_t(1) << 22;
    const bool clean = zell::lzwDataDecodes(std::span(data + 1, size - 1), minCodeSize, wanted);
    const bool decoded = codec.decompress(std::span(data + 1, size - 1), minCodeSize, pixels, wanted);
    if ((clean && !decoded) || (!clean && pixels.size() >= wanted))
        std::abort();
    if (!decoded)
        return 0;
    for (uint8_t p : pixels) {
        if (p >> minCodeSize)
            std::abort();
    }
    std::vector<uint8_t> codes;
    std::vector<uint8_t> back;
    if (!codec.compress(pixels, minCodeSize, codes) || !codec.decompress(codes, minCodeSize, back) || back != pixels)
        std::abort();
    return 0;
}
