// Assembles GIF streams block by block for tests, so that each case reads as
// a short recipe instead of an opaque fixture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zell::test {

class GifBuilder {
public:
    // Header and screen descriptor; a non-empty table is written as the
    // global table (its size must be a power of two, 2..256).
    GifBuilder& screen(uint16_t width, uint16_t height, const std::vector<uint8_t>& globalRgb = {},
                       uint8_t background = 0, const char* version = "89a");
    GifBuilder& control(uint8_t packed, uint16_t delay, uint8_t transparentIndex);
    GifBuilder& comment(const std::vector<std::string>& subBlocks);
    GifBuilder& application(const std::string& id, const std::vector<uint8_t>& data);
    // Image descriptor, optional local table, code size, data in sub-blocks
    // of at most 255 bytes, terminator.
    GifBuilder& image(uint16_t left, uint16_t top, uint16_t width, uint16_t height, uint8_t packed,
                      const std::vector<uint8_t>& localRgb, uint8_t codeSize, const std::vector<uint8_t>& data);
    GifBuilder& raw(const std::vector<uint8_t>& bytes);
    GifBuilder& trailer();

    std::vector<uint8_t> bytes;
};

// A palette of n grey-ish but distinct RGB triples.
std::vector<uint8_t> testPalette(int n, int seed = 0);

} // namespace zell::test
