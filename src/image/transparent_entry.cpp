#include "image/transparent_entry.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "image/dib.h"
#include "image/neural_quantizer.h"

namespace zell {

namespace {

constexpr uint32_t kMaxOpaqueColors = 255;

struct Indexed {
    std::vector<uint32_t> table; // colour values
    std::vector<uint8_t> indices; // rows from the top
};

inline uint32_t colorAt(const uint8_t* bgr)
{
    return makeColor(bgr[2], bgr[1], bgr[0]);
}

// Calls f(pixel number, colour) for every opaque pixel, rows from the top.
template <typename F>
void forEachOpaque(std::span<const uint8_t> rgb, const DibHeader& h, std::span<const uint8_t> clear, F f)
{
    const uint32_t width = uint32_t(h.width);
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* row = rgb.data() + dibRowOffset(h, y);
        for (uint32_t x = 0; x < width; ++x) {
            const size_t i = size_t(y) * width + x;
            if (!clear[i])
                f(i, colorAt(row + 3 * x));
        }
    }
}

bool indexExactly(std::span<const uint8_t> rgb, const DibHeader& h, std::span<const uint8_t> clear, Indexed& out)
{
    std::unordered_map<uint32_t, uint8_t> seen;
    bool fits = true;
    forEachOpaque(rgb, h, clear, [&](size_t i, uint32_t color) {
        if (!fits)
            return;
        auto [at, added] = seen.emplace(color, uint8_t(out.table.size()));
        if (added) {
            fits = out.table.size() < kMaxOpaqueColors;
            out.table.push_back(color);
        }
        out.indices[i] = at->second;
    });
    return fits;
}

int64_t distance(uint32_t a, uint32_t b)
{
    const int64_t dr = int64_t(colorRed(a)) - colorRed(b);
    const int64_t dg = int64_t(colorGreen(a)) - colorGreen(b);
    const int64_t db = int64_t(colorBlue(a)) - colorBlue(b);
    return dr * dr + dg * dg + db * db;
}

// Frees the least used entry, moving its pixels to the nearest other one.
uint8_t freeAnEntry(Indexed& out, std::span<const uint8_t> clear)
{
    std::vector<uint64_t> uses(out.table.size(), 0);
    for (size_t i = 0; i < out.indices.size(); ++i)
        uses[out.indices[i]] += !clear[i];
    const auto least = uint8_t(std::min_element(uses.begin(), uses.end()) - uses.begin());
    if (uses[least] == 0)
        return least;
    uint8_t nearest = least == 0 ? 1 : 0;
    for (uint32_t j = 0; j < out.table.size(); ++j) {
        if (j != least && distance(out.table[j], out.table[least]) < distance(out.table[nearest], out.table[least]))
            nearest = uint8_t(j);
    }
    for (size_t i = 0; i < out.indices.size(); ++i) {
        if (!clear[i] && out.indices[i] == least)
            out.indices[i] = nearest;
    }
    return least;
}

// Learns from the opaque pixels only: a large transparent area would
// otherwise pull the palette towards whatever colour it happens to hold.
bool indexReduced(std::span<const uint8_t> rgb, const DibHeader& h, std::span<const uint8_t> clear, Indexed& out,
                  uint8_t& clearIndex)
{
    std::vector<size_t> where;
    std::vector<uint32_t> colors;
    forEachOpaque(rgb, h, clear, [&](size_t i, uint32_t color) {
        where.push_back(i);
        colors.push_back(color);
    });
    const DibHeader s = makeDibHeader(int32_t(colors.size()), 1, 24);
    std::vector<uint8_t> strip(kDibHeaderSize + dibStride(colors.size(), 24), 0);
    writeDibHeader(strip.data(), s);
    for (size_t i = 0; i < colors.size(); ++i) {
        uint8_t* px = strip.data() + kDibHeaderSize + 3 * i;
        px[0] = colorBlue(colors[i]);
        px[1] = colorGreen(colors[i]);
        px[2] = colorRed(colors[i]);
    }
    ByteBuffer reduced;
    DibHeader r;
    NeuralQuantizer quantizer;
    if (!quantizer.reduce(strip, reduced) || !checkDib(reduced.bytes(), &r) || r.bitCount != 8)
        return false;
    const uint8_t* quads = reduced.data() + r.size;
    for (uint32_t j = 0; j < dibColorCount(r); ++j)
        out.table.push_back(makeColor(quads[4 * j + 2], quads[4 * j + 1], quads[4 * j]));
    const uint8_t* mapped = reduced.data() + dibBitsOffset(r);
    for (size_t i = 0; i < where.size(); ++i)
        out.indices[where[i]] = mapped[i];
    clearIndex = freeAnEntry(out, clear);
    return true;
}

uint32_t unusedColor(const std::vector<uint32_t>& table, uint8_t except)
{
    for (uint32_t color = 0;; ++color) {
        bool taken = false;
        for (uint32_t j = 0; j < table.size() && !taken; ++j)
            taken = j != except && table[j] == color;
        if (!taken)
            return color;
    }
}

bool writeIndexed(const Indexed& in, int32_t width, uint32_t height, ByteBuffer& out)
{
    const DibHeader h = makeDibHeader(width, int32_t(height), 8, uint32_t(in.table.size()));
    const uint64_t size = dibPackedSize(h);
    if (size > UINT32_MAX || !out.allocate(uint32_t(size)))
        return false;
    std::memset(out.data(), 0, size);
    writeDibHeader(out.data(), h);
    uint8_t* quad = out.data() + kDibHeaderSize;
    for (uint32_t color : in.table) {
        quad[0] = colorBlue(color);
        quad[1] = colorGreen(color);
        quad[2] = colorRed(color);
        quad += 4;
    }
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(out.data() + dibRowOffset(h, y), in.indices.data() + size_t(y) * uint32_t(width), uint32_t(width));
    return true;
}

} // namespace

bool indexWithClearEntry(std::span<const uint8_t> dib, std::span<const uint8_t> clear, ByteBuffer& out,
                         uint8_t& clearIndex)
{
    ByteBuffer trueColor;
    DibHeader h;
    if (!convertToTrueColor(dib, trueColor) || !checkDib(trueColor.bytes(), &h)
        || clear.size() != uint64_t(h.width) * h.absHeight())
        return false;
    Indexed indexed;
    indexed.indices.assign(clear.size(), 0);
    uint8_t entry = 0;
    if (indexExactly(trueColor.bytes(), h, clear, indexed)) {
        entry = uint8_t(indexed.table.size());
        indexed.table.push_back(0);
    } else {
        indexed.table.clear();
        if (!indexReduced(trueColor.bytes(), h, clear, indexed, entry))
            return false;
    }
    indexed.table[entry] = unusedColor(indexed.table, entry);
    for (size_t i = 0; i < clear.size(); ++i) {
        if (clear[i])
            indexed.indices[i] = entry;
    }
    ByteBuffer picture;
    if (!writeIndexed(indexed, h.width, h.absHeight(), picture))
        return false;
    out.swap(picture);
    clearIndex = entry;
    return true;
}

} // namespace zell
