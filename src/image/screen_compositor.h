// The logical screen as a GIF viewer shows it, built one frame after another.
// Every part of zell that composes frames (export, optimizer, player,
// transitions, composed frame files, thumbnails) goes through this one class,
// so that they all agree on transparency, disposal and off-screen frames.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "image/painted_area.h"
#include "image/raster_image.h"
#include "image/screen_area.h"

namespace zell {

// Whether a screen is large enough to be kept in tiles: below four
// megapixels two whole canvases cost little and are the quickest.
inline bool worthTiling(uint32_t width, uint32_t height)
{
    return uint64_t(width) * height > (uint64_t(1) << 20);
}

class ScreenCompositor {
public:
    // A screen of the colour; what is on display stays until the next draw.
    // With `trackPainted`, the pixels frames have painted are followed too
    // (see PaintedArea). With `sparse`, the screen is kept in tiles made only
    // where frames reach: a large screen with small frames then costs what
    // the frames cost. A sparse screen is read through areaBeneath() or
    // screen(), never through the picture's canvases.
    bool start(uint32_t width, uint32_t height, uint32_t background, bool trackPainted = false,
               bool sparse = false);

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
    void restore();

    // The screen after the last frame where a picture of width x height at
    // (x, y) lies: valid until the next call on this object.
    bool areaBeneath(uint16_t x, uint16_t y, uint32_t width, uint32_t height, ScreenArea& area);
    // 24-bit screen after the last frame; made whole on demand when sparse.
    const ByteBuffer& screen() const;
    uint32_t background() const { return background_; }

private:
    struct Rect {
        uint32_t left = 0, top = 0, right = 0, bottom = 0;
        bool empty() const { return left >= right || top >= bottom; }
    };
    // A piece of a sparse screen; what lies outside every tile is the
    // background, never painted.
    struct Tile {
        ByteBuffer base;
        ByteBuffer display; // meaningful only while `shown`
        std::vector<uint8_t> painted;
        bool shown = false; // display differs from base
    };
    static constexpr uint32_t kTileSize = 256;

    Rect onScreen(uint32_t x, uint32_t y, uint32_t width, uint32_t height) const;
    Rect tileRect(uint32_t key) const;
    Tile* makeTile(uint32_t key);
    template <typename Visit>
    bool forEachTile(const Rect& r, bool make, Visit&& visit);
    bool drawSparse(int disposal, uint16_t x, uint16_t y);
    void paint(Tile& tile, const Rect& t, int disposal, uint32_t x, uint32_t y);

    RasterImage canvas_;
    PaintedArea painted_;
    mutable ByteBuffer whole_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t background_ = 0xFFFFFF;
    bool tracking_ = false;
    bool started_ = false;
    bool sparse_ = false;
    std::unordered_map<uint32_t, Tile> tiles_;
    std::vector<uint32_t> shownTiles_;
    ByteBuffer areaCanvas_;
    std::vector<uint8_t> areaPainted_;
};

} // namespace zell
