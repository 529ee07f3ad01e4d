// Makes the animation smaller without changing what it shows: every frame
// after the first is compared with the screen beneath it, cropped to what
// changes, optionally given transparent pixels and a smaller table, or
// dropped when it changes nothing.
#pragma once

#include <cstdint>

#include "document/document.h"
#include "document/progress.h"
#include "operations/rewrite_batch.h"

namespace zell {

// `options`: the GifSaveOption bits (kSaveTransparency, kSaveDropUnchanged,
// kSaveAutoTransparency). All or nothing: the frames, their work files and
// the global table change only when every frame succeeded. On success the
// first frame becomes the current one. `why` (optional) says why it failed.
bool optimize(Document& document, uint32_t options, const WriteFault& fault = {}, Failure* why = nullptr,
              Progress* progress = nullptr);

} // namespace zell
