// The logical screen as a GIF viewer shows it, built one frame after another.
// Every part of zell that composes frames (export, optimizer, player,
// transitions, composed frame files, thumbnails) goes through this one class,
// so that they all agree on transparency, disposal and off-screen frames.
#pragma once

#include <cstdint>
#include <span>

#include "image/painted_area.h"
#include "image/raster_image.h"

namespace zell {

class ScreenCompositor {
public:
    // A screen of the colour; what is on display stays until the next draw.
    // With `trackPainted`, the pixels frames have
    // painted are followed too (see PaintedArea).
    bool start(uint32_t width, uint32_t height, uint32_t background, bool trackPainted = false);

    // The caller loads the next frame's picture into picture().image (8-bit,
    // coloured by the table it uses); its other buffers belong to the screen.
    RasterImage& picture() { return canvas_; }
    const RasterImage& picture() const { return canvas_; }

    // Makes the picture drawable: pixels of the transparent index become
    // see-through. An index at or beyond the picture's table marks no pixel,
    // so the frame is drawn opaque, as browsers and giflib-based viewers show it.
    bool prepare(uint16_t transparentIndex);
    // Draws the prepared picture at (x, y), clipped to the screen (a frame
    // wholly off the screen draws nothing), then applies the disposal: 2
    // restores the frame's rectangle to the background, 3 the screen before it.
    bool draw(int disposal, uint16_t x, uint16_t y);
    bool compose(uint16_t transparentIndex, int disposal, uint16_t x, uint16_t y)
    {
        return prepare(transparentIndex) && draw(disposal, x, y);
    }
    // Forgets the last frame's drawing: the screen shows what the next frame
    // will be drawn on.
    void restore() { canvas_.restoreDisplayCanvas(); }

    // 24-bit screen after the last frame.
    const ByteBuffer& screen() const { return canvas_.displayCanvas; }
    // One byte per screen pixel, 1 where a frame painted; empty unless tracked.
    std::span<const uint8_t> painted() const { return tracking_ ? painted_.pixels() : std::span<const uint8_t>{}; }
    uint32_t background() const { return background_; }

private:
    RasterImage canvas_;
    PaintedArea painted_;
    uint32_t background_ = 0xFFFFFF;
    bool tracking_ = false;
};

} // namespace zell
