// Crop, rotate and flip at the index level: every frame keeps its table and
// indices, only where its pixels lie changes. A frame is re-encoded only
// when its picture is cut or turned; a crop that leaves a frame whole just
// moves it.
#include <algorithm>

#include "document/screen_composer.h"
#include "image/gif_blocks.h"
#include "image/gif_codec.h"
#include "image/raster_image.h"
#include "operations/edit_run.h"
#include "operations/frame_edits.h"

namespace zell {

namespace {

using edit::fail;

struct Rect {
    uint32_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return left >= right || top >= bottom; }
    uint32_t width() const { return right - left; }
    uint32_t height() const { return bottom - top; }
};

Rect intersection(const Rect& a, const Rect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

Rect frameRect(const Frame& f)
{
    return {f.left, f.top, uint32_t(f.left) + f.width, uint32_t(f.top) + f.height};
}

// The part `keep` (screen coordinates, inside the frame) of the frame's
// picture, turned when asked, written to a new work file of the frame.
bool rewritePicture(Frame& frame, const Rect& keep, const PictureTransform* transform, WorkDirectory& work,
                    EditResult* result)
{
    RasterImage picture;
    ByteBuffer cut, gif;
    DibHeader h;
    if (!loadGifImage(picture, frame.workFile, 0) || !checkDib(picture.image.bytes(), &h) || h.bitCount != 8
        || !cutPicture(picture.image.bytes(), keep.left - frame.left, keep.top - frame.top, keep.width(),
                       keep.height(), cut)
        || (transform && !transformPicture(cut.bytes(), *transform, cut)))
        return fail(result, Failure::damaged);
    const bool interlaced = (frame.descriptorFlags & kGifInterlaceFlag) != 0;
    std::string path;
    if (!encodeGifImage(cut.bytes(), gif, colorTableBits(dibColorCount(h)), interlaced))
        return fail(result, Failure::damaged);
    if (!work.writeNewWorkFile("gif", gif.bytes(), path))
        return fail(result, Failure::cannotWrite);
    frame.workFile = WorkFile::adopt(std::move(path));
    const bool quarter = transform && (*transform == PictureTransform::rotate90 || *transform == PictureTransform::rotate270);
    frame.width = uint16_t(quarter ? keep.height() : keep.width());
    frame.height = uint16_t(quarter ? keep.width() : keep.height());
    return true;
}

// The frames' shown parts inside `view` (screen coordinates), each cut when
// it reaches out of it and turned when asked; frames wholly outside go, their
// delay added to the frame before. `place` gives a kept part its new
// position from its rectangle.
template <typename Place>
bool cutFrames(Document& document, const Rect& view, const PictureTransform* transform, Place place,
               edit::NewFrames& frames, EditResult* result, Progress* progress)
{
    const GifSettings& s = document.settings;
    const Rect screen{0, 0, s.screenWidth, s.screenHeight};
    const int n = document.frames.count();
    for (int i = 0; i < n; ++i) {
        if (edit::stopped(progress, result))
            return false;
        const Frame& source = *document.frames.frameAt(i);
        const Rect keep = intersection(intersection(frameRect(source), screen), view);
        if (keep.empty()) {
            if (frames.size() > 0) {
                Frame& before = frames.at(frames.size() - 1);
                const uint32_t sum = uint32_t(before.delay) + source.delay;
                if (result)
                    result->delaysClamped |= sum > 0xFFFF;
                before.delay = uint16_t(std::min<uint32_t>(sum, 0xFFFF));
            }
            continue;
        }
        Frame& frame = frames.add(source);
        const bool whole = keep.left == source.left && keep.top == source.top && keep.width() == source.width
            && keep.height() == source.height;
        if ((!whole || transform) && !rewritePicture(frame, keep, transform, document.workDirectory(), result))
            return false;
        place(frame, keep);
        reportProgress(progress, i + 1, n);
    }
    return frames.size() > 0 || fail(result, Failure::noFrames);
}

bool checkedStart(Document& document, EditResult* result)
{
    if (result)
        *result = {};
    uint32_t width = 0, height = 0;
    if (document.frames.count() == 0)
        return fail(result, Failure::noFrames);
    return !exceedsPixelLimit(document, width, height) || fail(result, Failure::tooLarge);
}

} // namespace

bool cropAnimation(Document& document, const ScreenRect& rect, EditResult* result, Progress* progress)
{
    if (!checkedStart(document, result))
        return false;
    const GifSettings& s = document.settings;
    const Rect view = intersection({rect.left, rect.top, uint32_t(std::min<uint64_t>(uint64_t(rect.left) + rect.width, 0xFFFFFFFFu)),
                                    uint32_t(std::min<uint64_t>(uint64_t(rect.top) + rect.height, 0xFFFFFFFFu))},
                                   {0, 0, s.screenWidth, s.screenHeight});
    if (view.empty())
        return edit::badParameters(result);
    edit::NewFrames frames;
    auto place = [&](Frame& f, const Rect& keep) {
        f.left = uint16_t(keep.left - view.left);
        f.top = uint16_t(keep.top - view.top);
    };
    if (!cutFrames(document, view, nullptr, place, frames, result, progress) || edit::stopped(progress, result))
        return false;
    frames.commit(document, progress, kFramesChanged | kSettingsChanged, [&](Document& d) {
        d.settings.screenWidth = uint16_t(view.width());
        d.settings.screenHeight = uint16_t(view.height());
    });
    return true;
}

bool transformAnimation(Document& document, PictureTransform transform, EditResult* result, Progress* progress)
{
    if (!checkedStart(document, result))
        return false;
    const GifSettings& s = document.settings;
    const uint32_t w = s.screenWidth, h = s.screenHeight;
    const Rect screen{0, 0, w, h};
    edit::NewFrames frames;
    auto place = [&](Frame& f, const Rect& keep) {
        uint32_t left = keep.left, top = keep.top, width = keep.width(), height = keep.height();
        transformRect(transform, w, h, left, top, width, height);
        f.left = uint16_t(left);
        f.top = uint16_t(top);
    };
    if (!cutFrames(document, screen, &transform, place, frames, result, progress) || edit::stopped(progress, result))
        return false;
    const bool quarter = transform == PictureTransform::rotate90 || transform == PictureTransform::rotate270;
    frames.commit(document, progress, kFramesChanged | kSettingsChanged, [&](Document& d) {
        d.settings.screenWidth = uint16_t(quarter ? h : w);
        d.settings.screenHeight = uint16_t(quarter ? w : h);
    });
    return true;
}

} // namespace zell
