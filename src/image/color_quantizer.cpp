#include "image/color_quantizer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "image/random.h"

namespace zell {

namespace {

constexpr uint32_t kHistogramBuckets = 4093;
// The gathered pictures showed different colours at their transparent index.
constexpr uint32_t kTransparentDisagrees = 0x80000000u;
constexpr uint32_t kDefaultTransparentColor = 0x808000u;
// Neighbouring colours that differ only in their lowest bits share one key.
constexpr uint32_t kKeyMask = 0xFEFEFEu;
constexpr uint32_t kNoKey = 0xFFFFFFFFu;

struct ColorCount {
    uint32_t color;
    uint32_t count;
};

// A run of the pair list that becomes one palette entry.
struct Box {
    size_t first;
    size_t colors;
    uint64_t pixels;
};

inline uint32_t bgrKey(const uint8_t* p)
{
    return uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16);
}

inline int channelOf(uint32_t color, int shift)
{
    return int((color >> shift) & 0xFF);
}

void addCount(CodeHashMap& map, uint32_t color, uint64_t count)
{
    constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
    if (uint32_t* value = map.find(color))
        *value = uint32_t(std::min<uint64_t>(kMax, *value + count));
    else
        map.insert(color, uint32_t(std::min(kMax, count)));
}

// Red (0), green (8) or blue (16): the channel with the widest range, red
// winning ties, then green.
int widestChannel(const ColorCount* pairs, size_t n)
{
    int lo[3] = {255, 255, 255};
    int hi[3] = {0, 0, 0};
    for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) {
            const int v = channelOf(pairs[i].color, 8 * c);
            lo[c] = std::min(lo[c], v);
            hi[c] = std::max(hi[c], v);
        }
    }
    const int red = hi[0] - lo[0], green = hi[1] - lo[1], blue = hi[2] - lo[2];
    if (red >= green && red >= blue)
        return 0;
    return green >= blue ? 8 : 16;
}

// Splits `box` at the median pixel of its widest channel; returns the new
// box holding the upper part.
Box splitBox(std::vector<ColorCount>& pairs, Box& box)
{
    ColorCount* begin = pairs.data() + box.first;
    const int shift = widestChannel(begin, box.colors);
    std::stable_sort(begin, begin + box.colors, [shift](const ColorCount& a, const ColorCount& b) {
        return channelOf(a.color, shift) < channelOf(b.color, shift);
    });
    const uint64_t half = box.pixels / 2;
    size_t taken = 1;
    uint64_t sum = begin[0].count;
    while (taken < box.colors - 1 && sum < half)
        sum += begin[taken++].count;
    Box rest{box.first + taken, box.colors - taken, box.pixels - sum};
    box.colors = taken;
    box.pixels = sum;
    return rest;
}

std::vector<Box> medianCut(std::vector<ColorCount>& pairs, uint64_t total, size_t target)
{
    std::vector<Box> boxes{{0, pairs.size(), total}};
    boxes.reserve(target);
    while (boxes.size() < target) {
        auto box = std::find_if(boxes.begin(), boxes.end(), [](const Box& b) { return b.colors >= 2; });
        if (box == boxes.end())
            break;
        Box rest = splitBox(pairs, *box);
        boxes.push_back(rest);
        std::stable_sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.pixels > b.pixels; });
    }
    return boxes;
}

uint32_t meanColor(const std::vector<ColorCount>& pairs, const Box& box)
{
    uint64_t sum[3] = {0, 0, 0};
    for (size_t i = box.first; i < box.first + box.colors; ++i) {
        for (int c = 0; c < 3; ++c)
            sum[c] += uint64_t(channelOf(pairs[i].color, 8 * c)) * pairs[i].count;
    }
    uint32_t color = 0;
    for (int c = 0; c < 3; ++c)
        color |= uint32_t(std::min<uint64_t>(255, sum[c] / box.pixels)) << (8 * c);
    return color;
}

uint32_t tableColor(const uint8_t* dib, const DibHeader& header, uint32_t index)
{
    const uint8_t* q = dib + header.size + 4 * uint64_t(index);
    return makeColor(q[2], q[1], q[0]);
}

inline uint8_t clampChannel(int v)
{
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

} // namespace

struct ColorQuantizer::Source {
    DibHeader header;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t stride = 0;
    const uint8_t* bits = nullptr;
    uint32_t tableCount = 0;
    // Colours of an 8-bit picture's indices; indices beyond its table are black.
    std::array<uint32_t, 256> colors{};

    bool open(std::span<const uint8_t> dib)
    {
        if (!checkDib(dib, &header) || (header.bitCount != 8 && header.bitCount != 24))
            return false;
        width = uint32_t(header.width);
        height = header.absHeight();
        stride = dibStride(width, header.bitCount);
        bits = dib.data() + dibBitsOffset(header);
        if (header.bitCount == 8) {
            tableCount = dibColorCount(header);
            for (uint32_t i = 0; i < std::min<uint32_t>(tableCount, 256); ++i)
                colors[i] = tableColor(dib.data(), header, i);
        }
        return true;
    }
    bool indexed() const { return header.bitCount == 8; }
    const uint8_t* row(uint32_t y) const { return bits + y * stride; }
};

ColorQuantizer::ColorQuantizer(Random* random) : random_(random), map_(kHistogramBuckets) {}

ColorQuantizer::~ColorQuantizer() = default;

void ColorQuantizer::reset()
{
    map_ = CodeHashMap(kHistogramBuckets);
    palette_.release();
    colorCount_ = -1;
    backgroundEntry_ = 0;
    hasBackground_ = false;
    transparentSeen_ = kNoColor;
    transparentEntry_ = -1;
}

bool ColorQuantizer::addImage(std::span<const uint8_t> dib, uint32_t transparentIndex)
{
    // Once a palette exists the map holds indices, not counts.
    Source source;
    if (colorCount_ >= 0 || !source.open(dib))
        return false;
    try {
        if (!source.indexed()) {
            // Counting runs first spares a lookup for every pixel of a flat area.
            for (uint32_t y = 0; y < source.height; ++y) {
                const uint8_t* p = source.row(y);
                uint32_t runKey = bgrKey(p) & kKeyMask;
                uint64_t run = 0;
                for (uint32_t x = 0; x < source.width; ++x, p += 3) {
                    const uint32_t key = bgrKey(p) & kKeyMask;
                    if (key != runKey) {
                        addCount(map_, runKey, run);
                        runKey = key;
                        run = 0;
                    }
                    ++run;
                }
                addCount(map_, runKey, run);
            }
            return true;
        }
        if (transparentIndex < source.tableCount) {
            const uint32_t color = tableColor(dib.data(), source.header, transparentIndex);
            const bool agrees = transparentSeen_ == kNoColor || transparentSeen_ == color;
            transparentSeen_ = agrees ? color : kTransparentDisagrees;
        }
        std::array<uint64_t, 256> counts{};
        for (uint32_t y = 0; y < source.height; ++y) {
            const uint8_t* p = source.row(y);
            for (uint32_t x = 0; x < source.width; ++x)
                ++counts[p[x]];
        }
        for (uint32_t i = 0; i < 256; ++i) {
            if (counts[i] != 0 && i != transparentIndex)
                addCount(map_, source.colors[i], counts[i]);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void ColorQuantizer::setEntry(uint32_t index, uint32_t color)
{
    uint8_t* e = palette_.data() + 4 * index;
    e[0] = colorBlue(color);
    e[1] = colorGreen(color);
    e[2] = colorRed(color);
    e[3] = 0;
}

bool ColorQuantizer::buildPalette(int count, uint32_t backgroundColor, bool reserveTransparent)
{
    const bool hasBackground = backgroundColor != kNoColor;
    if (colorCount_ >= 0 || count < 1 || count > 256)
        return false;
    if (map_.size() == 0 && !hasBackground && !reserveTransparent)
        return false;
    try {
        std::vector<ColorCount> pairs;
        pairs.reserve(map_.size());
        uint64_t total = 0;
        map_.forEach([&](uint32_t color, uint32_t n) {
            pairs.push_back({color, n});
            total += n;
        });
        if (!palette_.allocate(uint32_t(count) * 4)) {
            reset();
            return false;
        }
        std::memset(palette_.data(), 0, palette_.size());
        map_.clear();
        const int reserved = count > 2 ? int(hasBackground) + int(reserveTransparent) : 0;
        const size_t target = size_t(count - reserved);
        if (pairs.size() <= target) {
            std::stable_sort(pairs.begin(), pairs.end(),
                [](const ColorCount& a, const ColorCount& b) { return a.count > b.count; });
            for (size_t i = 0; i < pairs.size(); ++i) {
                setEntry(uint32_t(i), pairs[i].color);
                map_.insert(pairs[i].color, uint32_t(i));
            }
            colorCount_ = int(pairs.size());
        } else {
            const std::vector<Box> boxes = medianCut(pairs, total, target);
            for (size_t i = 0; i < boxes.size(); ++i) {
                const uint32_t color = meanColor(pairs, boxes[i]);
                setEntry(uint32_t(i), color);
                map_.insert(color, uint32_t(i));
            }
            colorCount_ = int(boxes.size());
        }
        placeReservedEntries(count, backgroundColor, reserveTransparent);
        return true;
    } catch (const std::bad_alloc&) {
        reset();
        return false;
    }
}

// The background and transparent entries follow the chosen colours while
// they fit in `count`: with 2 entries or fewer nothing was kept for them, and
// the palette never grows beyond what was asked for.
void ColorQuantizer::placeReservedEntries(int count, uint32_t backgroundColor, bool reserveTransparent)
{
    int next = colorCount_;
    backgroundEntry_ = 0;
    hasBackground_ = false;
    transparentEntry_ = -1;
    if (backgroundColor != kNoColor && next < count) {
        setEntry(uint32_t(next), backgroundColor & 0xFFFFFFu);
        backgroundEntry_ = uint32_t(next++);
        hasBackground_ = true;
    }
    if (reserveTransparent && next < count) {
        if (transparentSeen_ == kNoColor || transparentSeen_ == kTransparentDisagrees)
            transparentSeen_ = kDefaultTransparentColor;
        setEntry(uint32_t(next), transparentSeen_);
        transparentEntry_ = next;
    }
}

int ColorQuantizer::totalEntries() const
{
    if (colorCount_ < 0)
        return 0;
    return colorCount_ + int(hasBackground_) + int(transparentEntry_ >= 0);
}

int ColorQuantizer::palette(const uint8_t** entries) const
{
    if (entries)
        *entries = colorCount_ >= 0 ? palette_.data() : nullptr;
    return totalEntries();
}

// First nearest of the chosen entries; the background and transparent
// entries are never candidates. An empty choice falls back to entry 0.
int ColorQuantizer::nearestEntry(uint32_t color) const
{
    const int r = colorRed(color), g = colorGreen(color), b = colorBlue(color);
    const uint8_t* e = palette_.data();
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < colorCount_; ++i, e += 4) {
        const int db = e[0] - b, dg = e[1] - g, dr = e[2] - r;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

int ColorQuantizer::lookup(uint32_t color)
{
    if (const uint32_t* index = map_.find(color))
        return int(*index);
    const int index = nearestEntry(color);
    map_.insert(color, uint32_t(index));
    return index;
}

int ColorQuantizer::nearestIndex(uint32_t color)
{
    if (colorCount_ < 0)
        return -1;
    try {
        return lookup(color & 0xFFFFFFu);
    } catch (const std::bad_alloc&) {
        return nearestEntry(color & 0xFFFFFFu);
    }
}

bool ColorQuantizer::mapImage(std::span<const uint8_t> dib, ByteBuffer& out, bool dither, uint32_t transparentIndex)
{
    Source source;
    if (colorCount_ < 0 || !source.open(dib))
        return false;
    const int total = totalEntries();
    const DibHeader header = makeDibHeader(int32_t(source.width), source.header.height, 8, uint32_t(total));
    const uint64_t stride = dibStride(source.width, 8);
    const uint64_t bitsOffset = kDibHeaderSize + 4 * uint64_t(total);
    const uint64_t size = bitsOffset + stride * source.height;
    // The source may live in `out`, so the picture is built aside.
    ByteBuffer result;
    if (size > std::numeric_limits<uint32_t>::max() || !result.allocate(uint32_t(size)))
        return false;
    std::memset(result.data(), 0, result.size());
    writeDibHeader(result.data(), header);
    if (total > 0)
        std::memcpy(result.data() + kDibHeaderSize, palette_.data(), 4 * size_t(total));
    const int transparent = source.indexed() && transparentEntry_ >= 0 && transparentIndex < 256 ? int(transparentIndex) : -1;
    try {
        if (dither)
            mapDithered(source, result.data() + bitsOffset, stride, transparent);
        else
            mapPlain(source, result.data() + bitsOffset, stride, transparent);
    } catch (const std::bad_alloc&) {
        return false;
    }
    out.swap(result);
    return true;
}

void ColorQuantizer::mapPlain(const Source& source, uint8_t* bits, uint64_t stride, int transparentIndex)
{
    if (source.indexed()) {
        // Each index is looked up once; its answer cannot change afterwards.
        std::array<int16_t, 256> indexOf;
        indexOf.fill(-1);
        if (transparentIndex >= 0)
            indexOf[size_t(transparentIndex)] = int16_t(transparentEntry_);
        for (uint32_t y = 0; y < source.height; ++y) {
            const uint8_t* p = source.row(y);
            uint8_t* d = bits + y * stride;
            for (uint32_t x = 0; x < source.width; ++x) {
                int16_t& index = indexOf[p[x]];
                if (index < 0)
                    index = int16_t(lookup(source.colors[p[x]]));
                d[x] = uint8_t(index);
            }
        }
        return;
    }
    // Hot loop: one map lookup per pixel, skipped while the colour repeats.
    uint32_t lastKey = kNoKey;
    uint8_t lastIndex = 0;
    for (uint32_t y = 0; y < source.height; ++y) {
        const uint8_t* p = source.row(y);
        uint8_t* d = bits + y * stride;
        for (uint32_t x = 0; x < source.width; ++x, p += 3) {
            const uint32_t key = bgrKey(p) & kKeyMask;
            if (key != lastKey) {
                lastKey = key;
                lastIndex = uint8_t(lookup(key));
            }
            d[x] = lastIndex;
        }
    }
}

// Serpentine Floyd-Steinberg. Errors are kept scaled by 1024 in rows of
// width + 2 so that every neighbour exists; pixel x sits at position x + 1,
// three channels (red, green, blue) side by side.
void ColorQuantizer::mapDithered(const Source& source, uint8_t* bits, uint64_t stride, int transparentIndex)
{
    const size_t positions = size_t(source.width) + 2;
    std::vector<int32_t> current(3 * positions), next(3 * positions);
    Random& random = random_ ? *random_ : processRandom();
    for (int32_t& e : current)
        e = (random.next() & 0x7FF) - 1024;
    const uint8_t* entries = palette_.data();
    for (uint32_t y = 0; y < source.height; ++y) {
        std::fill(next.begin(), next.end(), 0);
        const bool forward = (y & 1) == 0;
        const ptrdiff_t ahead = forward ? 3 : -3;
        const uint8_t* p = source.row(y);
        uint8_t* d = bits + y * stride;
        for (uint32_t k = 0; k < source.width; ++k) {
            const uint32_t x = forward ? k : source.width - 1 - k;
            uint32_t color;
            if (source.indexed()) {
                // A transparent pixel has no colour of its own and passes no error on.
                if (int(p[x]) == transparentIndex) {
                    d[x] = uint8_t(transparentEntry_);
                    continue;
                }
                color = source.colors[p[x]];
            } else {
                color = bgrKey(p + 3 * x);
            }
            int32_t* cur = current.data() + 3 * (size_t(x) + 1);
            int32_t* below = next.data() + 3 * (size_t(x) + 1);
            const uint8_t wanted[3] = {clampChannel(colorRed(color) + (cur[0] >> 10)),
                clampChannel(colorGreen(color) + (cur[1] >> 10)), clampChannel(colorBlue(color) + (cur[2] >> 10))};
            const int index = lookup(makeColor(wanted[0], wanted[1], wanted[2]));
            d[x] = uint8_t(index);
            const uint8_t* e = entries + 4 * index;
            const int chosen[3] = {e[2], e[1], e[0]};
            for (int c = 0; c < 3; ++c) {
                const int32_t error = (int32_t(wanted[c]) - chosen[c]) * 1024;
                cur[c + ahead] += (error * 7) >> 4;
                below[c - ahead] += (error * 3) >> 4;
                below[c] += (error * 5) >> 4;
                below[c + ahead] += error >> 4;
            }
        }
        current.swap(next);
    }
}

ColorTable colorTableOf(const ColorQuantizer& quantizer, int count, uint16_t backgroundIndex)
{
    ColorTable table;
    table.count = uint16_t(std::clamp(count, 0, 256));
    table.backgroundIndex = backgroundIndex;
    const uint8_t* quads = nullptr;
    const int entries = std::min<int>(quantizer.palette(&quads), table.count);
    for (int i = 0; i < entries; ++i)
        table.setColor(uint32_t(i), makeColor(quads[4 * i + 2], quads[4 * i + 1], quads[4 * i]));
    return table;
}

} // namespace zell
