// Turning a clip into frames: a chosen stretch, at a chosen frame rate and
// size, mapped to one palette for the whole clip (or one per frame), then
// optimised so that what does not change costs nothing.
#pragma once

#include <cstdint>
#include <string>

#include "document/clip_source.h"
#include "document/document.h"
#include "document/progress.h"

namespace zell {

enum class ClipDither { diffusion, ordered, none };
enum class ClipPalette { shared, perFrame };

struct ClipOptions {
    double fps = 0;   // 0: the source's rate, at most kDefaultClipFps
    double start = 0; // seconds
    double end = 0;   // seconds; 0 runs to the clip's end
    uint32_t width = 0;  // 0 with a height: keeps the aspect; both 0: the source's size
    uint32_t height = 0;
    ClipDither dither = ClipDither::diffusion;
    ClipPalette palette = ClipPalette::shared;
    uint32_t maxFrames = 2000; // a longer stretch fails with Failure::tooManyFrames
};

inline constexpr double kDefaultClipFps = 25;

// Whether the file's first bytes name a clip (a video container, an animated
// PNG or a WebP) rather than a still image or a GIF.
bool isClipFile(const std::string& path);

// FFmpeg or libwebp, whichever reads the file.
std::unique_ptr<ClipSource> openClip(const std::string& path, Failure* why = nullptr);

// Size, duration, rate and frame count without decoding the pictures.
bool probeClip(const std::string& path, ClipInfo& info, Failure* why = nullptr);

// How many frames `options` would make of a clip described by `info`
// (an estimate when the clip does not know its length).
uint64_t clipFrameEstimate(const ClipInfo& info, const ClipOptions& options);

// Appends the clip's frames to the document. On failure or cancel the
// document is as it was.
bool importClip(Document& document, const std::string& path, const ClipOptions& options,
                Failure* why = nullptr, Progress* progress = nullptr);

} // namespace zell
