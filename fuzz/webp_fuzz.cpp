#include <cstddef>
#include <cstdint>

#include "clips/clip_decoders.h"
#include "image/pixel_limit.h"

namespace {

// Reads every frame, checking what a clip reader promises its callers;
// returns the frame count.
uint64_t readAll(zell::ClipSource& clip)
{
    const zell::ClipInfo& info = clip.info();
    zell::ClipFrame frame;
    uint64_t count = 0;
    double lastTime = 0;
    while (clip.next(frame)) {
        if (frame.width != info.width || frame.height != info.height
            || frame.rgba.size() != uint64_t(frame.width) * frame.height * 4 || frame.time < lastTime
            || frame.duration < 0 || ++count > info.frameCount)
            __builtin_trap();
        lastTime = frame.time;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Large canvases only cost time here; the check against the limit is
    // the same at any limit.
    zell::setPixelLimit(uint64_t(1) << 20);
    zell::Failure why = zell::Failure::none;
    auto clip = zell::decodeWebPClip({data, size}, &why);
    if (!clip) {
        if (why == zell::Failure::none)
            __builtin_trap();
        return 0;
    }
    if (uint64_t(clip->info().width) * clip->info().height > zell::pixelLimit())
        __builtin_trap();
    const uint64_t first = readAll(*clip);
    const bool failed = clip->failed();
    // A second reading sees the same clip.
    if (!clip->rewind() || readAll(*clip) != first || clip->failed() != failed)
        __builtin_trap();
    return 0;
}
