#include "document/gif_info.h"

#include <cstring>

#include "image/bytes.h"

namespace zell {

namespace {

class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}

    bool has(size_t n) const { return n <= data_.size() - pos_; }
    size_t pos() const { return pos_; }
    const uint8_t* at() const { return data_.data() + pos_; }
    void skip(size_t n) { pos_ += n; }

    // Reads a run of sub-blocks into `text` (when given) up to the terminator.
    bool subBlocks(std::string* text = nullptr, std::vector<std::vector<uint8_t>>* blocks = nullptr)
    {
        for (;;) {
            if (!has(1))
                return false;
            const size_t length = data_[pos_++];
            if (length == 0)
                return true;
            if (!has(length))
                return false;
            if (text)
                text->append(reinterpret_cast<const char*>(at()), length);
            if (blocks)
                blocks->emplace_back(at(), at() + length);
            pos_ += length;
        }
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

bool readExtension(Reader& r, GifStreamInfo& out, GifImageInfo& pending)
{
    if (!r.has(2))
        return false;
    const uint8_t label = r.at()[1];
    r.skip(2);
    if (label == 0xF9) {
        std::vector<std::vector<uint8_t>> blocks;
        if (!r.subBlocks(nullptr, &blocks))
            return false;
        if (!blocks.empty() && blocks[0].size() >= 4) {
            const auto& b = blocks[0];
            pending.disposal = (b[0] >> 2) & 7;
            pending.userInput = b[0] & 2;
            pending.delay = getU16le(&b[1]);
            pending.transparentIndex.reset();
            if (b[0] & 1)
                pending.transparentIndex = b[3];
        }
        return true;
    }
    if (label == 0xFE) {
        std::string text;
        if (!r.subBlocks(&text))
            return false;
        out.comments.push_back(text);
        return true;
    }
    if (label == 0xFF) {
        std::vector<std::vector<uint8_t>> blocks;
        if (!r.subBlocks(nullptr, &blocks))
            return false;
        if (blocks.size() >= 2 && blocks[0].size() == 11
            && (std::memcmp(blocks[0].data(), "NETSCAPE2.0", 11) == 0
                || std::memcmp(blocks[0].data(), "ANIMEXTS1.0", 11) == 0)
            && blocks[1].size() >= 3 && blocks[1][0] == 1)
            out.loopCount = getU16le(&blocks[1][1]);
        return true;
    }
    return r.subBlocks();
}

bool readImage(Reader& r, GifStreamInfo& out, GifImageInfo& pending)
{
    if (!r.has(10))
        return false;
    const uint8_t* d = r.at();
    GifImageInfo image = pending;
    image.left = getU16le(d + 1);
    image.top = getU16le(d + 3);
    image.width = getU16le(d + 5);
    image.height = getU16le(d + 7);
    image.interlaced = d[9] & 0x40;
    image.localTableSize = (d[9] & 0x80) ? uint16_t(2u << (d[9] & 7)) : 0;
    r.skip(10);
    if (!r.has(size_t(3) * image.localTableSize + 1))
        return false;
    r.skip(size_t(3) * image.localTableSize + 1);
    pending = GifImageInfo{};
    out.images.push_back(image);
    return r.subBlocks();
}

} // namespace

GifInfoError readGifInfo(std::span<const uint8_t> data, GifStreamInfo& out)
{
    out = GifStreamInfo{};
    size_t start = 0;
    while (start + 6 <= data.size() && !(std::memcmp(data.data() + start, "GIF", 3) == 0
               && (std::memcmp(data.data() + start + 3, "87a", 3) == 0 || std::memcmp(data.data() + start + 3, "89a", 3) == 0)))
        ++start;
    if (start + 13 > data.size())
        return GifInfoError::NoSignature;
    Reader r(data.subspan(start));
    const uint8_t* h = r.at();
    out.version.assign(reinterpret_cast<const char*>(h + 3), 3);
    out.screenWidth = getU16le(h + 6);
    out.screenHeight = getU16le(h + 8);
    out.globalTableSize = (h[10] & 0x80) ? uint16_t(2u << (h[10] & 7)) : 0;
    out.backgroundIndex = h[11];
    r.skip(13);
    if (!r.has(size_t(3) * out.globalTableSize))
        return GifInfoError::Truncated;
    r.skip(size_t(3) * out.globalTableSize);

    GifImageInfo pending;
    while (r.has(1)) {
        const uint8_t byte = r.at()[0];
        bool ok = true;
        if (byte == 0x3B) {
            out.hasTrailer = true;
            return GifInfoError::None;
        } else if (byte == 0x21) {
            ok = readExtension(r, out, pending);
        } else if (byte == 0x2C) {
            ok = readImage(r, out, pending);
        } else {
            r.skip(1);
            ok = r.subBlocks();
        }
        if (!ok)
            return GifInfoError::Truncated;
    }
    // Many writers omit the trailer; what was read is still complete.
    return GifInfoError::None;
}

} // namespace zell
