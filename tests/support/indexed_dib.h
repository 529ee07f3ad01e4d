// Pictures built from index or colour lists, and read back the same way:
// rows top to bottom, colours as colour values (red in the low byte).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zell::test {

// A 1-, 2-, 4- or 8-bit picture with the given table.
std::vector<uint8_t> indexedDib(uint32_t width, uint32_t height, const std::vector<uint32_t>& colors,
                                const std::vector<uint8_t>& indices, uint16_t bitCount = 8, bool topDown = false);
// A bottom-up 24-bit picture.
std::vector<uint8_t> trueColorDib(uint32_t width, uint32_t height, const std::vector<uint32_t>& pixels);

// Indices of an 8-bit picture, unpadded; empty for anything else.
std::vector<uint8_t> indicesOf(std::span<const uint8_t> dib);
// The colour table of a picture.
std::vector<uint32_t> tableOf(std::span<const uint8_t> dib);

} // namespace zell::test
