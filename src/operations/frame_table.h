// Edits of one frame's own colour table. Each writes a new work file that
// the frame takes only once it is complete, so a failure leaves the frame
// and its picture as they were (and an undo step may keep the old file).
#pragma once

#include <cstdint>

#include "document/document.h"

namespace zell {

// Entry `entry` of the table in frame `index`'s work file (its local table,
// else its global one) becomes `color` (0x00BBGGRR); the pixels keep their
// indices. False without such an entry.
bool setFrameTableColor(Document& document, int index, uint32_t entry, uint32_t color);

// Frame `index` encoded again with a local table of 2^bits entries (1 to 8):
// a picture of more colours is reduced with dithering, keeping an entry for
// its transparent colour, which then becomes the frame's transparent index.
bool resizeFrameTable(Document& document, int index, int bits);

} // namespace zell
