#include "document/project_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "document/mapped_file.h"
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

bool writeBody(std::FILE* f, const Document& document)
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
    for (int i = 0; ok && i < document.frames.count(); ++i)
        ok = document.frames.frameAt(i)->writeRecord(f);
    return ok;
}

} // namespace

bool Frame::writeRecord(std::FILE* f) const
{
    const long start = std::ftell(f);
    if (start < 0 || !putU32(f, 0) || !putText(f, name))
        return false;
    const uint32_t fields[7] = {left, top, width, height, delay, colorCount, transparentIndex};
    for (uint32_t v : fields) {
        if (!putU16(f, v))
            return false;
    }
    const uint8_t flags[4] = {disposal, userInput, useLocalColorTable, descriptorFlags};
    MappedFile work;
    if (!put(f, flags, 4) || !work.open(workFilePath))
        return false;
    if (!putU32(f, work.size()) || !put(f, work.data(), work.size()))
        return false;
    const long end = std::ftell(f);
    if (end < 0 || end - start - 4 > long(UINT32_MAX) || std::fseek(f, start, SEEK_SET) != 0
        || !putU32(f, uint32_t(end - start - 4)) || std::fseek(f, end, SEEK_SET) != 0)
        return false;
    return true;
}

int64_t Frame::readRecord(std::span<const uint8_t> bytes, WorkDirectory& workDirectory)
{
    if (bytes.size() < 4)
        return -1;
    const uint8_t* nameStart = bytes.data() + 4;
    const void* nul = std::memchr(nameStart, 0, bytes.size() - 4);
    if (!nul)
        return -1;
    const size_t nameLength = size_t(static_cast<const uint8_t*>(nul) - nameStart);
    const size_t fieldsAt = 4 + nameLength + 1;
    if (bytes.size() - fieldsAt < 22)
        return -1;
    const uint8_t* p = bytes.data() + fieldsAt;
    const uint32_t imageLength = getU32le(p + 18);
    if (bytes.size() - fieldsAt - 22 < imageLength)
        return -1;

    std::string path;
    if (!workDirectory.newWorkFileName("gif", path))
        return -1;
    if (!writeNewFile(path, {p + 22, imageLength}))
        return -1;
    workFilePath = path;

    name.assign(reinterpret_cast<const char*>(nameStart), nameLength);
    left = getU16le(p);
    top = getU16le(p + 2);
    width = getU16le(p + 4);
    height = getU16le(p + 6);
    delay = getU16le(p + 8);
    colorCount = getU16le(p + 10);
    transparentIndex = getU16le(p + 12);
    disposal = p[14];
    userInput = p[15];
    useLocalColorTable = p[16];
    descriptorFlags = p[17];
    return int64_t(fieldsAt + 22 + imageLength);
}

bool saveProject(const Document& document, const std::string& path)
{
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
    bool ok = writeBody(file.get(), document) && std::fflush(file.get()) == 0 && ::fsync(fd) == 0;
    ok = std::fclose(file.release()) == 0 && ok;
    return ok && temp.commit();
}

bool openProject(Document& document, const std::string& path)
{
    MappedFile file;
    if (!file.open(path))
        return false;
    return openProjectBytes(document, file.bytes());
}

bool openProjectBytes(Document& document, std::span<const uint8_t> bytes)
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
    if (count > 256 || bytes.size() - pos - 4 < size_t(3) * count)
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

    // Frames are read into a list of their own; the document changes only
    // when every record was good. Failed frames delete their work files.
    FrameList frames;
    for (uint32_t i = 0; i < frameCount; ++i) {
        auto frame = std::make_unique<Frame>();
        const int64_t used = frame->readRecord(bytes.subspan(pos), document.workDirectory());
        if (used < 0 || frames.insert(frames.count(), frame) < 0)
            return false;
        pos += size_t(used);
    }
    document.settings = std::move(settings);
    document.frames.swap(frames); // the old frames die with `frames`
    document.currentIndex = document.frames.count() > 0 ? 0 : -1;
    return true;
}

} // namespace zell
