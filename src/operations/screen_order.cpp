// Reverse, ping-pong and thinning out: frames in a new order, each showing
// the screen it showed before. A frame that lands on other pixels than
// those it was drawn on, and whose look depends on them, is rewritten from
// the composed screen it stood for.
#include <algorithm>
#include <map>

#include "document/screen_composer.h"
#include "image/painted_area.h"
#include "operations/edit_run.h"
#include "operations/frame_edits.h"
#include "operations/screen_frames.h"

namespace zell {

namespace {

using edit::fail;

// Position k of the new list shows the screen that frame `source` showed.
struct Placed {
    int source;
    uint16_t delay;
};

bool coversScreen(const Frame& f, const GifSettings& s)
{
    return f.left == 0 && f.top == 0 && f.width >= s.screenWidth && f.height >= s.screenHeight;
}

// No pixel shows what lies beneath: the frame looks the same on anything.
bool standsAlone(const Document& document, int index, bool& ok)
{
    const Frame& f = *document.frames.frameAt(index);
    if (!coversScreen(f, document.settings))
        return false;
    if (f.transparentIndex == kNoIndex)
        return true;
    RasterImage picture;
    DibHeader h;
    ok = loadFramePicture(document, index, picture, true) && checkDib(picture.image.bytes(), &h) && h.bitCount == 8;
    if (!ok || f.transparentIndex >= dibColorCount(h))
        return ok;
    const auto [w, hh] = picture.imageSize();
    for (uint32_t y = 0; y < hh; ++y) {
        const uint8_t* row = picture.image.data() + dibRowOffset(h, y);
        if (std::find(row, row + w, uint8_t(f.transparentIndex)) != row + w)
            return false;
    }
    return true;
}

class Placement {
public:
    Placement(Document& document, const std::vector<Placed>& order, EditResult* result, Progress* progress)
        : document_(document), order_(order), result_(result), progress_(progress)
    {
    }
    bool run();

private:
    bool plan();
    bool spreadClearing();
    template <typename Visit>
    bool composeUpTo(int last, int64_t total, Visit visit);
    bool writeScreens();
    bool screenOf(int t, const PaintedArea& shown);

    Document& document_;
    const std::vector<Placed>& order_;
    EditResult* result_;
    Progress* progress_;
    edit::NewFrames frames_;
    std::vector<char> alone_;    // per source frame
    std::vector<char> rewrite_;  // per position
    std::map<int, std::vector<int>> targets_; // source frame -> positions rewritten from it
    std::vector<int> clearing_;               // positions that must leave a cleared screen
    ScreenCompositor compositor_;
    PaintedArea painted_;
    int64_t done_ = 0;
};

// A position shows its screen unchanged when its frame follows the one it
// followed before, and that one composed and left the screen as before:
// itself in place, or standing alone without restoring what was beneath.
bool Placement::plan()
{
    const int n = document_.frames.count();
    alone_.assign(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        bool ok = true;
        alone_[size_t(i)] = standsAlone(document_, i, ok);
        if (!ok)
            return fail(result_, Failure::damaged);
    }
    rewrite_.assign(order_.size(), 0);
    bool inPlace = false;
    for (size_t k = 0; k < order_.size(); ++k) {
        const int t = order_[k].source;
        if (k == 0) {
            inPlace = t == 0;
        } else {
            const int before = order_[k - 1].source;
            const bool leavesAsBefore =
                inPlace || (alone_[size_t(before)] && document_.frames.frameAt(before)->disposal != 3);
            inPlace = t == before + 1 && leavesAsBefore;
        }
        rewrite_[k] = !inPlace && !alone_[size_t(t)];
        Frame& f = frames_.add(*document_.frames.frameAt(t));
        f.delay = order_[k].delay;
    }
    return true;
}

// A rewritten screen with pixels no frame painted needs a cleared screen
// beneath it, which only a frame covering the screen can leave: the frame
// before it is rewritten too when it does not, and so on back.
bool Placement::spreadClearing()
{
    std::vector<char> unpainted(size_t(document_.frames.count()), 0);
    const int64_t total = 2 * int64_t(document_.frames.count()) + int64_t(order_.size());
    if (!composeUpTo(document_.frames.count() - 1, total, [&](int t, const PaintedArea& shown) {
            const auto p = shown.pixels();
            unpainted[size_t(t)] = std::find(p.begin(), p.end(), uint8_t(0)) != p.end();
            return true;
        }))
        return false;
    for (size_t k = order_.size(); k-- > 1;) {
        if (rewrite_[k] && unpainted[size_t(order_[k].source)] && !alone_[size_t(order_[k - 1].source)])
            rewrite_[k - 1] = 1;
    }
    for (size_t k = 0; k < order_.size(); ++k) {
        if (rewrite_[k])
            targets_[order_[k].source].push_back(int(k));
    }
    return true;
}

// The screen after frame t, written for every position that shows it.
bool Placement::screenOf(int t, const PaintedArea& shown)
{
    const GifSettings& s = document_.settings;
    for (int k : targets_[t]) {
        const bool clearable = k == 0 || rewrite_[size_t(k - 1)] || alone_[size_t(order_[size_t(k - 1)].source)];
        ByteBuffer gif;
        uint16_t colors = 0, transparent = kNoIndex;
        bool tooMany = false;
        if (!edit::encodeScreen(compositor_.screen().bytes(), shown.pixels(), clearable, gif, colors, transparent,
                                tooMany)) {
            if (tooMany && result_)
                result_->tooManyColors = true;
            return fail(result_, tooMany ? Failure::notSupported : Failure::damaged);
        }
        if (!edit::takeScreenPicture(frames_.at(k), gif.bytes(), s.screenWidth, s.screenHeight, colors, transparent,
                                     document_.workDirectory()))
            return fail(result_, Failure::cannotWrite);
        if (transparent != kNoIndex && k > 0)
            clearing_.push_back(k - 1);
    }
    return true;
}

// Composes the frames in their old order up to `last`, calling `visit`
// with each and the pixels painted on the screen it shows.
template <typename Visit>
bool Placement::composeUpTo(int last, int64_t total, Visit visit)
{
    const GifSettings& s = document_.settings;
    if (!compositor_.start(s.screenWidth, s.screenHeight, backgroundColor(s))
        || !painted_.reset(s.screenWidth, s.screenHeight))
        return fail(result_, Failure::tooLarge);
    for (int t = 0; t <= last; ++t) {
        if (edit::stopped(progress_, result_))
            return false;
        const Frame& f = *document_.frames.frameAt(t);
        compositor_.restore();
        if (!loadFramePicture(document_, t, compositor_.picture(), true)
            || !compositor_.compose(f.transparentIndex, f.disposal, f.left, f.top))
            return fail(result_, Failure::damaged);
        PaintedArea shown = painted_;
        shown.apply(compositor_.picture(), 1, f.left, f.top);
        if (!visit(t, shown))
            return false;
        painted_.apply(compositor_.picture(), f.disposal, f.left, f.top);
        reportProgress(progress_, ++done_, total);
    }
    return true;
}

bool Placement::writeScreens()
{
    const GifSettings& s = document_.settings;
    const int64_t total = 2 * int64_t(document_.frames.count()) + int64_t(order_.size());
    if (!composeUpTo(targets_.rbegin()->first, total,
                     [&](int t, const PaintedArea& shown) { return !targets_.count(t) || screenOf(t, shown); }))
        return false;
    for (int k : clearing_)
        frames_.at(k).disposal = 2;
    const ColorTable* global = s.useGlobalColorTable ? &s.globalColorTable : nullptr;
    return edit::cropToChanges(frames_, rewrite_, document_, s.screenWidth, s.screenHeight, global, progress_,
                               2 * int64_t(document_.frames.count()), total, result_);
}

bool Placement::run()
{
    uint32_t width = 0, height = 0;
    if (order_.empty())
        return fail(result_, Failure::noFrames);
    if (exceedsPixelLimit(document_, width, height))
        return fail(result_, Failure::tooLarge);
    if (!plan())
        return false;
    if (std::find(rewrite_.begin(), rewrite_.end(), 1) != rewrite_.end() && (!spreadClearing() || !writeScreens()))
        return false;
    if (edit::stopped(progress_, result_))
        return false;
    frames_.commit(document_, progress_);
    return true;
}

bool place(Document& document, const std::vector<Placed>& order, EditResult* result, Progress* progress)
{
    if (result)
        *result = {};
    return Placement(document, order, result, progress).run();
}

// Every frame in its place, with its own delay.
std::vector<Placed> asTheyAre(const Document& document)
{
    std::vector<Placed> order;
    for (int i = 0; i < document.frames.count(); ++i)
        order.push_back({i, document.frames.frameAt(i)->delay});
    return order;
}

} // namespace

bool reverseFrames(Document& document, std::span<const int> rows, EditResult* result, Progress* progress)
{
    std::vector<int> chosen;
    if (!edit::chosenRows(document, rows, chosen))
        return edit::badParameters(result);
    const std::vector<Placed> before = asTheyAre(document);
    std::vector<Placed> order = before;
    for (size_t i = 0; i < chosen.size(); ++i)
        order[size_t(chosen[i])] = before[size_t(chosen[chosen.size() - 1 - i])];
    return place(document, order, result, progress);
}

bool pingPongFrames(Document& document, std::span<const int> rows, EditResult* result, Progress* progress)
{
    std::vector<int> chosen;
    if (!edit::chosenRows(document, rows, chosen))
        return edit::badParameters(result);
    std::vector<Placed> order = asTheyAre(document);
    std::vector<Placed> back;
    for (size_t i = chosen.size(); i-- > 2;)
        back.push_back(order[size_t(chosen[i - 1])]);
    if (!chosen.empty())
        order.insert(order.begin() + chosen.back() + 1, back.begin(), back.end());
    return place(document, order, result, progress);
}

bool thinOut(Document& document, std::span<const int> rows, uint32_t every, EditResult* result, Progress* progress)
{
    std::vector<int> chosen;
    if (!edit::chosenRows(document, rows, chosen) || every == 0)
        return edit::badParameters(result);
    std::vector<char> dropped(size_t(document.frames.count()), 0);
    for (size_t i = 0; i < chosen.size(); ++i)
        dropped[size_t(chosen[i])] = i % every != 0;
    std::vector<Placed> order;
    bool clamped = false;
    for (const Placed& p : asTheyAre(document)) {
        if (!dropped[size_t(p.source)]) {
            order.push_back(p);
            continue;
        }
        // The first chosen row is always kept, so a frame stands before.
        const uint32_t sum = uint32_t(order.back().delay) + p.delay;
        clamped |= sum > 0xFFFF;
        order.back().delay = uint16_t(std::min<uint32_t>(sum, 0xFFFF));
    }
    const bool ok = place(document, order, result, progress);
    if (ok && result)
        result->delaysClamped = clamped;
    return ok;
}

bool keepFrames(Document& document, int first, int last, EditResult* result, Progress* progress)
{
    if (first < 0 || last < first || last >= document.frames.count())
        return edit::badParameters(result);
    std::vector<Placed> order = asTheyAre(document);
    order.erase(order.begin() + last + 1, order.end());
    order.erase(order.begin(), order.begin() + first);
    return place(document, order, result, progress);
}

} // namespace zell
