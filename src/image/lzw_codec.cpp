#include "image/lzw_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "image/bytes.h"
#include "image/lzw_bits.h"

namespace zell {

namespace {

using lzw::BitWriter;
using lzw::CodeWidth;
constexpr size_t kGrowth = BitWriter::kGrowth;

// Room past the write position for the longest string plus one 8-byte step.
constexpr size_t kSlack = kMaxLzwCodes + 16;

bool validCodeSize(int minCodeSize)
{
    return minCodeSize > 0 && minCodeSize <= 8;
}

uint64_t loadU64le(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

// The string lookup: code of (prefix, byte) at byte << 12 | prefix, 0 for
// none (a string code is never 0). At 2 MiB it is made once per thread and
// kept: a fresh one costs more in page faults than a small picture takes to
// compress. Every slot set is listed, so a reset clears just those.
struct ChildTable {
    std::vector<uint16_t> child = std::vector<uint16_t>(size_t(kMaxLzwCodes) << 8, 0);
    std::array<uint32_t, kMaxLzwCodes> used{};
    uint32_t usedCount = 0;

    void clear()
    {
        for (uint32_t i = 0; i < usedCount; ++i)
            child[used[i]] = 0;
        usedCount = 0;
    }
};

ChildTable& childTable()
{
    thread_local ChildTable table;
    return table;
}

class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> data) : in_(data.data()), size_(data.size()) {}

    // False when fewer bits remain than asked for.
    bool read(uint32_t bits, uint32_t& code)
    {
        if (count_ < bits) {
            refill();
            if (count_ < bits)
                return false;
        }
        code = uint32_t(acc_) & ((1u << bits) - 1);
        acc_ >>= bits;
        count_ -= bits;
        return true;
    }

private:
    void refill()
    {
        if (size_ - pos_ >= 8) {
            // Bits above count_ may already hold the next bytes; OR-ing the
            // same bits again leaves them as they are.
            acc_ |= loadU64le(in_ + pos_) << count_;
            pos_ += (63 - count_) >> 3;
            count_ |= 56;
            return;
        }
        while (count_ <= 56 && pos_ < size_) {
            acc_ |= uint64_t(in_[pos_++]) << count_;
            count_ += 8;
        }
    }

    const uint8_t* in_;
    size_t size_;
    size_t pos_ = 0;
    uint64_t acc_ = 0;
    uint32_t count_ = 0;
};

// Copies a string of earlier output. The source always ends at or before
// dst, so 8-byte steps only ever read bytes that are already final; the
// overshoot past len lands in the slack and is overwritten later.
inline void copy8(const uint8_t* src, uint8_t* dst)
{
    uint64_t v;
    std::memcpy(&v, src, 8);
    std::memcpy(dst, &v, 8);
}

inline void copyRun(const uint8_t* src, uint8_t* dst, uint32_t len)
{
    copy8(src, dst);
    for (uint32_t i = 8; i < len; i += 8)
        copy8(src + i, dst + i);
}

inline void store8(uint8_t* dst, uint64_t v)
{
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    std::memcpy(dst, &v, 8);
}

// The first eight bytes of a string (first byte lowest) with one more byte.
inline uint64_t appendByte(uint64_t head, uint32_t length, uint8_t byte)
{
    return length < 8 ? head | (uint64_t(byte) << (8 * length)) : head;
}

} // namespace

// One function so that the whole state stays in registers: this is the
// encoder's hot loop.
bool LzwCodec::compress(std::span<const uint8_t> data, int minCodeSize, std::vector<uint8_t>& out, size_t maxBytes)
{
    if (!data.data() || data.empty() || !validCodeSize(minCodeSize))
        return false;
    const uint32_t k = uint32_t(minCodeSize);
    const uint32_t clear = 1u << k;
    const uint32_t byteMask = clear - 1;
    ChildTable& table = childTable();
    table.clear();
    uint16_t* child = table.child.data();

    BitWriter writer(out);
    CodeWidth codes(k);
    const uint8_t* in = data.data();
    const size_t size = data.size();
    size_t i = 0;
    while (i < size) {
        if (!codes.makeRoom()) {
            writer.put(clear, codes.bits);
            table.clear();
            codes.restart();
            continue;
        }
        uint32_t cur = in[i++] & byteMask;
        while (i < size) {
            const uint32_t slot = (uint32_t(in[i] & byteMask) << 12) | cur;
            const uint32_t c = child[slot];
            if (c != 0) {
                cur = c;
                ++i;
                continue;
            }
            // Entry 4096 only makes the table full: a clear code follows
            // before it could ever be looked up.
            if (codes.next < kMaxLzwCodes) {
                child[slot] = uint16_t(codes.next);
                table.used[table.usedCount++] = slot;
            }
            ++codes.next;
            break;
        }
        writer.put(cur, codes.bits);
        if (writer.bytes() > maxBytes)
            return false;
    }
    writer.put(clear + 1, codes.bits);
    writer.finish();
    return !out.empty();
}

namespace {

ChildTable& lookAheadTable()
{
    thread_local ChildTable table;
    return table;
}

// The choosing encoder between two strings. Copies of it code ahead without
// writing: a full table is never written to, and a fresh one lives in a
// table of its own.
struct ChoosingCoder {
    static constexpr uint32_t kReach = 64;
    static constexpr int kBranches = 8;
    ChildTable* table;
    const uint8_t* in;
    const uint8_t* other;
    size_t size;
    uint32_t byteMask;
    uint32_t k;
    uint32_t clear;
    uint32_t first;
    uint32_t n;
    uint32_t codeSize;
    uint32_t limit;
    uint32_t last;    // the value of the last pixel written; `clear` before any
    uint32_t pending; // the next string's first value, once chosen; else `clear`
    bool full = false;
    // With a look-ahead parse (gain > 0): the codes and values of the
    // string being made, by length.
    struct Step {
        uint16_t code;
        uint16_t value;
    };
    Step* path = nullptr;
    uint32_t gain = 0;
    static constexpr size_t kEarlier = 4; // more finds little more, at a cost

    ChoosingCoder(ChildTable& t, std::span<const uint8_t> data, std::span<const uint8_t> alt, uint32_t k)
        : table(&t), in(data.data()), other(alt.data()), size(data.size()), byteMask((1u << k) - 1), k(k),
          clear(1u << k), first(clear + 2), last(clear), pending(clear)
    {
        restart();
    }

    void restart()
    {
        n = first;
        codeSize = k + 1;
        limit = 1u << codeSize;
        full = false;
    }

    // Before a string: widens the codes when due; true when the table has
    // just become full (entry 4096 made: no more entries without a clear).
    bool grow()
    {
        if (full || n <= limit)
            return false;
        if (n > kMaxLzwCodes) {
            full = true;
            return true;
        }
        ++codeSize;
        limit <<= 1;
        return false;
    }

    // How many more pixels the string `code` can take from pixel i on: the
    // longest string the table holds, both values of a pixel tried where
    // both continue it (at most kBranches times, kReach pixels): the
    // look-ahead that decides between the two values of a pixel.
    uint32_t reach(uint32_t code, size_t i) const
    {
        int branches = kBranches;
        return longest(code, i, kReach, branches);
    }

    uint32_t longest(uint32_t code, size_t i, uint32_t steps, int& branches) const
    {
        const uint16_t* child = table->child.data();
        uint32_t taken = 0;
        while (taken < steps && i < size) {
            const uint32_t a = in[i] & byteMask, b = other[i] & byteMask;
            const uint32_t cb = child[(b << 12) | code];
            const uint32_t ca = a != b ? child[(a << 12) | code] : 0;
            if (cb && ca && branches > 0) {
                --branches;
                const uint32_t lb = longest(cb, i + 1, steps - taken - 1, branches);
                const uint32_t la = longest(ca, i + 1, steps - taken - 1, branches);
                return taken + 1 + std::max(la, lb);
            }
            const uint32_t c = cb ? cb : ca;
            if (c == 0)
                break;
            code = c;
            ++i;
            ++taken;
        }
        return taken;
    }

    // How far each value of a pixel reaches (the first one only where the
    // two are equal).
    struct Reaches {
        uint32_t a = 0, b = 0;
    };

    // The value a string starting at pixel i begins with: the alternative
    // when it continues the run before it, else the one that reaches further.
    // `known`: the reaches at i, measured with the table as it is.
    uint32_t firstValue(size_t i, uint32_t previous, const Reaches* known = nullptr) const
    {
        const uint32_t a = in[i] & byteMask, b = other[i] & byteMask;
        if (a == b || b == previous)
            return b;
        return known ? (known->a > known->b ? a : b) : reach(a, i + 1) > reach(b, i + 1) ? a : b;
    }

    // The longest string a pixel p can begin; `at` receives the reaches.
    uint32_t startingAt(size_t p, Reaches& at) const
    {
        if (p >= size)
            return 0;
        const uint32_t a = in[p] & byteMask, b = other[p] & byteMask;
        at.b = reach(b, p + 1);
        at.a = a == b ? at.b : reach(a, p + 1);
        return 1 + std::max(at.a, at.b);
    }

    // The longest string from pixel i (moved past it); its code goes out
    // with codeSize bits.
    uint32_t string(size_t& i)
    {
        const uint16_t* child = table->child.data();
        const size_t from = i;
        uint32_t cur = pending != clear ? pending : firstValue(i, last);
        last = cur;
        ++i;
        pending = clear;
        if (path)
            path[0] = {uint16_t(cur), uint16_t(cur)};
        while (i < size) {
            const uint32_t a = in[i] & byteMask, b = other[i] & byteMask;
            uint32_t c = child[(b << 12) | cur];
            uint32_t value = b;
            if (a != b) {
                const uint32_t ca = child[(a << 12) | cur];
                if (c == 0 || (ca != 0 && reach(ca, i + 1) > reach(c, i + 1))) {
                    c = ca;
                    value = a;
                }
            }
            if (c != 0) {
                cur = c;
                last = value;
                if (path)
                    path[i - from] = {uint16_t(c), uint16_t(value)};
                ++i;
                continue;
            }
            break;
        }
        Reaches next;
        const bool measured = path && i < size && i - from > 1;
        if (measured)
            endEarlier(from, i, cur, next);
        if (i < size) {
            pending = firstValue(i, last, measured ? &next : nullptr);
            if (!full) {
                if (n < kMaxLzwCodes) {
                    const uint32_t slot = (pending << 12) | cur;
                    if (table->child[slot] == 0) {
                        table->child[slot] = uint16_t(n);
                        table->used[table->usedCount++] = slot;
                    }
                }
                ++n;
            }
        }
        return cur;
    }

    // The longest string is not always the best: one ended a few pixels
    // earlier may let the next reach further. Such an end is taken when the
    // two reach at least `gain` pixels further than with the longest (the
    // entry the early end makes mostly repeats one the table has), or any
    // further once the table is full and makes no entries.
    // `next`: the reaches at the pixel the next string starts from.
    void endEarlier(size_t from, size_t& i, uint32_t& cur, Reaches& next)
    {
        const size_t length = i - from;
        const size_t shortest = length > kEarlier ? length - kEarlier : 1;
        size_t best = length;
        size_t furthest = length + startingAt(i, next) + (full ? 0 : gain - 1);
        for (size_t j = length - 1; j >= shortest; --j) {
            Reaches at;
            const size_t reached = j + startingAt(from + j, at);
            if (reached > furthest) {
                furthest = reached;
                best = j;
                next = at;
            }
        }
        if (best == length)
            return;
        cur = path[best - 1].code;
        last = path[best - 1].value;
        i = from + best;
    }

    // The bits pixels [i, end) cost from here on, the table kept as it is.
    uint64_t costAhead(size_t i, size_t end) const
    {
        ChoosingCoder c = *this;
        c.path = nullptr; // the longest strings guide as well, at far less cost
        c.size = std::min(end, size);
        uint64_t total = 0;
        while (i < c.size) {
            c.grow();
            total += c.codeSize;
            c.string(i);
        }
        return total;
    }

    // The same after a clear code: a fresh table built in `scratch`.
    uint64_t costAfterClear(size_t i, size_t end, ChildTable& scratch) const
    {
        ChoosingCoder c = *this;
        c.path = nullptr; // the longest strings guide as well, at far less cost
        c.size = std::min(end, size);
        c.table = &scratch;
        scratch.clear();
        c.restart();
        uint64_t total = codeSize;
        while (i < c.size) {
            c.grow();
            total += c.codeSize;
            c.string(i);
        }
        return total;
    }
};

// When a full table is kept (no clear code: readers then add no entries and
// stay at 12 bits) and when a clear code goes out instead.
class ClearPlan {
public:
    ClearPlan(LzwClear how, size_t size) : how_(how), budget_(2 * uint64_t(size) + 2 * kMaxHorizon) {}

    // The table has just filled at pixel i, `bits` written so far.
    bool clearAtFill(const ChoosingCoder& coder, size_t i, uint64_t bits)
    {
        // What a fresh table averaged from the last clear to here is what a
        // clear can expect to give for the stretch ahead.
        freshRate_ = double(bits - clearBits_) / double(std::max<size_t>(i - clearAt_, 1));
        horizon_ = std::clamp<size_t>(i - clearAt_, kMinHorizon, kMaxHorizon);
        ring_.fill({i, bits});
        ringNext_ = 0;
        nextCheck_ = i + kStep;
        nextSearch_ = i + horizon_ / 2;
        if (how_ == LzwClear::atFill)
            return true;
        if (how_ == LzwClear::searched)
            return clearPays(coder, i);
        return false;
    }

    // While the table is full, after a string that ended before pixel i.
    bool clearNow(const ChoosingCoder& coder, size_t i, uint64_t bits)
    {
        if (how_ == LzwClear::never || i < nextCheck_)
            return false;
        nextCheck_ = i + kStep;
        const Mark oldest = ring_[ringNext_];
        ring_[ringNext_] = {i, bits};
        ringNext_ = (ringNext_ + 1) % ring_.size();
        if (how_ == LzwClear::searched && budget_ > 0) {
            if (i < nextSearch_)
                return false;
            nextSearch_ = i + horizon_ / 2;
            return clearPays(coder, i);
        }
        // The last window codes worse than a fresh table did.
        return double(bits - oldest.bits) > freshRate_ * double(i - oldest.pixel);
    }

    void cleared(size_t i, uint64_t bits)
    {
        clearAt_ = i;
        clearBits_ = bits;
    }

private:
    // The cost model: the stretch ahead coded with the full table against a
    // clear code and a fresh table, over about as many pixels as the table
    // took to fill. Its effort is bounded by the budget.
    bool clearPays(const ChoosingCoder& coder, size_t i)
    {
        if (budget_ == 0)
            return false;
        const size_t end = i + horizon_;
        budget_ -= std::min<uint64_t>(budget_, 2 * uint64_t(std::min(end, coder.size) - i));
        return coder.costAfterClear(i, end, lookAheadTable()) < coder.costAhead(i, end);
    }

    struct Mark {
        size_t pixel;
        uint64_t bits;
    };
    static constexpr size_t kStep = 2048;            // pixels between checks
    static constexpr size_t kMinHorizon = 4096;
    static constexpr size_t kMaxHorizon = 1u << 16;
    const LzwClear how_;
    uint64_t budget_;       // look-ahead pixels left
    size_t clearAt_ = 0;    // pixel and bits at the last clear (or the start)
    uint64_t clearBits_ = 0;
    double freshRate_ = 0;  // bits per pixel of the last fresh table
    size_t horizon_ = kMinHorizon;
    size_t nextCheck_ = 0;
    size_t nextSearch_ = 0;
    std::array<Mark, 4> ring_{}; // the sliding window: the last four checks
    size_t ringNext_ = 0;
};

} // namespace

bool LzwCodec::compressChoosing(std::span<const uint8_t> data, std::span<const uint8_t> alt, int minCodeSize,
                                std::vector<uint8_t>& out, size_t maxBytes, LzwClear how, uint32_t lookAheadGain,
                                std::span<const uint32_t> pace)
{
    filled_ = false;
    marks_.clear();
    if (!data.data() || data.empty() || alt.size() != data.size() || !validCodeSize(minCodeSize))
        return false;
    ChildTable& table = childTable();
    table.clear();
    ChoosingCoder coder(table, data, alt, uint32_t(minCodeSize));
    thread_local std::array<ChoosingCoder::Step, kMaxLzwCodes> path;
    if (lookAheadGain > 0) {
        coder.path = path.data();
        coder.gain = lookAheadGain;
    }
    ClearPlan plan(how, data.size());
    BitWriter writer(out);
    auto clearTable = [&](size_t i) {
        writer.put(coder.clear, coder.codeSize);
        table.clear();
        coder.restart();
        plan.cleared(i, writer.bits());
    };
    const size_t size = data.size();
    size_t i = 0;
    size_t nextMark = kPaceStep;
    constexpr size_t kAheadStep = 8192;
    size_t nextPace = kAheadStep;
    while (i < size) {
        if (coder.grow()) {
            filled_ = true;
            if (plan.clearAtFill(coder, i, writer.bits())) {
                clearTable(i);
                continue;
            }
        }
        writer.put(coder.string(i), coder.codeSize);
        if (coder.full && i < size && plan.clearNow(coder, i, writer.bits()))
            clearTable(i);
        if (writer.bytes() > maxBytes)
            return false;
        if (i >= nextMark) {
            nextMark += kPaceStep;
            const size_t step = marks_.size();
            marks_.push_back(uint32_t(writer.bytes()));
            if (step < pace.size() && writer.bytes() > size_t(pace[step]) + kPaceSlack)
                return false;
        }
        // A look-ahead pass well behind the pace of the encoding it must
        // beat seldom catches up: it gives up early.
        if (lookAheadGain > 0 && maxBytes != SIZE_MAX && i >= nextPace) {
            nextPace = i + kAheadStep;
            if (double(writer.bytes()) > 1.1 * double(maxBytes) * double(i) / double(size) + 256)
                return false;
        }
    }
    writer.put(coder.clear + 1, coder.codeSize);
    writer.finish();
    return !out.empty();
}

// Follows decompress() code by code; it must agree with it on every input.
bool lzwDataDecodes(std::span<const uint8_t> data, int minCodeSize, uint64_t pixels)
{
    if (!data.data() || data.empty() || !validCodeSize(minCodeSize) || pixels == 0)
        return false;
    const uint32_t k = uint32_t(minCodeSize);
    const uint32_t clear = 1u << k;
    const uint32_t end = clear + 1;
    const uint32_t first = clear + 2;
    std::array<uint16_t, kMaxLzwCodes> length;
    BitReader reader(data);
    uint64_t p = 0;
    uint32_t prevLen = 0;
    bool havePrev = false;
    uint32_t n = first;
    uint32_t codeSize = k + 1;
    uint32_t limit = 1u << codeSize;
    while (p < pixels) {
        if (n >= limit && n < kMaxLzwCodes && havePrev) {
            ++codeSize;
            limit <<= 1;
        }
        uint32_t c;
        if (!reader.read(codeSize, c) || c == end)
            break;
        if (c == clear) {
            n = first;
            codeSize = k + 1;
            limit = 1u << codeSize;
            havePrev = false;
            continue;
        }
        uint32_t len;
        if (c < clear)
            len = 1;
        else if (c < n)
            len = length[c];
        else if (c == n && havePrev)
            len = prevLen + 1;
        else
            return false;
        if (havePrev && n < kMaxLzwCodes)
            length[n++] = uint16_t(prevLen + 1);
        havePrev = true;
        prevLen = len;
        p += len;
    }
    return p > 0;
}

// One function so that the whole state stays in registers: this is the
// decoder's hot loop.
bool LzwCodec::decompress(std::span<const uint8_t> data, int minCodeSize, std::vector<uint8_t>& out,
                          size_t maxOutput)
{
    if (!data.data() || data.empty() || !validCodeSize(minCodeSize) || maxOutput == 0)
        return false;
    const uint32_t k = uint32_t(minCodeSize);
    const uint32_t clear = 1u << k;
    const uint32_t end = clear + 1;
    const uint32_t first = clear + 2;

    BitReader reader(data);
    out.clear();
    // Room for `capacity` bytes plus the slack one string may overshoot by.
    const size_t guess = std::min<size_t>(data.size(), size_t(1) << 24) * 4;
    size_t capacity = std::min(maxOutput, std::max(guess, kGrowth));
    out.resize(capacity + kSlack);
    uint8_t* o = out.data();
    size_t p = 0;
    size_t prevPos = 0;
    uint32_t prevLen = 0;
    bool havePrev = false;
    for (uint32_t c = 0; c < clear; ++c) {
        head_[c] = c;
        offset_[c] = 0;
        length_[c] = 1;
    }
    uint64_t prevHead = 0;
    uint32_t n = first;
    uint32_t codeSize = k + 1;
    uint32_t limit = 1u << codeSize;
    while (p < maxOutput) {
        // The first code after a reset keeps the starting size even when the
        // table is already full for it (minimum code size 1).
        if (n >= limit && n < kMaxLzwCodes && havePrev) {
            ++codeSize;
            limit <<= 1;
        }
        uint32_t c;
        if (!reader.read(codeSize, c) || c == end)
            break;
        if (c == clear) {
            n = first;
            codeSize = k + 1;
            limit = 1u << codeSize;
            havePrev = false;
            continue;
        }
        if (p > capacity) {
            capacity = std::min(maxOutput, capacity * 2);
            out.resize(capacity + kSlack);
            o = out.data();
        }
        uint32_t len;
        uint64_t head;
        if (c < n) {
            // Roots and strings take the same path, and short strings come
            // from the head table rather than from output still in flight.
            head = head_[c];
            len = length_[c];
            store8(o + p, head);
            if (len > 8)
                copyRun(o + offset_[c] + 8, o + p + 8, len - 8);
        } else if (c == n && havePrev) {
            copyRun(o + prevPos, o + p, prevLen);
            o[p + prevLen] = o[prevPos];
            len = prevLen + 1;
            head = appendByte(prevHead, prevLen, uint8_t(prevHead));
        } else {
            break; // beyond the next free code, or a string with nothing before it
        }
        if (havePrev && n < kMaxLzwCodes) {
            head_[n] = appendByte(prevHead, prevLen, uint8_t(head));
            offset_[n] = prevPos;
            length_[n] = uint16_t(prevLen + 1);
            ++n;
        }
        havePrev = true;
        prevHead = head;
        prevPos = p;
        prevLen = len;
        p += len;
    }
    out.resize(std::min(p, maxOutput));
    return !out.empty();
}

} // namespace zell
