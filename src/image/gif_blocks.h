// The block structure of a GIF stream: the signature, the screen descriptor
// and one walker over extensions, images and the trailer that every reader of
// GIF streams shares, so that they all agree on where a stream is broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zell {

inline constexpr uint8_t kGifExtensionIntroducer = 0x21;
inline constexpr uint8_t kGifImageSeparator = 0x2C;
inline constexpr uint8_t kGifTrailer = 0x3B;
inline constexpr uint8_t kGifGraphicControlLabel = 0xF9;
inline constexpr uint8_t kGifCommentLabel = 0xFE;
inline constexpr uint8_t kGifApplicationLabel = 0xFF;

inline constexpr size_t kGifScreenDescriptorSize = 13;
inline constexpr size_t kGifImageDescriptorSize = 10;
inline constexpr uint8_t kGifTableFlag = 0x80;
inline constexpr uint8_t kGifInterlaceFlag = 0x40;

// Calls visit(bytes) for each sub-block of the run at `pos` and moves past its
// zero terminator; false when the run leaves the data.
template <typename Visit>
bool forEachGifSubBlock(std::span<const uint8_t> data, size_t& pos, Visit&& visit)
{
    for (;;) {
        if (pos >= data.size())
            return false;
        const size_t length = data[pos++];
        if (length == 0)
            return true;
        if (length > data.size() - pos)
            return false;
        visit(data.subspan(pos, length));
        pos += length;
    }
}

inline bool skipGifSubBlocks(std::span<const uint8_t> data, size_t& pos)
{
    return forEachGifSubBlock(data, pos, [](std::span<const uint8_t>) {});
}

// The size field of a colour table of `count` entries, found by halving
// (256 gives 7, 2 gives 0); -1 below 2 entries.
inline int gifTableSizeField(uint32_t count)
{
    int k = 0;
    uint32_t n = count;
    while ((n = (n >> 1) & 0xFF) != 0)
        ++k;
    return k >= 1 && k <= 8 ? k - 1 : -1;
}

// Bytes of the colour table announced by a packed byte's size field.
inline size_t gifTableBytes(uint8_t packed)
{
    return 3 * (size_t(2) << (packed & 7));
}

// Moves the span's start to the first "GIF87a"/"GIF89a" with at least six
// bytes to the end; the search stops at the first zero byte.
bool findGifSignature(std::span<const uint8_t>& data);

// The header of a stream: signature, logical screen and global table.
struct GifHeader {
    std::span<const uint8_t> stream; // from the signature to the end of the data
    char version[4] = {};            // "87a" or "89a"
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint8_t packed = 0;
    uint8_t backgroundIndex = 0;
    std::span<const uint8_t> globalTable; // red, green, blue; empty without one
    size_t firstBlock = 0;                // offset in `stream` after the table
};

// Finds the signature and reads the screen descriptor; the global table must
// end before the end of the data.
bool readGifHeader(std::span<const uint8_t> data, GifHeader& out);

// The graphic control extension's fields, read from its first sub-block when
// that holds at least four bytes.
struct GifGraphicControl {
    uint8_t packed = 0;
    uint16_t delay = 0;
    uint8_t transparentIndex = 0;

    int disposal() const { return (packed >> 2) & 7; }
    bool userInput() const { return packed & 0x02; }
    bool hasTransparency() const { return packed & 0x01; }
};

// One image as it lies in the stream; offsets are into the walked stream.
struct GifImageBlock {
    size_t start = 0; // the 0x2C
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t packed = 0;
    std::span<const uint8_t> localTable; // empty without one
    size_t dataStart = 0;                // the LZW minimum code size byte
    size_t end = 0;                      // past the data terminator; 0 while incomplete
};

// Receives the blocks of a stream in order. Returning false stops the walk.
class GifBlockHandler {
public:
    virtual ~GifBlockHandler() = default;
    virtual bool graphicControl(const GifGraphicControl&) { return true; }
    // Each sub-block of a comment extension; `first` starts a new comment.
    virtual bool comment(std::span<const uint8_t> /*subBlock*/, bool /*first*/) { return true; }
    // Application extensions: with the identifier block, each data sub-block.
    virtual bool application(std::span<const uint8_t> /*identifier*/, std::span<const uint8_t> /*subBlock*/)
    {
        return true;
    }
    // Also called for an image whose data leave the stream (`end` is 0); the
    // walk then ends as broken whatever the handler returns.
    virtual bool image(const GifImageBlock&) { return true; }
};

enum class GifWalkEnd {
    trailer,   // the 0x3B
    endOfData, // the data ended between two blocks, without a trailer, or
               // inside an application extension
    broken,    // a block runs past the end of the data
    stopped,   // the handler asked to stop
};

// Walks the blocks of `stream` from `pos`. A byte that starts no known block
// is skipped with the sub-blocks that follow it.
GifWalkEnd walkGifBlocks(std::span<const uint8_t> stream, size_t pos, GifBlockHandler& handler);

// The first complete image after the header; false when there is none.
bool findFirstGifImage(const GifHeader& header, GifImageBlock& out);

// Whether an image can be decoded without damage: a size, an LZW minimum
// code size of 1 to 8, data sub-blocks, and codes that lzwDataDecodes
// accepts. Copying one that cannot would only make a frame that nothing
// can show, or that readers refuse.
bool gifImageHasPicture(std::span<const uint8_t> stream, const GifImageBlock& image);

} // namespace zell
