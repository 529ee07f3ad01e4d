// The search behind a size limit: the lossy level, the weighing and the
// colour count that bring the optimising export to a given size with the
// screens closest to the animation's own.
#pragma once

#include <cstdint>

#include "document/document.h"
#include "document/gif_export.h"
#include "document/progress.h"

namespace zell {

struct SizeFit {
    uint32_t options = 0; // the save options to write with
    int colors = 0;       // 0: the frames' own colours; else the count they were reduced to
    int level = 0;
    bool weighed = false;
    uint64_t bytes = 0;
    // When nothing fits: the smallest the frames' own colours reach, and the
    // smallest with 2 colours.
    uint64_t lossiest = 0, fewest = 0;
};

// `options` is a lossless optimising mode; its lossy level is replaced.
// When the chosen output reduces the colours, `reduced` (an empty document,
// on `document`'s work directory) receives those frames and settings, and
// they are what to write; `document` never changes. False with `error`
// None when nothing fits, or with the reason a measure failed or stopped.
// `progress` is asked only whether to stop.
bool fitToSize(const Document& document, uint64_t maxBytes, uint32_t options, SizeFit& fit, Document& reduced,
               ExportError* error = nullptr, Progress* progress = nullptr);

} // namespace zell
