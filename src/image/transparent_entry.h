// True-colour pictures whose fully transparent pixels keep a colour-table
// entry of their own, so that they can become a GIF's transparent index.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"

namespace zell {

// An 8-bit picture of `dib` (any depth) in which the pixels marked non-zero
// in `clear` (one byte a pixel, rows from the top) use entry `clearIndex`,
// whose colour no other entry has, and no other pixel uses it. Up to 255
// other colours are kept exactly; more are reduced by NeuQuant, and when all
// 256 entries are then taken the least used is merged into its nearest one.
// False, with `out` untouched, when `clear` does not match the picture.
bool indexWithClearEntry(std::span<const uint8_t> dib, std::span<const uint8_t> clear, ByteBuffer& out,
                         uint8_t& clearIndex);

} // namespace zell
