// Resize: the composed screens scaled and mapped to a palette made from
// them, one frame of the whole screen each, then cropped again to what each
// frame changes by the lossless optimising pass.
#include <algorithm>
#include <optional>

#include "document/screen_composer.h"
#include "image/painted_area.h"
#include "image/gif_codec.h"
#include "image/pixel_limit.h"
#include "operations/edit_run.h"
#include "operations/frame_edits.h"
#include "operations/screen_frames.h"

namespace zell {

namespace {

using edit::fail;

class Resize {
public:
    Resize(Document& document, const ResizeOptions& options, EditResult* result, Progress* progress)
        : document_(document), options_(options), result_(result), progress_(progress),
          shared_(document.settings.useGlobalColorTable)
    {
    }
    bool run();

private:
    // Composes every frame in order, calling `use` with each scaled screen
    // and which of its pixels some frame painted.
    template <typename Use>
    bool eachScreen(int64_t done, Use use);
    bool scaled(const Frame& frame);
    bool buildShared();
    bool indexScreen(ByteBuffer& picture, int& count, uint16_t& transparent);
    bool frameOf(int index);
    int64_t total() const { return int64_t(document_.frames.count()) * (shared_ ? 3 : 2); }

    Document& document_;
    const ResizeOptions& options_;
    EditResult* result_;
    Progress* progress_;
    const bool shared_;
    ScreenCompositor compositor_;
    PaintedArea painted_;
    ByteBuffer screen_;
    std::vector<uint8_t> shown_;
    bool anyUnpainted_ = false;
    edit::ExactPalette exact_{255};
    bool exactFits_ = true;
    ColorQuantizer quantizer_;
    ColorTable global_;
    uint16_t transparent_ = kNoIndex;
    edit::NewFrames frames_;
};

// The screen after `frame`, scaled; which pixels are painted follows the
// nearest source pixel, so that nothing unpainted spreads or shrinks.
bool Resize::scaled(const Frame& frame)
{
    const GifSettings& s = document_.settings;
    PaintedArea shown = painted_;
    shown.apply(compositor_.picture(), 1, frame.left, frame.top);
    if (!scalePicture(compositor_.screen().bytes(), options_.width, options_.height, options_.filter, screen_))
        return false;
    shown_.resize(size_t(options_.width) * options_.height);
    const std::span<const uint8_t> from = shown.pixels();
    for (uint32_t y = 0; y < options_.height; ++y) {
        const uint8_t* row = from.data() + size_t(nearestSource(y, s.screenHeight, options_.height)) * s.screenWidth;
        for (uint32_t x = 0; x < options_.width; ++x)
            shown_[size_t(y) * options_.width + x] = row[nearestSource(x, s.screenWidth, options_.width)];
    }
    return true;
}

template <typename Use>
bool Resize::eachScreen(int64_t done, Use use)
{
    const GifSettings& s = document_.settings;
    if (!compositor_.start(s.screenWidth, s.screenHeight, backgroundColor(s)) || !painted_.reset(s.screenWidth, s.screenHeight))
        return fail(result_, Failure::tooLarge);
    for (int i = 0; i < document_.frames.count(); ++i) {
        if (edit::stopped(progress_, result_))
            return false;
        const Frame& f = *document_.frames.frameAt(i);
        compositor_.restore();
        if (!loadFramePicture(document_, i, compositor_.picture(), true)
            || !compositor_.compose(f.transparentIndex, f.disposal, f.left, f.top) || !scaled(f))
            return fail(result_, Failure::damaged);
        if (!use(i))
            return false;
        painted_.apply(compositor_.picture(), f.disposal, f.left, f.top);
        reportProgress(progress_, done + i + 1, total());
    }
    return true;
}

// One palette for every screen, gathered from all of them: their exact
// colours when they fit, else a reduction.
bool Resize::buildShared()
{
    auto gather = [&](int) {
        anyUnpainted_ |= std::find(shown_.begin(), shown_.end(), uint8_t(0)) != shown_.end();
        if (exactFits_)
            exactFits_ = exact_.add(screen_.bytes());
        return quantizer_.addImage(screen_.bytes()) || fail(result_, Failure::damaged);
    };
    if (!eachScreen(0, gather))
        return false;
    const ColorTable& old = document_.settings.globalColorTable;
    const bool background = old.backgroundIndex < old.count;
    if (exactFits_) {
        global_ = exact_.table(anyUnpainted_);
        transparent_ = anyUnpainted_ ? uint16_t(exact_.size()) : kNoIndex;
        for (uint16_t i = 0; background && i < exact_.size(); ++i) {
            if (global_.color(i) == old.color(old.backgroundIndex) && global_.backgroundIndex == kNoIndex)
                global_.backgroundIndex = i;
        }
        return true;
    }
    const uint32_t wanted = quantizer_.distinctColors() + uint32_t(anyUnpainted_) + uint32_t(background);
    int count = 1 << colorTableBits(std::min<uint32_t>(wanted, 256));
    if (count == 2 && (anyUnpainted_ || background))
        count = 4;
    if (!quantizer_.buildPalette(count, background ? old.color(old.backgroundIndex) : kNoColor, anyUnpainted_))
        return fail(result_, Failure::damaged);
    global_ = colorTableOf(quantizer_, count, background ? uint16_t(quantizer_.backgroundEntry()) : kNoIndex);
    transparent_ = anyUnpainted_ ? uint16_t(quantizer_.transparentEntry()) : kNoIndex;
    return true;
}

// The scaled screen as an 8-bit picture: on the shared palette, or on one
// made from this screen alone; exact colours when they fit a table.
bool Resize::indexScreen(ByteBuffer& picture, int& count, uint16_t& transparent)
{
    const std::vector<uint8_t> clear = edit::unpaintedOf(shown_);
    if (shared_) {
        count = global_.count;
        transparent = clear.empty() ? kNoIndex : transparent_;
        return exactFits_ ? exact_.index(screen_.bytes(), clear, picture)
                          : edit::mapScreen(quantizer_, screen_.bytes(), shown_, transparent, options_.dither, picture);
    }
    edit::ExactPalette exact(clear.empty() ? 256 : 255);
    if (exact.add(screen_.bytes())) {
        count = exact.table(!clear.empty()).count;
        transparent = clear.empty() ? kNoIndex : uint16_t(exact.size());
        return exact.index(screen_.bytes(), clear, picture);
    }
    ColorQuantizer own;
    count = 256;
    if (!own.addImage(screen_.bytes()) || !own.buildPalette(count, kNoColor, !clear.empty()))
        return false;
    transparent = clear.empty() ? kNoIndex : uint16_t(own.transparentEntry());
    return edit::mapScreen(own, screen_.bytes(), shown_, transparent, options_.dither, picture);
}

// Screen `index` as a frame of the whole screen.
bool Resize::frameOf(int index)
{
    ByteBuffer picture, gif;
    int count = 0;
    uint16_t transparent = kNoIndex;
    if (!indexScreen(picture, count, transparent)
        || !encodeGifImage(picture.bytes(), gif, colorTableBits(uint32_t(count)), false))
        return fail(result_, Failure::damaged);
    Frame& frame = frames_.add(*document_.frames.frameAt(index));
    if (!edit::takeScreenPicture(frame, gif.bytes(), uint16_t(options_.width), uint16_t(options_.height),
                                 uint16_t(count), transparent, document_.workDirectory()))
        return fail(result_, Failure::cannotWrite);
    frame.useLocalColorTable = !shared_;
    // Unpainted pixels stay so only on a cleared screen.
    if (transparent != kNoIndex && index > 0)
        frames_.at(index - 1).disposal = 2;
    return true;
}

bool Resize::run()
{
    if (shared_ && !buildShared())
        return false;
    const int n = document_.frames.count();
    if (!eachScreen(shared_ ? n : 0, [&](int i) { return frameOf(i); }))
        return false;
    const std::vector<char> all(size_t(n), 1);
    if (!edit::cropToChanges(frames_, all, document_, uint16_t(options_.width), uint16_t(options_.height),
                             shared_ ? &global_ : nullptr, progress_, int64_t(n) * (shared_ ? 2 : 1), total(), result_)
        || edit::stopped(progress_, result_))
        return false;
    frames_.commit(document_, progress_, kFramesChanged | kSettingsChanged | kGlobalTableChanged, [&](Document& d) {
        d.settings.screenWidth = uint16_t(options_.width);
        d.settings.screenHeight = uint16_t(options_.height);
        if (shared_)
            d.takeGlobalTable(global_);
    });
    return true;
}

} // namespace

bool resizeAnimation(Document& document, const ResizeOptions& options, EditResult* result, Progress* progress)
{
    if (result)
        *result = {};
    uint32_t width = 0, height = 0;
    if (options.width == 0 || options.height == 0 || options.width > 0xFFFF || options.height > 0xFFFF
        || !withinPixelLimit(options.width, options.height))
        return edit::badParameters(result);
    if (document.frames.count() == 0)
        return fail(result, Failure::noFrames);
    if (exceedsPixelLimit(document, width, height))
        return fail(result, Failure::tooLarge);
    return Resize(document, options, result, progress).run();
}

} // namespace zell
