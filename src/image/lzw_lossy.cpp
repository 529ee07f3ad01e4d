#include "image/lzw_lossy.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

#include "image/lzw_bits.h"
#include "image/lzw_codec.h"

namespace zell {

namespace {

// How many tree nodes one string's search may visit: enough to find a long
// run through a few near colours, bounded so that noise costs no more than
// a small multiple of exact coding.
constexpr int kSearchBudget = 48;

struct Tree {
    std::array<uint16_t, kMaxLzwCodes> firstChild{};
    std::array<uint16_t, kMaxLzwCodes> nextSibling{};
    std::array<uint8_t, kMaxLzwCodes> value{};

    void reset(uint32_t roots)
    {
        for (uint32_t c = 0; c < roots; ++c)
            firstChild[c] = 0;
    }
    void add(uint32_t code, uint32_t parent, uint8_t v)
    {
        value[code] = v;
        firstChild[code] = 0;
        nextSibling[code] = firstChild[parent];
        firstChild[parent] = uint16_t(code);
    }
};

struct Match {
    uint32_t node;
    uint32_t length;
    double error;
    double squared; // the sum of the squared distances
};

class Search {
public:
    Search(const Tree& tree, std::span<const uint8_t> in, const std::vector<float>& cost, uint32_t stride,
           double bound)
        : tree_(tree), in_(in), cost_(cost), stride_(stride), bound_(bound)
    {
    }

    Match longest(uint32_t root, size_t start)
    {
        best_ = {root, 1, 0, 0};
        budget_ = kSearchBudget;
        visit(root, start + 1, 1, 0, 0);
        return best_;
    }

private:
    // Exact children first, so that the budget goes to them before near ones.
    void visit(uint32_t node, size_t pos, uint32_t length, double error, double squared)
    {
        if ((length > best_.length || (length == best_.length && error < best_.error))
            && error <= bound_ * (0.5 * length + 1))
            best_ = {node, length, error, squared};
        if (pos >= in_.size())
            return;
        const uint8_t want = in_[pos];
        for (uint32_t c = tree_.firstChild[node]; c != 0; c = tree_.nextSibling[c]) {
            if (tree_.value[c] == want) {
                --budget_;
                visit(c, pos + 1, length + 1, error, squared);
                break;
            }
        }
        for (uint32_t c = tree_.firstChild[node]; c != 0 && budget_ > 0; c = tree_.nextSibling[c]) {
            const float e = cost_[size_t(tree_.value[c]) * stride_ + want];
            if (tree_.value[c] == want || e > bound_)
                continue;
            --budget_;
            visit(c, pos + 1, length + 1, error + e, squared + double(e) * e);
        }
    }

    const Tree& tree_;
    std::span<const uint8_t> in_;
    const std::vector<float>& cost_;
    uint32_t stride_;
    double bound_;
    Match best_{};
    int budget_ = 0;
};

} // namespace

double lossyBound(int level)
{
    return 0.25 * level;
}

// A byte for every pixel moved by the whole bound: as the level rises the
// error costs less, so frames turn lossy one by one, not all at one step.
double lossyPrice(int level)
{
    const double bound = lossyBound(level);
    return bound > 0 ? 1 / (bound * bound) : 0;
}

double lossyDistance(uint32_t a, uint32_t b)
{
    const double dr = double(a & 0xFF) - double(b & 0xFF);
    const double dg = double((a >> 8) & 0xFF) - double((b >> 8) & 0xFF);
    const double db = double(a >> 16) - double(b >> 16);
    return std::sqrt((2 * dr * dr + 4 * dg * dg + 3 * db * db) / 9);
}

bool compressLossy(const LossyPicture& picture, int level, int minCodeSize, std::vector<uint8_t>& out,
                   size_t maxBytes, double* squaredError)
{
    const std::span<const uint8_t> in = picture.pixels;
    if (in.empty() || minCodeSize <= 0 || minCodeSize > 8 || level < 0 || level > kMaxLossyLevel
        || (level > 0 && !picture.table))
        return false;
    const uint32_t k = uint32_t(minCodeSize);
    const uint32_t clear = 1u << k;
    const uint32_t mask = clear - 1;

    // Distances between every pair of indices; a transparent index or one
    // past the table stands only for itself.
    const double bound = lossyBound(level);
    const uint32_t stride = 256;
    std::vector<float> cost(size_t(stride) * stride, float(bound) + 1);
    if (level > 0) {
        const uint32_t count = std::min<uint32_t>(picture.table->count, clear);
        for (uint32_t a = 0; a < count; ++a)
            for (uint32_t b = 0; b < count; ++b)
                if (int(a) != picture.transparent && int(b) != picture.transparent)
                    cost[a * stride + b] = float(lossyDistance(picture.table->color(a), picture.table->color(b)));
    }
    std::vector<uint8_t> masked(in.begin(), in.end());
    for (uint8_t& v : masked)
        v &= uint8_t(mask);

    auto tree = std::make_unique<Tree>();
    Search search(*tree, masked, cost, stride, bound);
    // `clearWhenFull` false: a full table is kept to the end, which pays
    // when its strings go on matching. `filled`: the table became full.
    auto encode = [&](bool clearWhenFull, std::vector<uint8_t>& dst, size_t limit, bool& filled, double& squared) {
        tree->reset(clear);
        squared = 0;
        lzw::BitWriter bits(dst);
        lzw::CodeWidth codes(k);
        bool full = false;
        size_t i = 0;
        while (i < masked.size()) {
            if (!full && !codes.makeRoom()) {
                filled = true;
                if (clearWhenFull) {
                    bits.put(clear, codes.bits);
                    tree->reset(clear);
                    codes.restart();
                    continue;
                }
                full = true;
            }
            const Match m = search.longest(masked[i], i);
            i += m.length;
            squared += m.squared;
            if (i < masked.size()) {
                // Entry 4096 only makes the table full, as in exact coding.
                if (codes.next < kMaxLzwCodes)
                    tree->add(codes.next, m.node, masked[i]);
                ++codes.next;
            }
            bits.put(m.node, codes.bits);
            if (bits.bytes() > limit)
                return false;
        }
        bits.put(clear + 1, codes.bits);
        bits.finish();
        return true;
    };
    bool filled = false;
    double squared = 0, keptSquared = 0;
    const bool done = encode(true, out, maxBytes, filled, squared);
    std::vector<uint8_t> kept;
    bool unused = false;
    // Level 0 stays the exact stream, byte for byte.
    if (filled && level > 0 && encode(false, kept, done ? out.size() : maxBytes, unused, keptSquared)
        && (!done || kept.size() < out.size())) {
        out.swap(kept);
        squared = keptSquared;
    } else if (!done) {
        return false;
    }
    if (squaredError)
        *squaredError = squared;
    return true;
}

} // namespace zell
