#include "document/frame.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "document/temporary_file.h"
#include "document/work_directory.h"
#include "image/bytes.h"
#include "image/color_table.h"
#include "image/gif_blocks.h"
#include "image/mapped_file.h"

namespace zell {

void Frame::reset()
{
    workFilePath.clear();
    left = top = width = height = 0;
    delay = 0;
    colorCount = 0;
    transparentIndex = 0xFFFF;
    disposal = 0;
    userInput = 0;
    useLocalColorTable = 0;
    descriptorFlags = 0;
}

void Frame::copyFrom(const Frame& other)
{
    if (&other == this)
        return;
    workFilePath = other.workFilePath;
    name = other.name;
    left = other.left;
    top = other.top;
    width = other.width;
    height = other.height;
    delay = other.delay;
    colorCount = other.colorCount;
    transparentIndex = other.transparentIndex;
    disposal = other.disposal;
    userInput = other.userInput;
    useLocalColorTable = other.useLocalColorTable;
    descriptorFlags = other.descriptorFlags;
}

namespace {

constexpr size_t kRecordFieldsSize = 22;

// What a record must agree with: its picture, one image zell can decode.
struct PictureFacts {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t entries = 0; // of the table the image uses
    bool interlaced = false;
};

bool readPictureFacts(std::span<const uint8_t> picture, PictureFacts& facts)
{
    GifHeader header;
    GifImageBlock image;
    if (!readGifHeader(picture, header) || header.stream.size() != picture.size()
        || !findFirstGifImage(header, image) || !gifImageHasPicture(header.stream, image))
        return false;
    facts.width = image.width;
    facts.height = image.height;
    facts.entries = uint32_t((image.localTable.empty() ? header.globalTable.size() : image.localTable.size()) / 3);
    facts.interlaced = (image.packed & kGifInterlaceFlag) != 0;
    return facts.entries > 0;
}

// A colour count needs a table of one size: the picture's.
bool countFitsTable(uint32_t count, uint32_t entries)
{
    return count >= 1 && count <= 256 && (1u << colorTableBits(count)) == entries;
}

bool transparentFitsTable(uint16_t index, uint32_t entries)
{
    return index == kNoIndex || index < entries;
}

// Everything of a record that is written into an exported GIF must be what
// its picture is, and what the format can hold: an interlace flag on rows
// that are not interlaced scrambles them in every viewer, a position beyond
// 65535 is out of range. Disposal values 4-7 are kept from GIF files as
// they stand; larger ones would change when written.
bool recordAgrees(const Frame& frame, const PictureFacts& picture)
{
    return frame.width == picture.width && frame.height == picture.height
        && ((frame.descriptorFlags & kGifInterlaceFlag) != 0) == picture.interlaced
        && countFitsTable(frame.colorCount, picture.entries)
        && transparentFitsTable(frame.transparentIndex, picture.entries) && frame.disposal <= 7
        && uint32_t(frame.left) + frame.width <= 0xFFFF && uint32_t(frame.top) + frame.height <= 0xFFFF;
}

} // namespace

bool Frame::writeRecord(std::FILE* f) const
{
    MappedFile work;
    if (!work.open(workFilePath))
        return false;
    // The format ends text at the first NUL; keep what a reader will see.
    const size_t nameLength = std::strlen(name.c_str());
    const uint64_t length = nameLength + 1 + kRecordFieldsSize + work.size();
    if (length > UINT32_MAX)
        return false;
    std::vector<uint8_t> head(4 + nameLength + 1 + kRecordFieldsSize);
    putU32le(head.data(), uint32_t(length));
    std::memcpy(head.data() + 4, name.data(), nameLength);
    uint8_t* p = head.data() + 4 + nameLength + 1;
    // What the picture says wins over what the record holds: an index beyond
    // the table marks no pixel (no transparent colour), and the picture's
    // own rows and table are what an export writes.
    uint16_t count = colorCount, transparent = transparentIndex;
    uint8_t flags = descriptorFlags;
    if (PictureFacts facts; readPictureFacts(work.bytes(), facts)) {
        if (!countFitsTable(count, facts.entries))
            count = uint16_t(facts.entries);
        if (!transparentFitsTable(transparent, facts.entries))
            transparent = kNoIndex;
        flags = uint8_t((flags & ~kGifInterlaceFlag) | (facts.interlaced ? kGifInterlaceFlag : 0));
    }
    const uint16_t fields[7] = {left, top, width, height, delay, count, transparent};
    for (int i = 0; i < 7; ++i)
        putU16le(p + 2 * i, fields[i]);
    p[14] = disposal;
    p[15] = userInput;
    p[16] = useLocalColorTable;
    p[17] = flags;
    putU32le(p + 18, work.size());
    return std::fwrite(head.data(), 1, head.size(), f) == head.size()
        && std::fwrite(work.data(), 1, work.size(), f) == work.size();
}

int64_t Frame::parseRecord(std::span<const uint8_t> bytes, std::span<const uint8_t>& picture)
{
    if (bytes.size() < 4)
        return -1;
    const uint8_t* nameStart = bytes.data() + 4;
    const void* nul = std::memchr(nameStart, 0, bytes.size() - 4);
    if (!nul)
        return -1;
    const size_t nameLength = size_t(static_cast<const uint8_t*>(nul) - nameStart);
    const size_t fieldsAt = 4 + nameLength + 1;
    if (bytes.size() - fieldsAt < kRecordFieldsSize)
        return -1;
    const uint8_t* p = bytes.data() + fieldsAt;
    const uint32_t imageLength = getU32le(p + 18);
    if (bytes.size() - fieldsAt - kRecordFieldsSize < imageLength)
        return -1;
    Frame parsed;
    parsed.name.assign(reinterpret_cast<const char*>(nameStart), nameLength);
    parsed.left = getU16le(p);
    parsed.top = getU16le(p + 2);
    parsed.width = getU16le(p + 4);
    parsed.height = getU16le(p + 6);
    parsed.delay = getU16le(p + 8);
    parsed.colorCount = getU16le(p + 10);
    parsed.transparentIndex = getU16le(p + 12);
    parsed.disposal = p[14];
    parsed.userInput = p[15];
    parsed.useLocalColorTable = p[16];
    parsed.descriptorFlags = p[17];
    const std::span<const uint8_t> embedded{p + kRecordFieldsSize, imageLength};
    PictureFacts facts;
    if (!readPictureFacts(embedded, facts) || !recordAgrees(parsed, facts))
        return -1;
    deleteWorkFile();
    copyFrom(parsed);
    parsed.reset();
    picture = embedded;
    return int64_t(fieldsAt + kRecordFieldsSize + imageLength);
}

bool Frame::takePicture(std::span<const uint8_t> picture, WorkDirectory& workDirectory)
{
    std::string path;
    if (!workDirectory.writeNewWorkFile("gif", picture, path))
        return false;
    deleteWorkFile();
    workFilePath = path;
    return true;
}

} // namespace zell
