// LzwCodec::decompress on untrusted bytes; the first byte gives the minimum
// code size (0..9, so refused sizes are tried too). Whatever decodes must
// survive a round trip through the compressor, and the import's check must
// agree with the decoder: what it accepts decodes, what it refuses stops
// short of the pixels asked for. The choosing encoder, given a second value
// for some pixels, must write one of the two for every pixel whichever way
// it clears its table and whether or not strings end early, and with no
// choice and the longest strings clear at every fill as compress.
#include <cstdint>
#include <algorithm>
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

    const std::span<const uint8_t> some(pixels.data(), std::min<size_t>(pixels.size(), size_t(1) << 18));
    std::vector<uint8_t> alt(some.begin(), some.end());
    for (size_t i = 0; i < alt.size(); i += 1 + data[i % size] % 4)
        alt[i] = uint8_t((alt[i] + data[(i + 1) % size]) & ((1u << minCodeSize) - 1));
    const uint32_t gain = data[size / 2] % 6; // 0: the longest strings
    for (auto how : {zell::LzwClear::whenWorse, zell::LzwClear::atFill, zell::LzwClear::searched,
                     zell::LzwClear::never}) {
        if (!codec.compressChoosing(some, alt, minCodeSize, codes, SIZE_MAX, how, gain)
            || !codec.decompress(codes, minCodeSize, back) || back.size() != some.size())
            std::abort();
        for (size_t i = 0; i < back.size(); ++i) {
            if (back[i] != some[i] && back[i] != alt[i])
                std::abort();
        }
    }
    std::vector<uint8_t> plain;
    if (!codec.compressChoosing(some, some, minCodeSize, codes, SIZE_MAX, zell::LzwClear::atFill)
        || !codec.compress(some, minCodeSize, plain) || codes != plain)
        std::abort();
    return 0;
}
