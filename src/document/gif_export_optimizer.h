// The optimising path of the GIF export: frames are composed onto a screen
// image one by one and each later frame is cropped to what it changes and
// re-encoded. The frames themselves are never modified.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "document/frame_list.h"
#include "document/gif_export.h"
#include "image/color_quantizer.h"
#include "image/screen_compositor.h"

namespace zell {

// Issue 18, kSaveShrinkTables: the global table cut to the entries that the
// frames using it need (their pixels, their transparent index, the background
// index), in their order, when that makes a smaller power of two. `to` maps
// old indices to new ones. False when a frame cannot be read; true with
// `shrunk` empty when nothing shrinks.
bool shrinkGlobalTable(const FrameList& frames, const ColorTable& global, std::optional<ColorTable>& shrunk,
                       std::array<uint8_t, 256>& to);

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

class GifExportOptimizer {
public:
    GifExportOptimizer(const FrameList& frames, const GifOutput& output);

    // Builds the replacement global table when the options ask for one.
    // Must run before the stream header is written.
    bool prepare();
    // The global table to write: the replacement when there is one.
    const ColorTable* globalTable() const
    {
        return replacement_ ? &*replacement_ : merged_ ? &merged_->table : shrunk_ ? &*shrunk_ : output_.globalTable;
    }
    // Appends each frame to `out`, handing full buffers to `flush`.
    bool writeFrames(std::vector<uint8_t>& out, const std::function<bool(std::vector<uint8_t>&)>& flush);

private:
    bool loadPicture(const Frame& frame, RasterImage& picture) const;
    bool mapToReplacement(RasterImage& picture, Frame& attributes);
    bool remapToShrunk(Frame& attributes);
    bool remapToMerged(Frame& attributes);
    // `dropped`: the frame was left out (kSaveDropUnchanged).
    bool writeOne(int index, std::vector<uint8_t>& out, bool& dropped);
    bool writeLossless(int index, std::vector<uint8_t>& out, bool& dropped);
    bool composeScreen(const Frame& frame, uint16_t transparentIndex);
    bool areaBeneath(const Frame& frame, ScreenArea& area);

    const FrameList& frames_;
    const GifOutput& output_;
    std::optional<ColorTable> replacement_;
    ColorQuantizer replacementQuantizer_;
    // kSaveShrinkTables: the smaller global table and the old -> new indices.
    std::optional<ColorTable> shrunk_;
    std::optional<MergedTables> merged_;
    std::array<uint8_t, 256> shrinkMap_{};
    // A large screen is kept in tiles made where frames reach.
    ScreenCompositor compositor_;
    RasterImage& screen_ = compositor_.picture();
};

} // namespace zell
