// Composes a document's frames one after another onto the logical screen, as
// the player and a GIF viewer show them.
#pragma once

#include "document/document.h"
#include "image/screen_compositor.h"

namespace zell {

// The animation's background: the global table's background entry while the
// global table is on and the index is inside it, else white.
uint32_t backgroundColor(const GifSettings& settings);

// Frame i's own picture (8-bit), coloured by the global table when the frame
// uses it. With `onScreenOnly`, a frame reaching out of the logical screen
// keeps only the part the screen shows (one pixel when it shows nothing).
bool loadFramePicture(const Document& document, int index, RasterImage& picture, bool onScreenOnly = false);

// How much of a picture at `offset` a screen `extent` long can show.
inline uint32_t shownExtent(uint32_t extent, uint32_t offset)
{
    return offset < extent ? extent - offset : 0;
}

// The first thing the animation would decode or compose beyond the pixel
// limit: the logical screen, then each frame's picture. False when all fit.
bool exceedsPixelLimit(uint32_t screenWidth, uint32_t screenHeight, const FrameList& frames, uint32_t& width,
                       uint32_t& height);
bool exceedsPixelLimit(const Document& document, uint32_t& width, uint32_t& height);

class ScreenComposer {
public:
    explicit ScreenComposer(const Document& document);

    // Composes the next frame; false when it could not be loaded or drawn.
    bool composeNext() { return composeFrame(next_); }
    // Composes frame `index` over the screen the frames so far have left (the
    // first frame after the last when an animation wraps); the next frame is
    // then the one after it.
    bool composeFrame(int index);
    int nextIndex() const { return next_; }
    // 24-bit screen after the last composed frame.
    const ByteBuffer& screen() const { return compositor_.screen(); }
    RasterImage& canvas() { return compositor_.picture(); }

private:
    const Document& document_;
    ScreenCompositor compositor_;
    int next_ = 0;
    bool started_ = false;
};

} // namespace zell
