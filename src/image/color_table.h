// The palette type shared by the whole program: up to 256 red-green-blue
// entries in GIF order, a count, and the background index of a global table.
#pragma once

#include <array>
#include <cstdint>

namespace zell {

inline constexpr uint16_t kNoIndex = 0xFFFF;

struct ColorTable {
    std::array<uint8_t, 768> entries{};
    uint16_t count = 0;
    uint16_t backgroundIndex = kNoIndex;

    uint32_t color(uint32_t index) const
    {
        const uint8_t* e = &entries[3 * index];
        return uint32_t(e[0]) | (uint32_t(e[1]) << 8) | (uint32_t(e[2]) << 16);
    }
    void setColor(uint32_t index, uint32_t value)
    {
        uint8_t* e = &entries[3 * index];
        e[0] = uint8_t(value);
        e[1] = uint8_t(value >> 8);
        e[2] = uint8_t(value >> 16);
    }

    bool operator==(const ColorTable&) const = default;
};

// Bits of a GIF colour table that holds `count` entries: the smallest b >= 1
// with 2^b >= count (1 for 0..2, 8 for 129..256).
inline int colorTableBits(uint32_t count)
{
    int bits = 1;
    while (bits < 8 && (1u << bits) < count)
        ++bits;
    return bits;
}

// Whether a GIF colour table can have `count` entries (2, 4, ... 256).
inline bool isTableSize(int count) { return count >= 2 && count <= 256 && (count & (count - 1)) == 0; }

} // namespace zell
