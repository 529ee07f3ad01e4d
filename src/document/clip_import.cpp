#include "document/clip_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "document/clip_timing.h"
#include "document/file_import.h"
#include "document/gif_export.h"
#include "image/dib.h"
#include "image/gif_codec.h"
#include "image/palette_mapper.h"
#include "image/picture_scale.h"
#include "image/pixel_limit.h"
#include "operations/optimizer.h"

namespace zell {

namespace {

// The shared palette learns from this many frames spread over the clip, and
// from at most this many of their pixels: enough for every scene of a short
// clip, and a bounded cost for a long one.
constexpr uint64_t kPaletteSampleFrames = 48;
constexpr uint64_t kPaletteSamplePixels = uint64_t(1) << 21;
// Video is noisy: full error diffusion and pixels remapped afresh every
// frame scatter changes that cost bytes and, being noise, PSNR too. A
// quarter of the error (the noise dithers on its own), and a pixel keeping
// its entry while that stays within this much of the best one, made clips
// smaller at a higher PSNR (bench/clip_vs_ffmpeg.sh).
constexpr int kClipDiffusion = 4;
constexpr int kSteadyTolerance = 150;

bool fail(Failure* why, Failure failure)
{
    if (why)
        *why = failure;
    return false;
}

bool startsWith(std::span<const uint8_t> b, size_t at, const char* text)
{
    const size_t n = std::strlen(text);
    return b.size() >= at + n && std::memcmp(b.data() + at, text, n) == 0;
}

uint32_t bigEndian32(std::span<const uint8_t> b, size_t at)
{
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}

// A PNG is animated when an animation control chunk comes before its
// first image data; still PNGs stay stills.
bool isAnimatedPng(std::span<const uint8_t> b)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() < 8 || std::memcmp(b.data(), kSignature, 8) != 0)
        return false;
    for (uint64_t at = 8; at + 8 <= b.size();) {
        const uint64_t length = bigEndian32(b, size_t(at));
        if (startsWith(b, size_t(at + 4), "acTL"))
            return true;
        if (startsWith(b, size_t(at + 4), "IDAT"))
            return false;
        at += 12 + length;
    }
    return false;
}

bool isWebP(std::span<const uint8_t> b) { return startsWith(b, 0, "RIFF") && startsWith(b, 8, "WEBP"); }

bool isVideo(std::span<const uint8_t> b)
{
    static const uint8_t kMatroska[4] = {0x1A, 0x45, 0xDF, 0xA3};
    static const uint8_t kAsf[4] = {0x30, 0x26, 0xB2, 0x75};
    static const uint8_t kMpegPs[4] = {0x00, 0x00, 0x01, 0xBA};
    if (b.size() < 12)
        return false;
    // ISO media (MP4, MOV, 3GP): a box type at offset 4.
    for (const char* box : {"ftyp", "moov", "mdat", "wide", "free", "skip"})
        if (startsWith(b, 4, box))
            return true;
    if (std::memcmp(b.data(), kMatroska, 4) == 0 || std::memcmp(b.data(), kAsf, 4) == 0
        || std::memcmp(b.data(), kMpegPs, 4) == 0)
        return true;
    if (startsWith(b, 0, "RIFF") && startsWith(b, 8, "AVI "))
        return true;
    if (startsWith(b, 0, "FLV") || startsWith(b, 0, "OggS") || startsWith(b, 0, "DKIF"))
        return true;
    // MPEG transport stream: a sync byte every 188 bytes.
    return b.size() > 2 * 188 && b[0] == 0x47 && b[188] == 0x47 && b[376] == 0x47;
}

// The first bytes of a file, enough for every signature above except a
// PNG's chunk walk, which reads up to its first image data.
std::vector<uint8_t> fileHead(const std::string& path, size_t limit)
{
    std::vector<uint8_t> head(limit);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return {};
    head.resize(std::fread(head.data(), 1, head.size(), f));
    std::fclose(f);
    return head;
}

struct Size {
    uint32_t width = 0;
    uint32_t height = 0;
};

// The width or height asked for, the other following the aspect.
Size outputSize(uint32_t width, uint32_t height, const ClipOptions& o)
{
    auto scaled = [](uint32_t v, uint32_t to, uint32_t from) {
        return uint32_t(std::max<int64_t>(1, std::llround(double(v) * to / from)));
    };
    if (o.width && o.height)
        return {o.width, o.height};
    if (o.width)
        return {o.width, scaled(height, o.width, width)};
    if (o.height)
        return {scaled(width, o.height, height), o.height};
    return {width, height};
}

double effectiveFps(const ClipInfo& info, const ClipOptions& o)
{
    if (o.fps > 0)
        return o.fps;
    // A source at a modest rate keeps its own frames and timing (an
    // animated PNG's varying delays among them).
    const bool ownTiming = info.format == "apng" || info.format == "webp";
    return ownTiming || (info.frameRate > 0 && info.frameRate <= kDefaultClipFps) ? 0 : kDefaultClipFps;
}

// A frame's pixels at the output size, top-down RGB. Partly transparent
// pixels are shown over white, as a viewer without transparency shows them.
bool framePixels(const ClipFrame& frame, Size size, std::vector<uint8_t>& rgb)
{
    const uint64_t pixels = uint64_t(frame.width) * frame.height;
    if (pixels == 0 || frame.rgba.size() < pixels * 4)
        return false;
    if (frame.width == size.width && frame.height == size.height) {
        rgb.resize(size_t(pixels) * 3);
        for (uint64_t i = 0; i < pixels; ++i) {
            const uint8_t* p = &frame.rgba[size_t(4 * i)];
            for (int c = 0; c < 3; ++c)
                rgb[size_t(3 * i) + size_t(c)] = uint8_t((p[c] * p[3] + 255 * (255 - p[3]) + 127) / 255);
        }
        return true;
    }
    ByteBuffer dib, scaled;
    const uint64_t stride = dibStride(frame.width, 24);
    if (!dib.allocate(uint32_t(kDibHeaderSize + stride * frame.height)))
        return false;
    writeDibHeader(dib.data(), makeDibHeader(int32_t(frame.width), int32_t(frame.height), 24));
    for (uint32_t y = 0; y < frame.height; ++y) {
        uint8_t* row = dib.data() + kDibHeaderSize + stride * (frame.height - 1 - y);
        std::memset(row, 0, size_t(stride));
        for (uint32_t x = 0; x < frame.width; ++x) {
            const uint8_t* p = &frame.rgba[(size_t(y) * frame.width + x) * 4];
            for (int c = 0; c < 3; ++c)
                row[3 * x + 2 - uint32_t(c)] = uint8_t((p[c] * p[3] + 255 * (255 - p[3]) + 127) / 255);
        }
    }
    if (!scalePicture(dib.bytes(), size.width, size.height, ScaleFilter::smooth, scaled))
        return false;
    const uint64_t outStride = dibStride(size.width, 24);
    rgb.resize(size_t(size.width) * size.height * 3);
    for (uint32_t y = 0; y < size.height; ++y) {
        const uint8_t* row = scaled.data() + kDibHeaderSize + outStride * (size.height - 1 - y);
        uint8_t* out = &rgb[size_t(y) * size.width * 3];
        for (uint32_t x = 0; x < size.width; ++x)
            for (int c = 0; c < 3; ++c)
                out[3 * x + uint32_t(c)] = row[3 * x + 2 - uint32_t(c)];
    }
    return true;
}

// A palette learned from RGB pixels: their own colours when they have few
// enough, else a median cut. One entry is always left over: frames of
// noisy video use every colour of the table, and without an index they
// leave unused, the optimiser could make no pixel transparent, and every
// frame would be written whole.
bool learnPalette(const std::vector<uint8_t>& rgb, ColorTable& table)
{
    if (!exactColorTable(rgb, 255, table))
        table = splitColorTable(rgb, 255);
    // A GIF table holds a power of two entries, and a frame on the global
    // table counts them all: the last colour fills the rest, so that no
    // pixel takes a colour the clip does not have.
    const uint32_t full = 1u << colorTableBits(table.count + 1u);
    for (uint32_t i = table.count; i < full; ++i)
        table.setColor(i, table.color(table.count - 1u));
    table.count = uint16_t(full);
    return true;
}

DitherMethod ditherOf(ClipDither d)
{
    switch (d) {
    case ClipDither::ordered: return DitherMethod::ordered;
    case ClipDither::none: return DitherMethod::none;
    case ClipDither::diffusion: break;
    }
    return DitherMethod::diffusion;
}

// One reading of the clip: each frame that shows, as RGB at the output
// size, with its moment; `shownUntil` is when the last one stops showing.
class ClipWalk {
public:
    ClipWalk(ClipSource& source, const ClipOptions& options, double fps, Size size, Progress* progress)
        : source_(source), options_(options), fps_(fps), size_(size), progress_(progress)
    {
    }

    template <class Take> bool run(Take take, Failure& why)
    {
        ClipTiming timing(fps_, options_.start, options_.end);
        ClipFrame held, incoming;
        if (!source_.next(held)) {
            why = source_.failed() ? Failure::damaged : Failure::noFrames;
            return false;
        }
        std::vector<uint8_t> rgb;
        while (true) {
            if (stopRequested(progress_)) {
                why = Failure::cancelled;
                return false;
            }
            const bool more = source_.next(incoming);
            if (!more && source_.failed()) {
                why = Failure::damaged;
                return false;
            }
            const double until = more ? std::max(incoming.time, held.time) : held.time + period(held);
            double begin = 0;
            if (timing.shows(held.time, until, begin)) {
                if (!framePixels(held, size_, rgb)) {
                    why = Failure::damaged;
                    return false;
                }
                if (!take(rgb, begin))
                    return false;
                shown_ = true;
            }
            if (until > timing.start() && held.time < timing.end())
                shownUntil_ = std::min(until, timing.end()) - timing.start();
            if (!more || !timing.before(until))
                break;
            std::swap(held, incoming);
        }
        if (!shown_) {
            why = Failure::noFrames; // the stretch asked for is past the clip's end
            return false;
        }
        return true;
    }

    double shownUntil() const { return shownUntil_; }

private:
    // How long the last frame shows when the source does not say.
    double period(const ClipFrame& frame) const
    {
        if (frame.duration > 0)
            return frame.duration;
        const double rate = source_.info().frameRate > 0 ? source_.info().frameRate : (fps_ > 0 ? fps_ : 10);
        return 1 / rate;
    }

    ClipSource& source_;
    const ClipOptions& options_;
    double fps_;
    Size size_;
    Progress* progress_;
    double shownUntil_ = 0;
    bool shown_ = false;
};

// One mapped picture as a frame with a work file of its own.
bool writeClipFrame(const ByteBuffer& picture, uint32_t colors, WorkDirectory& workDirectory,
                    std::unique_ptr<Frame>& frame)
{
    ByteBuffer stream;
    SplitResult split;
    if (!encodeGifImage(picture.bytes(), stream, colorTableBits(colors), false)
        || !splitGif(stream.bytes(), workDirectory, split) || split.frames.size() != 1)
        return false;
    frame = std::move(split.frames.front());
    return true;
}

class ClipSplitter {
public:
    ClipSplitter(ClipSource& source, const ClipOptions& options, WorkDirectory& workDirectory, Progress* progress)
        : source_(source), options_(options), workDirectory_(workDirectory), progress_(progress)
    {
        const ClipInfo& info = source.info();
        size_ = outputSize(info.width, info.height, options);
        fps_ = effectiveFps(info, options);
        estimate_ = std::max<uint64_t>(1, clipFrameEstimate(info, options));
    }

    bool run(SplitResult& out, Failure& why)
    {
        if (size_.width == 0 || size_.height == 0 || size_.width > 0xFFFF || size_.height > 0xFFFF
            || !withinPixelLimit(size_.width, size_.height)) {
            why = size_.width == 0 || size_.height == 0 ? Failure::damaged : Failure::tooLarge;
            return false;
        }
        const bool shared = options_.palette == ClipPalette::shared;
        if (shared && (!samplePalette(why) || !source_.rewind())) {
            if (why == Failure::none)
                why = Failure::damaged;
            return false;
        }
        if (!mapFrames(out, why))
            return false;
        out.screenWidth = uint16_t(size_.width);
        out.screenHeight = uint16_t(size_.height);
        if (shared)
            out.globalTable = palette_;
        return optimizeFrames(out, why);
    }

private:
    // Pass one: counts the frames and gathers an even sample of their pixels.
    bool samplePalette(Failure& why)
    {
        const uint64_t every = std::max<uint64_t>(1, estimate_ / kPaletteSampleFrames);
        const uint64_t perFrame =
            std::max<uint64_t>(1, kPaletteSamplePixels / std::min(estimate_, kPaletteSampleFrames));
        std::vector<uint8_t> sample;
        uint64_t count = 0;
        ClipWalk walk(source_, options_, fps_, size_, progress_);
        const bool ok = walk.run(
            [&](const std::vector<uint8_t>& rgb, double) {
                if (++count > options_.maxFrames)
                    return fail(&why, Failure::tooManyFrames);
                reportProgress(progress_, int64_t(count), int64_t(2 * estimate_));
                if ((count - 1) % every == 0 && sample.size() < 3 * kPaletteSamplePixels)
                    addSample(rgb, perFrame, (count - 1) / every, sample);
                return true;
            },
            why);
        frameCount_ = count;
        return ok && learnPalette(sample, palette_);
    }

    static void addSample(const std::vector<uint8_t>& rgb, uint64_t limit, uint64_t frame,
                          std::vector<uint8_t>& sample)
    {
        const uint64_t pixels = rgb.size() / 3;
        // An odd step spreads the sample over rows and columns alike, and a
        // start that moves with the frame reaches the pixels a still part of
        // the picture keeps in one place.
        const uint64_t step = pixels <= limit ? 1 : (pixels + limit - 1) / limit | 1;
        for (uint64_t i = frame % step; i < pixels; i += step)
            sample.insert(sample.end(), rgb.begin() + ptrdiff_t(3 * i), rgb.begin() + ptrdiff_t(3 * i + 3));
    }

    // Pass two: every frame mapped and written to its work file at once.
    bool mapFrames(SplitResult& out, Failure& why)
    {
        std::vector<std::unique_ptr<Frame>> frames;
        std::vector<double> begins;
        std::unique_ptr<PaletteMapper> shared;
        if (options_.palette == ClipPalette::shared)
            shared = std::make_unique<PaletteMapper>(palette_);
        if (shared) {
            shared->keepSteady(kSteadyTolerance);
            shared->diffuse(kClipDiffusion);
        }
        const int64_t total = options_.palette == ClipPalette::shared ? int64_t(2 * frameCount_) : int64_t(estimate_);
        const int64_t done = options_.palette == ClipPalette::shared ? int64_t(frameCount_) : 0;
        ClipWalk walk(source_, options_, fps_, size_, progress_);
        const bool ok = walk.run(
            [&](const std::vector<uint8_t>& rgb, double begin) {
                if (frames.size() >= options_.maxFrames)
                    return fail(&why, Failure::tooManyFrames);
                ColorTable own;
                if (!shared && !learnPalette(rgb, own))
                    return fail(&why, Failure::damaged);
                PaletteMapper local(shared ? ColorTable{} : own);
                PaletteMapper& mapper = shared ? *shared : local;
                ByteBuffer picture;
                std::unique_ptr<Frame> frame;
                if (!mapper.map(rgb, size_.width, size_.height, ditherOf(options_.dither), picture)
                    || !writeClipFrame(picture, shared ? palette_.count : own.count, workDirectory_, frame))
                    return fail(&why, Failure::noWorkDirectory);
                frame->useLocalColorTable = shared ? 0 : 1;
                frames.push_back(std::move(frame));
                begins.push_back(begin);
                reportProgress(progress_, std::min(total, done + int64_t(frames.size())), total);
                return true;
            },
            why);
        if (!ok)
            return false;
        for (size_t i = 0; i < frames.size(); ++i)
            frames[i]->delay = ClipTiming::delay(begins[i], i + 1 < begins.size() ? begins[i + 1] : walk.shownUntil());
        out.frames = std::move(frames);
        return true;
    }

    // The lossless optimiser, on the clip's frames alone: unchanged areas
    // become transparent or are cropped away, and nothing shown changes.
    bool optimizeFrames(SplitResult& out, Failure& why)
    {
        Document scratch(workDirectory_);
        scratch.settings.screenWidth = out.screenWidth;
        scratch.settings.screenHeight = out.screenHeight;
        if (out.globalTable.count > 0)
            scratch.takeGlobalTable(out.globalTable);
        for (auto& frame : out.frames)
            scratch.frames.insert(scratch.frames.count(), frame);
        out.frames.clear();
        StopOnly stopOnly(progress_); // the optimiser's counts are not the clip's
        if (!optimize(scratch, kSaveLosslessDefault, {}, &why, &stopOnly))
            return false;
        if (out.globalTable.count > 0)
            out.globalTable = scratch.settings.globalColorTable;
        while (scratch.frames.count() > 0)
            out.frames.push_back(scratch.frames.take(0));
        return true;
    }

    ClipSource& source_;
    const ClipOptions& options_;
    WorkDirectory& workDirectory_;
    Progress* progress_;
    Size size_;
    double fps_ = 0;
    uint64_t estimate_ = 1;
    uint64_t frameCount_ = 0;
    ColorTable palette_;
};

bool usesGlobalTable(const Document& document)
{
    for (int i = 0; i < document.frames.count(); ++i)
        if (!document.frames.frameAt(i)->useLocalColorTable)
            return true;
    return false;
}

} // namespace

bool isClipFile(const std::string& path)
{
    // An animated PNG's control chunk sits before its image data, near the start.
    const std::vector<uint8_t> head = fileHead(path, 4096);
    return isWebP(head) || isAnimatedPng(head) || isVideo(head);
}

std::unique_ptr<ClipSource> openClip(const std::string& path, Failure* why)
{
    const std::vector<uint8_t> head = fileHead(path, 4096);
    if (isWebP(head))
        return openWebPClip(path, why);
    if (!isVideo(head) && !isAnimatedPng(head)) {
        fail(why, head.empty() ? Failure::cannotRead : Failure::notSupported);
        return nullptr;
    }
    return openVideoClip(path, why);
}

bool probeClip(const std::string& path, ClipInfo& info, Failure* why)
{
    std::unique_ptr<ClipSource> clip = openClip(path, why);
    if (!clip)
        return false;
    info = clip->info();
    return true;
}

uint64_t clipFrameEstimate(const ClipInfo& info, const ClipOptions& options)
{
    const double end = options.end > 0 && (info.duration <= 0 || options.end < info.duration) ? options.end
                                                                                             : info.duration;
    const double length = std::max(0.0, end - options.start);
    const double fps = effectiveFps(info, options);
    if (fps > 0 && length > 0)
        return uint64_t(std::ceil(length * fps - 1e-6));
    if (info.frameCount > 0 && info.duration > 0)
        return uint64_t(std::ceil(double(info.frameCount) * length / info.duration - 1e-6));
    return info.frameCount;
}

bool splitClip(const std::string& path, WorkDirectory& workDirectory, const ClipOptions& options, SplitResult& out,
               Failure* why, Progress* progress)
{
    Failure reason = Failure::none;
    std::unique_ptr<ClipSource> source = openClip(path, &reason);
    if (!source)
        return fail(why, reason == Failure::none ? Failure::damaged : reason);
    SplitResult result;
    if (!ClipSplitter(*source, options, workDirectory, progress).run(result, reason))
        return fail(why, reason == Failure::none ? Failure::damaged : reason);
    out = std::move(result);
    if (why)
        *why = Failure::none;
    return true;
}

bool importClip(Document& document, const std::string& path, const ClipOptions& options, Failure* why,
                Progress* progress)
{
    SplitResult split;
    if (!splitClip(path, document.workDirectory(), options, split, why, progress))
        return false;
    if (stopRequested(progress))
        return fail(why, Failure::cancelled);
    commitStep(progress, [&] {
        // The clip's palette becomes the global table unless frames already
        // in the list depend on the one there; then each keeps it as its own.
        const bool takeTable = split.globalTable.count > 0 && !usesGlobalTable(document);
        if (takeTable)
            document.takeGlobalTable(split.globalTable);
        const int start = document.frames.count();
        const std::string baseName = std::filesystem::path(path).stem().string();
        for (size_t i = 0; i < split.frames.size(); ++i) {
            split.frames[i]->name = frameName(baseName, int(i) + 1);
            if (!takeTable)
                split.frames[i]->useLocalColorTable = 1;
            document.frames.insert(document.frames.count(), split.frames[i]);
        }
        GifSettings& s = document.settings;
        s.screenWidth = std::max(s.screenWidth, split.screenWidth);
        s.screenHeight = std::max(s.screenHeight, split.screenHeight);
        document.currentIndex = start;
        document.changed(kFramesChanged | kSettingsChanged | kGlobalTableChanged | kCurrentChanged);
    });
    return true;
}

} // namespace zell
