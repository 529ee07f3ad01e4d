// The everyday edits of a whole animation or of chosen frames: reverse,
// ping-pong, speed, crop, resize, rotate, flip and thinning out. Each is all
// or nothing: the document changes only in one commit step at the end, so
// that a failed or cancelled run leaves it as it was and one undo step takes
// it back. `rows` are frame indices in ascending order; none means every
// frame. A run reports its progress in frames.
#pragma once

#include <cstdint>
#include <span>

#include "document/document.h"
#include "document/progress.h"
#include "image/picture_scale.h"
#include "image/picture_transform.h"

namespace zell {

// Shorter delays are shown as 10 hundredths by most viewers.
inline constexpr uint16_t kMinDelay = 2;

struct EditResult {
    Failure why = Failure::none;
    // Some delay would have fallen below kMinDelay (or risen beyond 65535)
    // and was held there.
    bool delaysClamped = false;
    // With why == notSupported: a screen that had to be written as a frame
    // of its own shows more than 256 colours.
    bool tooManyColors = false;
    // With why == notSupported: the parameters make no edit (a rectangle
    // off the screen, a zero size, rows out of order).
    bool badParameters = false;
};

// The rows in reverse order, each in its mirror's place; every screen the
// animation shows comes in reverse order (frames that drew on what lay
// beneath them are rewritten from the composed screens), each frame
// keeping its own delay.
bool reverseFrames(Document& document, std::span<const int> rows, EditResult* result = nullptr,
                   Progress* progress = nullptr);
// The rows' frames again in reverse order after the last of them, without
// repeating the last or the first: 1 2 3 4 becomes 1 2 3 4 3 2.
bool pingPongFrames(Document& document, std::span<const int> rows, EditResult* result = nullptr,
                    Progress* progress = nullptr);

// Delays scaled for `percent` speed (200: twice as fast), rounded.
bool scaleDelays(Document& document, std::span<const int> rows, uint32_t percent, EditResult* result = nullptr,
                 Progress* progress = nullptr);
bool setDelays(Document& document, std::span<const int> rows, uint32_t delay, EditResult* result = nullptr,
               Progress* progress = nullptr);

// Keeps the first of every `every` rows; the delay of each frame dropped
// goes to the frame kept before it, so the animation keeps its length.
bool thinOut(Document& document, std::span<const int> rows, uint32_t every, EditResult* result = nullptr,
             Progress* progress = nullptr);
// Keeps frames first..last (0-based, inclusive) with their own delays.
bool keepFrames(Document& document, int first, int last, EditResult* result = nullptr, Progress* progress = nullptr);

struct ScreenRect {
    uint32_t left = 0, top = 0, width = 0, height = 0;
};
// The screen becomes the rectangle (clipped to the screen): frames are cut
// at the index level and move with it; a frame wholly outside goes, its
// delay added to the frame before it.
bool cropAnimation(Document& document, const ScreenRect& rect, EditResult* result = nullptr,
                   Progress* progress = nullptr);

// Every frame and the screen turned or mirrored at the index level.
bool transformAnimation(Document& document, PictureTransform transform, EditResult* result = nullptr,
                        Progress* progress = nullptr);

struct ResizeOptions {
    uint32_t width = 0;
    uint32_t height = 0;
    ScaleFilter filter = ScaleFilter::smooth;
    bool dither = false;
};
// The composed screens scaled to width x height and mapped to a palette
// made from them: one shared global table when the animation has one, else
// one table per frame; then cropped again to what each frame changes, with
// no further loss.
bool resizeAnimation(Document& document, const ResizeOptions& options, EditResult* result = nullptr,
                     Progress* progress = nullptr);

} // namespace zell
