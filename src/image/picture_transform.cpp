#include "image/picture_transform.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "image/dib.h"

namespace zell {

namespace {

bool indexed(std::span<const uint8_t> dib, DibHeader& h)
{
    return checkDib(dib, &h) && h.bitCount == 8;
}

// A new bottom-up 8-bit picture of the size with the source's table.
bool startPicture(std::span<const uint8_t> dib, const DibHeader& h, uint32_t width, uint32_t height, ByteBuffer& out,
                  DibHeader& o)
{
    const uint32_t colors = dibColorCount(h);
    o = makeDibHeader(int32_t(width), int32_t(height), 8, colors);
    if (!out.allocate(uint32_t(dibPackedSize(o))))
        return false;
    std::memset(out.data(), 0, out.size());
    writeDibHeader(out.data(), o);
    std::memcpy(out.data() + kDibHeaderSize, dib.data() + h.size, size_t(colors) * 4);
    return true;
}

} // namespace

bool cutPicture(std::span<const uint8_t> dib, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                ByteBuffer& out)
{
    DibHeader h, o;
    if (!indexed(dib, h) || width == 0 || height == 0 || uint64_t(x) + width > uint64_t(h.width)
        || uint64_t(y) + height > h.absHeight())
        return false;
    ByteBuffer result;
    if (!startPicture(dib, h, width, height, result, o))
        return false;
    for (uint32_t row = 0; row < height; ++row)
        std::memcpy(result.data() + dibRowOffset(o, row), dib.data() + dibRowOffset(h, y + row) + x, width);
    out = std::move(result);
    return true;
}

bool transformPicture(std::span<const uint8_t> dib, PictureTransform transform, ByteBuffer& out)
{
    DibHeader h, o;
    if (!indexed(dib, h))
        return false;
    const uint32_t w = uint32_t(h.width), hh = h.absHeight();
    const bool quarter = transform == PictureTransform::rotate90 || transform == PictureTransform::rotate270;
    const uint32_t ow = quarter ? hh : w, oh = quarter ? w : hh;
    ByteBuffer result;
    if (!startPicture(dib, h, ow, oh, result, o))
        return false;
    // Each output pixel (x, y) reads its source pixel; rows are from the top.
    for (uint32_t y = 0; y < oh; ++y) {
        uint8_t* to = result.data() + dibRowOffset(o, y);
        switch (transform) {
        case PictureTransform::flipVertical:
            std::memcpy(to, dib.data() + dibRowOffset(h, hh - 1 - y), w);
            break;
        case PictureTransform::flipHorizontal:
        case PictureTransform::rotate180: {
            const uint8_t* from = dib.data() + dibRowOffset(h, transform == PictureTransform::rotate180 ? hh - 1 - y : y);
            std::reverse_copy(from, from + w, to);
            break;
        }
        case PictureTransform::rotate90: // source (y, hh - 1 - x)
            for (uint32_t x = 0; x < ow; ++x)
                to[x] = dib[dibRowOffset(h, hh - 1 - x) + y];
            break;
        case PictureTransform::rotate270: // source (w - 1 - y, x)
            for (uint32_t x = 0; x < ow; ++x)
                to[x] = dib[dibRowOffset(h, x) + (w - 1 - y)];
            break;
        }
    }
    out = std::move(result);
    return true;
}

void transformRect(PictureTransform transform, uint32_t screenWidth, uint32_t screenHeight, uint32_t& left,
                   uint32_t& top, uint32_t& width, uint32_t& height)
{
    const uint32_t l = left, t = top, w = width, h = height;
    switch (transform) {
    case PictureTransform::rotate90:
        left = screenHeight - (t + h);
        top = l;
        std::swap(width, height);
        break;
    case PictureTransform::rotate180:
        left = screenWidth - (l + w);
        top = screenHeight - (t + h);
        break;
    case PictureTransform::rotate270:
        left = t;
        top = screenWidth - (l + w);
        std::swap(width, height);
        break;
    case PictureTransform::flipHorizontal: left = screenWidth - (l + w); break;
    case PictureTransform::flipVertical: top = screenHeight - (t + h); break;
    }
}

} // namespace zell
