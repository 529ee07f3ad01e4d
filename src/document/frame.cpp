#include "document/frame.h"

#include <cstdio>
#include <cstring>
#include <tuple>
#include <utility>
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
    Frame fresh;
    fresh.name = std::move(name);
    *this = std::move(fresh);
}

namespace {

// The fields of a project record after the name, in the record's order,
// each in its own width: seven of 16 bits, four of 8.
template <class F>
auto recordFields(F& f)
{
    return std::tie(f.left, f.top, f.width, f.height, f.delay, f.colorCount, f.transparentIndex, f.disposal,
                    f.userInput, f.useLocalColorTable, f.descriptorFlags);
}

uint8_t* putField(uint8_t* p, uint16_t v)
{
    putU16le(p, v);
    return p + 2;
}

uint8_t* putField(uint8_t* p, uint8_t v)
{
    *p = v;
    return p + 1;
}

const uint8_t* getField(const uint8_t* p, uint16_t& v)
{
    v = getU16le(p);
    return p + 2;
}

const uint8_t* getField(const uint8_t* p, uint8_t& v)
{
    v = *p;
    return p + 1;
}

template <class Fields>
constexpr size_t kBytesOf = 0;
template <class... T>
constexpr size_t kBytesOf<std::tuple<T&...>> = (sizeof(T) + ...);

// The fields and the image length.
constexpr size_t kRecordFieldsSize = kBytesOf<decltype(recordFields(std::declval<Frame&>()))> + 4;
static_assert(Frame::kMinRecordSize == 4 + 1 + kRecordFieldsSize + 32);

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
    if (!workFile.read(work))
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
    Frame saved = *this;
    if (PictureFacts facts; readPictureFacts(work.bytes(), facts)) {
        if (!countFitsTable(saved.colorCount, facts.entries))
            saved.colorCount = uint16_t(facts.entries);
        if (!transparentFitsTable(saved.transparentIndex, facts.entries))
            saved.transparentIndex = kNoIndex;
        saved.descriptorFlags =
            uint8_t((saved.descriptorFlags & ~kGifInterlaceFlag) | (facts.interlaced ? kGifInterlaceFlag : 0));
    }
    std::apply([&p](const auto&... field) { ((p = putField(p, field)), ...); }, recordFields(saved));
    putU32le(p, work.size());
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
    const uint32_t imageLength = getU32le(p + kRecordFieldsSize - 4);
    if (bytes.size() - fieldsAt - kRecordFieldsSize < imageLength)
        return -1;
    Frame parsed;
    parsed.name.assign(reinterpret_cast<const char*>(nameStart), nameLength);
    std::apply([p](auto&... field) mutable { ((p = getField(p, field)), ...); }, recordFields(parsed));
    const std::span<const uint8_t> embedded{bytes.data() + fieldsAt + kRecordFieldsSize, imageLength};
    PictureFacts facts;
    if (!readPictureFacts(embedded, facts) || !recordAgrees(parsed, facts))
        return -1;
    *this = std::move(parsed);
    picture = embedded;
    return int64_t(fieldsAt + kRecordFieldsSize + imageLength);
}

bool Frame::takePicture(std::span<const uint8_t> picture, WorkDirectory& workDirectory)
{
    return workDirectory.writeNewWorkFile("gif", picture, workFile);
}

} // namespace zell
