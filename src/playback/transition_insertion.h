// Screen transitions turned into frames: the two screens a transition runs
// between, the in-between pictures written as work files, and the new frames
// inserted after the current one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/progress.h"
#include "image/byte_buffer.h"
#include "playback/transition.h"

namespace zell {

// 24-bit logical screens: the screen while the current frame shows, and the
// screen while the frame after it (frame 0 after the last) shows; `next` is
// empty when the animation has fewer than two frames.
struct TransitionScreens {
    ByteBuffer source;
    ByteBuffer next;
};

// Composes frames 0 .. current, then the following frame over what the
// current one's disposal leaves. On failure `out` is unchanged.
bool composeScreens(const Document& document, int current, TransitionScreens& out);

// The picture a transition leads to: the next screen, or `solid` made the
// source's size and filled with the colour (a colour value). Empty when there
// is no such picture.
std::span<const uint8_t> transitionDestination(const TransitionScreens& screens, bool toColor, uint32_t color,
                                               ByteBuffer& solid);

struct GeneratedFile {
    std::string path;
    uint16_t colorCount = 0; // entries of the GIF's colour table; 0 for BMP files
};

// Runs the transition over `steps` steps and writes each picture as a new
// work file: a single-image GIF, or for preview a BMP file, with the source
// in front and the destination behind the steps. All or nothing: on failure
// every file written is deleted again and `files` is left empty.
bool generateTransition(Transition& transition, std::span<const uint8_t> source,
                        std::span<const uint8_t> destination, uint32_t steps, bool forPreview,
                        WorkDirectory& workDirectory, std::vector<GeneratedFile>& files,
                        Progress* progress = nullptr);

// " [<name of the frame at max(current, 0)> >>]の[007]" for step 7.
std::string transitionFrameName(const Document& document, int current, int step);

// Makes a frame of each GIF file and inserts them after the current frame,
// in order; the frames own the files from then on and `files` is emptied. A
// frame that cannot be inserted is dropped with its file. The new frames
// restore the screen beneath them (disposal 3) when the frame after them
// lets it show through or keeps it, so that it composes as it did before
// the insertion; otherwise they stay on it (disposal 1). Returns the number
// of frames inserted.
int insertTransitionFrames(Document& document, int current, std::vector<GeneratedFile>& files, uint16_t delay);

struct TransitionRequest {
    uint32_t steps = 8;
    uint16_t delay = 8;
    bool toColor = false;
    uint32_t color = 0xFFFFFF; // colour value, for toColor
};

enum class TransitionError { None, NoCurrentFrame, ComposeFailed, NoNextFrame, BadSteps, GenerateFailed, TooLarge, Cancelled };

// The whole command: compose, generate and insert after the current frame.
// On failure the document is unchanged and no work file is left behind.
bool insertTransition(Document& document, int current, Transition& transition, const TransitionRequest& request,
                      TransitionError* error = nullptr, Progress* progress = nullptr);

} // namespace zell
