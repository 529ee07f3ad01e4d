// Clips: videos, animated PNGs and animated WebPs, read as a stream of
// true-colour frames. The import reads a clip twice (once to sample its
// colours, once to map them) rather than keep it in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/document.h"

namespace zell {

struct ClipInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    double duration = 0;     // seconds; 0 when unknown
    double frameRate = 0;    // the source's frames per second; 0 when unknown
    uint64_t frameCount = 0; // 0 when unknown
    std::string format;      // what decodes it, for `info` (for example "h264", "webp")
};

// One frame as the viewer sees it: blending and disposal already done.
struct ClipFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba; // top-down rows of width * 4 bytes, straight alpha
    double time = 0;           // seconds from the clip's start when it appears
    double duration = 0;       // seconds it stays; 0 when unknown
};

class ClipSource {
public:
    virtual ~ClipSource() = default;
    virtual const ClipInfo& info() const = 0;
    // The next frame in presentation order; false at the end or when
    // decoding fails (then failed() is true).
    virtual bool next(ClipFrame& frame) = 0;
    virtual bool failed() const = 0;
    // Back to the first frame for a second reading.
    virtual bool rewind() = 0;
};

// Containers and codecs FFmpeg reads, animated PNG included.
std::unique_ptr<ClipSource> openVideoClip(const std::string& path, Failure* why = nullptr);
// Animated (or still) WebP through libwebp's demuxer; the bytes are copied.
std::unique_ptr<ClipSource> openWebPClip(std::span<const uint8_t> bytes, Failure* why = nullptr);
std::unique_ptr<ClipSource> openWebPClip(const std::string& path, Failure* why = nullptr);

} // namespace zell
