#include "document/screen_composer.h"

#include "image/pixel_limit.h"

namespace zell {

uint32_t backgroundColor(const GifSettings& settings)
{
    const ColorTable& table = settings.globalColorTable;
    if (settings.useGlobalColorTable && table.backgroundIndex < table.count)
        return table.color(table.backgroundIndex);
    return 0xFFFFFF;
}

bool loadFramePicture(const Document& document, int index, RasterImage& picture, bool onScreenOnly)
{
    const Frame* frame = document.frames.frameAt(index);
    if (!frame)
        return false;
    const GifSettings& s = document.settings;
    const uint32_t keepWidth = onScreenOnly ? shownExtent(s.screenWidth, frame->left) : UINT32_MAX;
    const uint32_t keepHeight = onScreenOnly ? shownExtent(s.screenHeight, frame->top) : UINT32_MAX;
    if (!loadGifImage(picture, frame->workFile, 0, keepWidth, keepHeight) || picture.image.empty())
        return false;
    if (!frame->useLocalColorTable)
        picture.applyColorTable(&document.settings.globalColorTable);
    return true;
}

bool exceedsPixelLimit(uint32_t screenWidth, uint32_t screenHeight, const FrameList& frames, uint32_t& width,
                       uint32_t& height)
{
    auto over = [&](uint32_t w, uint32_t h) {
        if (withinPixelLimit(w, h))
            return false;
        width = w;
        height = h;
        return true;
    };
    if (over(screenWidth, screenHeight))
        return true;
    for (int i = 0; i < frames.count(); ++i) {
        if (over(frames.frameAt(i)->width, frames.frameAt(i)->height))
            return true;
    }
    return false;
}

bool exceedsPixelLimit(const Document& document, uint32_t& width, uint32_t& height)
{
    return exceedsPixelLimit(document.settings.screenWidth, document.settings.screenHeight, document.frames, width,
                             height);
}

ScreenComposer::ScreenComposer(const Document& document) : document_(document) {}

bool ScreenComposer::composeFrame(int index)
{
    const Frame* frame = document_.frames.frameAt(index);
    if (!frame)
        return false;
    next_ = index + 1;
    if (!started_) {
        const GifSettings& s = document_.settings;
        if (!compositor_.start(s.screenWidth, s.screenHeight, backgroundColor(s)))
            return false;
        started_ = true;
    }
    return loadFramePicture(document_, index, compositor_.picture(), true)
        && compositor_.compose(frame->transparentIndex, frame->disposal, frame->left, frame->top);
}

} // namespace zell
