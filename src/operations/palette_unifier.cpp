#include "operations/palette_unifier.h"

#include <algorithm>

#include "document/screen_composer.h"
#include "image/color_quantizer.h"
#include "image/gif_codec.h"
#include "image/raster_image.h"
#include "operations/quantizer_table.h"

namespace zell {

namespace {

constexpr uint8_t kInterlaceFlag = 0x40;

std::vector<int> targetsOf(const Document& document, const UnifyOptions& options)
{
    std::vector<int> candidates;
    if (options.selectedOnly) {
        candidates = options.selected;
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    } else {
        for (int i = 0; i < document.frames.count(); ++i)
            candidates.push_back(i);
    }
    std::vector<int> targets;
    for (int i : candidates) {
        const Frame* f = document.frames.frameAt(i);
        if (f && (f->colorCount & options.sizeMask) != 0)
            targets.push_back(i);
    }
    return targets;
}

// Each picture with its work file's own table, also for frames that use the
// global table. A file that cannot be read is left out here; rewriting it
// fails the run later.
// Each target is read twice, to gather its colours and to map it, and each
// reading counts as a unit of progress. False when stopped.
bool gather(const Document& document, const std::vector<int>& targets, ColorQuantizer& quantizer,
            Progress* progress)
{
    RasterImage picture;
    int64_t done = 0;
    for (int i : targets) {
        if (stopRequested(progress))
            return false;
        const Frame& f = *document.frames.frameAt(i);
        if (picture.loadGifImage(f.workFilePath, 0))
            quantizer.addImage(picture.image.bytes(), f.transparentIndex);
        reportProgress(progress, ++done, 2 * int64_t(targets.size()));
    }
    return true;
}

bool rewrite(Document& document, int index, ColorQuantizer& quantizer, const UnifyOptions& options,
             RewriteBatch& batch)
{
    const Frame& f = *document.frames.frameAt(index);
    RasterImage picture;
    ByteBuffer mapped, gif;
    const int bits = colorTableBits(uint32_t(options.colorCount));
    if (!picture.loadGifImage(f.workFilePath, 0)
        || !quantizer.mapImage(picture.image.bytes(), mapped, false, f.transparentIndex)
        || !encodeGifImage(mapped.bytes(), gif, bits, false))
        return false;
    FrameAttributes a = FrameAttributes::of(f);
    if (options.useGlobal)
        a.useLocalColorTable = 0;
    if (options.transparentForAll || f.transparentIndex != kNoIndex) {
        const int entry = quantizer.transparentEntry();
        a.transparentIndex = entry >= 0 ? uint16_t(entry) : kNoIndex;
    }
    a.colorCount = uint16_t(options.colorCount);
    a.descriptorFlags &= uint8_t(~kInterlaceFlag);
    return batch.stage(index, gif.bytes(), a);
}

} // namespace

namespace {

bool unifyTargets(Document& document, const UnifyOptions& options, const WriteFault& fault, Failure& why,
                  Progress* progress)
{
    const int k = options.colorCount;
    why = Failure::damaged;
    if (!isTableSize(k))
        return false;
    const std::vector<int> targets = targetsOf(document, options);
    if (targets.empty()) {
        document.currentIndex = document.frames.count() > 0 ? 0 : -1;
        document.changed(kFramesChanged | kGlobalTableChanged | kCurrentChanged);
        return true;
    }
    bool reserve = options.reserveTransparent;
    for (int i : targets)
        reserve = reserve || document.frames.frameAt(i)->transparentIndex != kNoIndex;

    const uint32_t background = backgroundColor(document.settings);
    const bool keepBackground = options.keepBackground && k > 2;
    ColorQuantizer quantizer;
    if (!gather(document, targets, quantizer, progress)) {
        why = Failure::cancelled;
        return false;
    }
    if (!quantizer.buildPalette(k, keepBackground ? background : kNoColor, reserve))
        return false;
    RewriteBatch batch(document, fault);
    const int64_t total = 2 * int64_t(targets.size());
    int64_t done = total / 2;
    for (int i : targets) {
        if (stopRequested(progress)) {
            why = Failure::cancelled;
            return false;
        }
        if (!rewrite(document, i, quantizer, options, batch)) {
            if (batch.writeFailed())
                why = Failure::cannotWrite;
            return false;
        }
        reportProgress(progress, ++done, total);
    }
    if (stopRequested(progress)) {
        why = Failure::cancelled;
        return false;
    }
    const int backgroundIndex = keepBackground ? int(quantizer.backgroundEntry()) : quantizer.nearestIndex(background);
    batch.replaceGlobalTable(colorTableOf(quantizer, k, uint16_t(std::max(backgroundIndex, 0))));
    commitStep(progress, [&] {
        batch.commit();
        document.currentIndex = 0;
        document.changed(kFramesChanged | kGlobalTableChanged | kCurrentChanged);
    });
    return true;
}

} // namespace

bool unify(Document& document, const UnifyOptions& options, const WriteFault& fault, Failure* why, Progress* progress)
{
    Failure reason = Failure::tooLarge;
    uint32_t width, height;
    const bool ok =
        !exceedsPixelLimit(document, width, height) && unifyTargets(document, options, fault, reason, progress);
    if (ok)
        reason = Failure::none;
    if (why)
        *why = reason;
    return ok;
}

} // namespace zell
