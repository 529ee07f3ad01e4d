// Frames that show a whole composed screen, for the edits that put frames
// where they no longer lie on what they were drawn on, or that change every
// screen. A screen is written exactly, with a table of its own colours, and
// the lossless optimising pass then crops it to what it changes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "document/document.h"
#include "document/progress.h"
#include "image/byte_buffer.h"
#include "image/code_hash_map.h"
#include "image/color_quantizer.h"
#include "image/color_table.h"
#include "operations/edit_run.h"

namespace zell::edit {

// The exact colours of screens, up to a limit, and the screens as 8-bit
// pictures of them: no colour moves by even its lowest bit.
class ExactPalette {
public:
    explicit ExactPalette(size_t limit);
    // Gathers the screen's colours; false once there are more than the limit.
    bool add(std::span<const uint8_t> screen);
    size_t size() const { return colors_.size(); }
    // The colours, with one more entry after them for pixels to clear.
    ColorTable table(bool withClear) const;
    // An 8-bit picture of a screen whose colours were added; the pixels
    // marked in `clear` (one byte a pixel, rows from the top; empty for
    // none) take the entry after the colours.
    bool index(std::span<const uint8_t> screen, std::span<const uint8_t> clear, ByteBuffer& out) const;

private:
    size_t limit_;
    std::vector<uint32_t> colors_;
    CodeHashMap seen_;
    bool over_ = false;
};

// One byte a pixel, 1 where `painted` is 0; empty when every pixel is painted.
std::vector<uint8_t> unpaintedOf(std::span<const uint8_t> painted);

// A 24-bit screen as a single-image GIF stream of the screen's size. With
// `keepUnpainted`, the pixels no frame painted (`painted` 0; one byte per
// pixel, rows from the top) are written transparent, so that they stay
// unpainted on a screen cleared beneath them. False with more colours than
// a table holds (`tooManyColors` set).
bool encodeScreen(std::span<const uint8_t> screen, std::span<const uint8_t> painted, bool keepUnpainted,
                  ByteBuffer& gif, uint16_t& colorCount, uint16_t& transparentIndex, bool& tooManyColors);

// The screen as an 8-bit picture on the quantizer's built palette (with
// error diffusion when asked), the pixels no frame painted as
// `transparentIndex` unless it is kNoIndex.
bool mapScreen(ColorQuantizer& quantizer, std::span<const uint8_t> screen, std::span<const uint8_t> painted,
               uint16_t transparentIndex, bool dither, ByteBuffer& mapped);

// Frame `at` of `frames` becomes a frame of the whole screen, its picture
// in a new work file: position 0,0, leave in place; name, delay and user
// input stay.
bool takeScreenPicture(Frame& frame, std::span<const uint8_t> gif, uint16_t width, uint16_t height,
                       uint16_t colorCount, uint16_t transparentIndex, WorkDirectory& work);

// Runs the lossless optimising pass over `frames` and gives the frames
// marked in `rewritten` the smaller pictures it found. `done` and `total`
// count the frames of the whole run for its progress.
bool cropToChanges(NewFrames& frames, const std::vector<char>& rewritten, const Document& document,
                   uint16_t screenWidth, uint16_t screenHeight, const ColorTable* global, Progress* progress,
                   int64_t done, int64_t total, EditResult* result);

} // namespace zell::edit
