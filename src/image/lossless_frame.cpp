#include "image/lossless_frame.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "image/color_table.h"
#include "image/gif_blocks.h"
#include "image/gif_codec.h"
#include "image/lzw_codec.h"
#include "image/lzw_lossy.h"

namespace zell {

namespace {

// Pixels a frame's rectangle needs before its kept encoding is coded again
// with strings that may end early.
constexpr size_t kLookAheadArea = 128 * 128;

enum : uint8_t {
    kMust = 0,        // changes the screen: its own colour
    kDontCare = 1,    // equal to the screen: its own colour or transparent
    kSeeThrough = 2,  // the frame's own transparent index: stays transparent
};

// One table to write: old index -> new index, and the new table's colours.
struct Mapping {
    std::array<uint8_t, 256> to{};
    std::array<bool, 256> kept{};
    std::vector<uint32_t> colors;
    int bits = 1;
    bool global = false; // the global table: no table of its own to pay for
};

// Keeps the entries marked in `keep` (in their order), or all `count` of
// them when `compact` is off.
Mapping makeMapping(const uint8_t* table, uint32_t count, const std::array<bool, 256>& keep, bool compact,
                    uint32_t grownCount)
{
    Mapping m;
    const uint32_t total = std::max(count, grownCount);
    for (uint32_t i = 0; i < 256; ++i) {
        const bool wanted = compact ? keep[i] : i < total;
        if (!wanted)
            continue;
        m.kept[i] = true;
        m.to[i] = uint8_t(m.colors.size());
        m.colors.push_back(i < count ? makeColor(table[4 * i + 2], table[4 * i + 1], table[4 * i]) : 0);
    }
    if (m.colors.empty())
        m.colors.push_back(0);
    m.bits = colorTableBits(uint32_t(m.colors.size()));
    return m;
}

// The changes of value along the row-major pixel sequence are what LZW pays
// for most, then rows that differ from the row above. Where pixel p may be
// written as own[p] or as the transparent see[p] (equal where there is no
// choice), each run of such pixels is written wholly in its own colours,
// transparent between the own colours that continue its neighbours, or
// wholly transparent: the fewest changes, then the fewest pixels unlike the
// ones above, then the fewest transparent pixels.
void chooseRuns(const std::vector<uint8_t>& own, const std::vector<uint8_t>& see, size_t width,
                std::vector<uint8_t>& out)
{
    const size_t n = own.size();
    constexpr uint32_t kNone = 256; // no pixel: never a change
    auto change = [](uint32_t a, uint32_t b) { return a != kNone && b != kNone && a != b ? 1u : 0u; };
    // Pixels of [from, to) unlike the row above when written `v` (kNone:
    // their own colours).
    auto unlikeAbove = [&](size_t from, size_t to, uint32_t v) {
        uint64_t count = 0;
        for (size_t q = std::max(from, width); q < to; ++q)
            count += out[q - width] != (v == kNone ? own[q] : v) ? 1 : 0;
        return count;
    };
    uint32_t prev = kNone;
    size_t p = 0;
    while (p < n) {
        if (own[p] == see[p]) {
            out[p] = own[p];
            prev = own[p++];
            continue;
        }
        const size_t s = p;
        while (p < n && own[p] != see[p])
            ++p;
        const uint32_t next = p < n ? own[p] : kNone, t = see[s];
        // Own colours kept at the ends where they continue a neighbour.
        size_t lead = s, trail = p;
        while (lead < p && uint32_t(own[lead]) == prev)
            ++lead;
        while (trail > lead && uint32_t(own[trail - 1]) == next)
            --trail;
        struct Option {
            size_t from, to; // the transparent pixels
            uint64_t changes = 0, unlike = 0;
        };
        Option whole{s, s}, between{lead, trail}, clear{s, p};
        for (size_t q = s + 1; q < p; ++q)
            whole.changes += own[q] != own[q - 1] ? 1 : 0;
        whole.changes += change(prev, own[s]) + change(own[p - 1], next);
        whole.unlike = unlikeAbove(s, p, kNone);
        clear.changes = change(prev, t) + change(t, next);
        clear.unlike = unlikeAbove(s, p, t);
        if (lead < trail) {
            // The kept ends are runs of one colour each.
            between.changes = (lead > s ? 1 : change(prev, t)) + (trail < p ? 1 : change(t, next));
            between.unlike = unlikeAbove(s, lead, kNone) + unlikeAbove(lead, trail, t) + unlikeAbove(trail, p, kNone);
        } else {
            between = whole;
        }
        auto better = [](const Option& a, const Option& b) {
            if (a.changes != b.changes)
                return a.changes < b.changes;
            if (a.unlike != b.unlike)
                return a.unlike < b.unlike;
            return a.to - a.from < b.to - b.from;
        };
        Option best = whole;
        if (better(between, best))
            best = between;
        if (better(clear, best))
            best = clear;
        for (size_t q = s; q < p; ++q)
            out[q] = q >= best.from && q < best.to ? uint8_t(t) : own[q];
        prev = out[p - 1];
    }
}

// Each stretch of pixels that may be transparent becomes so where its own
// colours change within it; a stretch of one colour keeps it, as a longer
// run of that colour may go on beside it.
void chooseStretches(const std::vector<uint8_t>& ownPixels, const std::vector<uint8_t>& seePixels,
                     std::vector<uint8_t>& outPixels)
{
    // Pointers, not vectors: a byte stored through a vector may alias its
    // own pointers, and they would be reloaded every pixel.
    const uint8_t* own = ownPixels.data();
    const uint8_t* see = seePixels.data();
    uint8_t* out = outPixels.data();
    const size_t n = ownPixels.size();
    size_t p = 0;
    while (p < n) {
        if (own[p] == see[p]) {
            out[p] = own[p];
            ++p;
            continue;
        }
        const size_t s = p;
        bool mixed = false;
        for (++p; p < n && own[p] != see[p]; ++p)
            mixed = mixed || own[p] != own[p - 1];
        std::memcpy(out + s, mixed ? see + s : own + s, p - s);
    }
}

// What each old index is written as in `m`; one the mapping drops becomes
// `dropped`, or stays as it is when that is kNoIndex.
std::array<uint8_t, 256> written(const Mapping& m, uint32_t dropped)
{
    std::array<uint8_t, 256> to{};
    for (uint32_t i = 0; i < 256; ++i)
        to[i] = m.kept[i] ? m.to[i] : dropped == kNoIndex ? uint8_t(i) : uint8_t(dropped);
    return to;
}

// Eight bytes at a time: the build's -O2 leaves byte loops unvectorised,
// and these run over every pixel of every encoding tried.
uint64_t load8(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// All bytes of a and b or-ed together.
uint8_t orAll(const uint8_t* a, const uint8_t* b, size_t n)
{
    uint64_t wide = 0;
    size_t p = 0;
    for (; p + 8 <= n; p += 8)
        wide |= load8(a + p) | load8(b + p);
    uint8_t bits = 0;
    for (; p < n; ++p)
        bits |= uint8_t(a[p] | b[p]);
    for (int shift = 0; shift < 64; shift += 8)
        bits |= uint8_t(wide >> shift);
    return bits;
}

// Where `chosen` holds one of a pixel's two values (`one` or `other`), the
// other one: the xor of all three.
void otherChoice(const uint8_t* one, const uint8_t* other, const uint8_t* chosen, uint8_t* out, size_t n)
{
    size_t p = 0;
    for (; p + 8 <= n; p += 8) {
        const uint64_t v = load8(one + p) ^ load8(other + p) ^ load8(chosen + p);
        std::memcpy(out + p, &v, 8);
    }
    for (; p < n; ++p)
        out[p] = uint8_t(one[p] ^ other[p] ^ chosen[p]);
}

uint64_t streamCost(size_t codeBytes, int bits, bool keepColors)
{
    return codeBytes + (codeBytes + 254) / 255 + (keepColors ? 0 : 3u << bits);
}

} // namespace

uint64_t frameStreamCost(std::span<const uint8_t> stream, bool usesGlobalTable)
{
    // What the animation writer copies of the stream: the image's table
    // (its own, else the stream's global one) unless the frame uses the
    // global table, and the compressed data with its sub-block lengths.
    GifHeader header;
    GifImageBlock image;
    if (!readGifHeader(stream, header) || !findFirstGifImage(header, image))
        return 0;
    const size_t table = image.localTable.empty() ? header.globalTable.size() : image.localTable.size();
    return (usesGlobalTable ? 0 : table) + (image.end - image.dataStart);
}

bool remapPicture(ByteBuffer& dib, const std::array<uint8_t, 256>& to, const ColorTable& table)
{
    DibHeader h;
    if (!checkDib(dib.bytes(), &h) || h.bitCount != 8 || table.count == 0 || table.count > 256)
        return false;
    DibHeader o = h;
    o.size = kDibHeaderSize;
    o.clrUsed = table.count;
    o.clrImportant = 0;
    const uint64_t stride = dibStride(o.width, 8);
    o.sizeImage = uint32_t(stride * o.absHeight());
    const uint64_t size = dibBitsOffset(o) + o.sizeImage;
    ByteBuffer mapped;
    if (size > UINT32_MAX || !mapped.allocate(uint32_t(size)))
        return false;
    writeDibHeader(mapped.data(), o);
    uint8_t* quad = mapped.data() + o.size;
    for (uint32_t i = 0; i < table.count; ++i, quad += 4) {
        quad[0] = table.entries[3 * i + 2];
        quad[1] = table.entries[3 * i + 1];
        quad[2] = table.entries[3 * i];
        quad[3] = 0;
    }
    for (uint32_t y = 0; y < o.absHeight(); ++y) {
        const uint8_t* from = dib.data() + dibRowOffset(h, y);
        uint8_t* row = mapped.data() + dibRowOffset(o, y);
        std::memset(row, 0, stride);
        for (int64_t x = 0; x < o.width; ++x)
            row[x] = to[from[x]];
    }
    dib.swap(mapped);
    return true;
}

bool encodeLosslessFrame(RasterImage& picture, ByteBuffer& out, LosslessFrame& f, std::span<const uint8_t> painted)
{
    DibHeader s;
    if (!checkDib(picture.displayCanvas.bytes(), &s) || s.bitCount != 24 || s.height < 0)
        return false;
    const ScreenArea whole{picture.displayCanvas.bytes(), painted, 0, 0, uint32_t(s.width), s.absHeight()};
    return encodeLosslessFrame(picture, out, f, whole);
}

bool encodeLosslessFrame(RasterImage& picture, ByteBuffer& out, LosslessFrame& f, const ScreenArea& beneath)
{
    const ByteBuffer& image = picture.image;
    DibHeader s, h;
    if (!checkDib(image.bytes(), &h) || h.bitCount != 8 || h.clrUsed == 0 || h.height < 0)
        return false;
    const uint32_t colors = std::min<uint32_t>(dibColorCount(h), 256);
    const int64_t x0 = std::max<int64_t>(f.left, 0), y0 = std::max<int64_t>(f.top, 0);
    const int64_t w = std::max<int64_t>(std::min<int64_t>(f.left + h.width, beneath.screenWidth) - x0, 0);
    const int64_t hh = std::max<int64_t>(std::min<int64_t>(f.top + h.absHeight(), beneath.screenHeight) - y0, 0);
    if (!screenHolds(beneath, x0, y0, w, hh, s))
        return false;
    const std::span<const uint8_t> painted = beneath.painted;
    const uint8_t* table = image.data() + h.size;
    const uint32_t own = f.transparentIndex < colors ? f.transparentIndex : kNoIndex;

    // Classify every pixel of the compared area; the rectangle grows with
    // the pixels that change the screen, which are therefore all inside it.
    std::vector<uint8_t> kind(size_t(w * hh));
    std::array<uint32_t, 256> mustUse{};
    bool outOfTable = false;
    // Entries as the screen's blue, green, red bytes read as one number: one
    // compare a pixel instead of a memcmp call.
    std::array<uint32_t, 256> entry{};
    for (uint32_t i = 0; i < colors; ++i)
        entry[i] = table[4 * i] | uint32_t(table[4 * i + 1]) << 8 | uint32_t(table[4 * i + 2]) << 16;
    int64_t rl = w + 1, rt = hh + 1, rr = -1, rb = -1;
    // A frame off the screen compares no pixels, and may have no canvas.
    const int64_t rows = w > 0 ? hh : 0;
    for (int64_t j = 0; j < rows; ++j) {
        const uint8_t* row = image.data() + dibRowOffset(h, uint32_t(j));
        const int64_t cy = y0 + j - beneath.top, cx = x0 - beneath.left;
        const uint8_t* screen = beneath.canvas.data() + dibRowOffset(s, uint32_t(cy)) + 3 * cx;
        const uint8_t* known = painted.empty() ? nullptr : painted.data() + cy * int64_t(s.width) + cx;
        uint8_t* k = kind.data() + j * w;
        // Without branches but the row's: the kinds mix at random in a
        // noisy picture. Out-of-table pixels have no colour: left as they
        // are, never a reason to keep a pixel.
        int64_t first = w, last = -1; // the row's changing pixels
        bool noColor = false;
        for (int64_t i = 0; i < w; ++i) {
            const uint32_t index = row[i];
            const uint32_t shown = screen[3 * i] | uint32_t(screen[3 * i + 1]) << 8 | uint32_t(screen[3 * i + 2]) << 16;
            const bool inTable = index < colors;
            const bool same = inTable && (!known || known[i]) && entry[index] == shown;
            const bool see = index == own;
            k[i] = see ? kSeeThrough : same ? kDontCare : kMust;
            const bool changes = !see && !same && inTable;
            noColor |= !see && !inTable;
            first = changes && first == w ? i : first;
            last = changes ? i : last;
        }
        outOfTable |= noColor;
        if (last >= 0) {
            rl = std::min(rl, first);
            rr = std::max(rr, last);
            rt = std::min(rt, j);
            rb = j;
        }
    }
    if (!f.crop) {
        rl = 0, rt = 0, rr = w - 1, rb = hh - 1;
    }
    bool changed;
    if (rl <= rr && rt <= rb) {
        ++rr;
        ++rb;
        changed = true;
    } else {
        rl = 0, rt = 0, rr = 1, rb = 1;
        changed = !f.crop;
    }
    const int64_t rw = rr - rl, rh = rb - rt;
    const bool whole = rw == h.width && rh == int64_t(h.absHeight());
    // The rectangle's indices and kinds, rows from the top. Pixels outside
    // the compared area (a frame partly off the screen) are kept as they are.
    const size_t area = size_t(rw * rh);
    std::vector<uint8_t> rectIndex(area), rectKind(area);
    std::array<uint32_t, 256> quietUse{};
    bool hasQuiet = false, hasSeeThrough = false;
    for (int64_t j = 0; j < rh; ++j) {
        const int64_t y = rt + j;
        const uint8_t* row = image.data() + dibRowOffset(h, uint32_t(y)) + rl;
        uint8_t* index = rectIndex.data() + j * rw;
        uint8_t* k = rectKind.data() + j * rw;
        std::memcpy(index, row, size_t(rw));
        for (int64_t i = 0; i < rw; ++i) {
            const int64_t x = rl + i;
            if (x >= w || y >= hh)
                k[i] = index[i] == own ? kSeeThrough : kMust;
            else
                k[i] = kind[size_t(y * w + x)];
            if (k[i] == kDontCare) {
                ++quietUse[index[i]];
                hasQuiet = true;
            } else if (k[i] == kSeeThrough) {
                hasSeeThrough = true;
            } else if (index[i] >= colors) {
                outOfTable = true;
            } else {
                ++mustUse[index[i]];
            }
        }
    }

    // The transparent index: the frame's own, or an entry no changing pixel
    // uses (the one fewest unchanged pixels have, so that most keep their
    // choice; in a table kept as it is, within the codes the changing pixels
    // need), or a new entry.
    const bool compact = !f.keepColors && !outOfTable;
    uint32_t t = own;
    uint32_t grown = colors;
    if (t == kNoIndex && f.giveTransparency && hasQuiet) {
        uint32_t largestMust = 0;
        for (uint32_t i = 0; i < colors; ++i)
            largestMust = mustUse[i] ? i : largestMust;
        const uint32_t narrow = compact ? 256 : 1u << std::max(int(std::bit_width(largestMust)), 2);
        const auto cost = [&](uint32_t i) { return std::pair{i >= narrow, quietUse[i]}; };
        uint32_t best = kNoIndex;
        for (uint32_t i = 0; i < colors; ++i)
            if (mustUse[i] == 0 && (best == kNoIndex || cost(i) < cost(best)))
                best = i;
        if (best == kNoIndex && !f.keepColors && !outOfTable && colors < 256) {
            best = colors;
            grown = colors + 1;
        }
        t = best;
    }

    struct Candidate {
        std::vector<uint8_t> codes;
        Mapping mapping;
        uint32_t transparent = kNoIndex;
        uint64_t cost = UINT64_MAX;
        int minCode = 2;
        // What the codes say, to code it again: exact (no lossy coding),
        // pixel by pixel one of the two values (kept for the look-ahead
        // only), the table cleared `how`.
        bool exact = false;
        std::vector<uint8_t> pixels, preferred;
        LzwClear how = LzwClear::whenWorse;
        std::vector<uint32_t> marks; // its pace (exact encodings only)
    };
    Candidate best;
    // The look-ahead passes cost several plain ones per pixel. On an
    // animation of many small changes that doubles the whole run for about
    // 1% of its bytes; big pictures, where most of the bytes are, keep it.
    const bool lookAhead = area >= kLookAheadArea;
    std::vector<uint8_t> data(area), alt(area), runs(area), flip(area);
    LzwCodec codec;
    std::optional<LzwClear> settled; // how a full table is cleared, once known
    // `transparent`: the index in the mapping's table, or kNoIndex.
    // Encodes `pixels`, or chooses string by string where `preferred` (the
    // value taken when both do as well) differs; gives up as soon as it
    // cannot beat the best so far.
    auto tryEncoding = [&](const Mapping& m, uint32_t transparent, const std::vector<uint8_t>& pixels,
                           const std::vector<uint8_t>& preferred) {
        const bool choosing = &pixels != &preferred;
        // The codes start as narrow as the largest index written allows;
        // its top bit is that of all indices or-ed.
        const uint8_t bits = orAll(pixels.data(), preferred.data(), area);
        const int minCode = std::max(int(std::bit_width(bits)), 2);
        const uint64_t table = streamCost(0, m.bits, f.keepColors || m.global);
        // An encoding may give up once it is no smaller than the best so far.
        const auto limit = [&] {
            return best.cost == UINT64_MAX ? SIZE_MAX : size_t(best.cost - std::min(best.cost, table));
        };
        // True when `codes` became the best; `price`: its error in bytes.
        const auto keep = [&](std::vector<uint8_t>& codes, uint64_t price = 0) {
            const uint64_t cost = streamCost(codes.size(), m.bits, f.keepColors || m.global) + price;
            if (cost >= best.cost)
                return false;
            best.codes.swap(codes);
            best.mapping = m;
            best.transparent = transparent;
            best.cost = cost;
            best.minCode = minCode;
            return true;
        };
        // The ways of clearing a full table differ only once it has filled.
        // The first encoding to fill it tries them all; the others take the
        // way that won there: their pixels differ little.
        constexpr LzwClear kEvery[] = {LzwClear::searched, LzwClear::atFill, LzwClear::whenWorse, LzwClear::never};
        const std::span<const LzwClear> ways = settled ? std::span<const LzwClear>(&*settled, 1) : kEvery;
        std::optional<LzwClear> won;
        bool filled = false;
        for (const LzwClear how : ways) {
            std::vector<uint8_t> codes;
            const bool done = codec.compressChoosing(pixels, preferred, minCode, codes, limit(), how, 0, best.marks);
            filled = filled || codec.tableFilled();
            if (done && keep(codes)) {
                best.marks = codec.paceMarks();
                won = how;
                if (lookAhead) {
                    best.pixels = pixels;
                    best.preferred = preferred;
                }
                best.how = how;
                best.exact = true;
            }
            if (!codec.tableFilled())
                break;
        }
        if (filled && won && !settled)
            settled = won;
        if (f.lossy > 0 && !choosing) {
            ColorTable colors;
            colors.count = uint16_t(m.colors.size());
            for (size_t c = 0; c < m.colors.size(); ++c)
                colors.setColor(uint32_t(c), m.colors[c]);
            std::vector<uint8_t> codes;
            const LossyPicture picture{pixels, &colors, transparent == kNoIndex ? -1 : int(transparent)};
            double moved = 0;
            if (compressLossy(picture, f.lossy, minCode, codes, limit(), &moved)
                && keep(codes, f.lossyWeighed ? uint64_t(std::lround(moved * lossyPrice(f.lossy))) : 0)) {
                best.exact = false;
                best.marks.clear();
            }
        }
    };
    // The encoding kept, coded again with strings that may end early: the
    // gain that pays differs from frame to frame (a third gain, 1, finds
    // about 0.1% more at a sixth more time).
    auto parseAhead = [&](Candidate& c) {
        const uint64_t table = streamCost(0, c.mapping.bits, f.keepColors || c.mapping.global);
        for (const uint32_t gain : {2u, 4u}) {
            std::vector<uint8_t> codes;
            if (!codec.compressChoosing(c.pixels, c.preferred, c.minCode, codes, size_t(c.cost - table), c.how, gain))
                continue;
            const uint64_t cost = streamCost(codes.size(), c.mapping.bits, f.keepColors || c.mapping.global);
            if (cost < c.cost) {
                c.codes.swap(codes);
                c.cost = cost;
            }
        }
    };
    // Every pixel its own colour.
    auto opaque = [&](const Mapping& m) {
        const std::array<uint8_t, 256> same = written(m, kNoIndex);
        for (size_t p = 0; p < area; ++p)
            data[p] = same[rectIndex[p]];
        tryEncoding(m, kNoIndex, data, data);
    };
    // All unchanged pixels transparent (as optimizeFrame writes them), then
    // chosen string by string; `tt`: the transparent index in `m`.
    auto transparentOnes = [&](const Mapping& m, uint8_t tt, bool byRuns) {
        // What each kind of pixel is written as, by kind and index: one
        // load a value, without branches (the kinds mix at random in a noisy
        // picture). Pointers, as in chooseStretches.
        const std::array<uint8_t, 256> must = written(m, kNoIndex), quiet = written(m, tt);
        std::array<uint8_t, 3 * 256> toData, toAlt;
        for (uint32_t i = 0; i < 256; ++i) {
            toData[kMust << 8 | i] = toAlt[kMust << 8 | i] = must[i];
            toData[kDontCare << 8 | i] = quiet[i];
            toAlt[kDontCare << 8 | i] = tt;
            toData[kSeeThrough << 8 | i] = toAlt[kSeeThrough << 8 | i] = tt;
        }
        const uint8_t* index = rectIndex.data();
        const uint8_t* kinds = rectKind.data();
        uint8_t* d = data.data();
        uint8_t* a = alt.data();
        uint8_t differ = 0;
        const size_t n = area; // a local, for the same reason
        for (size_t p = 0; p < n; ++p) {
            const uint32_t at = uint32_t(kinds[p]) << 8 | index[p];
            d[p] = toData[at];
            a[p] = toAlt[at];
            differ |= uint8_t(d[p] ^ a[p]);
        }
        const bool anyChoice = differ != 0;
        if (byRuns) {
            // Each choice as it is, then left where the table holds a
            // longer string. Chosen run by run, the stretch-by-stretch choice
            // nearly always beats it (42 bytes on the generated set, for a
            // tenth of its time): only the lossy coder still starts there.
            const auto tryAround = [&] {
                tryEncoding(m, tt, runs, runs);
                otherChoice(data.data(), alt.data(), runs.data(), flip.data(), area);
                tryEncoding(m, tt, flip, runs);
            };
            if (anyChoice) {
                if (f.lossy > 0) {
                    chooseRuns(data, alt, size_t(rw), runs);
                    tryAround();
                }
                chooseStretches(data, alt, runs);
                tryAround();
            }
            return;
        }
        tryEncoding(m, tt, alt, alt);
        if (anyChoice)
            tryEncoding(m, tt, data, alt);
    };

    const bool transparentPossible = t != kNoIndex && (hasQuiet || hasSeeThrough);
    const bool opaquePossible = !hasSeeThrough;
    // The likeliest winner first, so that the others can give up early.
    if (transparentPossible) {
        std::array<bool, 256> keep{};
        for (uint32_t i = 0; i < 256; ++i)
            keep[i] = mustUse[i] != 0;
        keep[t] = true;
        const Mapping m = makeMapping(table, colors, keep, compact, grown);
        transparentOnes(m, m.to[t], false);
        // Run by run, unchanged pixels may keep colours no changing pixel uses.
        for (uint32_t i = 0; i < 256; ++i)
            keep[i] = keep[i] || quietUse[i] != 0;
        const Mapping all = makeMapping(table, colors, keep, compact, grown);
        transparentOnes(all, all.to[t], true);
    }
    if (opaquePossible) {
        std::array<bool, 256> keep{};
        for (uint32_t i = 0; i < 256; ++i)
            keep[i] = mustUse[i] || quietUse[i];
        opaque(makeMapping(table, colors, keep, compact, colors));
    }
    // A local-table frame whose colours are all in the global table can use
    // it and write no table of its own.
    if (f.global && !f.keepColors && !outOfTable && f.global->count >= 2) {
        Mapping g;
        g.global = true;
        for (uint32_t i = 0; i < f.global->count; ++i)
            g.colors.push_back(f.global->color(i));
        g.bits = colorTableBits(f.global->count);
        for (uint32_t i = 0; i < colors; ++i) {
            const uint32_t c = makeColor(table[4 * i + 2], table[4 * i + 1], table[4 * i]);
            for (uint32_t j = 0; j < f.global->count; ++j)
                if (g.colors[j] == c) {
                    g.kept[i] = true;
                    g.to[i] = uint8_t(j);
                    break;
                }
        }
        bool mustFit = true, allFit = true;
        std::array<bool, 256> taken{};
        std::array<uint32_t, 256> quietAt{};
        for (uint32_t i = 0; i < colors; ++i) {
            if (mustUse[i]) {
                mustFit = mustFit && g.kept[i];
                if (g.kept[i])
                    taken[g.to[i]] = true;
            }
            if (quietUse[i]) {
                allFit = allFit && g.kept[i];
                if (g.kept[i])
                    quietAt[g.to[i]] += quietUse[i];
            }
        }
        if (opaquePossible && mustFit && allFit)
            opaque(g);
        const bool wantsTransparent = hasSeeThrough || (hasQuiet && f.giveTransparency) || own != kNoIndex;
        if (mustFit && wantsTransparent && (hasQuiet || hasSeeThrough)) {
            // An entry within the codes the changing pixels need, so that
            // the codes stay as narrow as they allow.
            uint32_t largest = 0;
            for (uint32_t j = 0; j < f.global->count; ++j)
                largest = taken[j] ? j : largest;
            const uint32_t narrow = 1u << std::max(int(std::bit_width(largest)), 2);
            const auto worse = [&](uint32_t a, uint32_t b) {
                return std::pair{a >= narrow, quietAt[b]} > std::pair{b >= narrow, quietAt[a]};
            };
            uint32_t tg = kNoIndex;
            for (uint32_t j = 0; j < f.global->count; ++j)
                if (!taken[j] && (tg == kNoIndex || worse(tg, j)))
                    tg = j;
            if (tg != kNoIndex) {
                // Run by run never won on the generated set without the
                // lossy coder (the five such frames of desktop).
                transparentOnes(g, uint8_t(tg), false);
                if (f.lossy > 0)
                    transparentOnes(g, uint8_t(tg), true);
            }
        }
    }
    if (best.cost == UINT64_MAX)
        return false;
    if (best.exact && lookAhead)
        parseAhead(best);
    if (!writeGifStream(uint32_t(rw), uint32_t(rh), best.mapping.colors, best.mapping.bits, best.codes, out, best.minCode))
        return false;
    if (!whole) {
        f.left = x0 + rl;
        f.top = y0 + rt;
    }
    f.width = uint32_t(rw);
    f.height = uint32_t(rh);
    f.changed = changed;
    f.transparentIndex = best.transparent == kNoIndex ? kNoIndex : uint16_t(best.transparent);
    f.colorCount = best.mapping.global ? f.global->count : uint16_t(1u << best.mapping.bits);
    f.usesGlobal = best.mapping.global;
    return true;
}

} // namespace zell
