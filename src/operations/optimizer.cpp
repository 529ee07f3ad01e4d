#include "operations/optimizer.h"

#include <algorithm>
#include <array>
#include <optional>

#include "document/gif_export.h"
#include "document/gif_export_optimizer.h"
#include "image/lossless_frame.h"
#include "image/mapped_file.h"
#include "document/screen_composer.h"
#include "image/color_quantizer.h"
#include "image/gif_codec.h"
#include "image/screen_compositor.h"

namespace zell {

namespace {

// Re-encoded work files are never interlaced, so the flag must not survive
// into the exported descriptor.
constexpr uint8_t kInterlaceFlag = 0x40;

class OptimizerRun {
public:
    OptimizerRun(Document& document, uint32_t options, const WriteFault& fault, Progress* progress)
        : document_(document),
          progress_(progress),
          settings_(document.settings),
          useTransparency_((options & kSaveTransparency) != 0),
          autoTransparency_((options & kSaveAutoTransparency) != 0 && (options & kSaveLosslessTransparency) == 0),
          deleteUnchanged_((options & kSaveDropUnchanged) != 0),
          lossless_((options & kSaveLosslessTransparency) != 0),
          shrinkTables_((options & kSaveShrinkTables) != 0),
          keepTiming_((options & kSaveKeepTiming) != 0),
          background_(backgroundColor(document.settings)),
          batch_(document, fault)
    {
    }

    bool run();
    bool writeFailed() const { return batch_.writeFailed(); }
    bool stopped() const { return stopped_; }

private:
    bool stopHere()
    {
        stopped_ = stopRequested(progress_);
        return stopped_;
    }
    bool usesGlobal(const Frame& frame) const
    {
        return settings_.useGlobalColorTable && !frame.useLocalColorTable;
    }
    bool needsRebuiltTable() const;
    bool rebuildGlobalTable();
    bool load(const Frame& frame);
    bool remapIntoRebuilt(FrameAttributes& a);
    bool firstFrame();
    bool laterFrame(int index);
    bool losslessFrame(int index);
    bool remapIntoShrunk(const Frame& frame, FrameAttributes& a);
    bool remapIntoMerged(FrameAttributes& a);
    void dropFrame(int index);
    bool giveTransparency(const Frame& frame, FrameAttributes& a);
    bool compose(const Frame& frame, uint16_t transparentIndex);
    bool areaBeneath(const Frame& frame, ScreenArea& area);

    Document& document_;
    Progress* progress_;
    bool stopped_ = false;
    const GifSettings& settings_;
    const bool useTransparency_;
    const bool autoTransparency_;
    const bool deleteUnchanged_;
    const bool lossless_;
    const bool shrinkTables_;
    const bool keepTiming_;
    const uint32_t background_;
    // Only pixels a frame painted are relied on; viewers differ on the
    // background. A large screen is kept in tiles made where frames reach,
    // so small frames on it cost what they cost.
    ScreenCompositor compositor_;
    RasterImage& canvas_ = compositor_.picture();
    ColorQuantizer globalQuantizer_;
    ColorTable rebuilt_;
    bool rebuiltGlobal_ = false;
    int reservedEntry_ = -1;
    // kSaveShrinkTables: the smaller global table and the old -> new indices.
    std::optional<ColorTable> shrunk_;
    std::optional<MergedTables> merged_;
    std::array<uint8_t, 256> shrinkMap_{};
    // kSaveKeepTiming: the last frame kept and the delay it has so far.
    int lastKept_ = 0;
    uint32_t lastKeptDelay_ = 0;
    RewriteBatch batch_;
};

bool OptimizerRun::needsRebuiltTable() const
{
    if (!settings_.useGlobalColorTable || !useTransparency_ || !autoTransparency_)
        return false;
    for (int i = 1; i < document_.frames.count(); ++i) {
        const Frame& f = *document_.frames.frameAt(i);
        if (usesGlobal(f) && f.transparentIndex == kNoIndex)
            return true;
    }
    return false;
}

// One table for every global-table frame, with an entry kept free so that
// frames without a transparent colour can be given one.
bool OptimizerRun::rebuildGlobalTable()
{
    for (int i = 0; i < document_.frames.count(); ++i) {
        const Frame& f = *document_.frames.frameAt(i);
        if (usesGlobal(f) && (!load(f) || !globalQuantizer_.addImage(canvas_.image.bytes(), kNoIndex)))
            return false;
    }
    const int k = std::max<int>(settings_.globalColorTable.count, 4);
    if (!globalQuantizer_.buildPalette(k, kNoColor, true) || globalQuantizer_.transparentEntry() < 0)
        return false;
    const int background = globalQuantizer_.nearestIndex(background_);
    rebuilt_ = colorTableOf(globalQuantizer_, k, uint16_t(std::max(background, 0)));
    reservedEntry_ = globalQuantizer_.transparentEntry();
    rebuiltGlobal_ = true;
    return true;
}

bool OptimizerRun::load(const Frame& frame)
{
    if (!canvas_.loadGifImage(frame.workFilePath, 0))
        return false;
    if (usesGlobal(frame))
        canvas_.applyColorTable(&settings_.globalColorTable);
    return true;
}

bool OptimizerRun::remapIntoRebuilt(FrameAttributes& a)
{
    ByteBuffer mapped;
    if (!globalQuantizer_.mapImage(canvas_.image.bytes(), mapped, false, a.transparentIndex)
        || !canvas_.setDib(mapped.bytes()))
        return false;
    if (a.transparentIndex != kNoIndex)
        a.transparentIndex = uint16_t(reservedEntry_);
    a.colorCount = rebuilt_.count;
    return true;
}

bool OptimizerRun::areaBeneath(const Frame& frame, ScreenArea& area)
{
    const auto [width, height] = canvas_.imageSize();
    return compositor_.areaBeneath(frame.left, frame.top, width, height, area);
}

bool OptimizerRun::compose(const Frame& frame, uint16_t transparentIndex)
{
    return compositor_.compose(transparentIndex, frame.disposal, frame.left, frame.top);
}

// The first frame is drawn as it is; it is only rewritten when its colours
// move into the rebuilt table.
bool OptimizerRun::firstFrame()
{
    const Frame& f = *document_.frames.frameAt(0);
    FrameAttributes a = FrameAttributes::of(f);
    if (!load(f))
        return false;
    lastKept_ = 0;
    lastKeptDelay_ = f.delay;
    if (shrunk_ && usesGlobal(f)) {
        ByteBuffer gif;
        if (!remapIntoShrunk(f, a) || !encodeGifImage(canvas_.image.bytes(), gif, colorTableBits(a.colorCount), false))
            return false;
        a.descriptorFlags &= uint8_t(~kInterlaceFlag);
        if (!batch_.stage(0, gif.bytes(), a))
            return false;
    } else if (rebuiltGlobal_ && usesGlobal(f)) {
        ByteBuffer gif;
        if (!remapIntoRebuilt(a) || !encodeGifImage(canvas_.image.bytes(), gif, colorTableBits(a.colorCount), false))
            return false;
        a.descriptorFlags &= uint8_t(~kInterlaceFlag);
        if (!batch_.stage(0, gif.bytes(), a))
            return false;
    }
    return compose(f, a.transparentIndex);
}

// A frame without a transparent colour gets one: the rebuilt table's free
// entry, or an entry kept free when its own table is reduced again.
bool OptimizerRun::giveTransparency(const Frame& frame, FrameAttributes& a)
{
    if (usesGlobal(frame)) {
        if (rebuiltGlobal_) {
            a.transparentIndex = uint16_t(reservedEntry_);
            a.colorCount = rebuilt_.count;
        }
        return true;
    }
    int count = a.colorCount ? a.colorCount : int(dibColorCount(canvas_.image.bytes()));
    if (count < 3)
        count = 4;
    ColorQuantizer quantizer;
    ByteBuffer mapped;
    if (!quantizer.addImage(canvas_.image.bytes(), kNoIndex) || !quantizer.buildPalette(std::min(count, 256), kNoColor, true)
        || quantizer.transparentEntry() < 0 || !quantizer.mapImage(canvas_.image.bytes(), mapped, false, kNoIndex)
        || !canvas_.setDib(mapped.bytes()))
        return false;
    a.colorCount = uint16_t(count);
    a.transparentIndex = uint16_t(quantizer.transparentEntry());
    return true;
}

bool OptimizerRun::remapIntoShrunk(const Frame& frame, FrameAttributes& a)
{
    if (!remapPicture(canvas_.image, shrinkMap_, *shrunk_))
        return false;
    if (frame.transparentIndex < 256)
        a.transparentIndex = shrinkMap_[frame.transparentIndex];
    a.colorCount = shrunk_->count;
    return true;
}

bool OptimizerRun::remapIntoMerged(FrameAttributes& a)
{
    if (!remapPicture(canvas_.image, merged_->mapping(canvas_.image.bytes(), a.transparentIndex), merged_->table))
        return false;
    if (a.transparentIndex < 256)
        a.transparentIndex = merged_->transparent;
    a.colorCount = merged_->table.count;
    a.useLocalColorTable = 0;
    return true;
}

void OptimizerRun::dropFrame(int index)
{
    batch_.dropFrame(index);
    if (keepTiming_) {
        lastKeptDelay_ = std::min<uint32_t>(lastKeptDelay_ + document_.frames.frameAt(index)->delay, 0xFFFF);
        batch_.setDelay(lastKept_, uint16_t(lastKeptDelay_));
    }
}

// Issue 18: the lossless path. No pixel of any screen changes; the frame
// keeps its work file when no encoding tried is smaller.
bool OptimizerRun::losslessFrame(int index)
{
    compositor_.restore();
    const Frame& f = *document_.frames.frameAt(index);
    FrameAttributes a = FrameAttributes::of(f);
    const bool global = merged_ || usesGlobal(f);
    const bool remapped = merged_ || (shrunk_ && usesGlobal(f));
    if (!load(f) || (merged_ ? !remapIntoMerged(a) : (remapped && !remapIntoShrunk(f, a))))
        return false;
    const uint16_t maskIndex = a.transparentIndex;
    LosslessFrame d;
    d.left = f.left;
    d.top = f.top;
    d.transparentIndex = a.transparentIndex;
    d.crop = index > 0 && f.disposal != 2; // the first frame is drawn on the background: all of it counts
    d.giveTransparency = true;
    d.keepColors = global;
    if (settings_.useGlobalColorTable && !global)
        d.global = shrunk_ ? &*shrunk_ : &settings_.globalColorTable;
    ByteBuffer gif;
    ScreenArea beneath;
    if (!areaBeneath(f, beneath) || !encodeLosslessFrame(canvas_, gif, d, beneath))
        return false;
    if (!d.changed && deleteUnchanged_) {
        dropFrame(index);
        return compose(f, maskIndex);
    }
    lastKept_ = index;
    lastKeptDelay_ = f.delay;
    MappedFile work;
    if (!remapped && work.open(f.workFilePath)
        && frameStreamCost(work.bytes(), usesGlobal(f)) <= frameStreamCost(gif.bytes(), global || d.usesGlobal))
        return compose(f, maskIndex);
    a.left = uint16_t(d.left);
    a.top = uint16_t(d.top);
    a.width = uint16_t(d.width);
    a.height = uint16_t(d.height);
    a.transparentIndex = d.transparentIndex;
    a.colorCount = d.colorCount;
    if (d.usesGlobal)
        a.useLocalColorTable = 0;
    a.descriptorFlags &= uint8_t(~kInterlaceFlag);
    if (!batch_.stage(index, gif.bytes(), a))
        return false;
    return compose(f, maskIndex);
}

bool OptimizerRun::laterFrame(int index)
{
    if (lossless_)
        return losslessFrame(index);
    compositor_.restore();
    const Frame& f = *document_.frames.frameAt(index);
    FrameAttributes a = FrameAttributes::of(f);
    if (!load(f) || (rebuiltGlobal_ && usesGlobal(f) && !remapIntoRebuilt(a))
        || (shrunk_ && usesGlobal(f) && !remapIntoShrunk(f, a)))
        return false;
    // Restoring to the background depends on the whole rectangle: such a
    // frame is only touched when its unchanged pixels may become transparent.
    if (f.disposal == 2 && !useTransparency_) {
        if (shrunk_ && usesGlobal(f)) {
            ByteBuffer gif;
            a.descriptorFlags &= uint8_t(~kInterlaceFlag);
            if (!encodeGifImage(canvas_.image.bytes(), gif, colorTableBits(a.colorCount), false)
                || !batch_.stage(index, gif.bytes(), a))
                return false;
        }
        return compose(f, a.transparentIndex);
    }
    if (autoTransparency_ && a.transparentIndex == kNoIndex && !giveTransparency(f, a))
        return false;
    const uint16_t maskIndex = a.transparentIndex;
    RasterImage::FrameDifference d;
    d.left = f.left;
    d.top = f.top;
    d.transparentIndex = a.transparentIndex;
    ByteBuffer gif;
    ScreenArea beneath;
    if (!areaBeneath(f, beneath)
        || !canvas_.optimizeFrame(gif, d, f.disposal != 2, useTransparency_, usesGlobal(f), beneath))
        return false;
    if (!d.changed && deleteUnchanged_) {
        dropFrame(index);
    } else {
        lastKept_ = index;
        lastKeptDelay_ = f.delay;
        a.left = uint32_t(d.left);
        a.top = uint32_t(d.top);
        a.width = d.width;
        a.height = d.height;
        a.transparentIndex = d.transparentIndex;
        a.colorCount = d.colorCount;
        a.descriptorFlags &= uint8_t(~kInterlaceFlag);
        if (!batch_.stage(index, gif.bytes(), a))
            return false;
    }
    // The whole frame, not the crop, so the screen stays the one the
    // animation showed before.
    return compose(f, maskIndex);
}

bool OptimizerRun::run()
{
    const int n = document_.frames.count();
    if (n == 0)
        return false;
    if (n > 1 && needsRebuiltTable() && !rebuildGlobalTable())
        return false;
    if (shrinkTables_ && lossless_ && settings_.useGlobalColorTable
        && !mergeTables(document_.frames, settings_.globalColorTable, merged_))
        return false;
    if (shrinkTables_ && !rebuiltGlobal_ && !merged_ && settings_.useGlobalColorTable
        && !shrinkGlobalTable(document_.frames, settings_.globalColorTable, shrunk_, shrinkMap_))
        return false;
    if (stopHere() || !compositor_.start(settings_.screenWidth, settings_.screenHeight, background_, true,
                                              worthTiling(settings_.screenWidth, settings_.screenHeight))
        || !(lossless_ ? losslessFrame(0) : firstFrame()))
        return false;
    reportProgress(progress_, 1, n);
    for (int i = 1; i < n; ++i) {
        if (stopHere() || !laterFrame(i))
            return false;
        reportProgress(progress_, i + 1, n);
    }
    if (stopHere())
        return false;
    if (rebuiltGlobal_)
        batch_.replaceGlobalTable(rebuilt_);
    if (shrunk_)
        batch_.replaceGlobalTable(*shrunk_);
    if (merged_)
        batch_.replaceGlobalTable(merged_->table);
    commitStep(progress_, [this] {
        batch_.commit();
        document_.currentIndex = 0;
        document_.changed(kFramesChanged | kGlobalTableChanged | kCurrentChanged);
    });
    return true;
}

} // namespace

bool optimize(Document& document, uint32_t options, const WriteFault& fault, Failure* why, Progress* progress)
{
    uint32_t width, height;
    if (exceedsPixelLimit(document, width, height)) {
        if (why)
            *why = Failure::tooLarge;
        return false;
    }
    OptimizerRun run(document, options, fault, progress);
    const bool ok = run.run();
    if (why)
        *why = ok ? Failure::none
            : run.stopped() ? Failure::cancelled
            : document.frames.count() == 0 ? Failure::noFrames
            : run.writeFailed() ? Failure::cannotWrite
            : Failure::damaged;
    return ok;
}

} // namespace zell
