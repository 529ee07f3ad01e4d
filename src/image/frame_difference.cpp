#include <algorithm>
#include <cstring>

#include "image/color_quantizer.h"
#include "image/gif_codec.h"
#include "image/raster_image.h"

namespace zell {

namespace {

struct Rect {
    int64_t left, top, right, bottom;
};

// A new 8-bit picture of the rectangle with the source's header and table.
bool cropPicture(std::span<const uint8_t> source, const DibHeader& h, const Rect& r, ByteBuffer& out)
{
    DibHeader o = h;
    o.size = kDibHeaderSize;
    o.width = int32_t(r.right - r.left);
    o.height = int32_t(r.bottom - r.top);
    const uint64_t stride = dibStride(o.width, 8);
    o.sizeImage = uint32_t(stride * uint64_t(o.height));
    const uint64_t tableBytes = dibBitsOffset(h) - h.size;
    const uint64_t size = kDibHeaderSize + tableBytes + o.sizeImage;
    if (size > UINT32_MAX || !out.allocate(uint32_t(size)))
        return false;
    writeDibHeader(out.data(), o);
    std::memcpy(out.data() + kDibHeaderSize, source.data() + h.size, tableBytes);
    for (int64_t y = 0; y < o.height; ++y) {
        uint8_t* to = out.data() + dibRowOffset(o, uint32_t(y));
        std::memset(to, 0, stride);
        std::memcpy(to, source.data() + dibRowOffset(h, uint32_t(r.top + y)) + r.left, size_t(o.width));
    }
    return true;
}

// Shrinks the table of a cropped picture to the colours it still uses.
void reduceColors(ByteBuffer& picture, uint32_t& colors, uint16_t& transparentIndex)
{
    ColorQuantizer quantizer;
    if (!quantizer.addImage(picture.bytes(), transparentIndex))
        return;
    const bool hasTransparent = transparentIndex != kNoIndex;
    const uint32_t needed = quantizer.distinctColors() + (hasTransparent ? 1 : 0);
    if (colors / 2 < needed)
        return;
    ByteBuffer mapped;
    if (!quantizer.buildPalette(int(needed), kNoColor, hasTransparent)
        || !quantizer.mapImage(picture.bytes(), mapped, false, transparentIndex))
        return;
    picture.swap(mapped);
    colors = needed;
    transparentIndex = quantizer.transparentEntry() < 0 ? kNoIndex : uint16_t(quantizer.transparentEntry());
}

} // namespace

bool RasterImage::optimizeFrame(ByteBuffer& out, FrameDifference& f, bool crop, bool transparent, bool keepColors,
                                std::span<const uint8_t> painted)
{
    DibHeader s;
    if (!checkDib(displayCanvas.bytes(), &s) || s.bitCount != 24 || s.height < 0)
        return false;
    return optimizeFrame(out, f, crop, transparent, keepColors,
                         ScreenArea{displayCanvas.bytes(), painted, 0, 0, uint32_t(s.width), s.absHeight()});
}

bool RasterImage::optimizeFrame(ByteBuffer& out, FrameDifference& f, bool crop, bool transparent, bool keepColors,
                                const ScreenArea& beneath)
{
    DibHeader h;
    if (!checkDib(image.bytes(), &h) || h.bitCount != 8 || h.clrUsed == 0 || h.height < 0)
        return false;
    uint32_t colors = dibColorCount(h);
    const int64_t x0 = std::max<int64_t>(f.left, 0), y0 = std::max<int64_t>(f.top, 0);
    // A frame wholly off the screen compares nothing; a negative extent would
    // turn the empty rectangle into one reaching outside the picture.
    const int64_t w = std::max<int64_t>(std::min<int64_t>(f.left + h.width, beneath.screenWidth) - x0, 0);
    const int64_t hh = std::max<int64_t>(std::min<int64_t>(f.top + h.absHeight(), beneath.screenHeight) - y0, 0);
    DibHeader s;
    if (!screenHolds(beneath, x0, y0, w, hh, s))
        return false;
    Rect r = crop ? Rect{w + 1, hh + 1, -1, -1} : Rect{0, 0, w - 1, hh - 1};
    const uint8_t* table = image.data() + h.size;
    const std::span<const uint8_t> painted = beneath.painted;
    const uint32_t t = f.transparentIndex;

    // The hot loop of every optimised export: one compare per visible pixel.
    for (int64_t j = 0; j < hh; ++j) {
        uint8_t* row = image.data() + dibRowOffset(h, uint32_t(j));
        const int64_t cy = y0 + j - beneath.top, cx = x0 - beneath.left;
        const uint8_t* screen = beneath.canvas.data() + dibRowOffset(s, uint32_t(cy)) + 3 * cx;
        const uint8_t* known = painted.empty() ? nullptr : painted.data() + cy * int64_t(s.width) + cx;
        for (int64_t i = 0; i < w; ++i) {
            const uint32_t index = row[i];
            if (index >= colors || index == t)
                continue;
            if ((known && !known[i]) || std::memcmp(table + 4 * index, screen + 3 * i, 3) != 0) {
                r.left = std::min(r.left, i);
                r.right = std::max(r.right, i);
                r.top = std::min(r.top, j);
                r.bottom = std::max(r.bottom, j);
            } else if (transparent && t < colors) {
                row[i] = uint8_t(t);
            }
        }
    }
    bool changed;
    if (r.left <= r.right && r.top <= r.bottom) {
        ++r.right;
        ++r.bottom;
        changed = true;
    } else {
        r = {0, 0, 1, 1};
        changed = !crop; // the whole frame is kept and counts as a change
    }

    ByteBuffer cropped;
    const ByteBuffer* picture = &image;
    int64_t left = f.left, top = f.top;
    uint16_t transparentIndex = f.transparentIndex;
    if (r.right - r.left != h.width || r.bottom - r.top != int64_t(h.absHeight())) {
        if (!cropPicture(image.bytes(), h, r, cropped))
            return false;
        left = x0 + r.left;
        top = y0 + r.top;
        if (!keepColors && colors > 2)
            reduceColors(cropped, colors, transparentIndex);
        picture = &cropped;
    }
    const int bits = colorTableBits(colors);
    if (!encodeGifImage(picture->bytes(), out, bits, false))
        return false;
    DibHeader p;
    readDibHeader(picture->bytes(), p);
    f.left = left;
    f.top = top;
    f.width = uint32_t(p.width);
    f.height = p.absHeight();
    f.changed = changed;
    f.transparentIndex = transparentIndex;
    f.colorCount = uint16_t(1u << bits);
    return true;
}

} // namespace zell
