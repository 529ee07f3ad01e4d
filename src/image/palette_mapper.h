// Mapping true-colour pictures onto a fixed table, as every frame of a clip
// is mapped onto the clip's one palette: the nearest entry by squared
// distance, with error diffusion, ordered dithering or neither.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/byte_buffer.h"
#include "image/color_table.h"

namespace zell {

enum class DitherMethod { none, diffusion, ordered };

class PaletteMapper {
public:
    // `table` needs at least one entry.
    explicit PaletteMapper(const ColorTable& table);

    // Index of the entry nearest to the colour (ties: the lowest index).
    uint8_t nearest(uint8_t r, uint8_t g, uint8_t b);

    // Pictures mapped one after another, as the frames of a clip: a pixel
    // whose entry in the picture before is at most `tolerance` (squared
    // distance) farther from its colour than the nearest entry keeps that
    // entry. Noise and dither that would change every frame stay put,
    // so the optimiser finds the pixel unchanged. 0: every pixel on its own.
    // The slack is at most twice the nearest entry's own distance, so that
    // a colour the table holds, as on flat screen content, is never left
    // showing an entry dither gave it a frame before.
    void keepSteady(int tolerance) { tolerance_ = tolerance; }
    // Sixteenths of a pixel's error that error diffusion passes on (16: all).
    void diffuse(int sixteenths) { diffusionShare_ = std::clamp(sixteenths, 0, 16); }

    // Top-down rows of `width` RGB triples to an 8-bit bottom-up packed
    // picture with the table (its count entries).
    bool map(std::span<const uint8_t> rgb, uint32_t width, uint32_t height, DitherMethod dither, ByteBuffer& out);

private:
    uint8_t search(int r, int g, int b) const;
    int distance(const uint8_t* rgb, uint8_t index) const;
    // The entry pixel `at` takes: `index`, or the one it had before.
    uint8_t settle(size_t at, const uint8_t* rgb, uint8_t index)
    {
        if (!previous_.empty() && previous_[at] != index) {
            const int best = distance(rgb, nearest(rgb[0], rgb[1], rgb[2]));
            if (distance(rgb, previous_[at]) <= best + std::min(tolerance_, 2 * best))
                index = previous_[at];
        }
        if (!current_.empty())
            current_[at] = index;
        return index;
    }
    void mapPlain(const uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* bits, uint64_t stride);
    void mapDiffused(const uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* bits, uint64_t stride);
    void mapOrdered(const uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* bits, uint64_t stride);

    ColorTable table_;
    // Entries sorted by green with their table index, for a search that
    // stops once green alone is farther than the best so far.
    std::vector<std::array<int, 4>> byGreen_;
    std::array<int, 257> greenStart_{};
    int ditherAmplitude_ = 0;
    int tolerance_ = 0;
    int diffusionShare_ = 16;
    std::vector<uint8_t> previous_, current_; // top-down indices
    std::vector<uint64_t> cache_;
};

// A table of `count` (1..256) entries for RGB pixels by median cut: the box
// of colours whose pixels stray farthest from its mean, in summed squared
// distance, splits next, across its longest side at its median pixel, so
// a rare colour far from the rest soon gets a box of its own. A few
// k-means passes then settle the entries. Fewer boxes than entries: the
// last entry's colour fills the rest.
ColorTable splitColorTable(std::span<const uint8_t> rgb, uint32_t count);

// A table of the colours of the RGB pixels when they have `limit` or fewer
// distinct ones; false (table untouched) when they have more.
bool exactColorTable(std::span<const uint8_t> rgb, uint32_t limit, ColorTable& table);

} // namespace zell
