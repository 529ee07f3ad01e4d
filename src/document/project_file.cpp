#include "document/project_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "image/mapped_file.h"
#include "document/temporary_file.h"
#include "image/bytes.h"

namespace zell {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool put(std::FILE* f, const void* bytes, size_t n)
{
    return n == 0 || std::fwrite(bytes, 1, n, f) == n;
}

bool putU16(std::FILE* f, uint32_t v)
{
    uint8_t b[2];
    putU16le(b, uint16_t(v));
    return put(f, b, 2);
}

bool putU32(std::FILE* f, uint32_t v)
{
    uint8_t b[4];
    putU32le(b, v);
    return put(f, b, 4);
}

bool putText(std::FILE* f, const std::string& text)
{
    // The format ends text at the first NUL; keep what a reader will see.
    const size_t n = std::strlen(text.c_str());
    return put(f, text.data(), n) && put(f, "", 1);
}

bool writeBody(std::FILE* f, const Document& document, Progress* progress, bool& stopped)
{
    const GifSettings& s = document.settings;
    const ColorTable& table = s.globalColorTable;
    const uint8_t zeros[24] = {};
    const uint16_t count = std::min<uint16_t>(table.count, 256);
    bool ok = put(f, kProjectMagic, 8) && put(f, zeros, 24) && putU16(f, s.screenWidth) && putU16(f, s.screenHeight)
        && put(f, s.useGlobalColorTable ? "\1" : "\0", 1) && putU16(f, table.backgroundIndex) && putU16(f, count)
        && put(f, table.entries.data(), size_t(3) * count);
    const uint8_t loopFlags = uint8_t((s.loop ? 0x80 : 0) | (s.loopLimited ? 0x40 : 0));
    ok = ok && put(f, &loopFlags, 1) && putU16(f, s.loopCount) && put(f, s.saveComment ? "\1" : "\0", 1)
        && putText(f, s.comment) && putU32(f, uint32_t(document.frames.count()));
    const int total = document.frames.count();
    for (int i = 0; ok && i < total; ++i) {
        if (stopRequested(progress)) {
            stopped = true;
            return false;
        }
        ok = document.frames.frameAt(i)->writeRecord(f);
        reportProgress(progress, i + 1, total);
    }
    return ok;
}

} // namespace

bool saveProject(const Document& document, const std::string& path, Failure* why, Progress* progress)
{
    if (why)
        *why = Failure::cannotWrite;
    if (path.empty())
        return false;
    TemporaryFile temp;
    const int fd = temp.create(path);
    if (fd < 0)
        return false;
    FilePtr file(::fdopen(fd, "wb"));
    if (!file) {
        ::close(fd);
        return false;
    }
    bool stopped = false;
    bool ok = writeBody(file.get(), document, progress, stopped) && std::fflush(file.get()) == 0 && ::fsync(fd) == 0;
    ok = std::fclose(file.release()) == 0 && ok;
    stopped = stopped || (ok && stopRequested(progress));
    if (stopped && why)
        *why = Failure::cancelled;
    ok = ok && !stopped && temp.commit();
    if (ok && why)
        *why = Failure::none;
    return ok;
}

bool openProject(Document& document, const std::string& path, Failure* why, Progress* progress)
{
    MappedFile file;
    Failure reason = Failure::none;
    bool stopped = false;
    WorkDirectory& work = document.workDirectory();
    const uint32_t workFailures = work.failures();
    if (!file.open(path))
        reason = readFailure(file.error());
    else if (!openProjectBytes(document, file.bytes(), progress, &stopped))
        reason = stopped ? Failure::cancelled
            : bytesAreProject(file.bytes()) && (!work.ensure() || work.failures() != workFailures)
            ? Failure::noWorkDirectory
            : bytesAreProject(file.bytes()) ? Failure::damaged : Failure::notSupported;
    if (why)
        *why = reason;
    return reason == Failure::none;
}

bool bytesAreProject(std::span<const uint8_t> bytes)
{
    return bytes.size() >= 8 && std::memcmp(bytes.data(), kProjectMagic, 8) == 0;
}

bool openProjectBytes(Document& document, std::span<const uint8_t> bytes, Progress* progress, bool* stopped)
{
    if (bytes.size() < 41 || std::memcmp(bytes.data(), kProjectMagic, 8) != 0)
        return false;
    GifSettings settings;
    settings.screenWidth = getU16le(bytes.data() + 32);
    settings.screenHeight = getU16le(bytes.data() + 34);
    settings.useGlobalColorTable = bytes[36] != 0;
    size_t pos = 37;
    ColorTable& table = settings.globalColorTable;
    table.backgroundIndex = getU16le(bytes.data() + pos);
    const uint16_t count = getU16le(bytes.data() + pos + 2);
    // An empty table may carry index 0, as a GIF without a global table gives it.
    if (count > 256 || bytes.size() - pos - 4 < size_t(3) * count
        || (table.backgroundIndex != kNoIndex && table.backgroundIndex >= std::max<uint16_t>(count, 1)))
        return false;
    table.count = count;
    std::memcpy(table.entries.data(), bytes.data() + pos + 4, size_t(3) * count);
    pos += 4 + size_t(3) * count;
    if (bytes.size() - pos < 9)
        return false;
    settings.loop = bytes[pos] & 0x80;
    settings.loopLimited = bytes[pos] & 0x40;
    settings.loopCount = getU16le(bytes.data() + pos + 1);
    settings.saveComment = bytes[pos + 3] != 0;
    pos += 4;
    const void* nul = std::memchr(bytes.data() + pos, 0, bytes.size() - pos);
    if (!nul)
        return false;
    const size_t commentLength = size_t(static_cast<const uint8_t*>(nul) - (bytes.data() + pos));
    settings.comment.assign(reinterpret_cast<const char*>(bytes.data() + pos), commentLength);
    pos += commentLength + 1;
    if (bytes.size() - pos < 4)
        return false;
    const uint32_t frameCount = getU32le(bytes.data() + pos);
    pos += 4;

    // Every record is read and checked before any work file is made, so a
    // damaged file costs no disk work. The frames form a list of their own;
    // the document changes only when all of them have their files, and
    // failed frames delete theirs.
    std::vector<std::pair<std::unique_ptr<Frame>, std::span<const uint8_t>>> records;
    if (frameCount > (bytes.size() - pos) / Frame::kMinRecordSize)
        return false;
    records.reserve(frameCount);
    for (uint32_t i = 0; i < frameCount; ++i) {
        auto frame = std::make_unique<Frame>();
        std::span<const uint8_t> picture;
        const int64_t used = frame->parseRecord(bytes.subspan(pos), picture);
        if (used < 0)
            return false;
        records.emplace_back(std::move(frame), picture);
        pos += size_t(used);
    }
    FrameList frames;
    const int64_t total = int64_t(records.size());
    for (auto& [frame, picture] : records) {
        if (stopRequested(progress)) {
            if (stopped)
                *stopped = true;
            return false;
        }
        if (!frame->takePicture(picture, document.workDirectory()) || frames.insert(frames.count(), frame) < 0)
            return false;
        reportProgress(progress, frames.count(), total);
    }
    if (stopRequested(progress)) {
        if (stopped)
            *stopped = true;
        return false;
    }
    commitStep(progress, [&] {
        document.settings = std::move(settings);
        document.frames.swap(frames); // the old frames die with `frames`
        document.currentIndex = document.frames.count() > 0 ? 0 : -1;
        document.changed(kFramesChanged | kSettingsChanged | kGlobalTableChanged | kCurrentChanged);
    });
    return true;
}

} // namespace zell
