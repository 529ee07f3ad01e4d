// A picture together with the pictures derived from it for display: its
// transparency mask and the two canvases of the logical screen.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "image/byte_buffer.h"
#include "image/color_table.h"
#include "image/dib.h"
#include "image/screen_area.h"

namespace zell {

class RasterImage {
public:
    RasterImage() = default;
    RasterImage(const RasterImage&) = delete;
    RasterImage& operator=(const RasterImage&) = delete;
    virtual ~RasterImage() = default;

    ByteBuffer image;
    ByteBuffer mask;          // 1-bit: white where transparent, black where opaque
    ByteBuffer displayCanvas; // 24-bit logical screen as last composed
    ByteBuffer baseCanvas;    // 24-bit logical screen the next frame is composed on

    // Copies the DIB into `image` (size 0: its packed size); the mask is dropped.
    bool setDib(std::span<const uint8_t> dib);
    bool setDib(const uint8_t* dib, uint32_t size);
    // (width, absolute height), (0, 0) without a picture.
    std::pair<uint32_t, uint32_t> imageSize() const;
    // Index at (x, y) from the top of an 8-bit picture; -1 outside the picture
    // or beyond the table, 0 without a picture.
    int pixelIndex(int64_t x, int64_t y) const;
    // True when table and picture had the same number of entries (or one is missing).
    bool applyColorTable(const ColorTable* table);
    bool buildMask(uint32_t transparentIndex);
    bool toTrueColor();

    // The logical screen for composing: baseCanvas filled with the colour.
    bool createCanvas(uint32_t width, uint32_t height, uint32_t color);
    // Draws `image` (24-bit, through `mask` when there is one) at (x, y) onto a
    // copy of baseCanvas into displayCanvas, then advances baseCanvas by the
    // disposal method: 2 fills the frame's rectangle with fillColor, 3 keeps
    // the screen as before the frame, anything else keeps the frame.
    bool composeFrame(int disposal, uint16_t x, uint16_t y, uint32_t fillColor);
    void restoreDisplayCanvas();
    // Shrinks `image` (made 24-bit) to fit the box; never enlarges.
    bool fitInto(uint32_t boxWidth, uint32_t boxHeight, bool keepAspect);

    // The frame difference step: compares `image` (8-bit, the frame at
    // left/top) with displayCanvas (the screen beneath it), optionally makes
    // unchanged pixels transparent and crops to the changed rectangle, shrinks
    // the colour table when the crop needs at most half of it, and encodes the
    // result into `out`. Position, transparent index in/out.
    struct FrameDifference {
        int64_t left = 0;
        int64_t top = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        bool changed = false;
        uint16_t transparentIndex = kNoIndex;
        uint16_t colorCount = 0;
    };
    // `painted` (optional, one byte per screen pixel, rows from the top) marks
    // the screen pixels a frame painted; others show the background, which
    // viewers render differently, so they always count as changed.
    bool optimizeFrame(ByteBuffer& out, FrameDifference& frame, bool crop, bool transparent, bool keepColors,
                       std::span<const uint8_t> painted = {});
    // The same against a part of the screen (see ScreenArea), which must
    // hold everything of the frame that lies on the screen.
    bool optimizeFrame(ByteBuffer& out, FrameDifference& frame, bool crop, bool transparent, bool keepColors,
                       const ScreenArea& beneath);

    // Image number `index` (0-based) of a GIF file, as an 8-bit picture with
    // its own colour table; only its top-left keepWidth x keepHeight when it
    // is larger. Defined with the GIF codec.
    bool loadGifImage(const std::string& path, int index, uint32_t keepWidth = UINT32_MAX,
                      uint32_t keepHeight = UINT32_MAX);
    // The same from a GIF stream in memory.
    bool loadGifImage(std::span<const uint8_t> stream, int index, uint32_t keepWidth = UINT32_MAX,
                      uint32_t keepHeight = UINT32_MAX);
    // The picture as a single-image GIF stream of `bits` colour bits, reduced
    // first when it has more; the transparent index follows the reduction.
    // Uses displayCanvas and baseCanvas as scratch (`out` may be baseCanvas).
    // Defined with the GIF codec.
    bool encodeGif(int bits, uint32_t& transparentIndex, ByteBuffer& out);
    // The same stream written to a file.
    bool saveGif(const std::string& path, int bits, uint32_t& transparentIndex);
};

} // namespace zell
