#include "document/optimizing_pass.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "document/gif_export.h"
#include "image/gif_blocks.h"
#include "image/gif_codec.h"
#include "image/lossless_frame.h"
#include "image/mapped_file.h"

namespace zell {

namespace {

// The background of a table: its background entry when the index is inside
// it, else white.
uint32_t tableBackground(const ColorTable* table)
{
    if (table && table->backgroundIndex < table->count)
        return table->color(table->backgroundIndex);
    return 0xFFFFFF;
}

// The position, size, table and transparent colour a frame step chose.
template <typename Step>
void takeResult(FrameAttributes& a, const Step& d)
{
    a.left = uint16_t(d.left);
    a.top = uint16_t(d.top);
    a.width = uint16_t(d.width);
    a.height = uint16_t(d.height);
    a.transparentIndex = d.transparentIndex;
    a.colorCount = d.colorCount;
    // Re-encoded pictures are never interlaced.
    a.descriptorFlags &= uint8_t(~kGifInterlaceFlag);
}

// Out of memory fails the frame: on the worker thread an exception would
// end the program.
bool encodeLossless(RasterImage& picture, ByteBuffer& out, LosslessFrame& frame, const ScreenArea& beneath)
{
    try {
        return encodeLosslessFrame(picture, out, frame, beneath);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

// A lossless frame read and drawn, waiting to be encoded: everything its
// encoding needs is its own, so that it can be encoded on another thread
// while the screen moves on.
struct OptimizingPass::Job {
    int index = 0;
    MappedFile work;
    RasterImage picture; // its image only
    FrameAttributes attributes;
    LosslessFrame frame;
    ByteBuffer canvas; // a copy of the screen beneath the frame
    std::vector<uint8_t> painted;
    ScreenArea beneath;
    ByteBuffer stream;
    uint64_t pixels = 0;
    bool encoded = false;
    bool queued = false; // for the worker
    bool done = false;   // guarded by the worker's mutex
};

// Pixels of a frame worth encoding on the other thread.
constexpr uint64_t kAheadArea = 64 * 64;
// Frames read ahead at most, and their pixels (each costs about 5 bytes a
// pixel until it is encoded).
constexpr size_t kAheadFrames = 4;
constexpr uint64_t kAheadPixels = uint64_t(8) << 20;

// A second thread that encodes the queued frames; whoever waits for a frame
// encodes queued ones meanwhile, so both cores stay busy.
class OptimizingPass::Worker {
public:
    Worker() : thread_([this] { run(); }) {}
    ~Worker()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void queue(Job& job)
    {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(&job);
        }
        changed_.notify_all();
    }

    void finish(Job& job)
    {
        std::unique_lock lock(mutex_);
        while (!job.done) {
            if (queue_.empty())
                changed_.wait(lock);
            else
                runFront(lock);
        }
    }

private:
    void runFront(std::unique_lock<std::mutex>& lock)
    {
        Job* job = queue_.front();
        queue_.pop_front();
        lock.unlock();
        job->encoded = encodeLossless(job->picture, job->stream, job->frame, job->beneath);
        lock.lock();
        job->done = true;
        changed_.notify_all();
    }

    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_)
                return;
            runFront(lock);
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job*> queue_;
    bool stop_ = false;
    std::thread thread_; // last: it starts once the rest is made
};

OptimizingPass::~OptimizingPass() = default;

std::span<const uint8_t> OptimizingPass::currentWorkFile() const
{
    if (lossless_)
        return current_ ? current_->work.bytes() : std::span<const uint8_t>{};
    return work_.bytes();
}

OptimizingPass::OptimizingPass(const FrameList& frames, const ColorTable* global, uint16_t screenWidth,
                               uint16_t screenHeight, uint32_t options)
    : frames_(frames),
      global_(global),
      screenWidth_(screenWidth),
      screenHeight_(screenHeight),
      useTransparency_((options & kSaveTransparency) != 0),
      lossless_((options & kSaveLosslessTransparency) != 0),
      autoTransparency_((options & kSaveAutoTransparency) != 0 && !lossless_),
      dropUnchanged_((options & kSaveDropUnchanged) != 0),
      shrinkTables_((options & kSaveShrinkTables) != 0),
      keepTiming_((options & kSaveKeepTiming) != 0),
      lossy_(lossyLevel(options)),
      lossyWeighed_((options & kSaveLossyWeighed) != 0),
      ahead_(std::thread::hardware_concurrency() > 1)
{
}

const ColorTable* OptimizingPass::globalTable() const
{
    return rebuilt_ ? &*rebuilt_ : merged_ ? &merged_->table : shrunk_ ? &*shrunk_ : common_ ? &*common_ : global_;
}

bool OptimizingPass::prepare()
{
    if (!global_)
        return !(lossless_ && shrinkTables_) || findCommonTable();
    if (needsRebuiltTable())
        return rebuildGlobalTable();
    if (shrinkTables_ && lossless_ && !mergeTables(frames_, *global_, merged_))
        return false;
    if (shrinkTables_ && !merged_)
        return shrinkGlobalTable(frames_, *global_, shrunk_, shrinkMap_, lossless_);
    return true;
}

bool OptimizingPass::needsRebuiltTable() const
{
    if (!useTransparency_ || !autoTransparency_)
        return false;
    for (int i = 1; i < frames_.count(); ++i) {
        const Frame& f = *frames_.frameAt(i);
        if (usesGlobal(f) && f.transparentIndex == kNoIndex)
            return true;
    }
    return false;
}

// One table for every global-table frame, with an entry kept free so that
// frames without a transparent colour can be given one.
bool OptimizingPass::rebuildGlobalTable()
{
    for (int i = 0; i < frames_.count(); ++i) {
        const Frame& f = *frames_.frameAt(i);
        RasterImage picture;
        if (usesGlobal(f) && (!load(f, picture) || !rebuiltQuantizer_.addImage(picture.image.bytes(), kNoIndex)))
            return false;
    }
    const int k = std::max<int>(global_->count, 4);
    if (!rebuiltQuantizer_.buildPalette(k, kNoColor, true) || rebuiltQuantizer_.transparentEntry() < 0)
        return false;
    const int background = rebuiltQuantizer_.nearestIndex(tableBackground(global_));
    rebuilt_ = colorTableOf(rebuiltQuantizer_, k, uint16_t(std::max(background, 0)));
    return true;
}

bool OptimizingPass::findCommonTable()
{
    common_.reset();
    if (frames_.count() < 2)
        return true;
    std::vector<uint8_t> first;
    for (int i = 0; i < frames_.count(); ++i) {
        MappedFile work;
        GifHeader header;
        GifImageBlock image;
        if (!frames_.frameAt(i)->workFile.read(work) || !readGifHeader(work.bytes(), header)
            || !findFirstGifImage(header, image))
            return false;
        const std::span<const uint8_t> table = image.localTable.empty() ? header.globalTable : image.localTable;
        if (i == 0)
            first.assign(table.begin(), table.end());
        else if (!std::equal(table.begin(), table.end(), first.begin(), first.end()))
            return true;
    }
    if (!isTableSize(int(first.size() / 3)))
        return true;
    ColorTable t;
    t.count = uint16_t(first.size() / 3);
    std::copy(first.begin(), first.end(), t.entries.begin());
    // A written global table names a background entry, and frames restoring
    // to the background show it: it must hold the colour they showed, added
    // in a doubled table when no entry does. That table pays only when three
    // frames or more move onto it; a full table stays with the frames.
    const uint32_t background = tableBackground(global_);
    t.backgroundIndex = kNoIndex;
    for (uint16_t i = 0; i < t.count && t.backgroundIndex == kNoIndex; ++i)
        if (t.color(i) == background)
            t.backgroundIndex = i;
    if (t.backgroundIndex == kNoIndex) {
        if (t.count >= 256 || frames_.count() < 3)
            return true;
        t.backgroundIndex = t.count;
        t.setColor(t.count, background);
        for (uint16_t i = t.count + 1; i < 2 * t.count; ++i)
            t.setColor(i, 0);
        t.count = uint16_t(2 * t.count);
    }
    common_ = t;
    return true;
}

bool OptimizingPass::load(const Frame& frame, RasterImage& picture) const
{
    if (!loadGifImage(picture, frame.workFile, 0) || picture.image.empty())
        return false;
    if (usesGlobal(frame))
        picture.applyColorTable(global_);
    return true;
}

// The frame's work file is read once: decoded here, then compared with and
// copied by the writer as it stands.
bool OptimizingPass::loadCurrent(const Frame& frame, MappedFile& work)
{
    picture_.image.release();
    if (!frame.workFile.read(work) || !decodeGifImage(work.bytes(), picture_.image, 0, false)
        || picture_.image.empty())
        return false;
    if (usesGlobal(frame))
        picture_.applyColorTable(global_);
    return true;
}

bool OptimizingPass::remapIntoRebuilt(FrameAttributes& a)
{
    ByteBuffer mapped;
    if (!rebuiltQuantizer_.mapImage(picture_.image.bytes(), mapped, false, a.transparentIndex)
        || !picture_.setDib(mapped.bytes()))
        return false;
    if (a.transparentIndex != kNoIndex)
        a.transparentIndex = uint16_t(rebuiltQuantizer_.transparentEntry());
    a.colorCount = rebuilt_->count;
    return true;
}

bool OptimizingPass::remapIntoShrunk(FrameAttributes& a)
{
    if (!remapPicture(picture_.image, shrinkMap_, *shrunk_))
        return false;
    if (a.transparentIndex < 256)
        a.transparentIndex = shrinkMap_[a.transparentIndex];
    a.colorCount = shrunk_->count;
    return true;
}

bool OptimizingPass::remapIntoMerged(FrameAttributes& a)
{
    if (!remapPicture(picture_.image, merged_->mapping(picture_.image.bytes(), a.transparentIndex), merged_->table))
        return false;
    if (a.transparentIndex < 256)
        a.transparentIndex = merged_->transparent;
    a.colorCount = merged_->table.count;
    a.useLocalColorTable = 0;
    return true;
}

// A frame without a transparent colour gets one: the rebuilt table's free
// entry, or an entry kept free when its own table is reduced again.
bool OptimizingPass::giveTransparency(const Frame& frame, FrameAttributes& a)
{
    if (usesGlobal(frame)) {
        if (rebuilt_)
            a.transparentIndex = uint16_t(rebuiltQuantizer_.transparentEntry());
        return true;
    }
    int count = a.colorCount ? a.colorCount : int(dibColorCount(picture_.image.bytes()));
    if (count < 3)
        count = 4;
    count = std::min(count, 256);
    ColorQuantizer quantizer;
    ByteBuffer mapped;
    if (!quantizer.addImage(picture_.image.bytes(), kNoIndex) || !quantizer.buildPalette(count, kNoColor, true)
        || quantizer.transparentEntry() < 0 || !quantizer.mapImage(picture_.image.bytes(), mapped, false, kNoIndex)
        || !picture_.setDib(mapped.bytes()))
        return false;
    a.colorCount = uint16_t(count);
    a.transparentIndex = uint16_t(quantizer.transparentEntry());
    return true;
}

bool OptimizingPass::areaBeneath(const Frame& frame, ScreenArea& area)
{
    const auto [width, height] = picture_.imageSize();
    return compositor_.areaBeneath(frame.left, frame.top, width, height, area);
}

// The whole frame, not what was written of it, so that the screen stays the
// one the animation showed before.
bool OptimizingPass::compose(const Frame& frame, uint16_t transparentIndex)
{
    return compositor_.compose(transparentIndex, frame.disposal, frame.left, frame.top);
}

bool OptimizingPass::kept(int index)
{
    lastKept_ = index;
    lastKeptDelay_ = frames_.frameAt(index)->delay;
    return true;
}

bool OptimizingPass::dropped(int index, OptimizedFrame& out)
{
    out.outcome = OptimizedFrame::Outcome::dropped;
    if (keepTiming_) {
        lastKeptDelay_ = std::min<uint32_t>(lastKeptDelay_ + frames_.frameAt(index)->delay, 0xFFFF);
        out.delayTo = lastKept_;
        out.delay = uint16_t(lastKeptDelay_);
    }
    return true;
}

bool OptimizingPass::next(int index, OptimizedFrame& out)
{
    out.outcome = OptimizedFrame::Outcome::asItIs;
    out.stream.release();
    out.delayTo = -1;
    if (!frames_.frameAt(index))
        return false;
    if (lossless_)
        return losslessFrame(index, out);
    if (index == 0 && !startScreen())
        return false;
    compositor_.restore();
    return lossyFrame(index, out);
}

bool OptimizingPass::startScreen()
{
    return compositor_.start(screenWidth_, screenHeight_, tableBackground(global_), true,
                             worthTiling(screenWidth_, screenHeight_));
}

bool OptimizingPass::lossyFrame(int index, OptimizedFrame& out)
{
    const Frame& f = *frames_.frameAt(index);
    FrameAttributes& a = out.attributes = FrameAttributes::of(f);
    const bool remapped = usesGlobal(f) && (rebuilt_ || shrunk_);
    if (!loadCurrent(f, work_) || (remapped && !(rebuilt_ ? remapIntoRebuilt(a) : remapIntoShrunk(a))))
        return false;
    // The first frame has nothing beneath it to compare with. Restoring to
    // the background depends on the whole rectangle: such a frame is only
    // touched when its unchanged pixels may become transparent.
    if (index == 0 || (f.disposal == 2 && !useTransparency_)) {
        if (remapped) {
            if (!encodeGifImage(picture_.image.bytes(), out.stream, colorTableBits(a.colorCount), false))
                return false;
            a.descriptorFlags &= uint8_t(~kGifInterlaceFlag);
            out.outcome = OptimizedFrame::Outcome::rewritten;
        }
        return compose(f, a.transparentIndex) && kept(index);
    }
    if (autoTransparency_ && a.transparentIndex == kNoIndex && !giveTransparency(f, a))
        return false;
    const uint16_t maskIndex = a.transparentIndex;
    RasterImage::FrameDifference d;
    d.left = f.left;
    d.top = f.top;
    d.transparentIndex = a.transparentIndex;
    ScreenArea beneath;
    if (!areaBeneath(f, beneath)
        || !picture_.optimizeFrame(out.stream, d, f.disposal != 2, useTransparency_, usesGlobal(f), beneath)
        || !compose(f, maskIndex))
        return false;
    if (!d.changed && dropUnchanged_)
        return dropped(index, out);
    takeResult(a, d);
    out.outcome = OptimizedFrame::Outcome::rewritten;
    return kept(index);
}

// Reads frame `index`, copies the screen beneath it and draws it: what its
// encoding needs, queued for the worker when there is one.
bool OptimizingPass::prepareLossless(int index)
{
    const Frame* frame = frames_.frameAt(index);
    if (!frame || (index == 0 && !startScreen()))
        return false;
    const Frame& f = *frame;
    compositor_.restore();
    // Jobs are used again, so that their buffers keep their pages.
    std::unique_ptr<Job> job;
    if (spare_.empty()) {
        job = std::make_unique<Job>();
    } else {
        job = std::move(spare_.back());
        spare_.pop_back();
        job->frame = LosslessFrame{};
        job->encoded = job->queued = job->done = false;
    }
    job->index = index;
    FrameAttributes& a = job->attributes = FrameAttributes::of(f);
    if (!loadCurrent(f, job->work) || (remappedLossless(f) && !(merged_ ? remapIntoMerged(a) : remapIntoShrunk(a))))
        return false;
    const uint16_t maskIndex = a.transparentIndex; // the remapped picture shows the frame's colours
    LosslessFrame& d = job->frame;
    d.left = f.left;
    d.top = f.top;
    d.transparentIndex = a.transparentIndex;
    d.crop = index > 0 && f.disposal != 2; // the first frame is drawn on the background: all of it counts
    d.giveTransparency = true;
    d.keepColors = globalLossless(f);
    d.lossy = lossy_;
    d.lossyWeighed = lossyWeighed_;
    if (global_ && !globalLossless(f))
        d.global = shrunk_ ? &*shrunk_ : global_;
    else if (common_)
        d.global = &*common_;
    ScreenArea beneath;
    if (!areaBeneath(f, beneath))
        return false;
    // A small frame takes less time to encode than to hand over: it is
    // encoded here, before the screen changes, and needs no copies.
    const auto [width, height] = picture_.imageSize();
    job->pixels = uint64_t(width) * height;
    job->queued = worker_ && job->pixels >= kAheadArea;
    if (job->queued) {
        if (!copyScreenArea(beneath, f.left, f.top, width, height, job->canvas, job->painted, job->beneath))
            return false;
        job->picture.image.copyFrom(picture_.image);
        if (job->picture.image.empty())
            return false;
    } else {
        job->encoded = encodeLossless(picture_, job->stream, job->frame, beneath);
    }
    if (!compose(f, maskIndex))
        return false;
    jobs_.push_back(std::move(job));
    if (jobs_.back()->queued)
        worker_->queue(*jobs_.back());
    return true;
}

uint64_t OptimizingPass::aheadPixels() const
{
    uint64_t pixels = 0;
    for (const auto& job : jobs_)
        pixels += job->pixels;
    return pixels;
}

// No pixel of any screen changes; the frame stays as it is when no
// encoding tried is smaller.
bool OptimizingPass::losslessFrame(int index, OptimizedFrame& out)
{
    if (ahead_ && !worker_ && frames_.count() > 1) {
        try {
            worker_ = std::make_unique<Worker>();
        } catch (const std::system_error&) {
            ahead_ = false; // no thread to be had: one frame at a time
        }
    }
    if (jobs_.empty()) {
        if (index == failedAt_ || !prepareLossless(index))
            return false;
    } else if (jobs_.front()->index != index) {
        return false; // the frames come in order
    }
    // The next frames are read and drawn now, so that the worker has one to
    // encode whenever it is free (frames differ in their cost); a frame that
    // cannot be read fails when it is taken.
    while (worker_ && jobs_.size() < kAheadFrames && aheadPixels() < kAheadPixels && failedAt_ < 0) {
        const int ahead = jobs_.back()->index + 1;
        if (ahead >= frames_.count())
            break;
        if (!prepareLossless(ahead))
            failedAt_ = ahead;
    }
    if (current_)
        spare_.push_back(std::move(current_));
    current_ = std::move(jobs_.front());
    jobs_.pop_front();
    Job& job = *current_;
    if (job.queued)
        worker_->finish(job);
    if (!job.encoded)
        return false;
    const Frame& f = *frames_.frameAt(index);
    FrameAttributes& a = out.attributes = job.attributes;
    const LosslessFrame& d = job.frame;
    if (!d.changed && dropUnchanged_)
        return dropped(index, out);
    if (!remappedLossless(f)
        && frameStreamCost(job.work.bytes(), usesGlobal(f))
            <= frameStreamCost(job.stream.bytes(), globalLossless(f) || d.usesGlobal))
        return kept(index);
    out.stream.swap(job.stream);
    takeResult(a, d);
    if (d.usesGlobal)
        a.useLocalColorTable = 0;
    else if (common_)
        a.useLocalColorTable = 1; // a frame still marked for an absent global table writes its own
    out.outcome = OptimizedFrame::Outcome::rewritten;
    return kept(index);
}

} // namespace zell
