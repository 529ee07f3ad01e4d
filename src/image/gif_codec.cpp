#include "image/gif_codec.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "image/bytes.h"
#include "image/code_hash_map.h"
#include "image/color_quantizer.h"
#include "image/gif_blocks.h"
#include "image/lzw_codec.h"
#include "image/pixel_limit.h"

namespace zell {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// Rows of an interlaced image in the order the stream holds them.
template <typename Visit>
void forEachInterlacedRow(uint32_t height, Visit&& visit)
{
    static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
    static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (uint32_t y = kStart[pass]; y < height; y += kStep[pass])
            visit(y);
    }
}

template <typename Visit>
void forEachStreamRow(uint32_t height, bool interlaced, Visit&& visit)
{
    if (interlaced) {
        forEachInterlacedRow(height, visit);
        return;
    }
    for (uint32_t y = 0; y < height; ++y)
        visit(y);
}

// Working blocks kept per thread: fresh multi-megabyte blocks cost more in
// page faults than coding the picture does. Very large ones are given back.
class Scratch {
public:
    explicit Scratch(std::vector<uint8_t>& block) : block_(block) { block_.clear(); }
    ~Scratch()
    {
        if (block_.capacity() > kKeep)
            std::vector<uint8_t>().swap(block_);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::vector<uint8_t>& operator*() { return block_; }

private:
    static constexpr size_t kKeep = size_t(16) << 20;
    std::vector<uint8_t>& block_;
};

std::vector<uint8_t>& codeScratch()
{
    thread_local std::vector<uint8_t> block;
    return block;
}

std::vector<uint8_t>& pixelScratch()
{
    thread_local std::vector<uint8_t> block;
    return block;
}

// ---------------------------------------------------------------- reading

// Finds image `wanted` and the transparent index of the graphic control
// extensions between the image before it and itself.
class ImageFinder : public GifBlockHandler {
public:
    explicit ImageFinder(int wanted) : wanted_(wanted) {}

    bool graphicControl(const GifGraphicControl& control) override
    {
        if (passed_ == wanted_ && control.hasTransparency())
            transparentIndex = control.transparentIndex;
        return true;
    }
    bool image(const GifImageBlock& block) override
    {
        if (passed_++ != wanted_)
            return true;
        found = block;
        return false;
    }

    std::optional<GifImageBlock> found;
    int transparentIndex = -1;

private:
    int wanted_;
    int passed_ = 0;
};

struct ImageInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t keptWidth = 0; // the part of the picture that is built
    uint32_t keptHeight = 0;
    bool interlaced = false;
    const uint8_t* table = nullptr; // red, green, blue
    uint32_t tableEntries = 0;
    int minCodeSize = 0;
};

// The image's table and its data sub-blocks joined. Data cut short are
// taken as far as they go; the decoder fills the rest.
bool readImage(std::span<const uint8_t> d, const GifImageBlock& block, std::span<const uint8_t> globalTable,
               ImageInfo& info, std::vector<uint8_t>& codes)
{
    info.width = block.width;
    info.height = block.height;
    info.interlaced = (block.packed & kGifInterlaceFlag) != 0;
    const std::span<const uint8_t> table = !block.localTable.empty() ? block.localTable : globalTable;
    if (table.empty())
        return false;
    info.table = table.data();
    info.tableEntries = uint32_t(table.size() / 3);
    size_t pos = block.dataStart;
    info.minCodeSize = d[pos++];
    // Measure first, so that the joined block is made in one piece.
    size_t total = 0;
    for (size_t p = pos; p < d.size() && d[p] != 0; p += 1 + d[p])
        total += std::min<size_t>(d[p], d.size() - p - 1);
    codes.resize(total);
    uint8_t* dst = codes.data();
    while (pos < d.size()) {
        const size_t length = d[pos++];
        if (length == 0)
            break;
        const size_t take = std::min(length, d.size() - pos);
        std::memcpy(dst, &d[pos], take);
        dst += take;
        pos += take;
    }
    return true;
}

// A picture the data cannot fill is damaged; below a megapixel it still
// decodes as far as its data go, which costs little, but a few bytes must
// not make zell allocate and compose hundreds of megabytes.
constexpr uint64_t kAlwaysDecodedPixels = uint64_t(1) << 20;

bool dataCanHold(uint64_t codeBytes, uint64_t pixels)
{
    return pixels <= std::max(kAlwaysDecodedPixels, maxLzwPixels(codeBytes));
}

// Stream rows up to the last one that is kept: all of them for an
// interlaced picture whose kept part reaches its last pass.
uint64_t rowsNeeded(const ImageInfo& info)
{
    if (!info.interlaced)
        return info.keptHeight;
    uint64_t streamRow = 0, needed = 0;
    forEachInterlacedRow(info.height, [&](uint32_t y) {
        ++streamRow;
        if (y < info.keptHeight)
            needed = streamRow;
    });
    return needed;
}

bool buildIndexedDib(const ImageInfo& info, const std::vector<uint8_t>& pixels, int transparentIndex,
                     uint32_t replacement, ByteBuffer& out)
{
    const DibHeader h = makeDibHeader(int32_t(info.keptWidth), int32_t(info.keptHeight), 8, info.tableEntries);
    const uint64_t bitsOffset = dibBitsOffset(h);
    const uint64_t total = dibPackedSize(h);
    if (total > UINT32_MAX || !out.allocate(uint32_t(total)))
        return false;
    uint8_t* p = out.data();
    writeDibHeader(p, h);
    for (uint32_t i = 0; i < info.tableEntries; ++i) {
        const uint8_t* rgb = info.table + 3 * i;
        uint8_t* quad = p + kDibHeaderSize + 4 * i;
        quad[0] = rgb[2];
        quad[1] = rgb[1];
        quad[2] = rgb[0];
        quad[3] = 0;
    }
    if (transparentIndex >= 0 && uint32_t(transparentIndex) < info.tableEntries) {
        uint8_t* quad = p + kDibHeaderSize + 4 * uint32_t(transparentIndex);
        quad[0] = colorBlue(replacement);
        quad[1] = colorGreen(replacement);
        quad[2] = colorRed(replacement);
    }
    // Rows the stream did not reach keep index 0; otherwise only the padding
    // needs clearing.
    const uint64_t stride = dibStride(info.keptWidth, 8);
    const bool complete = pixels.size() >= uint64_t(info.width) * rowsNeeded(info);
    if (!complete)
        std::memset(p + bitsOffset, 0, size_t(total - bitsOffset));
    uint64_t taken = 0;
    forEachStreamRow(info.height, info.interlaced, [&](uint32_t y) {
        const uint64_t start = taken;
        taken += info.width;
        if (y >= info.keptHeight || start >= pixels.size())
            return;
        uint8_t* row = p + dibRowOffset(h, y);
        const size_t n = size_t(std::min<uint64_t>(info.keptWidth, pixels.size() - start));
        std::memcpy(row, pixels.data() + start, n);
        if (complete)
            std::memset(row + info.keptWidth, 0, size_t(stride - info.keptWidth));
    });
    return true;
}

// ---------------------------------------------------------------- writing

// A picture as the stream holds it: one index byte a pixel and its table.
struct IndexedPicture {
    explicit IndexedPicture(std::vector<uint8_t>& block) : pixels(block) {}
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t>& pixels; // rows top to bottom, width bytes each
    std::vector<uint32_t> colors; // colour values, table order
};

std::vector<uint32_t> readDibTable(std::span<const uint8_t> dib, const DibHeader& h)
{
    const uint32_t count = dibColorCount(h);
    std::vector<uint32_t> colors(count);
    const uint8_t* quad = dib.data() + h.size;
    for (uint32_t i = 0; i < count; ++i, quad += 4)
        colors[i] = makeColor(quad[2], quad[1], quad[0]);
    return colors;
}

// A 1-, 2-, 4- or 8-bit picture whose table fits: the indices as they stand.
// Low depths take a 256-entry table, the source's entries then zeros.
bool readPaletted(std::span<const uint8_t> dib, const DibHeader& h, IndexedPicture& pic)
{
    const uint32_t bits = h.bitCount;
    pic.colors = readDibTable(dib, h);
    if (bits < 8 && pic.colors.size() < 256)
        pic.colors.resize(256, 0);
    const uint64_t size = uint64_t(pic.width) * pic.height;
    pic.pixels.resize(size_t(size));
    uint8_t* dst = pic.pixels.data();
    for (uint32_t y = 0; y < pic.height; ++y, dst += pic.width) {
        const uint8_t* row = dib.data() + dibRowOffset(h, y);
        if (bits == 8) {
            std::memcpy(dst, row, pic.width);
            continue;
        }
        const uint32_t perByte = 8 / bits;
        const uint32_t mask = (1u << bits) - 1;
        for (uint32_t x = 0; x < pic.width; ++x)
            dst[x] = uint8_t((row[x / perByte] >> ((perByte - 1 - x % perByte) * bits)) & mask);
    }
    return true;
}

inline uint32_t pixelColor(const uint8_t* bgr)
{
    return makeColor(bgr[2], bgr[1], bgr[0]);
}

// Distinct colours of a 24-bit picture with their pixel counts, in order of
// first appearance; false as soon as there are more than maxColors.
bool countExactColors(std::span<const uint8_t> dib, const DibHeader& h, uint32_t maxColors, CodeHashMap& counts)
{
    uint32_t last = kNoColor;
    uint32_t* lastCount = nullptr;
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* px = dib.data() + dibRowOffset(h, y);
        for (int32_t x = 0; x < h.width; ++x, px += 3) {
            const uint32_t c = pixelColor(px);
            if (c != last || !lastCount) {
                lastCount = counts.find(c);
                if (!lastCount) {
                    if (counts.size() >= maxColors)
                        return false;
                    lastCount = &counts.insert(c, 0);
                }
                last = c;
            }
            ++*lastCount;
        }
    }
    return true;
}

// A 24-bit picture whose distinct colours fit the table is written with
// exactly those colours, ordered by pixel count as the quantizer would;
// the quantizer's histogram would drop the lowest bit of every channel.
bool readExactColors(std::span<const uint8_t> dib, const DibHeader& h, uint32_t maxColors, IndexedPicture& pic)
{
    CodeHashMap map(4093);
    if (!countExactColors(dib, h, maxColors, map))
        return false;
    std::vector<std::pair<uint32_t, uint32_t>> byCount; // (count, colour)
    byCount.reserve(map.size());
    map.forEach([&](uint32_t color, uint32_t count) { byCount.emplace_back(count, color); });
    std::stable_sort(byCount.begin(), byCount.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    pic.colors.clear();
    for (uint32_t i = 0; i < byCount.size(); ++i) {
        pic.colors.push_back(byCount[i].second);
        map.insert(byCount[i].second, i);
    }
    pic.pixels.resize(size_t(uint64_t(pic.width) * pic.height));
    uint8_t* dst = pic.pixels.data();
    uint32_t last = kNoColor;
    uint8_t lastIndex = 0;
    for (uint32_t y = 0; y < pic.height; ++y) {
        const uint8_t* px = dib.data() + dibRowOffset(h, y);
        for (uint32_t x = 0; x < pic.width; ++x, px += 3) {
            const uint32_t c = pixelColor(px);
            if (c != last) {
                last = c;
                lastIndex = uint8_t(*map.find(c));
            }
            *dst++ = lastIndex;
        }
    }
    return true;
}

// More colours than the table holds: median cut, no dithering.
bool reduceColors(std::span<const uint8_t> dib, uint32_t tableSize, IndexedPicture& pic)
{
    ColorQuantizer quantizer;
    ByteBuffer mapped;
    DibHeader m;
    if (!quantizer.addImage(dib) || !quantizer.buildPalette(int(tableSize)) || !quantizer.mapImage(dib, mapped, false)
        || !checkDib(mapped.bytes(), &m) || m.bitCount != 8)
        return false;
    return readPaletted(mapped.bytes(), m, pic);
}

bool readPicture(std::span<const uint8_t> dib, const DibHeader& h, uint32_t tableSize, IndexedPicture& pic)
{
    pic.width = uint32_t(h.width);
    pic.height = h.absHeight();
    if (h.bitCount <= 8 && dibColorCount(h) <= tableSize)
        return readPaletted(dib, h, pic);
    if (h.bitCount == 8)
        return reduceColors(dib, tableSize, pic);
    ByteBuffer trueColor;
    DibHeader t = h;
    if (h.bitCount != 24) {
        if (!convertToTrueColor(dib, trueColor) || !checkDib(trueColor.bytes(), &t))
            return false;
        dib = trueColor.bytes();
    }
    return readExactColors(dib, t, tableSize, pic) || reduceColors(dib, tableSize, pic);
}

std::vector<uint8_t> interlaceRows(const IndexedPicture& pic)
{
    std::vector<uint8_t> out(pic.pixels.size());
    uint8_t* dst = out.data();
    forEachInterlacedRow(pic.height, [&](uint32_t y) {
        std::memcpy(dst, pic.pixels.data() + size_t(y) * pic.width, pic.width);
        dst += pic.width;
    });
    return out;
}

// Index of a colour among the written entries (plus the first zero entry,
// black, when the picture has fewer colours than the table); 255 when there
// is no entry at all, 0 for no colour.
uint8_t colorIndex(const std::vector<uint32_t>& colors, uint32_t tableSize, uint32_t color)
{
    if (color == kNoColor)
        return 0;
    std::vector<uint32_t> candidates(colors.begin(), colors.begin() + std::min<size_t>(colors.size(), tableSize));
    if (colors.size() < tableSize)
        candidates.push_back(0);
    if (candidates.empty())
        return 255;
    uint32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (uint32_t i = 0; i < candidates.size(); ++i) {
        const int64_t dr = int64_t(colorRed(candidates[i])) - colorRed(color);
        const int64_t dg = int64_t(colorGreen(candidates[i])) - colorGreen(color);
        const int64_t db = int64_t(colorBlue(candidates[i])) - colorBlue(color);
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return uint8_t(best);
}

struct StreamFields {
    int bits = 8;
    bool interlace = false;
    uint8_t backgroundIndex = 0;
    bool transparent = false;
    uint8_t transparentIndex = 0;
    int minCodeSize = 0; // 0: max(bits, 2)
};

bool writeStream(const IndexedPicture& pic, const StreamFields& f, const std::vector<uint8_t>& codes,
                 ByteBuffer& out)
{
    const uint32_t tableSize = 1u << f.bits;
    const uint64_t blocks = (codes.size() + 254) / 255;
    const uint64_t total = 34 + 3 * uint64_t(tableSize) + codes.size() + blocks;
    if (total > UINT32_MAX || !out.allocate(uint32_t(total)))
        return false;
    uint8_t* p = out.data();
    std::memcpy(p, "GIF89a", 6);
    putU16le(p + 6, uint16_t(pic.width));
    putU16le(p + 8, uint16_t(pic.height));
    p[10] = uint8_t(0x80 | ((f.bits - 1) << 4) | (f.bits - 1));
    p[11] = f.backgroundIndex;
    p[12] = 0;
    p += 13;
    std::memset(p, 0, 3 * tableSize);
    for (uint32_t i = 0; i < std::min<size_t>(pic.colors.size(), tableSize); ++i) {
        p[3 * i] = colorRed(pic.colors[i]);
        p[3 * i + 1] = colorGreen(pic.colors[i]);
        p[3 * i + 2] = colorBlue(pic.colors[i]);
    }
    p += 3 * tableSize;
    const uint8_t control[8] = {kGifExtensionIntroducer, kGifGraphicControlLabel, 0x04, uint8_t(f.transparent ? 1 : 0), 0, 0, f.transparentIndex, 0};
    std::memcpy(p, control, 8);
    p += 8;
    p[0] = kGifImageSeparator;
    putU16le(p + 1, 0);
    putU16le(p + 3, 0);
    putU16le(p + 5, uint16_t(pic.width));
    putU16le(p + 7, uint16_t(pic.height));
    p[9] = f.interlace ? 0x40 : 0;
    p[10] = uint8_t(f.minCodeSize ? f.minCodeSize : std::max(f.bits, 2));
    p += 11;
    for (size_t done = 0; done < codes.size();) {
        const size_t n = std::min<size_t>(255, codes.size() - done);
        *p++ = uint8_t(n);
        std::memcpy(p, codes.data() + done, n);
        p += n;
        done += n;
    }
    p[0] = 0;
    p[1] = kGifTrailer;
    return true;
}

} // namespace

bool decodeGifImage(std::span<const uint8_t> data, ByteBuffer& out, int imageIndex, bool replaceTransparent,
                    uint32_t keepWidth, uint32_t keepHeight)
{
    GifHeader header;
    if (imageIndex < 0 || !readGifHeader(data, header))
        return false;
    uint32_t background = kWhite;
    if (header.backgroundIndex < header.globalTable.size() / 3) {
        const uint8_t* rgb = &header.globalTable[3 * size_t(header.backgroundIndex)];
        background = makeColor(rgb[0], rgb[1], rgb[2]);
    }
    ImageFinder finder(imageIndex);
    const GifWalkEnd walk = walkGifBlocks(header.stream, header.firstBlock, finder);
    if (!finder.found)
        return walk == GifWalkEnd::trailer || walk == GifWalkEnd::endOfData;
    const int transparentIndex = finder.transparentIndex;
    ImageInfo info;
    Scratch codes(codeScratch());
    if (!readImage(header.stream, *finder.found, header.globalTable, info, *codes))
        return false;
    const uint64_t pixelCount = uint64_t(info.width) * info.height;
    if (pixelCount == 0 || pixelCount > pixelLimit() || !dataCanHold((*codes).size(), pixelCount))
        return false;
    info.keptWidth = std::clamp<uint32_t>(keepWidth, 1, info.width);
    info.keptHeight = std::clamp<uint32_t>(keepHeight, 1, info.height);
    Scratch pixels(pixelScratch());
    LzwCodec codec;
    if (!codec.decompress(*codes, info.minCodeSize, *pixels, size_t(uint64_t(info.width) * rowsNeeded(info))))
        return false;
    ByteBuffer dib;
    if (!buildIndexedDib(info, *pixels, replaceTransparent ? transparentIndex : -1, background, dib))
        return false;
    out.swap(dib);
    return true;
}

bool encodeGifImage(std::span<const uint8_t> dib, ByteBuffer& out, int bits, bool interlace,
                    uint32_t backgroundColor, uint32_t transparentColor)
{
    DibHeader h;
    if (bits < 1 || bits > 8 || !checkDib(dib, &h) || h.width > 0xFFFF || h.absHeight() > 0xFFFF)
        return false;
    const uint32_t tableSize = 1u << bits;
    Scratch pixels(pixelScratch());
    IndexedPicture pic(*pixels);
    if (!readPicture(dib, h, tableSize, pic))
        return false;
    if (interlace)
        pic.pixels = interlaceRows(pic);
    Scratch codes(codeScratch());
    LzwCodec codec;
    if (!codec.compress(pic.pixels, std::max(bits, 2), *codes))
        return false;
    StreamFields fields;
    fields.bits = bits;
    fields.interlace = interlace;
    fields.backgroundIndex = colorIndex(pic.colors, tableSize, backgroundColor);
    fields.transparent = transparentColor != kNoColor;
    fields.transparentIndex = colorIndex(pic.colors, tableSize, transparentColor);
    ByteBuffer stream;
    if (!writeStream(pic, fields, *codes, stream))
        return false;
    out.swap(stream);
    return true;
}

bool writeGifStream(uint32_t width, uint32_t height, std::span<const uint32_t> colors, int bits,
                    const std::vector<uint8_t>& codes, ByteBuffer& out, int minCodeSize)
{
    if (bits < 1 || bits > 8 || width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF || codes.empty()
        || (minCodeSize != 0 && (minCodeSize < 2 || minCodeSize > 8)))
        return false;
    std::vector<uint8_t> none;
    IndexedPicture pic(none);
    pic.width = width;
    pic.height = height;
    pic.colors.assign(colors.begin(), colors.end());
    StreamFields fields;
    fields.bits = bits;
    fields.minCodeSize = minCodeSize;
    ByteBuffer stream;
    if (!writeStream(pic, fields, codes, stream))
        return false;
    out.swap(stream);
    return true;
}

} // namespace zell
