// The global tables an optimising pass may write instead of the animation's
// own: cut to the colours in use, or made of the colours every frame shows.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "document/frame_list.h"
#include "image/color_table.h"

namespace zell {

// kSaveShrinkTables: the global table cut to the entries that the
// frames using it need (their pixels, their transparent index, the background
// index), in their order, when that makes a smaller power of two; with
// `byUse` also reordered so that the colours of the frames that change
// fewest come first, and then reordered even when it cannot shrink where
// that lets some frame's changed colours take narrower codes. `to` maps old
// indices to new ones. False when a frame cannot be read; true with `shrunk`
// empty when nothing changes.
bool shrinkGlobalTable(const FrameList& frames, const ColorTable& global, std::optional<ColorTable>& shrunk,
                       std::array<uint8_t, 256>& to, bool byUse = false);

// The lossless modes with kSaveShrinkTables: one global table for every
// frame, made of the colours the frames show (and the background colour)
// plus an entry for transparency, when that is smaller than the tables it
// replaces and no table in use is smaller. Only with a global table and
// frames of their own tables; `merged` stays empty otherwise.
struct MergedTables {
    ColorTable table;
    uint16_t transparent = 0; // the entry no colour uses
    std::vector<uint32_t> colors; // sorted colour values ...
    std::vector<uint8_t> entries; // ... and their entries
    // Old index -> merged entry for a picture with this table (quads).
    std::array<uint8_t, 256> mapping(std::span<const uint8_t> dib, uint16_t transparentIndex) const;
};
bool mergeTables(const FrameList& frames, const ColorTable& global, std::optional<MergedTables>& merged);

} // namespace zell
