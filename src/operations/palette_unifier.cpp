#include "operations/palette_unifier.h"

#include <algorithm>

#include "document/screen_composer.h"
#include "image/color_quantizer.h"
#include "image/dib.h"
#include "image/gif_codec.h"
#include "image/raster_image.h"

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

// The global table colours a frame only while it is on; otherwise the saved
// file gives the frame its own table.
bool usesGlobalTable(const Document& document, const Frame& frame)
{
    return document.settings.useGlobalColorTable && !frame.useLocalColorTable;
}

// A frame's picture in the colours the user sees and saves: an edited global
// table counts, not the colours its work file was made with.
bool loadShownPicture(const Document& document, const Frame& frame, RasterImage& picture)
{
    if (!loadGifImage(picture, frame.workFile, 0) || picture.image.empty())
        return false;
    if (usesGlobalTable(document, frame))
        picture.applyColorTable(&document.settings.globalColorTable);
    return true;
}

// A file that cannot be read is left out here; rewriting it fails the run
// later. Each reading and each rewrite counts as a unit of progress. False
// when stopped.
bool gather(const Document& document, const std::vector<int>& targets, ColorQuantizer& quantizer,
            Progress* progress, int64_t total)
{
    RasterImage picture;
    int64_t done = 0;
    for (int i : targets) {
        if (stopRequested(progress))
            return false;
        const Frame& f = *document.frames.frameAt(i);
        if (loadShownPicture(document, f, picture))
            quantizer.addImage(picture.image.bytes(), f.transparentIndex);
        reportProgress(progress, ++done, total);
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
    if (!loadShownPicture(document, f, picture)
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

// A frame left out that has no table of its own would take on the new
// global one: it keeps its look by carrying the colours it shows now as its
// own table, with its indices untouched.
bool keepLook(const Document& document, int index, RewriteBatch& batch)
{
    const Frame& f = *document.frames.frameAt(index);
    RasterImage picture;
    ByteBuffer gif;
    DibHeader h;
    if (!loadShownPicture(document, f, picture) || !checkDib(picture.image.bytes(), &h)
        || !encodeGifImage(picture.image.bytes(), gif, colorTableBits(dibColorCount(h)),
                           (f.descriptorFlags & kInterlaceFlag) != 0))
        return false;
    FrameAttributes a = FrameAttributes::of(f);
    a.useLocalColorTable = 1;
    return batch.stage(index, gif.bytes(), a);
}

std::vector<int> leftOutOnGlobal(const Document& document, const std::vector<int>& targets)
{
    std::vector<int> out;
    for (int i = 0; i < document.frames.count(); ++i) {
        if (!document.frames.frameAt(i)->useLocalColorTable && !std::binary_search(targets.begin(), targets.end(), i))
            out.push_back(i);
    }
    return out;
}

// Stages each frame in turn; false at the first that fails, or when stopped.
template <class Stage>
bool stageEach(const std::vector<int>& frames, Stage stage, const RewriteBatch& batch, Progress* progress,
               int64_t& done, int64_t total, Failure& why)
{
    for (int i : frames) {
        if (stopRequested(progress)) {
            why = Failure::cancelled;
            return false;
        }
        if (!stage(i)) {
            if (batch.writeFailed())
                why = Failure::cannotWrite;
            return false;
        }
        reportProgress(progress, ++done, total);
    }
    return true;
}

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
    const std::vector<int> others = leftOutOnGlobal(document, targets);
    const int64_t total = 2 * int64_t(targets.size()) + int64_t(others.size());

    const uint32_t background = backgroundColor(document.settings);
    const bool keepBackground = options.keepBackground && k > 2;
    ColorQuantizer quantizer;
    if (!gather(document, targets, quantizer, progress, total)) {
        why = Failure::cancelled;
        return false;
    }
    if (!quantizer.buildPalette(k, keepBackground ? background : kNoColor, reserve))
        return false;
    RewriteBatch batch(document, fault);
    int64_t done = int64_t(targets.size());
    if (!stageEach(
            targets, [&](int i) { return rewrite(document, i, quantizer, options, batch); }, batch, progress, done,
            total, why)
        || !stageEach(others, [&](int i) { return keepLook(document, i, batch); }, batch, progress, done, total, why))
        return false;
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
