// The variable-length-code LZW of GIF image data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zell {

inline constexpr uint32_t kMaxLzwCodes = 4096;

// Whether LzwCodec::decompress, asked for `pixels` bytes, gives a picture
// free of damage: at least one byte, and no corrupt code (beyond the next
// free code, or a string with nothing before it) before all of them are out.
// Data that simply end early pass, as the decoder keeps what they give. Only
// string lengths are followed, so this costs far less than decoding.
bool lzwDataDecodes(std::span<const uint8_t> data, int minCodeSize, uint64_t pixels);

// The most pixels `bytes` of LZW data can stand for. A string is at most one
// byte longer than an older code's, so a code of s bits (value below 2^s)
// gives at most 2^s pixels; 2^s / s is largest for the widest code, 12 bits.
inline constexpr uint64_t maxLzwPixels(uint64_t bytes)
{
    return bytes * 8 * kMaxLzwCodes / 12;
}

// When the choosing encoder sends a clear code once its table is full.
enum class LzwClear : uint8_t {
    // A full table is kept while the last few thousand pixels cost no more
    // bits each than a fresh table averaged before it filled.
    whenWorse,
    // At once, every time the table fills.
    atFill,
    // Never: the first full table codes the rest.
    never,
    // Where a look-ahead shows that a clear and a fresh table code the
    // stretch ahead in fewer bits than the full table (bounded effort: about
    // two more passes over the data, then as whenWorse).
    searched,
};

class LzwCodec {
public:
    LzwCodec() = default;
    LzwCodec(const LzwCodec&) = delete;
    LzwCodec& operator=(const LzwCodec&) = delete;

    // No clear code at the start; a clear code (12 bits) follows once entry
    // 4096 has been made; end code and flush at the end. Minimum code sizes
    // 1..8 are taken as they stand (1: clear code 2, 2-bit codes, as other
    // decoders read such streams); 0 and above 8 are refused. Input bytes
    // are masked to the root codes. True when bytes came out.
    bool compress(std::span<const uint8_t> data, int minCodeSize, std::vector<uint8_t>& out)
    {
        return compress(data, minCodeSize, out, SIZE_MAX);
    }
    // The same, giving up (false, `out` unspecified) once more than
    // `maxBytes` are out: a candidate encoding that has already lost.
    bool compress(std::span<const uint8_t> data, int minCodeSize, std::vector<uint8_t>& out, size_t maxBytes);
    // The same stream format, but pixel i may be written as data[i] or as
    // alt[i] (equal where there is no choice): string by string, the encoder
    // takes whichever lets the current string grow further (looking a few
    // pixels ahead), preferring alt[i]. `how` decides when a full table is
    // cleared; with atFill and data == alt the stream is compress()'s.
    // `alt` must be as long as `data`. Each string is as long as the table
    // allows, unless `lookAheadGain` > 0: then a string may end up to four
    // pixels early where the next one then reaches that many pixels further
    // (greedy parsing is not the best for LZW; about twice the effort, and
    // which gain pays differs from picture to picture). Such a pass, given a
    // `maxBytes`, also gives up once it falls well behind its pace.
    // `pace`: the paceMarks() of an encoding of the same pixels to beat; the
    // encoding gives up once it is more than kPaceSlack bytes behind it.
    bool compressChoosing(std::span<const uint8_t> data, std::span<const uint8_t> alt, int minCodeSize,
                          std::vector<uint8_t>& out, size_t maxBytes = SIZE_MAX,
                          LzwClear how = LzwClear::whenWorse, uint32_t lookAheadGain = 0,
                          std::span<const uint32_t> pace = {});
    // The bytes out after every kPaceStep pixels of the last compressChoosing.
    const std::vector<uint32_t>& paceMarks() const { return marks_; }
    static constexpr size_t kPaceStep = 4096;
    // Encodings of one frame that differ in their choices seldom win back
    // more than this once behind (never on the generated animations), and
    // most losers fall behind early: giving up there saves a tenth of the
    // lossless optimiser's time.
    static constexpr uint32_t kPaceSlack = 32;
    // Whether the table filled during the last compressChoosing: only then
    // do the ways of clearing differ.
    bool tableFilled() const { return filled_; }
    // Stops at the end code, at the end of the data, at a corrupt code (the
    // bytes decoded so far are kept) or once maxOutput bytes are out. True
    // when at least one byte came out.
    bool decompress(std::span<const uint8_t> data, int minCodeSize, std::vector<uint8_t>& out,
                    size_t maxOutput = SIZE_MAX);

private:
    // Decompressor: every string is a run of earlier output; its first eight
    // bytes are also kept apart, so most strings need no copying at all.
    std::array<uint64_t, kMaxLzwCodes> head_{};
    std::array<size_t, kMaxLzwCodes> offset_{};
    std::array<uint16_t, kMaxLzwCodes> length_{};
    bool filled_ = false;
    std::vector<uint32_t> marks_;
};

} // namespace zell
