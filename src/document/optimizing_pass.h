// The one pass behind both ways of optimising an animation: the optimiser,
// which rewrites the frames' work files, and the optimising export, which
// writes a GIF stream. It walks the frames in order, composing the screen as
// a viewer shows it, and says for each frame what to write: the frame as it
// is, a new single-image stream with new attributes, or nothing. It never
// changes a frame; the callers put the results where they go.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>

#include "document/frame_attributes.h"
#include "document/frame_list.h"
#include "document/optimizer_tables.h"
#include "image/byte_buffer.h"
#include "image/color_quantizer.h"
#include "image/mapped_file.h"
#include "image/screen_compositor.h"

namespace zell {

struct OptimizedFrame {
    enum class Outcome {
        asItIs,    // the work file and the frame's attributes are written unchanged
        rewritten, // `stream` and `attributes` take their place
        dropped,   // the frame changes nothing and is left out
    };
    Outcome outcome = Outcome::asItIs;
    FrameAttributes attributes;
    ByteBuffer stream; // a single-image GIF stream
    // Dropped with kSaveKeepTiming: the kept frame before it, which now
    // waits `delay` so that the animation keeps its length.
    int delayTo = -1;
    uint16_t delay = 0;
};

class OptimizingPass {
public:
    // `global`: the animation's global table, null when none is written;
    // it must outlive the pass. `options`: the GifSaveOption bits.
    OptimizingPass(const FrameList& frames, const ColorTable* global, uint16_t screenWidth, uint16_t screenHeight,
                   uint32_t options);

    // Chooses the global table the frames are written for; false when a
    // frame cannot be read for it.
    bool prepare();
    // The global table to write: the chosen one, null without any.
    const ColorTable* globalTable() const;
    bool replacesGlobalTable() const { return globalTable() != global_; }

    // Frame `index`; the frames must come in order from 0.
    bool next(int index, OptimizedFrame& out);
    // The work file of the frame `next` last took, as read for it.
    std::span<const uint8_t> currentWorkFile() const;

    // In the lossless modes, whether the next frames are encoded on a second
    // thread while this one is (by default, where there are two cores or
    // more); set before the first frame. The results are the same either way.
    void encodeAhead(bool on) { ahead_ = on; }

    OptimizingPass(const OptimizingPass&) = delete;
    OptimizingPass& operator=(const OptimizingPass&) = delete;
    ~OptimizingPass();

private:
    bool usesGlobal(const Frame& frame) const { return global_ && !frame.useLocalColorTable; }
    // Lossless modes: the frame is written for the global table, and its
    // picture is remapped into that table first.
    bool globalLossless(const Frame& frame) const { return merged_ || usesGlobal(frame); }
    bool remappedLossless(const Frame& frame) const { return merged_ || (shrunk_ && usesGlobal(frame)); }
    bool needsRebuiltTable() const;
    bool rebuildGlobalTable();
    bool findCommonTable();
    bool load(const Frame& frame, RasterImage& picture) const;
    bool loadCurrent(const Frame& frame, MappedFile& work);
    bool remapIntoRebuilt(FrameAttributes& a);
    bool remapIntoShrunk(FrameAttributes& a);
    bool remapIntoMerged(FrameAttributes& a);
    bool giveTransparency(const Frame& frame, FrameAttributes& a);
    bool lossyFrame(int index, OptimizedFrame& out);
    struct Job;
    class Worker;
    bool losslessFrame(int index, OptimizedFrame& out);
    bool prepareLossless(int index);
    bool startScreen();
    uint64_t aheadPixels() const;
    bool compose(const Frame& frame, uint16_t transparentIndex);
    bool areaBeneath(const Frame& frame, ScreenArea& area);
    bool kept(int index);
    bool dropped(int index, OptimizedFrame& out);

    const FrameList& frames_;
    const ColorTable* const global_;
    const uint16_t screenWidth_;
    const uint16_t screenHeight_;
    const bool useTransparency_;
    const bool lossless_;
    const bool autoTransparency_;
    const bool dropUnchanged_;
    const bool shrinkTables_;
    const bool keepTiming_;
    const int lossy_;
    const bool lossyWeighed_;
    // Only pixels a frame painted are relied on; viewers differ on the
    // background. A large screen is kept in tiles made where frames reach,
    // so small frames on it cost what they cost.
    ScreenCompositor compositor_;
    RasterImage& picture_ = compositor_.picture();
    MappedFile work_;
    // kSaveAutoTransparency: one table for every global-table frame with an
    // entry kept free for transparency; the quantizer maps the frames into it.
    ColorQuantizer rebuiltQuantizer_;
    std::optional<ColorTable> rebuilt_;
    // kSaveShrinkTables: the smaller global table and the old -> new indices,
    // or in the lossless modes one table for every frame.
    std::optional<ColorTable> shrunk_;
    std::array<uint8_t, 256> shrinkMap_{};
    std::optional<MergedTables> merged_;
    // Lossless modes without a global table: the one table every frame
    // carries, written once as the global table for frames to move onto.
    std::optional<ColorTable> common_;
    // kSaveKeepTiming: the last frame kept and the delay it has so far.
    int lastKept_ = 0;
    uint32_t lastKeptDelay_ = 0;
    // Lossless modes: the frames read and drawn but not yet taken, in order,
    // and the one `next` last took.
    bool ahead_;
    std::deque<std::unique_ptr<Job>> jobs_;
    std::unique_ptr<Job> current_;
    std::vector<std::unique_ptr<Job>> spare_;
    int failedAt_ = -1; // a frame read ahead that could not be
    std::unique_ptr<Worker> worker_; // after the jobs: it goes first
};

} // namespace zell
