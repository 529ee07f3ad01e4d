#include "image/gif_blocks.h"

#include <cstring>
#include <vector>

#include "image/bytes.h"
#include "image/lzw_codec.h"

namespace zell {

namespace {

enum class Step { next, broken, stopped, endOfData };

Step carryOn(bool go)
{
    return go ? Step::next : Step::stopped;
}

// An extension at `pos` (0x21, label): its sub-blocks go to the handler.
Step walkExtension(std::span<const uint8_t> d, size_t& pos, GifBlockHandler& handler)
{
    if (d.size() - pos < 2)
        return Step::broken;
    const uint8_t label = d[pos + 1];
    pos += 2;
    bool go = true;
    bool ok;
    if (label == kGifGraphicControlLabel) {
        // Only the first sub-block holds the fields; more are tolerated, as
        // other readers do.
        int seen = 0;
        ok = forEachGifSubBlock(d, pos, [&](std::span<const uint8_t> b) {
            if (seen++ == 0 && b.size() >= 4)
                go = handler.graphicControl({b[0], getU16le(&b[1]), b[3]});
        });
    } else if (label == kGifCommentLabel) {
        bool first = true;
        ok = forEachGifSubBlock(d, pos, [&](std::span<const uint8_t> b) {
            go = go && handler.comment(b, first);
            first = false;
        });
    } else if (label == kGifApplicationLabel) {
        std::span<const uint8_t> identifier;
        int seen = 0;
        ok = forEachGifSubBlock(d, pos, [&](std::span<const uint8_t> b) {
            if (seen++ == 0)
                identifier = b;
            else
                go = go && handler.application(identifier, b);
        });
        // Looping and other application data are no part of any picture:
        // a block the data end inside of ends the stream, it does not break it.
        if (!ok)
            return go ? Step::endOfData : Step::stopped;
    } else {
        ok = skipGifSubBlocks(d, pos);
    }
    return ok ? carryOn(go) : Step::broken;
}

Step walkImage(std::span<const uint8_t> d, size_t& pos, GifBlockHandler& handler)
{
    if (d.size() - pos < kGifImageDescriptorSize)
        return Step::broken;
    GifImageBlock image;
    const uint8_t* p = d.data() + pos;
    image.start = pos;
    image.left = getU16le(p + 1);
    image.top = getU16le(p + 3);
    image.width = getU16le(p + 5);
    image.height = getU16le(p + 7);
    image.packed = p[9];
    pos += kGifImageDescriptorSize;
    if (image.packed & kGifTableFlag) {
        const size_t bytes = gifTableBytes(image.packed);
        if (d.size() - pos < bytes)
            return Step::broken;
        image.localTable = d.subspan(pos, bytes);
        pos += bytes;
    }
    if (pos >= d.size())
        return Step::broken;
    image.dataStart = pos;
    ++pos; // LZW minimum code size
    if (!skipGifSubBlocks(d, pos)) {
        handler.image(image);
        return Step::broken;
    }
    image.end = pos;
    return carryOn(handler.image(image));
}

} // namespace

bool findGifSignature(std::span<const uint8_t>& data)
{
    if (!data.data())
        return false;
    const uint8_t* d = data.data();
    for (size_t i = 0; i < data.size() && d[i] != 0; ++i) {
        if (data.size() - i < 6 || d[i] != 'G' || d[i + 1] != 'I' || d[i + 2] != 'F')
            continue;
        if (d[i + 3] == '8' && (d[i + 4] == '9' || d[i + 4] == '7') && d[i + 5] == 'a') {
            data = data.subspan(i);
            return true;
        }
    }
    return false;
}

bool readGifHeader(std::span<const uint8_t> data, GifHeader& out)
{
    if (!findGifSignature(data) || data.size() <= kGifScreenDescriptorSize)
        return false;
    GifHeader h;
    h.stream = data;
    std::memcpy(h.version, data.data() + 3, 3);
    h.screenWidth = getU16le(&data[6]);
    h.screenHeight = getU16le(&data[8]);
    h.packed = data[10];
    h.backgroundIndex = data[11];
    h.firstBlock = kGifScreenDescriptorSize;
    if (h.packed & kGifTableFlag) {
        const size_t bytes = gifTableBytes(h.packed);
        if (bytes >= data.size() - h.firstBlock)
            return false;
        h.globalTable = data.subspan(h.firstBlock, bytes);
        h.firstBlock += bytes;
    }
    out = h;
    return true;
}

GifWalkEnd walkGifBlocks(std::span<const uint8_t> d, size_t pos, GifBlockHandler& handler)
{
    while (pos < d.size()) {
        const uint8_t tag = d[pos];
        if (tag == kGifTrailer)
            return GifWalkEnd::trailer;
        Step step;
        if (tag == kGifExtensionIntroducer) {
            step = walkExtension(d, pos, handler);
        } else if (tag == kGifImageSeparator) {
            step = walkImage(d, pos, handler);
        } else {
            ++pos;
            step = skipGifSubBlocks(d, pos) ? Step::next : Step::broken;
        }
        if (step == Step::broken)
            return GifWalkEnd::broken;
        if (step == Step::stopped)
            return GifWalkEnd::stopped;
        if (step == Step::endOfData)
            return GifWalkEnd::endOfData;
    }
    return GifWalkEnd::endOfData;
}

namespace {

class FirstImage : public GifBlockHandler {
public:
    explicit FirstImage(GifImageBlock& out) : out_(out) {}
    bool image(const GifImageBlock& block) override
    {
        out_ = block;
        return false;
    }

private:
    GifImageBlock& out_;
};

} // namespace

bool findFirstGifImage(const GifHeader& header, GifImageBlock& out)
{
    GifImageBlock found;
    FirstImage first(found);
    if (walkGifBlocks(header.stream, header.firstBlock, first) != GifWalkEnd::stopped)
        return false;
    out = found;
    return true;
}

bool gifImageHasPicture(std::span<const uint8_t> stream, const GifImageBlock& image)
{
    if (image.width == 0 || image.height == 0 || image.end == 0 || image.end - image.dataStart < 3)
        return false;
    const uint8_t codeSize = stream[image.dataStart];
    if (codeSize < 1 || codeSize > 8 || stream[image.dataStart + 1] == 0)
        return false;
    std::vector<uint8_t> codes;
    codes.reserve(image.end - image.dataStart);
    size_t pos = image.dataStart + 1;
    forEachGifSubBlock(stream.first(image.end), pos,
                       [&](std::span<const uint8_t> block) { codes.insert(codes.end(), block.begin(), block.end()); });
    return lzwDataDecodes(codes, codeSize, uint64_t(image.width) * image.height);
}

} // namespace zell
