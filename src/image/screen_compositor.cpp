#include "image/screen_compositor.h"

#include <algorithm>

#include "image/compose.h"
#include "image/pixel_limit.h"

namespace zell {

bool ScreenCompositor::start(uint32_t width, uint32_t height, uint32_t background, bool trackPainted, bool sparse)
{
    background_ = background;
    tracking_ = trackPainted;
    width_ = width;
    height_ = height;
    sparse_ = sparse;
    whole_.release();
    tiles_.clear();
    shownTiles_.clear();
    areaCanvas_.release();
    areaPainted_.clear();
    if (sparse) {
        canvas_.baseCanvas.release();
        canvas_.displayCanvas.release();
        started_ = width > 0 && height > 0 && withinPixelLimit(width, height);
        return started_;
    }
    started_ = canvas_.createCanvas(width, height, background) && (!trackPainted || painted_.reset(width, height));
    return started_;
}

bool ScreenCompositor::prepare(uint16_t transparentIndex)
{
    DibHeader h;
    if (canvas_.image.empty() || !checkDib(canvas_.image.bytes(), &h))
        return false;
    const bool marks = h.bitCount == 8 && transparentIndex < dibColorCount(h);
    return canvas_.buildMask(marks ? transparentIndex : kNoIndex) && canvas_.toTrueColor();
}

bool ScreenCompositor::draw(int disposal, uint16_t x, uint16_t y)
{
    if (!started_ || canvas_.image.empty())
        return false;
    if (sparse_)
        return drawSparse(disposal, x, y);
    if (!canvas_.composeFrame(disposal, x, y, background_))
        return false;
    if (tracking_)
        painted_.apply(canvas_, disposal, x, y);
    return true;
}

void ScreenCompositor::restore()
{
    if (!sparse_) {
        canvas_.restoreDisplayCanvas();
        return;
    }
    for (uint32_t key : shownTiles_)
        tiles_[key].shown = false;
    shownTiles_.clear();
}

ScreenCompositor::Rect ScreenCompositor::onScreen(uint32_t x, uint32_t y, uint32_t width, uint32_t height) const
{
    Rect r;
    r.left = std::min(x, width_);
    r.top = std::min(y, height_);
    r.right = uint32_t(std::min<uint64_t>(uint64_t(x) + width, width_));
    r.bottom = uint32_t(std::min<uint64_t>(uint64_t(y) + height, height_));
    return r;
}

ScreenCompositor::Rect ScreenCompositor::tileRect(uint32_t key) const
{
    const uint32_t across = (width_ + kTileSize - 1) / kTileSize;
    Rect t;
    t.left = key % across * kTileSize;
    t.top = key / across * kTileSize;
    t.right = std::min(t.left + kTileSize, width_);
    t.bottom = std::min(t.top + kTileSize, height_);
    return t;
}

ScreenCompositor::Tile* ScreenCompositor::makeTile(uint32_t key)
{
    const Rect t = tileRect(key);
    Tile tile;
    if (!createSolidImage(tile.base, t.right - t.left, t.bottom - t.top, background_))
        return nullptr;
    if (tracking_)
        tile.painted.assign(size_t(t.right - t.left) * (t.bottom - t.top), 0);
    return &tiles_.emplace(key, std::move(tile)).first->second;
}

// Visits the tiles a screen rectangle touches: (tile or null where none was
// made, its key, its rectangle). With `make`, missing tiles are made first.
template <typename Visit>
bool ScreenCompositor::forEachTile(const Rect& r, bool make, Visit&& visit)
{
    const uint32_t across = (width_ + kTileSize - 1) / kTileSize;
    for (uint32_t ty = r.top / kTileSize; ty <= (r.bottom - 1) / kTileSize; ++ty) {
        for (uint32_t tx = r.left / kTileSize; tx <= (r.right - 1) / kTileSize; ++tx) {
            const uint32_t key = ty * across + tx;
            auto found = tiles_.find(key);
            Tile* tile = found != tiles_.end() ? &found->second : make ? makeTile(key) : nullptr;
            if (make && !tile)
                return false;
            if (!visit(tile, key, tileRect(key)))
                return false;
        }
    }
    return true;
}

// The whole-screen drawing, tile by tile: the frame onto a copy of the
// tile's base, then the disposal. Only tiles under the frame change.
bool ScreenCompositor::drawSparse(int disposal, uint16_t x, uint16_t y)
{
    restore();
    DibHeader h;
    const bool drawable = checkDib(canvas_.image.bytes(), &h) && h.bitCount == 24;
    const std::pair<uint32_t, uint32_t> size = canvas_.imageSize();
    const uint32_t width = size.first, height = size.second;
    const Rect r = onScreen(x, y, width, height);
    if (r.empty())
        return true;
    return forEachTile(r, true, [&](Tile* tile, uint32_t key, const Rect& t) {
        const int64_t dx = int64_t(x) - t.left, dy = int64_t(y) - t.top;
        tile->display.copyFrom(tile->base);
        if (tile->display.empty())
            return false;
        if (drawable)
            blitImage(tile->display.bytes(), dx, dy, h.width, h.absHeight(), canvas_.image.bytes(), 0, 0,
                      canvas_.mask.bytes());
        if (disposal == 2)
            fillRect(tile->base.bytes(), background_, dx, dy, width, height);
        if (disposal == 2 || disposal == 3) {
            tile->shown = true;
            shownTiles_.push_back(key);
        } else {
            tile->base.swap(tile->display);
        }
        if (tracking_)
            paint(*tile, t, disposal, x, y);
        return true;
    });
}

// PaintedArea::apply on one tile.
void ScreenCompositor::paint(Tile& tile, const Rect& t, int disposal, uint32_t x, uint32_t y)
{
    const auto [width, height] = canvas_.imageSize();
    const uint32_t left = std::max(x, t.left), top = std::max(y, t.top);
    const uint32_t right = std::min(x + width, t.right), bottom = std::min(y + height, t.bottom);
    if (disposal == 3 || left >= right || top >= bottom)
        return;
    DibHeader m;
    const bool masked = checkDib(canvas_.mask.bytes(), &m) && m.bitCount == 1;
    const uint32_t tileWidth = t.right - t.left;
    for (uint32_t sy = top; sy < bottom; ++sy) {
        uint8_t* row = tile.painted.data() + size_t(sy - t.top) * tileWidth;
        if (disposal == 2) {
            std::fill(row + (left - t.left), row + (right - t.left), uint8_t(0));
            continue;
        }
        const uint8_t* bits = masked ? canvas_.mask.data() + dibRowOffset(m, sy - y) : nullptr;
        for (uint32_t sx = left; sx < right; ++sx) {
            const uint32_t i = sx - x;
            if (!bits || ((bits[i >> 3] >> (7 - (i & 7))) & 1))
                row[sx - t.left] = 1;
        }
    }
}

bool ScreenCompositor::areaBeneath(uint16_t x, uint16_t y, uint32_t width, uint32_t height, ScreenArea& area)
{
    if (!started_)
        return false;
    area = ScreenArea{};
    area.screenWidth = width_;
    area.screenHeight = height_;
    if (!sparse_) {
        if (canvas_.displayCanvas.empty())
            restore();
        area.canvas = canvas_.displayCanvas.bytes();
        area.painted = tracking_ ? painted_.pixels() : std::span<const uint8_t>{};
        return true;
    }
    // A copy of the screen beneath the frame, made from its tiles.
    const Rect r = onScreen(x, y, width, height);
    if (r.empty())
        return true;
    // Every pixel is written once: from its tile, or the background where
    // no tile was made.
    const uint32_t w = r.right - r.left, h = r.bottom - r.top;
    const DibHeader header = makeDibHeader(int32_t(w), int32_t(h), 24);
    if (!areaCanvas_.allocate(uint32_t(dibPackedSize(header))))
        return false;
    writeDibHeader(areaCanvas_.data(), header);
    if (const uint64_t stride = dibStride(w, 24); stride > 3 * uint64_t(w)) {
        for (uint32_t y = 0; y < h; ++y)
            std::fill_n(areaCanvas_.data() + dibRowOffset(header, y) + 3 * w, stride - 3 * w, uint8_t(0));
    }
    if (tracking_)
        areaPainted_.resize(size_t(w) * h);
    forEachTile(r, false, [&](Tile* tile, uint32_t, const Rect& t) {
        const uint32_t left = std::max(r.left, t.left), top = std::max(r.top, t.top);
        const uint32_t right = std::min(r.right, t.right), bottom = std::min(r.bottom, t.bottom);
        if (!tile)
            fillRect(areaCanvas_.bytes(), background_, left - r.left, top - r.top, right - left, bottom - top);
        else
            blitImage(areaCanvas_.bytes(), left - r.left, top - r.top, right - left, bottom - top,
                      (tile->shown ? tile->display : tile->base).bytes(), left - t.left, top - t.top);
        for (uint32_t sy = top; tracking_ && sy < bottom; ++sy) {
            uint8_t* to = areaPainted_.data() + size_t(sy - r.top) * w + (left - r.left);
            if (!tile)
                std::fill_n(to, right - left, uint8_t(0));
            else
                std::copy_n(tile->painted.data() + size_t(sy - t.top) * (t.right - t.left) + (left - t.left),
                            right - left, to);
        }
        return true;
    });
    area.canvas = areaCanvas_.bytes();
    area.painted = tracking_ ? std::span<const uint8_t>(areaPainted_) : std::span<const uint8_t>{};
    area.left = r.left;
    area.top = r.top;
    return true;
}

const ByteBuffer& ScreenCompositor::screen() const
{
    if (!sparse_)
        return canvas_.displayCanvas;
    if (!createSolidImage(whole_, width_, height_, background_)) {
        whole_.release();
        return whole_;
    }
    for (const auto& [key, tile] : tiles_) {
        const Rect t = tileRect(key);
        const ByteBuffer& shown = tile.shown ? tile.display : tile.base;
        blitImage(whole_.bytes(), t.left, t.top, t.right - t.left, t.bottom - t.top, shown.bytes(), 0, 0);
    }
    return whole_;
}

} // namespace zell
