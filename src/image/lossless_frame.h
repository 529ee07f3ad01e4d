// The lossless form of the frame-difference step. Like optimizeFrame it compares a frame's 8-bit picture with the
// screen beneath it and crops it to what changes, but it never changes a
// colour of the composed screen:
// - a frame without a transparent colour gets an index of its table that none
//   of its changing pixels uses; a local table that has every entry in use
//   grows by one when it can (below 256 entries); else the frame stays opaque;
// - a pixel that changes nothing may be written as the transparent index or
//   as its own colour: the LZW encoder chooses, string by string;
// - a local table shrinks to the entries still needed (lossless, no
//   quantizer), rounded up to a power of two;
// - of the encodings tried (cropped opaque, all unchanged pixels transparent,
//   don't-care) the smallest is kept.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "image/byte_buffer.h"
#include "image/color_table.h"
#include "image/raster_image.h"

namespace zell {

struct LosslessFrame {
    int64_t left = 0;                     // in/out: position on the screen
    int64_t top = 0;
    uint32_t width = 0;                   // out: size of the encoded picture
    uint32_t height = 0;
    bool changed = false;                 // out: some pixel differs from the screen
    uint16_t transparentIndex = kNoIndex; // in: the frame's own; out: the one to write
    uint16_t colorCount = 0;              // out: entries of the table written (2^bits)
    // in
    bool crop = true;              // shrink to the changed rectangle
    bool giveTransparency = true;  // give frames without a transparent colour one
    bool keepColors = false;       // the frame uses the global table: keep it as it is
    int lossy = 0;                 // a lossy LZW level (see compressLossy); 0 exact
    bool lossyWeighed = false;     // a lossy encoding pays lossyPrice for its error
    // A local-table frame may move onto this global table when it holds the
    // colours it needs (out: usesGlobal; the stream's table is then the
    // global one and is not to be written).
    const ColorTable* global = nullptr;
    bool usesGlobal = false;
};

// `picture.image`: the frame's 8-bit picture with its table; `picture.
// displayCanvas`: the 24-bit screen it will be drawn on; `painted` as for
// optimizeFrame. `out` receives a single-image GIF stream whose table is the
// frame's table to write. `picture.image` is left as it was.
bool encodeLosslessFrame(RasterImage& picture, ByteBuffer& out, LosslessFrame& frame,
                         std::span<const uint8_t> painted = {});
// The same against a part of the screen (see ScreenArea), which must hold
// everything of the frame that lies on the screen.
bool encodeLosslessFrame(RasterImage& picture, ByteBuffer& out, LosslessFrame& frame, const ScreenArea& beneath);

// The bytes a frame's single-image GIF stream (a work file or an encoded
// frame) costs in an animation: its compressed data, and its colour table
// unless the frame uses the global table. 0 when the stream is not one.
uint64_t frameStreamCost(std::span<const uint8_t> stream, bool usesGlobalTable);

// Replaces the 8-bit picture's indices through `to` and its table by `table`.
bool remapPicture(ByteBuffer& dib, const std::array<uint8_t, 256>& to, const ColorTable& table);

} // namespace zell
