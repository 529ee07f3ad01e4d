#include "image/compose.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/dib.h"

namespace zell {

namespace {

bool trueColor(std::span<const uint8_t> dib, DibHeader& h)
{
    return checkDib(dib, &h) && h.bitCount == 24;
}

bool maskFits(std::span<const uint8_t> mask, const DibHeader& source, DibHeader& m)
{
    return checkDib(mask, &m) && m.bitCount == 1 && m.width == source.width && m.absHeight() == source.absHeight();
}

} // namespace

bool blitImage(std::span<uint8_t> destination, int64_t x, int64_t y, int64_t width, int64_t height,
               std::span<const uint8_t> source, int64_t sourceX, int64_t sourceY, std::span<const uint8_t> mask)
{
    DibHeader d, s, m;
    if (!trueColor(destination, d) || !trueColor(source, s))
        return false;
    const bool masked = !mask.empty();
    if (masked && !maskFits(mask, s, m))
        return false;
    const int64_t sw = s.width, sh = s.absHeight(), dw = d.width, dh = d.absHeight();
    width = std::min(width, sw);
    height = std::min(height, sh);
    if (x < 0) {
        width += x;
        sourceX -= x;
        x = 0;
    }
    if (y < 0) {
        height += y;
        sourceY -= y;
        y = 0;
    }
    width = std::min(width, dw - x);
    height = std::min(height, dh - y);
    width = std::min(width, sw - sourceX);
    height = std::min(height, sh - sourceY);
    if (width < 1 || height < 1 || x >= dw || y >= dh || sourceX < 0 || sourceY < 0 || sourceX >= sw || sourceY >= sh)
        return true;

    for (int64_t row = 0; row < height; ++row) {
        uint8_t* to = destination.data() + dibRowOffset(d, uint32_t(y + row)) + 3 * x;
        const uint8_t* from = source.data() + dibRowOffset(s, uint32_t(sourceY + row)) + 3 * sourceX;
        if (!masked) {
            std::memcpy(to, from, size_t(3 * width));
            continue;
        }
        const uint8_t* bits = mask.data() + dibRowOffset(m, uint32_t(sourceY + row));
        for (int64_t i = 0; i < width; ++i) {
            const int64_t sx = sourceX + i;
            if ((bits[sx >> 3] >> (7 - (sx & 7))) & 1)
                std::memcpy(to + 3 * i, from + 3 * i, 3);
        }
    }
    return true;
}

bool fillRect(std::span<uint8_t> picture, uint32_t color, int64_t x, int64_t y, int64_t width, int64_t height)
{
    DibHeader h;
    if (!trueColor(picture, h))
        return false;
    const int64_t pw = h.width, ph = h.absHeight();
    if (width < 1)
        width = pw;
    if (height < 1)
        height = ph;
    if (x < 0) {
        width += x;
        x = 0;
    }
    if (y < 0) {
        height += y;
        y = 0;
    }
    width = std::min(width, pw - x);
    height = std::min(height, ph - y);
    if (width < 1 || height < 1)
        return true;
    const uint8_t bgr[3] = {uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color)};
    for (int64_t row = 0; row < height; ++row) {
        uint8_t* p = picture.data() + dibRowOffset(h, uint32_t(y + row)) + 3 * x;
        for (int64_t i = 0; i < width; ++i, p += 3)
            std::memcpy(p, bgr, 3);
    }
    return true;
}

namespace {

// Source positions and 16.16 fractions of each output pixel's left edge.
struct ShrinkPlan {
    std::vector<uint32_t> position;
    std::vector<uint32_t> fraction;
    uint64_t scale = 0;

    ShrinkPlan(uint32_t from, uint32_t to) : position(to + 1), fraction(to + 1)
    {
        const double ratio = double(from) / double(to);
        for (uint32_t i = 0; i <= to; ++i) {
            const double at = i * ratio;
            position[i] = std::min<uint32_t>(uint32_t(std::floor(at)), from);
            fraction[i] = uint32_t(std::floor((at - position[i]) * 65536.0));
            if (fraction[i] > 65535)
                fraction[i] = 65535;
        }
        fraction[0] = 0;
        scale = (uint64_t(from) * 65536 + to / 2) / to;
    }

    // One output channel from `count` samples spaced `step` bytes apart.
    uint8_t sample(const uint8_t* p, size_t step, uint32_t count, uint32_t i) const
    {
        uint64_t sum = uint64_t(p[position[i] * step]) * (65536 - fraction[i]);
        for (uint32_t k = position[i] + 1; k < position[i + 1] && k < count; ++k)
            sum += uint64_t(p[k * step]) * 65536;
        if (fraction[i + 1] != 0 && position[i + 1] < count)
            sum += uint64_t(p[position[i + 1] * step]) * fraction[i + 1];
        return uint8_t(std::min<uint64_t>((sum + (scale + 1) / 2) / scale, 255));
    }
};

bool startShrink(const DibHeader& h, int32_t width, int32_t height, ByteBuffer& out,
                 DibHeader& o)
{
    o = h;
    o.size = kDibHeaderSize;
    o.width = width;
    o.height = h.height < 0 ? -height : height;
    o.clrUsed = 0;
    const uint64_t stride = dibStride(width, 24);
    o.sizeImage = uint32_t(stride * uint64_t(height));
    const uint64_t size = dibBitsOffset(o) + o.sizeImage;
    if (size > UINT32_MAX || !out.allocate(uint32_t(size)))
        return false;
    writeDibHeader(out.data(), o);
    std::memset(out.data() + kDibHeaderSize, 0, size - kDibHeaderSize);
    return true;
}

} // namespace

bool shrinkWidth(std::span<const uint8_t> source, uint32_t newWidth, ByteBuffer& out)
{
    DibHeader h, o;
    if (!trueColor(source, h) || newWidth == 0 || newWidth > uint32_t(h.width) || source.data() == out.data())
        return false;
    ShrinkPlan plan(uint32_t(h.width), newWidth);
    if (!startShrink(h, int32_t(newWidth), int32_t(h.absHeight()), out, o))
        return false;
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* from = source.data() + dibRowOffset(h, y);
        uint8_t* to = out.data() + dibRowOffset(o, y);
        for (uint32_t i = 0; i < newWidth; ++i)
            for (int c = 0; c < 3; ++c)
                to[3 * i + c] = plan.sample(from + c, 3, uint32_t(h.width), i);
    }
    return true;
}

bool shrinkHeight(std::span<const uint8_t> source, uint32_t newHeight, ByteBuffer& out)
{
    DibHeader h, o;
    if (!trueColor(source, h) || newHeight == 0 || newHeight > h.absHeight() || source.data() == out.data())
        return false;
    ShrinkPlan plan(h.absHeight(), newHeight);
    if (!startShrink(h, h.width, int32_t(newHeight), out, o))
        return false;
    // Samples of one column are a row stride apart, top to bottom.
    const int64_t stride = int64_t(dibStride(h.width, 24));
    const uint8_t* top = source.data() + dibRowOffset(h, 0);
    const int64_t step = h.topDown() ? stride : -stride;
    for (uint32_t i = 0; i < newHeight; ++i) {
        uint8_t* to = out.data() + dibRowOffset(o, i);
        for (uint32_t x = 0; x < uint32_t(h.width) * 3; ++x) {
            // Walk the column through a signed step; the plan counts rows from the top.
            uint64_t sum = 0;
            auto at = [&](uint32_t row) { return uint64_t(top[int64_t(row) * step + x]); };
            sum += at(plan.position[i]) * (65536 - plan.fraction[i]);
            for (uint32_t k = plan.position[i] + 1; k < plan.position[i + 1] && k < h.absHeight(); ++k)
                sum += at(k) * 65536;
            if (plan.fraction[i + 1] != 0 && plan.position[i + 1] < h.absHeight())
                sum += at(plan.position[i + 1]) * plan.fraction[i + 1];
            to[x] = uint8_t(std::min<uint64_t>((sum + (plan.scale + 1) / 2) / plan.scale, 255));
        }
    }
    return true;
}

} // namespace zell
