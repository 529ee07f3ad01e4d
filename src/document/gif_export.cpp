#include "document/gif_export.h"

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "document/gif_export_optimizer.h"
#include "document/mapped_file.h"
#include "document/temporary_file.h"
#include "image/bytes.h"
#include "image/gif_blocks.h"

namespace zell {

namespace {

void appendU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Appends the image of a work file whose descriptor is at `pos`.
bool copyImage(std::vector<uint8_t>& out, const Frame& frame, std::span<const uint8_t> work, size_t& pos,
               bool hasGlobalTable, const uint8_t*& table, int& sizeField)
{
    if (work.size() - pos < 10)
        return false;
    const uint8_t packed = work[pos + 9];
    pos += 10;
    if (packed & 0x80) {
        sizeField = packed & 7;
        const size_t bytes = 3 * (size_t(2) << sizeField);
        if (work.size() - pos < bytes)
            return false;
        table = work.data() + pos;
        pos += bytes;
    }
    if (!table)
        return false;
    const size_t dataStart = pos;
    if (pos >= work.size())
        return false;
    ++pos; // LZW minimum code size
    if (!skipGifSubBlocks(work, pos))
        return false;

    uint8_t control = uint8_t((frame.disposal & 7) << 2);
    if (frame.userInput)
        control |= 0x02;
    if (frame.transparentIndex != 0xFFFF)
        control |= 0x01;
    out.insert(out.end(), {0x21, 0xF9, 0x04, control});
    appendU16(out, frame.delay);
    out.push_back(frame.transparentIndex != 0xFFFF ? uint8_t(frame.transparentIndex) : 0);
    out.push_back(0);
    out.push_back(0x2C);
    appendU16(out, frame.left);
    appendU16(out, frame.top);
    appendU16(out, frame.width);
    appendU16(out, frame.height);
    if (!frame.useLocalColorTable && hasGlobalTable) {
        out.push_back(frame.descriptorFlags & 0x78);
    } else {
        out.push_back(uint8_t((frame.descriptorFlags & 0xF8) | 0x80 | sizeField));
        out.insert(out.end(), table, table + 3 * (size_t(2) << sizeField));
    }
    out.insert(out.end(), work.data() + dataStart, work.data() + pos);
    return true;
}

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
    size_t pos = 0;
    while (work.size() - pos >= 6 && !(std::memcmp(work.data() + pos, "GIF", 3) == 0
               && (std::memcmp(work.data() + pos + 3, "87a", 3) == 0 || std::memcmp(work.data() + pos + 3, "89a", 3) == 0)))
        ++pos;
    if (work.size() - pos < 13 || work.size() < 6)
        return false;
    const uint8_t screenPacked = work[pos + 10];
    pos += 13;
    const uint8_t* table = nullptr;
    int sizeField = 0;
    if (screenPacked & 0x80) {
        sizeField = screenPacked & 7;
        const size_t bytes = 3 * (size_t(2) << sizeField);
        if (work.size() - pos < bytes)
            return false;
        table = work.data() + pos;
        pos += bytes;
    }
    const size_t before = out.size();
    while (pos < work.size()) {
        const uint8_t byte = work[pos];
        bool ok = true;
        if (byte == 0x3B)
            return true;
        if (byte == 0x21) {
            pos += 2;
            ok = pos <= work.size() && skipGifSubBlocks(work, pos);
        } else if (byte == 0x2C) {
            ok = copyImage(out, frame, work, pos, hasGlobalTable, table, sizeField);
        } else {
            ++pos;
            ok = skipGifSubBlocks(work, pos);
        }
        if (!ok) {
            out.resize(before);
            return false;
        }
    }
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
        out.insert(out.end(), {0x21, 0xFF, 0x0B});
        out.insert(out.end(), id, id + 11);
        out.insert(out.end(), {0x03, 0x01});
        appendU16(out, output.loopValue <= 0xFFFF ? output.loopValue : 0);
        out.push_back(0);
    }
    if (!output.comment.empty()) {
        out.insert(out.end(), {0x21, 0xFE});
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
        return done;
    }
    bool commit()
    {
        std::FILE* f = file_;
        file_ = nullptr;
        const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
        return std::fclose(f) == 0 && flushed && temp_.commit();
    }

private:
    TemporaryFile temp_;
    std::FILE* file_ = nullptr;
};

} // namespace

bool writeAnimatedGif(const std::string& path, const FrameList& frames, const GifOutput& output, ExportError* error)
{
    ExportError ignored;
    ExportError& why = error ? *error : ignored;
    why = ExportError::None;
    if (path.empty() || frames.count() == 0) {
        why = ExportError::NoFrames;
        return false;
    }
    TempOutput file(path);
    if (!file.ok()) {
        why = ExportError::CannotCreate;
        return false;
    }
    std::vector<uint8_t> out;
    const bool optimizing = output.options & kSaveOptimize;
    GifExportOptimizer optimizer(frames, output);
    GifOutput header = output;
    if (optimizing) {
        if (!optimizer.prepare()) {
            why = ExportError::OptimizeFailed;
            return false;
        }
        header.globalTable = optimizer.globalTable();
    }
    if (!writeStreamHeader(out, header)) {
        why = ExportError::BadGlobalTable;
        return false;
    }
    if (optimizing) {
        if (!optimizer.writeFrames(out, [&](std::vector<uint8_t>& bytes) { return file.write(bytes); })) {
            why = ExportError::OptimizeFailed;
            return false;
        }
    } else {
        for (int i = 0; i < frames.count(); ++i) {
            const Frame& frame = *frames.frameAt(i);
            MappedFile work;
            if (!work.open(frame.workFilePath) || !writeFrame(out, frame, work.bytes(), output.globalTable != nullptr)) {
                why = ExportError::BadWorkFile;
                return false;
            }
            if (!file.write(out)) {
                why = ExportError::WriteFailed;
                return false;
            }
        }
    }
    out.push_back(0x3B);
    if (!file.write(out) || !file.commit()) {
        why = ExportError::WriteFailed;
        return false;
    }
    return true;
}

} // namespace zell
