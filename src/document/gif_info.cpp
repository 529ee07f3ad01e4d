#include "document/gif_info.h"

#include <cstring>

#include "image/bytes.h"
#include "image/gif_blocks.h"

namespace zell {

namespace {

class InfoReader : public GifBlockHandler {
public:
    explicit InfoReader(GifStreamInfo& out) : out_(out) {}

    bool graphicControl(const GifGraphicControl& control) override
    {
        pending_.disposal = uint8_t(control.disposal());
        pending_.userInput = control.userInput();
        pending_.delay = control.delay;
        pending_.transparentIndex.reset();
        if (control.hasTransparency())
            pending_.transparentIndex = control.transparentIndex;
        return true;
    }
    bool comment(std::span<const uint8_t> block, bool first) override
    {
        if (first)
            out_.comments.emplace_back();
        out_.comments.back().append(reinterpret_cast<const char*>(block.data()), block.size());
        return true;
    }
    // The loop count is the sub-block of exactly three bytes that starts
    // with 1; other sub-blocks of the extension are passed over.
    bool application(std::span<const uint8_t> identifier, std::span<const uint8_t> block) override
    {
        if (identifier.size() == 11
            && (std::memcmp(identifier.data(), "NETSCAPE2.0", 11) == 0
                || std::memcmp(identifier.data(), "ANIMEXTS1.0", 11) == 0)
            && block.size() == 3 && block[0] == 1)
            out_.loopCount = getU16le(&block[1]);
        return true;
    }
    bool image(const GifImageBlock& block) override
    {
        if (block.end == 0)
            return false;
        GifImageInfo image = pending_;
        image.left = block.left;
        image.top = block.top;
        image.width = block.width;
        image.height = block.height;
        image.interlaced = block.packed & kGifInterlaceFlag;
        image.localTableSize = uint16_t(block.localTable.size() / 3);
        out_.images.push_back(image);
        pending_ = GifImageInfo{};
        return true;
    }

private:
    GifStreamInfo& out_;
    GifImageInfo pending_;
};

} // namespace

GifInfoError readGifInfo(std::span<const uint8_t> data, GifStreamInfo& out)
{
    out = GifStreamInfo{};
    GifHeader header;
    std::span<const uint8_t> probe = data;
    if (!findGifSignature(probe) || probe.size() < kGifScreenDescriptorSize)
        return GifInfoError::NoSignature;
    if (!readGifHeader(probe, header))
        return GifInfoError::Truncated;
    out.version.assign(header.version, 3);
    out.screenWidth = header.screenWidth;
    out.screenHeight = header.screenHeight;
    out.globalTableSize = uint16_t(header.globalTable.size() / 3);
    out.backgroundIndex = header.backgroundIndex;
    InfoReader reader(out);
    switch (walkGifBlocks(header.stream, header.firstBlock, reader)) {
    case GifWalkEnd::trailer:
        out.hasTrailer = true;
        return GifInfoError::None;
    case GifWalkEnd::endOfData:
        // Many writers omit the trailer; what was read is still complete.
        return GifInfoError::None;
    default:
        return GifInfoError::Truncated;
    }
}

} // namespace zell
