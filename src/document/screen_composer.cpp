#include "document/screen_composer.h"

namespace zell {

uint32_t backgroundColor(const GifSettings& settings)
{
    const ColorTable& table = settings.globalColorTable;
    if (settings.useGlobalColorTable && table.backgroundIndex < table.count)
        return table.color(table.backgroundIndex);
    return 0xFFFFFF;
}

bool loadFramePicture(const Document& document, int index, RasterImage& picture)
{
    const Frame* frame = document.frames.frameAt(index);
    if (!frame || !picture.loadGifImage(frame->workFilePath, 0) || picture.image.empty())
        return false;
    if (!frame->useLocalColorTable)
        picture.applyColorTable(&document.settings.globalColorTable);
    return true;
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
    return loadFramePicture(document_, index, compositor_.picture())
        && compositor_.compose(frame->transparentIndex, frame->disposal, frame->left, frame->top);
}

} // namespace zell
