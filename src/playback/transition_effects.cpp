#include "playback/transition_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/dib.h"
#include "image/random.h"

namespace zell {

namespace {

struct Picture {
    const uint8_t* data = nullptr;
    DibHeader header;

    uint32_t width() const { return uint32_t(header.width); }
    uint32_t height() const { return header.absHeight(); }
    const uint8_t* row(uint32_t y) const { return data + dibRowOffset(header, y); }
};

// One step's inputs, and out started as a copy of one of them.
struct EffectRun {
    Picture src;
    Picture dst;
    uint8_t* outData = nullptr;
    DibHeader outHeader;
    uint32_t width = 0;  // the common area of src and dst
    uint32_t height = 0;
    uint32_t step = 0;
    uint32_t count = 0;

    uint8_t* outRow(uint32_t y) const { return outData + dibRowOffset(outHeader, y); }
    uint32_t outWidth() const { return uint32_t(outHeader.width); }
    uint32_t outHeight() const { return outHeader.absHeight(); }
};

bool readPicture(std::span<const uint8_t> bytes, Picture& picture)
{
    if (!checkDib(bytes, &picture.header) || picture.header.bitCount != 24)
        return false;
    picture.data = bytes.data();
    return true;
}

enum class Start { fromSource, fromDestination };

// Checks the inputs before out is touched, then makes out a copy of one picture.
bool startEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                 uint32_t step, uint32_t count, Start start, EffectRun& run)
{
    if (count == 0 || step >= count || !readPicture(source, run.src) || !readPicture(destination, run.dst))
        return false;
    const Picture& base = start == Start::fromSource ? run.src : run.dst;
    const uint64_t size = dibPackedSize(base.header);
    if (size > UINT32_MAX || !out.assign(base.data, uint32_t(size)))
        return false;
    run.outData = out.data();
    run.outHeader = base.header;
    run.width = std::min(run.src.width(), run.dst.width());
    run.height = std::min(run.src.height(), run.dst.height());
    run.step = step;
    run.count = count;
    return true;
}

// Band fill of the blinds: rows (or columns) of 16 of which the first m change.
int blindCount(uint32_t step, uint32_t count)
{
    return int(16.0 / (count + 1) * (step + 1) + 0.5);
}

} // namespace

bool crossFadeEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                     uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromSource, run))
        return false;
    const double a = double(step + 1) / (count + 1);
    const uint64_t bytes = 3 * uint64_t(run.width);
    for (uint32_t y = 0; y < run.height; ++y) {
        const uint8_t* s = run.src.row(y);
        const uint8_t* d = run.dst.row(y);
        uint8_t* o = run.outRow(y);
        for (uint64_t i = 0; i < bytes; ++i)
            o[i] = uint8_t(int(d[i] * a + s[i] * (1 - a) + 0.5));
    }
    return true;
}

bool dissolveEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                    uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromSource, run))
        return false;
    const int threshold = int((step + 1) * 255.0 / (count + 1));
    Random& random = processRandom();
    for (uint32_t y = 0; y < run.height; ++y) {
        const uint8_t* d = run.dst.row(y);
        uint8_t* o = run.outRow(y);
        for (uint32_t x = 0; x < run.width; ++x) {
            if ((random.next() & 255) <= threshold)
                std::memcpy(o + 3 * uint64_t(x), d + 3 * uint64_t(x), 3);
        }
    }
    return true;
}

bool horizontalSlideEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                           uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromDestination, run))
        return false;
    const uint32_t outWidth = run.outWidth();
    const uint32_t shift = uint32_t(outWidth / (count + 1.0) * (step + 1) + 0.5);
    if (shift >= outWidth)
        return true;
    const uint64_t pixels = std::min<uint64_t>(run.src.width(), outWidth - shift);
    const uint32_t rows = std::min(run.src.height(), run.outHeight());
    for (uint32_t y = 0; y < rows; ++y)
        std::memcpy(run.outRow(y) + 3 * uint64_t(shift), run.src.row(y), 3 * pixels);
    return true;
}

bool verticalSlideEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                         uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromDestination, run))
        return false;
    const uint32_t outHeight = run.outHeight();
    const uint32_t shift = uint32_t(outHeight / (count + 1.0) * (step + 1) + 0.5);
    if (shift >= outHeight)
        return true;
    const uint32_t rows = std::min<uint32_t>(run.src.height(), outHeight - shift);
    const uint64_t bytes = 3 * uint64_t(std::min(run.src.width(), run.outWidth()));
    for (uint32_t y = 0; y < rows; ++y)
        std::memcpy(run.outRow(shift + y), run.src.row(y), bytes);
    return true;
}

bool horizontalBlindsEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                            uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromSource, run))
        return false;
    const uint32_t m = uint32_t(std::clamp(blindCount(step, count), 0, 16));
    const uint64_t bytes = 3 * uint64_t(run.width);
    for (uint32_t y = 0; y < run.height; ++y) {
        if (y % 16 < m)
            std::memcpy(run.outRow(y), run.dst.row(y), bytes);
    }
    return true;
}

bool verticalBlindsEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                          uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromSource, run))
        return false;
    const uint64_t bandBytes = 3 * uint64_t(std::clamp(blindCount(step, count), 0, 16));
    const uint64_t rowBytes = 3 * uint64_t(run.width);
    for (uint32_t y = 0; y < run.height; ++y) {
        const uint8_t* d = run.dst.row(y);
        uint8_t* o = run.outRow(y);
        for (uint64_t at = 0; at < rowBytes; at += 48)
            std::memcpy(o + at, d + at, std::min(bandBytes, rowBytes - at));
    }
    return true;
}

bool discEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromSource, run))
        return false;
    const int64_t w = run.width;
    const int64_t h = run.height;
    // 64-bit squares: a 65535-pixel side would overflow 32 bits.
    const int64_t diameter = int64_t(std::sqrt(double(h * h + w * w)) * (step + 1) / (count + 1) + 0.5);
    const int64_t cy = h >> 1;
    const int64_t radius = diameter >> 1;
    const int64_t quarterSquare = (diameter * diameter) >> 2;
    for (int64_t y = std::max<int64_t>(cy - radius, 0); y < std::min(cy + radius, h); ++y) {
        const int64_t dy = y - cy;
        const int64_t length = int64_t(2 * std::sqrt(double(quarterSquare - dy * dy)));
        const int64_t x0 = std::max<int64_t>((w >> 1) - (length >> 1), 0);
        const int64_t pixels = std::min(w - x0, length);
        std::memcpy(run.outRow(uint32_t(y)) + 3 * x0, run.dst.row(uint32_t(y)) + 3 * x0, 3 * uint64_t(pixels));
    }
    return true;
}

bool wobbleEffect(ByteBuffer& out, std::span<const uint8_t> source, std::span<const uint8_t> destination,
                  uint32_t step, uint32_t count)
{
    EffectRun run;
    if (!startEffect(out, source, destination, step, count, Start::fromSource, run))
        return false;
    const int64_t h = run.height;
    const int64_t rowBytes = 3 * int64_t(run.width);
    const int64_t amplitude = int64_t(double((int64_t(count) - step) * h) / (count + 1.0));
    // One cosine period over the height; a one-row picture has amplitude 0,
    // so its only row needs no division by h >> 1.
    const int64_t halfHeight = h >> 1;
    for (int64_t y = 0; y < h; ++y) {
        const double angle = halfHeight == 0 ? 0.0 : y * 3.14159265 / halfHeight;
        const int64_t c = int64_t(std::cos(angle) * 65536);
        // 64-bit product: c * amplitude exceeds 32 bits on pictures over 32767 rows.
        const int64_t shift = ((c * amplitude) >> 16) * 3;
        if (shift >= rowBytes || -shift >= rowBytes)
            continue;
        uint8_t* o = run.outRow(uint32_t(y));
        const uint8_t* d = run.dst.row(uint32_t(y));
        if (shift < 0)
            std::memcpy(o, d - shift, uint64_t(rowBytes + shift));
        else
            std::memcpy(o + shift, d, uint64_t(rowBytes - shift));
    }
    return true;
}

} // namespace zell
