// Writing the animation as one GIF89a file. The plain path copies each
// frame's colour table and compressed data from its work file; the optimising
// path crops and re-encodes frames against the composed screen.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/progress.h"

namespace zell {

enum GifSaveOption : uint32_t {
    kSaveOptimize = 0x01,
    kSaveTransparency = 0x02,     // unchanged pixels become transparent
    kSaveDropUnchanged = 0x04,    // frames that change nothing are left out
    kSaveAutoTransparency = 0x10, // frames without a transparent colour get one
    // The lossless modes; none of them changes a pixel of any screen.
    // Frames without a transparent colour get an index they do not use;
    // unchanged pixels are written transparent or not, whichever encodes
    // smaller; each frame keeps its smallest encoding (never larger than its
    // work file). Takes the place of kSaveAutoTransparency when both are set.
    kSaveLosslessTransparency = 0x20,
    kSaveShrinkTables = 0x40, // a global table shrinks to the colours used
    kSaveKeepTiming = 0x80,   // a dropped frame's delay goes to the frame before it
    // With a lossy level: a frame is written lossy only where the bytes it
    // saves outweigh its error (lossyPrice), so that the frames that gain
    // most take the error first.
    kSaveLossyWeighed = 0x08,
};

// The top byte of the options: a lossy LZW level (1-200; 0 exact) for the
// lossless modes, whose frames may then move a pixel by lossyBound(level)
// where that shortens the stream. Nothing else changes.
inline constexpr uint32_t lossyOption(int level) { return uint32_t(level & 0xFF) << 24; }
inline constexpr int lossyLevel(uint32_t options) { return int(options >> 24); }

// What zell-cli optimises with when no mode is named.
inline constexpr uint32_t kSaveLosslessDefault =
    kSaveOptimize | kSaveTransparency | kSaveLosslessTransparency | kSaveShrinkTables;

// What the writer needs of the whole-animation settings.
struct GifOutput {
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint32_t loopValue = 0;             // 0 none, kLoopForever, or a count
    std::string comment;                // empty: no comment extension
    const ColorTable* globalTable = nullptr; // null: no global table
    uint32_t options = 0;

    static GifOutput fromSettings(const GifSettings& settings, uint32_t options);
};

// TooLarge: the optimising path would compose beyond the pixel limit.
enum class ExportError { None, NoFrames, CannotCreate, BadGlobalTable, BadWorkFile, OptimizeFailed, WriteFailed, TooLarge,
                         Cancelled };

// Writes to a temporary file beside `path` that replaces it only when
// complete: a failed export leaves an existing file untouched. After
// CannotCreate and WriteFailed, errno holds the system's reason.
bool writeAnimatedGif(const std::string& path, const FrameList& frames, const GifOutput& output,
                      ExportError* error = nullptr, Progress* progress = nullptr);

// The size of the file writeAnimatedGif would write, found the same way but
// written nowhere: what a user sees before choosing to save.
bool measureAnimatedGif(const FrameList& frames, const GifOutput& output, uint64_t& bytes,
                        ExportError* error = nullptr, Progress* progress = nullptr);

// The bytes writeAnimatedGif would write, kept in memory.
bool encodeAnimatedGif(const FrameList& frames, const GifOutput& output, std::vector<uint8_t>& bytes,
                       ExportError* error = nullptr, Progress* progress = nullptr);

// The lowest lossy level (0-200) at which the optimising export of `output`
// (a lossless mode) is at most `maxBytes`, found by halving. False when even
// the highest level is larger (`bytes` then holds its size) or a measure
// fails (`error` says why). `progress` is asked only whether to stop: the
// measures each walk the frames anew. With `stream`, the measures are
// encodings kept in memory, and it receives the GIF of the level found.
bool fitLossyLevel(const FrameList& frames, const GifOutput& output, uint64_t maxBytes, int& level,
                   uint64_t& bytes, ExportError* error = nullptr, Progress* progress = nullptr,
                   std::vector<uint8_t>* stream = nullptr);

// The header, screen descriptor, global table, looping and comment blocks.
bool writeStreamHeader(std::vector<uint8_t>& out, const GifOutput& output);

// One frame: graphic control extension, image descriptor with the frame's
// attributes, colour table and compressed data copied from the work file.
bool writeFrame(std::vector<uint8_t>& out, const Frame& frame, std::span<const uint8_t> workFile,
                bool hasGlobalTable);

} // namespace zell
