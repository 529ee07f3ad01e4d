// Walking the sub-block runs of a GIF stream and sizing its colour tables,
// shared by every reader and writer of GIF streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zell {

// Calls visit(bytes) for each sub-block of the run at `pos` and moves past its
// zero terminator; false when the run leaves the data.
template <typename Visit>
bool forEachGifSubBlock(std::span<const uint8_t> data, size_t& pos, Visit&& visit)
{
    for (;;) {
        if (pos >= data.size())
            return false;
        const size_t length = data[pos++];
        if (length == 0)
            return true;
        if (length > data.size() - pos)
            return false;
        visit(data.subspan(pos, length));
        pos += length;
    }
}

inline bool skipGifSubBlocks(std::span<const uint8_t> data, size_t& pos)
{
    return forEachGifSubBlock(data, pos, [](std::span<const uint8_t>) {});
}

// The size field of a colour table of `count` entries, found by halving
// (256 gives 7, 2 gives 0); -1 below 2 entries.
inline int gifTableSizeField(uint32_t count)
{
    int k = 0;
    uint32_t n = count;
    while ((n = (n >> 1) & 0xFF) != 0)
        ++k;
    return k >= 1 && k <= 8 ? k - 1 : -1;
}

} // namespace zell
