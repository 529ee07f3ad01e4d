#include "document/optimizer_tables.h"

#include <algorithm>
#include <bit>
#include <numeric>

#include "image/dib.h"
#include "image/raster_image.h"

namespace zell {

namespace {

// The global-table frame before, as the next one is compared with it.
struct Previous {
    RasterImage picture;
    DibHeader header{};
    int64_t left = 0, top = 0;
    bool any = false;
};

// The entries of `picture` (at left, top) that differ from the frame
// before at their place: about what an optimised frame still writes.
void markChanged(const RasterImage& picture, const DibHeader& h, const Frame& f, const Previous& before,
                 std::array<bool, 256>& changed)
{
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* row = picture.image.data() + dibRowOffset(h, y);
        const int64_t by = int64_t(f.top) + y - before.top;
        const bool rowBefore = before.any && by >= 0 && by < int64_t(before.header.absHeight());
        const uint8_t* old = rowBefore ? before.picture.image.data() + dibRowOffset(before.header, uint32_t(by)) : nullptr;
        for (int64_t x = 0; x < h.width; ++x) {
            const int64_t bx = int64_t(f.left) + x - before.left;
            if (row[x] != f.transparentIndex && !(old && bx >= 0 && bx < before.header.width && old[bx] == row[x]))
                changed[row[x]] = true;
        }
    }
}

// A table no smaller is worth another order only where some frame's
// changed colours then take narrower codes: every frame is coded again.
bool narrowsCodes(const std::vector<std::array<bool, 256>>& changed, const std::array<uint8_t, 256>& to)
{
    const auto width = [](uint32_t largest) { return std::max(int(std::bit_width(largest)), 2); };
    for (const auto& set : changed) {
        uint32_t before = 0, after = 0;
        for (uint32_t i = 0; i < 256; ++i) {
            if (set[i]) {
                before = i;
                after = std::max<uint32_t>(after, to[i]);
            }
        }
        if (width(after) < width(before))
            return true;
    }
    return false;
}

} // namespace

bool shrinkGlobalTable(const FrameList& frames, const ColorTable& global, std::optional<ColorTable>& shrunk,
                       std::array<uint8_t, 256>& to, bool byUse)
{
    shrunk.reset();
    std::array<bool, 256> used{};
    if (global.backgroundIndex < global.count)
        used[global.backgroundIndex] = true;
    std::vector<std::array<bool, 256>> changed; // by frame, with byUse
    Previous before;
    for (int i = 0; i < frames.count(); ++i) {
        const Frame& f = *frames.frameAt(i);
        if (f.useLocalColorTable) {
            before.any = false;
            continue;
        }
        RasterImage picture;
        DibHeader h;
        if (!loadGifImage(picture, f.workFile, 0) || !checkDib(picture.image.bytes(), &h) || h.bitCount != 8)
            return false;
        if (f.transparentIndex < 256)
            used[f.transparentIndex] = true;
        for (uint32_t y = 0; y < h.absHeight(); ++y) {
            const uint8_t* row = picture.image.data() + dibRowOffset(h, y);
            for (int64_t x = 0; x < h.width; ++x)
                used[row[x]] = true;
        }
        // Once the table cannot shrink, the frames left need no reading,
        // unless their order is wanted.
        const auto inUse = uint32_t(std::count(used.begin(), used.end(), true));
        if (!byUse && (1u << colorTableBits(inUse)) >= global.count)
            return true;
        if (byUse) {
            markChanged(picture, h, f, before, changed.emplace_back());
            before.picture.image.swap(picture.image);
            before.header = h;
            before.left = f.left;
            before.top = f.top;
            before.any = true;
        }
    }
    uint32_t count = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        if (used[i] && i >= global.count)
            return true; // an index beyond the table: leave it all alone
        count += used[i] ? 1 : 0;
    }
    // Codes start as narrow as a frame's largest entry allows: with byUse,
    // first the colours of the frames that change fewest colours.
    std::vector<uint32_t> order;
    std::array<bool, 256> placed{};
    std::stable_sort(changed.begin(), changed.end(), [](const auto& a, const auto& b) {
        return std::count(a.begin(), a.end(), true) < std::count(b.begin(), b.end(), true);
    });
    for (const auto& set : changed)
        for (uint32_t i = 0; i < global.count; ++i)
            if (set[i] && !placed[i])
                placed[i] = true, order.push_back(i);
    for (uint32_t i = 0; i < global.count; ++i)
        if (used[i] && !placed[i])
            order.push_back(i);
    const uint32_t size = 1u << colorTableBits(count);
    if (size > global.count)
        return true;
    std::array<uint8_t, 256> map{};
    for (uint32_t k = 0; k < order.size(); ++k)
        map[order[k]] = uint8_t(k);
    if (size == global.count && !narrowsCodes(changed, map))
        return true;
    ColorTable table;
    table.count = uint16_t(size);
    to = map;
    for (uint32_t k = 0; k < order.size(); ++k)
        table.setColor(k, global.color(order[k]));
    table.backgroundIndex = global.backgroundIndex < global.count ? to[global.backgroundIndex] : 0;
    shrunk = table;
    return true;
}

std::array<uint8_t, 256> MergedTables::mapping(std::span<const uint8_t> dib, uint16_t transparentIndex) const
{
    std::array<uint8_t, 256> to{};
    DibHeader h;
    if (!checkDib(dib, &h))
        return to;
    const uint8_t* quad = dib.data() + h.size;
    for (uint32_t i = 0; i < std::min<uint32_t>(dibColorCount(h), 256); ++i, quad += 4) {
        const uint32_t c = makeColor(quad[2], quad[1], quad[0]);
        const auto it = std::lower_bound(colors.begin(), colors.end(), c);
        if (it != colors.end() && *it == c)
            to[i] = entries[size_t(it - colors.begin())];
    }
    if (transparentIndex < 256)
        to[transparentIndex] = uint8_t(transparent);
    return to;
}

bool mergeTables(const FrameList& frames, const ColorTable& global, std::optional<MergedTables>& merged)
{
    merged.reset();
    // Nothing to merge without an own table: no picture needs reading.
    bool ownTables = false;
    for (int i = 0; i < frames.count() && !ownTables; ++i)
        ownTables = frames.frameAt(i)->useLocalColorTable != 0;
    if (!ownTables)
        return true;
    std::vector<uint32_t> order; // colours in the order they first show
    std::vector<uint32_t> seen;  // the same, sorted
    auto add = [&](uint32_t c) {
        const auto it = std::lower_bound(seen.begin(), seen.end(), c);
        if (it != seen.end() && *it == c)
            return;
        seen.insert(it, c);
        order.push_back(c);
    };
    if (global.backgroundIndex < global.count)
        add(global.color(global.backgroundIndex));
    std::vector<std::vector<uint32_t>> shown; // each frame's colours
    uint64_t before = 3u * uint64_t(1u << colorTableBits(global.count));
    bool anyLocal = false;
    int fewestBits = colorTableBits(global.count);
    for (int i = 0; i < frames.count(); ++i) {
        const Frame& f = *frames.frameAt(i);
        RasterImage picture;
        DibHeader h;
        if (!loadGifImage(picture, f.workFile, 0) || !checkDib(picture.image.bytes(), &h) || h.bitCount != 8)
            return false;
        if (!f.useLocalColorTable)
            picture.applyColorTable(&global);
        const uint32_t count = std::min<uint32_t>(dibColorCount(h), 256);
        if (f.useLocalColorTable) {
            anyLocal = true;
            before += 3u * uint64_t(1u << colorTableBits(count));
            fewestBits = std::min(fewestBits, colorTableBits(count));
        }
        std::array<bool, 256> used{};
        for (uint32_t y = 0; y < h.absHeight(); ++y) {
            const uint8_t* row = picture.image.data() + dibRowOffset(h, y);
            for (int64_t x = 0; x < h.width; ++x)
                used[row[x]] = true;
        }
        const uint8_t* quad = picture.image.data() + h.size;
        shown.emplace_back();
        for (uint32_t k = 0; k < 256; ++k) {
            if (!used[k] || k == f.transparentIndex)
                continue;
            if (k >= count)
                return true; // an index beyond the table: leave the tables alone
            add(makeColor(quad[4 * k + 2], quad[4 * k + 1], quad[4 * k]));
            shown.back().push_back(makeColor(quad[4 * k + 2], quad[4 * k + 1], quad[4 * k]));
            if (seen.size() > 255)
                return true;
        }
    }
    const uint32_t entries = uint32_t(order.size()) + 1;
    const uint64_t after = 3u * uint64_t(1u << colorTableBits(entries));
    // With the global table alone, shrinking it keeps the colour of every
    // entry, transparent ones too. Longer codes for any frame would cost
    // more than the tables saved.
    if (!anyLocal || after >= before || colorTableBits(entries) > fewestBits)
        return true;
    // Codes start as narrow as a frame's largest entry allows: the entry for
    // transparency first, as any frame may use it, then the background
    // colour, then the colours of the frames with the fewest colours.
    const bool background = global.backgroundIndex < global.count;
    order.resize(background ? 1 : 0);
    std::vector<uint32_t> placed(order);
    std::vector<size_t> byCount(shown.size());
    std::iota(byCount.begin(), byCount.end(), size_t(0));
    std::stable_sort(byCount.begin(), byCount.end(),
                     [&](size_t a, size_t b) { return shown[a].size() < shown[b].size(); });
    for (const size_t i : byCount) {
        for (const uint32_t c : shown[i]) {
            const auto it = std::lower_bound(placed.begin(), placed.end(), c);
            if (it == placed.end() || *it != c) {
                placed.insert(it, c);
                order.push_back(c);
            }
        }
    }
    MergedTables m;
    m.table.count = uint16_t(1u << colorTableBits(entries));
    m.transparent = 0;
    for (uint32_t k = 0; k < order.size(); ++k)
        m.table.setColor(k + 1, order[k]);
    m.colors = seen;
    m.entries.resize(seen.size());
    for (uint32_t k = 0; k < order.size(); ++k)
        m.entries[size_t(std::lower_bound(seen.begin(), seen.end(), order[k]) - seen.begin())] = uint8_t(k + 1);
    m.table.backgroundIndex = background ? 1 : kNoIndex;
    merged = std::move(m);
    return true;
}

} // namespace zell
