#include "image/palette_mapper.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "image/dib.h"

namespace zell {

namespace {

constexpr uint32_t kCacheBits = 16;
constexpr uint64_t kEmptySlot = ~uint64_t(0);

constexpr int kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

int squared(int v) { return v * v; }

using ColourCount = std::pair<uint32_t, uint32_t>; // colour, pixels

constexpr int kRefinePasses = 20;

struct CutBox {
    size_t first = 0, count = 0; // a run of the colour list
    uint64_t pixels = 0;
    double error = 0; // summed squared distance of its pixels from its mean
    int axis = 0; // channel of its longest side
    uint32_t mean = 0;
};

int channel(uint32_t colour, int c) { return int((colour >> (8 * c)) & 0xFF); }

void measure(const std::vector<ColourCount>& colours, CutBox& box)
{
    uint64_t sum[3] = {};
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    box.pixels = 0;
    for (size_t i = box.first; i < box.first + box.count; ++i) {
        box.pixels += colours[i].second;
        for (int c = 0; c < 3; ++c) {
            const int v = channel(colours[i].first, c);
            sum[c] += uint64_t(v) * colours[i].second;
            low[c] = std::min(low[c], v), high[c] = std::max(high[c], v);
        }
    }
    box.mean = 0;
    for (int c = 0; c < 3; ++c)
        box.mean |= uint32_t(sum[c] / box.pixels) << (8 * c);
    box.error = 0;
    for (size_t i = box.first; i < box.first + box.count; ++i) {
        int d = 0;
        for (int c = 0; c < 3; ++c)
            d += squared(channel(colours[i].first, c) - channel(box.mean, c));
        box.error += double(d) * colours[i].second;
    }
    const int r = high[0] - low[0], g = high[1] - low[1], b = high[2] - low[2];
    box.axis = r >= g && r >= b ? 0 : (b >= g ? 2 : 1);
}

} // namespace

ColorTable splitColorTable(std::span<const uint8_t> rgb, uint32_t count)
{
    count = std::clamp<uint32_t>(count, 1, 256);
    std::vector<uint32_t> keys(rgb.size() / 3);
    for (size_t i = 0; i < keys.size(); ++i)
        keys[i] = uint32_t(rgb[3 * i]) | uint32_t(rgb[3 * i + 1]) << 8 | uint32_t(rgb[3 * i + 2]) << 16;
    std::sort(keys.begin(), keys.end());
    std::vector<ColourCount> colours;
    for (size_t i = 0, j = 0; i < keys.size(); i = j) {
        while (j < keys.size() && keys[j] == keys[i])
            ++j;
        colours.emplace_back(keys[i], uint32_t(j - i));
    }
    keys = {};
    ColorTable table;
    table.count = uint16_t(count);
    if (colours.empty())
        return table;
    std::vector<CutBox> boxes(1, CutBox{0, colours.size()});
    measure(colours, boxes[0]);
    while (boxes.size() < count) {
        auto next = boxes.end();
        for (auto b = boxes.begin(); b != boxes.end(); ++b)
            if (b->count >= 2 && b->error > 0 && (next == boxes.end() || b->error > next->error))
                next = b;
        if (next == boxes.end())
            break;
        const CutBox box = *next;
        const auto begin = colours.begin() + ptrdiff_t(box.first);
        std::stable_sort(begin, begin + ptrdiff_t(box.count), [axis = box.axis](const ColourCount& a, const ColourCount& b) {
            return channel(a.first, axis) < channel(b.first, axis);
        });
        // Each side keeps at least one colour.
        const uint64_t median = (box.pixels + 1) / 2;
        size_t i = box.first;
        for (uint64_t seen = 0; i < box.first + box.count - 2; ++i) {
            seen += colours[i].second;
            if (seen > median)
                break;
        }
        CutBox low{box.first, i + 1 - box.first}, high{i + 1, box.first + box.count - (i + 1)};
        measure(colours, low);
        measure(colours, high);
        *next = low;
        boxes.push_back(high);
    }
    table.count = uint16_t(boxes.size());
    for (uint32_t k = 0; k < table.count; ++k)
        table.setColor(k, boxes[k].mean);
    // Lloyd's k-means from the boxes' means: each entry moves to the mean of
    // the pixels nearest to it. The cut alone leaves flat content's colours
    // a little off, which costs screen recordings 2-4 dB.
    for (int pass = 0; pass < kRefinePasses; ++pass) {
        PaletteMapper mapper(table);
        std::vector<std::array<uint64_t, 4>> sums(table.count);
        for (const auto& [colour, pixels] : colours) {
            auto& sum = sums[mapper.nearest(uint8_t(channel(colour, 0)), uint8_t(channel(colour, 1)),
                                            uint8_t(channel(colour, 2)))];
            for (int c = 0; c < 3; ++c)
                sum[size_t(c)] += uint64_t(channel(colour, c)) * pixels;
            sum[3] += pixels;
        }
        bool moved = false;
        for (uint32_t k = 0; k < table.count; ++k) {
            if (sums[k][3] == 0)
                continue;
            uint32_t mean = 0;
            for (int c = 0; c < 3; ++c)
                mean |= uint32_t((sums[k][size_t(c)] + sums[k][3] / 2) / sums[k][3]) << (8 * c);
            moved = moved || mean != table.color(k);
            table.setColor(k, mean);
        }
        if (!moved)
            break;
    }
    for (uint32_t k = table.count; k < count; ++k)
        table.setColor(k, table.color(table.count - 1u));
    table.count = uint16_t(count);
    return table;
}

PaletteMapper::PaletteMapper(const ColorTable& table) : table_(table), cache_(size_t(1) << kCacheBits, kEmptySlot)
{
    const int count = std::clamp(int(table.count), 1, 256);
    table_.count = uint16_t(count);
    for (int i = 0; i < count; ++i) {
        const uint8_t* e = &table.entries[size_t(3 * i)];
        byGreen_.push_back({e[0], e[1], e[2], i});
    }
    std::stable_sort(byGreen_.begin(), byGreen_.end(), [](const auto& a, const auto& b) { return a[1] < b[1]; });
    size_t at = 0;
    for (int g = 0; g <= 256; ++g) {
        while (at < byGreen_.size() && byGreen_[at][1] < g)
            ++at;
        greenStart_[size_t(g)] = int(at);
    }
    // Ordered dithering spreads a pixel over about the distance between
    // neighbouring entries: less leaves bands, more adds visible noise. The
    // same offset goes to all three channels, hence the root of three.
    double spacing = 0;
    for (int i = 0; i < count; ++i) {
        int best = std::numeric_limits<int>::max();
        for (int j = 0; j < count; ++j) {
            if (j == i)
                continue;
            const uint8_t* a = &table.entries[size_t(3 * i)];
            const uint8_t* b = &table.entries[size_t(3 * j)];
            best = std::min(best, squared(a[0] - b[0]) + squared(a[1] - b[1]) + squared(a[2] - b[2]));
        }
        spacing += count > 1 ? std::sqrt(double(best)) : 0;
    }
    ditherAmplitude_ = std::clamp(int(spacing / count / std::sqrt(3.0)), 4, 255);
}

uint8_t PaletteMapper::search(int r, int g, int b) const
{
    const int n = int(byGreen_.size());
    int best = 0, bestDistance = std::numeric_limits<int>::max();
    int up = greenStart_[size_t(g)], down = up - 1;
    while (up < n || down >= 0) {
        if (up < n) {
            const auto& e = byGreen_[size_t(up)];
            if (squared(e[1] - g) > bestDistance) {
                up = n;
            } else {
                const int d = squared(e[0] - r) + squared(e[1] - g) + squared(e[2] - b);
                if (d < bestDistance || (d == bestDistance && e[3] < best))
                    bestDistance = d, best = e[3];
                ++up;
            }
        }
        if (down >= 0) {
            const auto& e = byGreen_[size_t(down)];
            if (squared(g - e[1]) > bestDistance) {
                down = -1;
            } else {
                const int d = squared(e[0] - r) + squared(e[1] - g) + squared(e[2] - b);
                if (d < bestDistance || (d == bestDistance && e[3] < best))
                    bestDistance = d, best = e[3];
                --down;
            }
        }
    }
    return uint8_t(best);
}

int PaletteMapper::distance(const uint8_t* rgb, uint8_t index) const
{
    const uint8_t* e = &table_.entries[3 * size_t(index)];
    return squared(rgb[0] - e[0]) + squared(rgb[1] - e[1]) + squared(rgb[2] - e[2]);
}

uint8_t PaletteMapper::nearest(uint8_t r, uint8_t g, uint8_t b)
{
    // Video repeats colours often; a direct-mapped cache spares most
    // searches and cannot change their answers.
    const uint32_t key = uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
    uint64_t& slot = cache_[(key * 2654435761u) >> (32 - kCacheBits)];
    if (uint32_t(slot >> 8) != key)
        slot = (uint64_t(key) << 8) | search(r, g, b);
    return uint8_t(slot);
}

bool PaletteMapper::map(std::span<const uint8_t> rgb, uint32_t width, uint32_t height, DitherMethod dither,
                        ByteBuffer& out)
{
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxPixels
        || rgb.size() < uint64_t(width) * height * 3)
        return false;
    const uint64_t stride = dibStride(width, 8);
    const uint64_t bitsOffset = kDibHeaderSize + 4 * uint64_t(table_.count);
    const uint64_t size = bitsOffset + stride * height;
    ByteBuffer result;
    if (size > std::numeric_limits<uint32_t>::max() || !result.allocate(uint32_t(size)))
        return false;
    std::memset(result.data(), 0, result.size());
    writeDibHeader(result.data(), makeDibHeader(int32_t(width), int32_t(height), 8, table_.count));
    for (uint32_t i = 0; i < table_.count; ++i) {
        uint8_t* q = result.data() + kDibHeaderSize + 4 * i;
        q[0] = table_.entries[3 * i + 2];
        q[1] = table_.entries[3 * i + 1];
        q[2] = table_.entries[3 * i];
    }
    const size_t pixels = size_t(width) * height;
    if (previous_.size() != pixels)
        previous_.clear();
    current_.assign(tolerance_ > 0 ? pixels : 0, 0);
    // Rows are written bottom-up: row y of the source lands at height-1-y.
    uint8_t* last = result.data() + bitsOffset + stride * (height - 1);
    switch (dither) {
    case DitherMethod::none: mapPlain(rgb.data(), width, height, last, stride); break;
    case DitherMethod::diffusion: mapDiffused(rgb.data(), width, height, last, stride); break;
    case DitherMethod::ordered: mapOrdered(rgb.data(), width, height, last, stride); break;
    }
    previous_.swap(current_);
    out.swap(result);
    return true;
}

void PaletteMapper::mapPlain(const uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* bits, uint64_t stride)
{
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = rgb + uint64_t(y) * width * 3;
        uint8_t* d = bits - y * stride;
        for (uint32_t x = 0; x < width; ++x, p += 3)
            d[x] = settle(size_t(y) * width + x, p, nearest(p[0], p[1], p[2]));
    }
}

void PaletteMapper::mapOrdered(const uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* bits, uint64_t stride)
{
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* p = rgb + uint64_t(y) * width * 3;
        uint8_t* d = bits - y * stride;
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            const int offset = ((2 * kBayer[y & 7][x & 7] - 63) * ditherAmplitude_) / 128;
            d[x] = settle(size_t(y) * width + x, p,
                          nearest(uint8_t(std::clamp(p[0] + offset, 0, 255)), uint8_t(std::clamp(p[1] + offset, 0, 255)),
                                  uint8_t(std::clamp(p[2] + offset, 0, 255))));
        }
    }
}

// Floyd-Steinberg in serpentine order, the error carried in sixteenths. A
// hot loop over every pixel of every frame, kept in one piece.
void PaletteMapper::mapDiffused(const uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* bits, uint64_t stride)
{
    std::vector<int> current(3 * (size_t(width) + 2)), next(current.size());
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(next.begin(), next.end(), 0);
        const bool leftToRight = y % 2 == 0;
        const uint8_t* row = rgb + uint64_t(y) * width * 3;
        uint8_t* d = bits - y * stride;
        const int dir = leftToRight ? 3 : -3;
        for (uint32_t step = 0; step < width; ++step) {
            const uint32_t x = leftToRight ? step : width - 1 - step;
            const size_t at = 3 * (size_t(x) + 1);
            int want[3];
            for (size_t c = 0; c < 3; ++c)
                want[c] = std::clamp(row[3 * x + c] + (current[at + c] + 8) / 16, 0, 255);
            const uint8_t index = settle(size_t(y) * width + x, row + 3 * size_t(x),
                                         nearest(uint8_t(want[0]), uint8_t(want[1]), uint8_t(want[2])));
            d[x] = index;
            const uint8_t* e = &table_.entries[3 * size_t(index)];
            for (size_t c = 0; c < 3; ++c) {
                const int error = (want[c] - e[c]) * diffusionShare_ / 16;
                current[size_t(int(at) + dir) + c] += error * 7;
                next[size_t(int(at) - dir) + c] += error * 3;
                next[at + c] += error * 5;
                next[size_t(int(at) + dir) + c] += error;
            }
        }
        current.swap(next);
    }
}

bool exactColorTable(std::span<const uint8_t> rgb, uint32_t limit, ColorTable& table)
{
    std::unordered_set<uint32_t> seen;
    std::vector<uint32_t> order;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const uint32_t c = uint32_t(rgb[i]) | (uint32_t(rgb[i + 1]) << 8) | (uint32_t(rgb[i + 2]) << 16);
        if (seen.insert(c).second) {
            if (seen.size() > limit || seen.size() > 256)
                return false;
            order.push_back(c);
        }
    }
    if (order.empty())
        return false;
    std::sort(order.begin(), order.end());
    ColorTable result;
    result.count = uint16_t(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        result.setColor(uint32_t(i), order[i]);
    table = result;
    return true;
}

} // namespace zell
