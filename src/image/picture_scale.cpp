#include "image/picture_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "image/compose.h"
#include "image/dib.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

bool newPicture(uint32_t width, uint32_t height, ByteBuffer& out, DibHeader& o)
{
    if (!withinPixelLimit(width, height))
        return false;
    o = makeDibHeader(int32_t(width), int32_t(height), 24);
    if (!out.allocate(uint32_t(dibPackedSize(o))))
        return false;
    std::memset(out.data(), 0, out.size());
    writeDibHeader(out.data(), o);
    return true;
}

// Mitchell-Netravali (B = C = 1/3): smooth without the ringing of sharper
// cubics, and the usual choice for enlarging.
double mitchell(double x)
{
    x = std::fabs(x);
    if (x < 1)
        return (7 * x * x * x - 12 * x * x + 16.0 / 3) / 6;
    if (x < 2)
        return (-7.0 / 3 * x * x * x + 12 * x * x - 20 * x + 32.0 / 3) / 6;
    return 0;
}

// Four source pixels and their weights for each output pixel of an axis
// that grows from `from` to `to` pixels; positions clamp at the edges.
struct Taps {
    std::array<uint32_t, 4> at;
    std::array<double, 4> weight;
};

std::vector<Taps> growTaps(uint32_t from, uint32_t to)
{
    std::vector<Taps> taps(to);
    for (uint32_t i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * from / to - 0.5;
        const double base = std::floor(centre);
        double sum = 0;
        for (int k = 0; k < 4; ++k) {
            const double p = base - 1 + k;
            taps[i].at[size_t(k)] = uint32_t(std::clamp<double>(p, 0, from - 1));
            sum += taps[i].weight[size_t(k)] = mitchell(centre - p);
        }
        for (double& w : taps[i].weight)
            w /= sum;
    }
    return taps;
}

uint8_t clampByte(double v)
{
    return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// Enlarges one axis: `across` picks whether rows grow (width) or columns
// (height).
bool grow(std::span<const uint8_t> source, uint32_t size, bool across, ByteBuffer& out)
{
    DibHeader h, o;
    if (!checkDib(source, &h) || h.bitCount != 24)
        return false;
    const uint32_t w = uint32_t(h.width), hh = h.absHeight();
    const uint32_t ow = across ? size : w, oh = across ? hh : size;
    ByteBuffer result;
    if (!newPicture(ow, oh, result, o))
        return false;
    const std::vector<Taps> taps = growTaps(across ? w : hh, size);
    for (uint32_t y = 0; y < oh; ++y) {
        uint8_t* to = result.data() + dibRowOffset(o, y);
        for (uint32_t x = 0; x < ow; ++x) {
            const Taps& t = taps[across ? x : y];
            for (int c = 0; c < 3; ++c) {
                double v = 0;
                for (size_t k = 0; k < 4; ++k) {
                    const uint64_t at = across ? dibRowOffset(h, y) + 3 * uint64_t(t.at[k])
                                               : dibRowOffset(h, t.at[k]) + 3 * uint64_t(x);
                    v += t.weight[k] * source[at + uint64_t(c)];
                }
                to[3 * x + uint32_t(c)] = clampByte(v);
            }
        }
    }
    out = std::move(result);
    return true;
}

bool nearest(std::span<const uint8_t> source, uint32_t width, uint32_t height, ByteBuffer& out)
{
    DibHeader h, o;
    if (!checkDib(source, &h) || h.bitCount != 24)
        return false;
    ByteBuffer result;
    if (!newPicture(width, height, result, o))
        return false;
    std::vector<uint32_t> columns(width);
    for (uint32_t x = 0; x < width; ++x)
        columns[x] = 3 * nearestSource(x, uint32_t(h.width), width);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* from = source.data() + dibRowOffset(h, nearestSource(y, h.absHeight(), height));
        uint8_t* to = result.data() + dibRowOffset(o, y);
        for (uint32_t x = 0; x < width; ++x)
            std::memcpy(to + 3 * x, from + columns[x], 3);
    }
    out = std::move(result);
    return true;
}

// One axis to its new size: averaged down, filtered up, copied when equal.
bool scaleAxis(ByteBuffer& picture, uint32_t current, uint32_t size, bool across)
{
    if (size == current)
        return true;
    ByteBuffer result;
    const bool ok = size < current ? (across ? shrinkWidth(picture.bytes(), size, result)
                                             : shrinkHeight(picture.bytes(), size, result))
                                   : grow(picture.bytes(), size, across, result);
    if (ok)
        picture = std::move(result);
    return ok;
}

} // namespace

bool scalePicture(std::span<const uint8_t> dib, uint32_t width, uint32_t height, ScaleFilter filter,
                  ByteBuffer& out)
{
    DibHeader h;
    if (!checkDib(dib, &h) || h.bitCount != 24 || width == 0 || height == 0)
        return false;
    if (filter == ScaleFilter::nearest)
        return nearest(dib, width, height, out);
    ByteBuffer picture;
    if (!picture.allocate(uint32_t(dib.size())))
        return false;
    std::memcpy(picture.data(), dib.data(), dib.size());
    // The shrinking axis first, so that the filter runs on fewer pixels.
    const bool widthFirst = uint64_t(width) * h.absHeight() <= uint64_t(h.width) * height;
    const bool ok = widthFirst ? scaleAxis(picture, uint32_t(h.width), width, true)
                                     && scaleAxis(picture, h.absHeight(), height, false)
                               : scaleAxis(picture, h.absHeight(), height, false)
                                     && scaleAxis(picture, uint32_t(h.width), width, true);
    if (ok)
        out = std::move(picture);
    return ok;
}

} // namespace zell
