#include "document/gif_export.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "document/optimizing_pass.h"
#include "document/screen_composer.h"
#include "image/mapped_file.h"
#include "document/temporary_file.h"
#include "image/bytes.h"
#include "image/gif_blocks.h"
#include "image/lzw_lossy.h"

namespace zell {

namespace {

void appendU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Appends each image of a work file with the frame's attributes.
class ImageCopier : public GifBlockHandler {
public:
    ImageCopier(std::vector<uint8_t>& out, const Frame& frame, const GifHeader& work, bool hasGlobalTable)
        : out_(out), frame_(frame), work_(work), hasGlobalTable_(hasGlobalTable)
    {
    }

    bool image(const GifImageBlock& image) override
    {
        const bool local = !image.localTable.empty();
        const std::span<const uint8_t> table = local ? image.localTable : work_.globalTable;
        if (image.end == 0 || table.empty())
            return false;
        const int sizeField = (local ? image.packed : work_.packed) & 7;
        writeControl();
        out_.push_back(kGifImageSeparator);
        appendU16(out_, frame_.left);
        appendU16(out_, frame_.top);
        appendU16(out_, frame_.width);
        appendU16(out_, frame_.height);
        if (!frame_.useLocalColorTable && hasGlobalTable_) {
            out_.push_back(frame_.descriptorFlags & 0x78);
        } else {
            out_.push_back(uint8_t((frame_.descriptorFlags & 0xF8) | kGifTableFlag | sizeField));
            out_.insert(out_.end(), table.begin(), table.end());
        }
        out_.insert(out_.end(), work_.stream.begin() + long(image.dataStart), work_.stream.begin() + long(image.end));
        return true;
    }

private:
    void writeControl()
    {
        uint8_t control = uint8_t((frame_.disposal & 7) << 2);
        if (frame_.userInput)
            control |= 0x02;
        if (frame_.transparentIndex != kNoIndex)
            control |= 0x01;
        out_.insert(out_.end(), {kGifExtensionIntroducer, kGifGraphicControlLabel, 0x04, control});
        appendU16(out_, frame_.delay);
        out_.push_back(frame_.transparentIndex != kNoIndex ? uint8_t(frame_.transparentIndex) : 0);
        out_.push_back(0);
    }

    std::vector<uint8_t>& out_;
    const Frame& frame_;
    const GifHeader& work_;
    bool hasGlobalTable_;
};

} // namespace

GifOutput GifOutput::fromSettings(const GifSettings& settings, uint32_t options)
{
    GifOutput output;
    output.screenWidth = settings.screenWidth;
    output.screenHeight = settings.screenHeight;
    output.loopValue = settings.loopValue();
    if (settings.saveComment)
        output.comment = settings.comment;
    output.globalTable = settings.useGlobalColorTable ? &settings.globalColorTable : nullptr;
    output.options = options;
    return output;
}

bool writeFrame(std::vector<uint8_t>& out, const Frame& frame, std::span<const uint8_t> work, bool hasGlobalTable)
{
    GifHeader header;
    if (!readGifHeader(work, header))
        return false;
    const size_t before = out.size();
    ImageCopier copier(out, frame, header, hasGlobalTable);
    const GifWalkEnd end = walkGifBlocks(header.stream, header.firstBlock, copier);
    if (end == GifWalkEnd::trailer || end == GifWalkEnd::endOfData)
        return true;
    out.resize(before);
    return false;
}

bool writeStreamHeader(std::vector<uint8_t>& out, const GifOutput& output)
{
    const char* signature = "GIF89a";
    out.insert(out.end(), signature, signature + 6);
    appendU16(out, output.screenWidth);
    appendU16(out, output.screenHeight);
    if (!output.globalTable) {
        out.insert(out.end(), {0x70, 0, 0});
    } else {
        const ColorTable& table = *output.globalTable;
        const int s = gifTableSizeField(table.count);
        if (s < 0)
            return false;
        out.push_back(uint8_t(0xF0 | s));
        out.push_back(table.backgroundIndex < table.count ? uint8_t(table.backgroundIndex) : 0);
        out.push_back(0);
        out.insert(out.end(), table.entries.begin(), table.entries.begin() + 3 * long(table.count));
    }
    if (output.loopValue != 0) {
        const char* id = "NETSCAPE2.0";
        out.insert(out.end(), {kGifExtensionIntroducer, kGifApplicationLabel, 0x0B});
        out.insert(out.end(), id, id + 11);
        out.insert(out.end(), {0x03, 0x01});
        appendU16(out, output.loopValue <= 0xFFFF ? output.loopValue : 0);
        out.push_back(0);
    }
    if (!output.comment.empty()) {
        out.insert(out.end(), {kGifExtensionIntroducer, kGifCommentLabel});
        for (size_t i = 0; i < output.comment.size(); i += 255) {
            const size_t n = std::min<size_t>(255, output.comment.size() - i);
            out.push_back(uint8_t(n));
            out.insert(out.end(), output.comment.begin() + long(i), output.comment.begin() + long(i + n));
        }
        out.push_back(0);
    }
    return true;
}

namespace {

class TempOutput {
public:
    explicit TempOutput(const std::string& target)
    {
        const int fd = temp_.create(target);
        if (fd < 0)
            return;
        file_ = ::fdopen(fd, "wb");
        if (!file_)
            ::close(fd);
    }
    ~TempOutput()
    {
        if (file_)
            std::fclose(file_);
    }
    bool ok() const { return file_ != nullptr; }
    bool write(std::vector<uint8_t>& bytes)
    {
        const bool done = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
        bytes.clear();
        return done || failed();
    }
    bool commit()
    {
        std::FILE* f = file_;
        file_ = nullptr;
        const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
        const int error = errno;
        const bool closed = std::fclose(f) == 0;
        if (!flushed || !closed) {
            errno = flushed ? errno : error;
            return failed();
        }
        return temp_.commit() || failed();
    }
    // The system's reason for the first failure, before cleaning up can
    // overwrite errno.
    int error() const { return error_; }

private:
    bool failed()
    {
        if (error_ == 0)
            error_ = errno != 0 ? errno : EIO;
        return false;
    }

    TemporaryFile temp_;
    std::FILE* file_ = nullptr;
    int error_ = 0;
};

bool writeGif(const std::string& path, const FrameList& frames, const GifOutput& output, ExportError& why,
              Progress* progress, int& systemError);
template <class Output>
bool encodeGif(Output& file, const FrameList& frames, const GifOutput& output, ExportError& why, Progress* progress,
               int& systemError);

// Appends what the pass made of frame `index`; `dropped` when it is left out.
bool writeOptimizedFrame(OptimizingPass& pass, const Frame& frame, int index, std::vector<uint8_t>& out,
                         bool& dropped, uint16_t& delay)
{
    OptimizedFrame result;
    if (!pass.next(index, result))
        return false;
    const bool hasGlobal = pass.globalTable() != nullptr;
    switch (result.outcome) {
    case OptimizedFrame::Outcome::dropped:
        dropped = true;
        delay = result.delay;
        return true;
    case OptimizedFrame::Outcome::rewritten: {
        // A copy takes the pass's attributes; the frame itself stays as it is.
        Frame scratch = frame;
        result.attributes.applyTo(scratch);
        return writeFrame(out, scratch, result.stream.bytes(), hasGlobal);
    }
    case OptimizedFrame::Outcome::asItIs: break;
    }
    return writeFrame(out, frame, pass.currentWorkFile(), hasGlobal);
}

// Appends each frame to `out`, handing full buffers to `flush`.
bool writeOptimizedFrames(OptimizingPass& pass, const FrameList& frames, bool keepTiming, std::vector<uint8_t>& out,
                          const std::function<bool(std::vector<uint8_t>&)>& flush)
{
    for (int i = 0; i < frames.count(); ++i) {
        const size_t before = out.size();
        bool dropped = false;
        uint16_t delay = 0;
        if (!writeOptimizedFrame(pass, *frames.frameAt(i), i, out, dropped, delay))
            return false;
        if (!keepTiming) {
            if (!flush(out))
                return false;
            continue;
        }
        // The last frame written stays in `out` while a frame left out after
        // it may still add its delay to its graphic control extension.
        if (dropped) {
            if (out.size() >= 6 && out[0] == kGifExtensionIntroducer && out[1] == kGifGraphicControlLabel) {
                out[4] = uint8_t(delay);
                out[5] = uint8_t(delay >> 8);
            }
            continue;
        }
        std::vector<uint8_t> frame(out.begin() + std::ptrdiff_t(before), out.end());
        out.resize(before);
        if (!flush(out))
            return false;
        out.swap(frame);
    }
    return flush(out);
}

} // namespace

bool writeAnimatedGif(const std::string& path, const FrameList& frames, const GifOutput& output, ExportError* error,
                      Progress* progress)
{
    ExportError ignored;
    ExportError& why = error ? *error : ignored;
    why = ExportError::None;
    int systemError = 0;
    const bool ok = writeGif(path, frames, output, why, progress, systemError);
    // Set once the temporary is gone, so that removing it cannot change it.
    if (why == ExportError::CannotCreate || why == ExportError::WriteFailed)
        errno = systemError;
    return ok;
}

bool fitLossyLevel(const FrameList& frames, const GifOutput& output, uint64_t maxBytes, int& level,
                   uint64_t& bytes, ExportError* error, Progress* progress, std::vector<uint8_t>* stream)
{
    StopOnly stopOnly(progress);
    // Every level that fits is lower than the one before it that did.
    std::vector<uint8_t> probe;
    const auto measure = [&](int at, uint64_t& size) {
        GifOutput o = output;
        o.options = (o.options & ~lossyOption(0xFF)) | lossyOption(at);
        if (!stream)
            return measureAnimatedGif(frames, o, size, error, &stopOnly);
        if (!encodeAnimatedGif(frames, o, probe, error, &stopOnly))
            return false;
        size = probe.size();
        if (size <= maxBytes)
            stream->swap(probe);
        return true;
    };
    uint64_t size = 0;
    if (!measure(0, size))
        return false;
    if (size <= maxBytes) {
        level = 0;
        bytes = size;
        return true;
    }
    if (!measure(kMaxLossyLevel, size))
        return false;
    bytes = size;
    if (size > maxBytes)
        return false;
    // Sizes fall with the level nearly always; a level that breaks the
    // order only costs the search a closer fit.
    int low = 0, high = kMaxLossyLevel;
    while (high - low > 1) {
        const int mid = (low + high) / 2;
        if (!measure(mid, size))
            return false;
        if (size <= maxBytes) {
            high = mid;
            bytes = size;
        } else {
            low = mid;
        }
    }
    level = high;
    return true;
}

namespace {

// The export into memory: `sink` takes each piece of the stream as it is made.
template <typename Sink>
bool encodeInto(Sink& sink, const FrameList& frames, const GifOutput& output, ExportError* error, Progress* progress)
{
    ExportError ignored;
    ExportError& why = error ? *error : ignored;
    why = frames.count() == 0 ? ExportError::NoFrames : ExportError::None;
    int systemError = 0;
    return why == ExportError::None && encodeGif(sink, frames, output, why, progress, systemError);
}

} // namespace

bool encodeAnimatedGif(const FrameList& frames, const GifOutput& output, std::vector<uint8_t>& bytes,
                       ExportError* error, Progress* progress)
{
    struct Collector {
        std::vector<uint8_t>& bytes;
        bool write(std::vector<uint8_t>& out)
        {
            bytes.insert(bytes.end(), out.begin(), out.end());
            out.clear();
            return true;
        }
        int error() const { return 0; }
    } collector{bytes};
    bytes.clear();
    return encodeInto(collector, frames, output, error, progress);
}

bool measureAnimatedGif(const FrameList& frames, const GifOutput& output, uint64_t& bytes, ExportError* error,
                        Progress* progress)
{
    struct Counter {
        uint64_t bytes = 0;
        bool write(std::vector<uint8_t>& out)
        {
            bytes += out.size();
            out.clear();
            return true;
        }
        int error() const { return 0; }
    } counter;
    if (!encodeInto(counter, frames, output, error, progress))
        return false;
    bytes = counter.bytes;
    return true;
}

namespace {

// Everything but the trailer and committing, written through `file`.
template <class Output>
bool encodeGif(Output& file, const FrameList& frames, const GifOutput& output, ExportError& why, Progress* progress,
               int& systemError)
{
    const bool optimizing = output.options & kSaveOptimize;
    uint32_t width, height;
    if (optimizing && exceedsPixelLimit(output.screenWidth, output.screenHeight, frames, width, height)) {
        why = ExportError::TooLarge;
        return false;
    }
    std::vector<uint8_t> out;
    OptimizingPass pass(frames, output.globalTable, output.screenWidth, output.screenHeight, output.options);
    GifOutput header = output;
    if (optimizing) {
        if (!pass.prepare()) {
            why = ExportError::OptimizeFailed;
            return false;
        }
        header.globalTable = pass.globalTable();
    }
    if (!writeStreamHeader(out, header)) {
        why = ExportError::BadGlobalTable;
        return false;
    }
    const int total = frames.count();
    if (optimizing) {
        // The optimiser flushes about once per frame (once more when it holds
        // a frame back for its timing), so that is where it stops.
        int written = 0;
        bool stopped = false;
        bool writeFailed = false;
        const bool keepTiming = output.options & kSaveKeepTiming;
        const bool ok = writeOptimizedFrames(pass, frames, keepTiming, out, [&](std::vector<uint8_t>& bytes) {
            if (!file.write(bytes)) {
                writeFailed = true;
                return false;
            }
            written = std::min(written + 1, total);
            reportProgress(progress, written, total);
            stopped = written < total && stopRequested(progress);
            return !stopped;
        });
        if (!ok) {
            why = stopped ? ExportError::Cancelled : writeFailed ? ExportError::WriteFailed : ExportError::OptimizeFailed;
            systemError = file.error();
            return false;
        }
    } else {
        for (int i = 0; i < frames.count(); ++i) {
            if (stopRequested(progress)) {
                why = ExportError::Cancelled;
                return false;
            }
            const Frame& frame = *frames.frameAt(i);
            MappedFile work;
            if (!frame.workFile.read(work) || !writeFrame(out, frame, work.bytes(), output.globalTable != nullptr)) {
                why = ExportError::BadWorkFile;
                return false;
            }
            if (!file.write(out)) {
                why = ExportError::WriteFailed;
                systemError = file.error();
                return false;
            }
            reportProgress(progress, i + 1, total);
        }
    }
    if (stopRequested(progress)) {
        why = ExportError::Cancelled;
        return false;
    }
    out.push_back(kGifTrailer);
    if (!file.write(out)) {
        why = ExportError::WriteFailed;
        systemError = file.error();
        return false;
    }
    return true;
}

bool writeGif(const std::string& path, const FrameList& frames, const GifOutput& output, ExportError& why,
              Progress* progress, int& systemError)
{
    if (path.empty() || frames.count() == 0) {
        why = ExportError::NoFrames;
        return false;
    }
    TempOutput file(path);
    if (!file.ok()) {
        systemError = errno;
        why = ExportError::CannotCreate;
        return false;
    }
    if (!encodeGif(file, frames, output, why, progress, systemError))
        return false;
    if (!file.commit()) {
        why = ExportError::WriteFailed;
        systemError = file.error();
        return false;
    }
    return true;
}

} // namespace

} // namespace zell
