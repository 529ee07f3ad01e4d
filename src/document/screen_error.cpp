#include "document/screen_error.h"

#include "document/gif_import.h"
#include "document/screen_composer.h"

namespace zell {

namespace {

uint64_t squaredDifference(std::span<const uint8_t> a, std::span<const uint8_t> b)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const int d = int(a[i]) - int(b[i]);
        sum += uint64_t(d * d);
    }
    return sum;
}

} // namespace

bool screenError(const Document& reference, std::span<const uint8_t> gif, double& meanSquared)
{
    const GifSettings& s = reference.settings;
    SplitResult split;
    if (reference.frames.count() == 0 || !splitGif(gif, reference.workDirectory(), split) || split.frames.empty()
        || split.screenWidth != s.screenWidth || split.screenHeight != s.screenHeight)
        return false;
    Document decoded(reference.workDirectory());
    decoded.settings = s; // the background and looping the stream does not restate
    decoded.settings.useGlobalColorTable = false;
    decoded.settings.globalColorTable = ColorTable();
    ImportOptions options;
    options.loadGlobalTable = true;
    bool globalTableOpen = true;
    insertSplitFrames(decoded, split, {}, options, globalTableOpen);

    const int frames = reference.frames.count();
    const int shown = decoded.frames.count();
    const bool byIndex = shown == frames;
    ScreenComposer want(reference), got(decoded);
    uint64_t sum = 0, channels = 0, time = 0, nextStart = 0;
    int next = 0;
    for (int i = 0; i < frames; ++i) {
        if (!want.composeFrame(i))
            return false;
        // The last output frame that has started by `time`, and at least
        // the first.
        while (next < shown && (byIndex ? next <= i : next == 0 || nextStart <= time)) {
            if (!got.composeFrame(next))
                return false;
            nextStart += decoded.frames.frameAt(next)->delay;
            ++next;
        }
        time += reference.frames.frameAt(i)->delay;
        const std::span<const uint8_t> a = want.screen().bytes(), b = got.screen().bytes();
        if (a.size() != b.size())
            return false;
        // The buffers hold a header and row padding as well; those agree.
        sum += squaredDifference(a, b);
        channels += uint64_t(s.screenWidth) * s.screenHeight * 3;
    }
    meanSquared = channels ? double(sum) / double(channels) : 0;
    return true;
}

} // namespace zell
