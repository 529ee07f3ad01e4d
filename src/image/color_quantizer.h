// Median-cut colour reduction: a histogram that gathers one or many pictures,
// a palette builder that can keep entries for a background and a transparent
// colour, and a mapper to 8-bit pictures with optional error diffusion.
#pragma once

#include <cstdint>
#include <span>

#include "image/byte_buffer.h"
#include "image/code_hash_map.h"
#include "image/color_table.h"
#include "image/dib.h"

namespace zell {

class Random;

class ColorQuantizer {
public:
    // Dithering seeds come from `random`, or from processRandom() when null.
    explicit ColorQuantizer(Random* random = nullptr);
    virtual ~ColorQuantizer();
    ColorQuantizer(const ColorQuantizer&) = delete;
    ColorQuantizer& operator=(const ColorQuantizer&) = delete;

    // Adds the pixels of an 8- or 24-bit picture to the histogram. In an 8-bit
    // picture the pixels of `transparentIndex` are left out.
    bool addImage(std::span<const uint8_t> dib, uint32_t transparentIndex = 0xFFFF);

    // Chooses `count` (1..256) entries. Above 2 entries, one entry is kept for
    // the background colour (a colour value or kNoColor) and one for the
    // transparent colour when asked.
    bool buildPalette(int count, uint32_t backgroundColor = kNoColor, bool reserveTransparent = false);

    // Writes an 8-bit picture of the source's size on the palette.
    bool mapImage(std::span<const uint8_t> dib, ByteBuffer& out, bool dither, uint32_t transparentIndex = 0xFFFF);

    // Palette index for a colour value; -1 before a palette exists.
    int nearestIndex(uint32_t color);

    // RGBQUAD entries (blue, green, red, 0); returns the total entry count,
    // 0 before a palette exists.
    int palette(const uint8_t** entries) const;

    // Distinct colours gathered so far; meaningful until the palette is built.
    uint32_t distinctColors() const { return map_.size(); }
    // Entries chosen from the histogram; -1 before a palette exists.
    int colorCount() const { return colorCount_; }
    // Index holding the background colour (0 also when there is none).
    uint32_t backgroundEntry() const { return backgroundEntry_; }
    // Index of the reserved transparent entry, -1 for none.
    int transparentEntry() const { return transparentEntry_; }

    void reset();

private:
    struct Source;

    int lookup(uint32_t color);
    int nearestEntry(uint32_t color) const;
    void setEntry(uint32_t index, uint32_t color);
    void placeReservedEntries(int count, uint32_t backgroundColor, bool reserveTransparent);
    int totalEntries() const;
    void mapPlain(const Source& source, uint8_t* bits, uint64_t stride, int transparentIndex);
    void mapDithered(const Source& source, uint8_t* bits, uint64_t stride, int transparentIndex);

    Random* random_;
    CodeHashMap map_;
    ByteBuffer palette_;
    int colorCount_ = -1;
    uint32_t backgroundEntry_ = 0;
    bool hasBackground_ = false;
    uint32_t transparentSeen_ = kNoColor;
    int transparentEntry_ = -1;
};

// A built palette's entries in GIF order, `count` entries (unused ones black),
// with the given background index.
ColorTable colorTableOf(const ColorQuantizer& quantizer, int count, uint16_t backgroundIndex);

} // namespace zell
