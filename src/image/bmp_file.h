// A packed picture as a BMP file: the 14-byte file header in front of it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zell {

// Empty when the picture is not a valid packed DIB.
std::vector<uint8_t> makeBmpFile(std::span<const uint8_t> dib);
bool writeBmpFile(const std::string& path, std::span<const uint8_t> dib);

} // namespace zell
