#include "operations/size_fit.h"

#include <memory>
#include <vector>

#include "document/screen_error.h"
#include "operations/palette_unifier.h"

namespace zell {

namespace {

// The document's frames and settings sharing its work files, so that a
// trial may rewrite its frames and leave the document as it is.
void copyDocument(const Document& from, Document& to)
{
    to.settings = from.settings;
    for (int i = 0; i < from.frames.count(); ++i) {
        auto frame = std::make_unique<Frame>(*from.frames.frameAt(i));
        to.frames.insert(i, frame);
    }
}

} // namespace

bool fitToSize(const Document& document, uint64_t maxBytes, uint32_t options, SizeFit& fit, Document& reduced,
               ExportError* error, Progress* progress)
{
    ExportError ignored;
    ExportError& why = error ? *error : ignored;
    why = ExportError::None;
    // Each trial's counts would jump back: only a stop is passed on.
    StopOnly stopOnly(progress);
    // Each colour count (0: the frames' own) with the lowest lossy level
    // that fits it. A high level costs more than a smaller table on some
    // animations and less on others, so the counts are tried in turn while
    // the screens come out closer to the input's; past the highest level,
    // only fewer colours can fit at all. Each count also tries its frames
    // weighed, error against bytes: the level then steps more finely where
    // a table has few colours far apart, but on frames alike it may turn
    // many lossy at once, so the closer screens decide.
    struct Trial {
        explicit Trial(WorkDirectory& work) : document(work) {}
        SizeFit fit;
        double error = 0;
        Document document;
    };
    std::unique_ptr<Trial> best;
    fit = SizeFit{};
    uint64_t lossiest = 0, fewest = 0;
    const uint32_t plain = options & ~lossyOption(0xFF) & ~uint32_t(kSaveLossyWeighed);
    for (int k = 256; k >= 2; k /= 2) {
        auto trial = std::make_unique<Trial>(document.workDirectory());
        SizeFit& f = trial->fit;
        f.colors = k == 256 ? 0 : k;
        copyDocument(document, trial->document);
        UnifyOptions fewer;
        fewer.colorCount = k;
        Failure failure = Failure::none;
        if (f.colors && !unify(trial->document, fewer, {}, &failure, &stopOnly)) {
            why = failure == Failure::cancelled ? ExportError::Cancelled : ExportError::OptimizeFailed;
            return false;
        }
        bool fits = false, measured = false, exact = false;
        for (const uint32_t mode : {plain, plain | kSaveLossyWeighed}) {
            const GifOutput output = GifOutput::fromSettings(trial->document.settings, mode);
            int level = 0;
            uint64_t size = 0;
            std::vector<uint8_t> gif;
            const bool fitsHere =
                fitLossyLevel(trial->document.frames, output, maxBytes, level, size, &why, &stopOnly, &gif);
            if (why != ExportError::None)
                return false;
            if (mode == plain)
                fewest = size;
            if (!f.colors && mode == plain)
                lossiest = size;
            if (!fitsHere)
                continue;
            if (!f.colors && level == 0) { // exact: nothing can be closer
                f.level = 0;
                f.bytes = size;
                f.weighed = false;
                f.options = plain;
                fits = exact = true;
                break;
            }
            double e = 0;
            // An unknown distance only ranks this output last.
            const bool known = screenError(document, gif, e);
            if (!fits || (known && (!measured || e < trial->error))) {
                f.level = level;
                f.bytes = size;
                f.weighed = mode & kSaveLossyWeighed;
                f.options = mode | lossyOption(level);
                trial->error = e;
                measured = known;
            }
            fits = true;
            // Weighing changes only lossy choices: at level 0 it writes
            // the same bytes.
            if (level == 0)
                break;
        }
        if (!fits)
            continue;
        if (exact) {
            best = std::move(trial);
            break;
        }
        if (best && (!measured || trial->error > best->error))
            break;
        // A count at or above the colours in use changes nothing: go on.
        if (!best || trial->error < best->error)
            best = std::move(trial);
        if (!measured)
            break;
    }
    fit = best ? best->fit : SizeFit{};
    fit.lossiest = lossiest;
    fit.fewest = fewest;
    if (!best)
        return false;
    if (fit.colors) {
        reduced.settings = best->document.settings;
        reduced.frames.swap(best->document.frames);
    }
    return true;
}

} // namespace zell
