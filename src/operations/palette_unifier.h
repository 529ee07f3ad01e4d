// One colour table for a chosen set of frames: their colours are gathered
// and reduced to one palette, every chosen frame is re-encoded against it,
// and the palette becomes the animation's global table. The pictures are
// taken in the colours they show, so an edited global table is kept; frames
// left out that used the global table take its colours as their own, so that
// they look as before.
#pragma once

#include <cstdint>
#include <vector>

#include "document/document.h"
#include "document/progress.h"
#include "operations/rewrite_batch.h"

namespace zell {

struct UnifyOptions {
    bool selectedOnly = false;
    std::vector<int> selected;   // frame indices, used with selectedOnly
    uint32_t sizeMask = 0x1FF;   // frames whose colour count shares a bit with it
    int colorCount = 256;        // k: 2, 4, ... 256
    bool useGlobal = true;       // the frames are switched to the global table
    bool transparentForAll = false;
    bool keepBackground = false; // an entry only for the background colour (k > 2)
    bool reserveTransparent = false;
};

// All or nothing: the frames, their work files and the global table change
// only when every target was rewritten. No target is a success that changes
// nothing. On success the first frame becomes the current one.
// `why` (optional) says why it failed.
bool unify(Document& document, const UnifyOptions& options, const WriteFault& fault = {}, Failure* why = nullptr,
           Progress* progress = nullptr);

} // namespace zell
