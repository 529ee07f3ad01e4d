#include "operations/optimizer.h"

#include <algorithm>

#include "document/gif_export.h"
#include "document/screen_composer.h"
#include "image/color_quantizer.h"
#include "image/gif_codec.h"
#include "image/screen_compositor.h"
#include "operations/quantizer_table.h"

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
          autoTransparency_((options & kSaveAutoTransparency) != 0),
          deleteUnchanged_((options & kSaveDropUnchanged) != 0),
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
    bool giveTransparency(const Frame& frame, FrameAttributes& a);
    bool compose(const Frame& frame, uint16_t transparentIndex);

    Document& document_;
    Progress* progress_;
    bool stopped_ = false;
    const GifSettings& settings_;
    const bool useTransparency_;
    const bool autoTransparency_;
    const bool deleteUnchanged_;
    const uint32_t background_;
    // Only pixels a frame painted are relied on; viewers differ on the background.
    ScreenCompositor compositor_;
    RasterImage& canvas_ = compositor_.picture();
    ColorQuantizer globalQuantizer_;
    ColorTable rebuilt_;
    bool rebuiltGlobal_ = false;
    int reservedEntry_ = -1;
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
    if (rebuiltGlobal_ && usesGlobal(f)) {
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

bool OptimizerRun::laterFrame(int index)
{
    compositor_.restore();
    const Frame& f = *document_.frames.frameAt(index);
    FrameAttributes a = FrameAttributes::of(f);
    if (!load(f) || (rebuiltGlobal_ && usesGlobal(f) && !remapIntoRebuilt(a)))
        return false;
    // Restoring to the background depends on the whole rectangle: such a
    // frame is only touched when its unchanged pixels may become transparent.
    if (f.disposal == 2 && !useTransparency_)
        return compose(f, a.transparentIndex);
    if (autoTransparency_ && a.transparentIndex == kNoIndex && !giveTransparency(f, a))
        return false;
    const uint16_t maskIndex = a.transparentIndex;
    RasterImage::FrameDifference d;
    d.left = f.left;
    d.top = f.top;
    d.transparentIndex = a.transparentIndex;
    ByteBuffer gif;
    if (!canvas_.optimizeFrame(gif, d, f.disposal != 2, useTransparency_, usesGlobal(f), compositor_.painted()))
        return false;
    if (!d.changed && deleteUnchanged_) {
        batch_.dropFrame(index);
    } else {
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
    if (stopHere() || !compositor_.start(settings_.screenWidth, settings_.screenHeight, background_, true)
        || !firstFrame())
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
