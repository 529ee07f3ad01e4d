// Speed: the delays of chosen frames scaled or set. Only numbers change, so
// these never fail part way; they still run as one commit step.
#include <algorithm>
#include <functional>

#include "operations/edit_run.h"
#include "operations/frame_edits.h"

namespace zell {

namespace {

// A delay held between kMinDelay and 65535; `clamped` says it had to be.
uint16_t heldDelay(uint64_t delay, bool& clamped)
{
    const uint64_t held = std::clamp<uint64_t>(delay, kMinDelay, 0xFFFF);
    clamped |= held != delay;
    return uint16_t(held);
}

bool newDelays(Document& document, std::span<const int> rows, EditResult* result, Progress* progress,
               const std::function<uint16_t(uint16_t, bool&)>& delayFor)
{
    if (result)
        *result = {};
    std::vector<int> chosen;
    if (!edit::chosenRows(document, rows, chosen))
        return edit::badParameters(result);
    if (chosen.empty())
        return edit::fail(result, Failure::noFrames);
    bool clamped = false;
    std::vector<uint16_t> delays;
    for (int row : chosen)
        delays.push_back(delayFor(document.frames.frameAt(row)->delay, clamped));
    if (edit::stopped(progress, result))
        return false;
    commitStep(progress, [&] {
        for (size_t i = 0; i < chosen.size(); ++i)
            document.frames.frameAt(chosen[i])->delay = delays[i];
        document.changed(kFramesChanged);
    });
    reportProgress(progress, int64_t(chosen.size()), int64_t(chosen.size()));
    if (result)
        result->delaysClamped = clamped;
    return true;
}

} // namespace

bool scaleDelays(Document& document, std::span<const int> rows, uint32_t percent, EditResult* result,
                 Progress* progress)
{
    if (percent == 0)
        return edit::badParameters(result);
    // A frame without a delay has no time to scale; it stays as it is.
    return newDelays(document, rows, result, progress, [percent](uint16_t delay, bool& clamped) {
        return delay == 0 ? delay : heldDelay((uint64_t(delay) * 100 + percent / 2) / percent, clamped);
    });
}

bool setDelays(Document& document, std::span<const int> rows, uint32_t delay, EditResult* result,
               Progress* progress)
{
    return newDelays(document, rows, result, progress,
                     [delay](uint16_t, bool& clamped) { return heldDelay(delay, clamped); });
}

} // namespace zell
