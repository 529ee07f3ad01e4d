// Packs LZW codes into bytes, least significant bit first, as GIF does, and
// numbers them: shared by the exact and the lossy encoders.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/bytes.h"
#include "image/lzw_codec.h"

namespace zell::lzw {

class BitWriter {
public:
    static constexpr size_t kGrowth = 65536;

    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) { out_.assign(kGrowth, 0); }

    void put(uint32_t code, uint32_t bits)
    {
        acc_ |= uint64_t(code) << count_;
        count_ += bits;
        if (count_ >= 32) {
            if (pos_ + 4 > out_.size())
                out_.resize(out_.size() + std::max(out_.size(), kGrowth));
            putU32le(out_.data() + pos_, uint32_t(acc_));
            pos_ += 4;
            acc_ >>= 32;
            count_ -= 32;
        }
    }

    size_t bytes() const { return pos_; }
    uint64_t bits() const { return uint64_t(pos_) * 8 + count_; }

    void finish()
    {
        const uint32_t bytes = (count_ + 7) / 8;
        out_.resize(pos_ + bytes);
        for (uint32_t i = 0; i < bytes; ++i)
            out_[pos_ + i] = uint8_t(acc_ >> (8 * i));
    }

private:
    std::vector<uint8_t>& out_;
    size_t pos_ = 0;
    uint64_t acc_ = 0;
    uint32_t count_ = 0;
};

// The encoder's side of the code numbering: the code the next table entry
// gets and the width codes are written at, which grows as codes run out.
struct CodeWidth {
    explicit CodeWidth(uint32_t minCodeSize) : first((1u << minCodeSize) + 2), start(minCodeSize + 1)
    {
        restart();
    }

    void restart()
    {
        next = first;
        bits = start;
        limit = 1u << bits;
    }

    // Before a string: widens the codes when due; false once the table is
    // full, when a clear must come first.
    bool makeRoom()
    {
        if (next <= limit)
            return true;
        if (next > kMaxLzwCodes)
            return false;
        ++bits;
        limit <<= 1;
        return true;
    }

    uint32_t first;
    uint32_t start;
    uint32_t next;
    uint32_t bits;
    uint32_t limit;
};

} // namespace zell::lzw
