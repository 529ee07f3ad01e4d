// What `build` and `info` do with clips (videos, animated PNG and WebP).
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"

#include "document/clip_import.h"

namespace zell::cli {

// The clip options' rows. A bare --dither also calls `stillsDither`.
void addClipOptions(OptionTable& table, ClipOptions& out, const std::function<void()>& stillsDither);
// What is wrong with the options as a whole, or "".
std::string checkClipOptions(const ClipOptions& options);

// Size, duration, rate and frame count of a clip, as text or one JSON line.
bool describeClip(const std::string& file, bool json, std::string& error);

} // namespace zell::cli

#define ZELL_CLIP_OPTIONS_HELP                                                                                      \
    "Clips (videos such as MP4, WebM, MKV, MOV, AVI; animated PNG and WebP) become\n"                            \
    "frames on one palette for the whole clip, then are optimised losslessly:\n"                                \
    "  --fps N               frames a second (default: the source's, at most 25)\n"                            \
    "  --start S             seconds into the clip to begin (default 0)\n"                                      \
    "  --end S               seconds into the clip to stop (default: its end)\n"                                \
    "  --width N             width in pixels, the height keeping the aspect\n"                                  \
    "  --height N            height in pixels (with --width: both as given)\n"                                  \
    "  --dither[=fs|ordered|none]  error diffusion (the default), ordered or none\n"                              \
    "  --palette shared|per-frame  one palette for the clip (the default, as the\n"                            \
    "                        global table) or one per frame\n"                                                  \
    "  --max-frames N        allow up to N frames a clip (default 2000)\n"
