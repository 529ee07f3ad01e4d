#include "document/gif_export_optimizer.h"

#include <algorithm>
#include <cstring>

#include "image/mapped_file.h"
#include "image/gif_codec.h"
#include "image/lossless_frame.h"

namespace zell {

namespace {

uint32_t tableBackground(const ColorTable* table)
{
    if (table && table->backgroundIndex < table->count)
        return table->color(table->backgroundIndex);
    return 0xFFFFFF;
}

// An attribute-only copy that can be changed and dropped without touching
// the frame or its work file.
struct ScratchFrame {
    Frame frame;
    explicit ScratchFrame(const Frame& source) : frame(source) {}
    ~ScratchFrame() { frame.reset(); }
};

} // namespace

bool shrinkGlobalTable(const FrameList& frames, const ColorTable& global, std::optional<ColorTable>& shrunk,
                       std::array<uint8_t, 256>& to)
{
    shrunk.reset();
    std::array<bool, 256> used{};
    if (global.backgroundIndex < global.count)
        used[global.backgroundIndex] = true;
    for (int i = 0; i < frames.count(); ++i) {
        const Frame& f = *frames.frameAt(i);
        if (f.useLocalColorTable)
            continue;
        RasterImage picture;
        DibHeader h;
        if (!picture.loadGifImage(f.workFile.path(), 0) || !checkDib(picture.image.bytes(), &h) || h.bitCount != 8)
            return false;
        if (f.transparentIndex < 256)
            used[f.transparentIndex] = true;
        for (uint32_t y = 0; y < h.absHeight(); ++y) {
            const uint8_t* row = picture.image.data() + dibRowOffset(h, y);
            for (int64_t x = 0; x < h.width; ++x)
                used[row[x]] = true;
        }
    }
    uint32_t count = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        if (used[i] && i >= global.count)
            return true; // an index beyond the table: leave it all alone
        count += used[i] ? 1 : 0;
    }
    const uint32_t size = 1u << colorTableBits(count);
    if (size >= global.count)
        return true;
    ColorTable table;
    table.count = uint16_t(size);
    to.fill(0);
    uint32_t next = 0;
    for (uint32_t i = 0; i < global.count; ++i) {
        if (!used[i])
            continue;
        to[i] = uint8_t(next);
        table.setColor(next++, global.color(i));
    }
    table.backgroundIndex = global.backgroundIndex < global.count ? to[global.backgroundIndex] : 0;
    shrunk = table;
    return true;
}

std::array<uint8_t, 256> MergedTables::mapping(std::span<const uint8_t> dib, uint16_t transparentIndex) const
{
    std::array<uint8_t, 256> to{};
    DibHeader h;
    if (!checkDib(dib, &h))
        return to;
    const uint8_t* quad = dib.data() + h.size;
    for (uint32_t i = 0; i < std::min<uint32_t>(dibColorCount(h), 256); ++i, quad += 4) {
        const uint32_t c = makeColor(quad[2], quad[1], quad[0]);
        const auto it = std::lower_bound(colors.begin(), colors.end(), c);
        if (it != colors.end() && *it == c)
            to[i] = entries[size_t(it - colors.begin())];
    }
    if (transparentIndex < 256)
        to[transparentIndex] = uint8_t(transparent);
    return to;
}

bool mergeTables(const FrameList& frames, const ColorTable& global, std::optional<MergedTables>& merged)
{
    merged.reset();
    std::vector<uint32_t> order; // colours in the order they first show
    std::vector<uint32_t> seen;  // the same, sorted
    auto add = [&](uint32_t c) {
        const auto it = std::lower_bound(seen.begin(), seen.end(), c);
        if (it != seen.end() && *it == c)
            return;
        seen.insert(it, c);
        order.push_back(c);
    };
    if (global.backgroundIndex < global.count)
        add(global.color(global.backgroundIndex));
    uint64_t before = 3u * uint64_t(1u << colorTableBits(global.count));
    bool anyLocal = false;
    int fewestBits = colorTableBits(global.count);
    for (int i = 0; i < frames.count(); ++i) {
        const Frame& f = *frames.frameAt(i);
        RasterImage picture;
        DibHeader h;
        if (!picture.loadGifImage(f.workFile.path(), 0) || !checkDib(picture.image.bytes(), &h) || h.bitCount != 8)
            return false;
        if (!f.useLocalColorTable)
            picture.applyColorTable(&global);
        const uint32_t count = std::min<uint32_t>(dibColorCount(h), 256);
        if (f.useLocalColorTable) {
            anyLocal = true;
            before += 3u * uint64_t(1u << colorTableBits(count));
            fewestBits = std::min(fewestBits, colorTableBits(count));
        }
        std::array<bool, 256> used{};
        for (uint32_t y = 0; y < h.absHeight(); ++y) {
            const uint8_t* row = picture.image.data() + dibRowOffset(h, y);
            for (int64_t x = 0; x < h.width; ++x)
                used[row[x]] = true;
        }
        const uint8_t* quad = picture.image.data() + h.size;
        for (uint32_t k = 0; k < 256; ++k) {
            if (!used[k] || k == f.transparentIndex)
                continue;
            if (k >= count)
                return true; // an index beyond the table: leave the tables alone
            add(makeColor(quad[4 * k + 2], quad[4 * k + 1], quad[4 * k]));
            if (seen.size() > 255)
                return true;
        }
    }
    const uint32_t entries = uint32_t(order.size()) + 1;
    const uint64_t after = 3u * uint64_t(1u << colorTableBits(entries));
    // Longer codes for any frame would cost more than the tables saved.
    if (!anyLocal || after >= before || colorTableBits(entries) > fewestBits)
        return true;
    MergedTables m;
    m.table.count = uint16_t(1u << colorTableBits(entries));
    for (uint32_t k = 0; k < order.size(); ++k)
        m.table.setColor(k, order[k]);
    m.transparent = uint16_t(order.size());
    m.colors = seen;
    m.entries.resize(seen.size());
    for (uint32_t k = 0; k < order.size(); ++k)
        m.entries[size_t(std::lower_bound(seen.begin(), seen.end(), order[k]) - seen.begin())] = uint8_t(k);
    m.table.backgroundIndex = 0; // the background colour went in first
    if (global.backgroundIndex >= global.count)
        m.table.backgroundIndex = kNoIndex;
    merged = std::move(m);
    return true;
}

GifExportOptimizer::GifExportOptimizer(const FrameList& frames, const GifOutput& output)
    : frames_(frames), output_(output)
{
}

bool GifExportOptimizer::loadPicture(const Frame& frame, RasterImage& picture) const
{
    if (!picture.loadGifImage(frame.workFile.path(), 0) || picture.image.empty())
        return false;
    if (!frame.useLocalColorTable && output_.globalTable)
        picture.applyColorTable(output_.globalTable);
    return true;
}

bool GifExportOptimizer::prepare()
{
    const uint32_t all = kSaveOptimize | kSaveTransparency | kSaveAutoTransparency;
    if (!output_.globalTable)
        return true;
    if ((output_.options & all) != all || (output_.options & kSaveLosslessTransparency)) {
        if ((output_.options & kSaveShrinkTables) && (output_.options & kSaveLosslessTransparency)) {
            if (!mergeTables(frames_, *output_.globalTable, merged_))
                return false;
            if (merged_)
                return true;
        }
        if (output_.options & kSaveShrinkTables)
            return shrinkGlobalTable(frames_, *output_.globalTable, shrunk_, shrinkMap_);
        return true;
    }
    bool wanted = false;
    for (int i = 1; i < frames_.count() && !wanted; ++i) {
        const Frame& f = *frames_.frameAt(i);
        wanted = !f.useLocalColorTable && f.transparentIndex == kNoIndex;
    }
    if (!wanted) {
        if (output_.options & kSaveShrinkTables)
            return shrinkGlobalTable(frames_, *output_.globalTable, shrunk_, shrinkMap_);
        return true;
    }
    for (int i = 0; i < frames_.count(); ++i) {
        const Frame& f = *frames_.frameAt(i);
        RasterImage picture;
        if (f.useLocalColorTable)
            continue;
        if (!loadPicture(f, picture) || !replacementQuantizer_.addImage(picture.image.bytes()))
            return false;
    }
    const int n = std::max<int>(output_.globalTable->count, 4);
    if (!replacementQuantizer_.buildPalette(n, kNoColor, true))
        return false;
    const uint8_t* quads = nullptr;
    const int total = replacementQuantizer_.palette(&quads);
    ColorTable table;
    table.count = uint16_t(n);
    for (int i = 0; i < std::min(total, n); ++i)
        table.setColor(uint32_t(i), makeColor(quads[4 * i + 2], quads[4 * i + 1], quads[4 * i]));
    const int background = replacementQuantizer_.nearestIndex(tableBackground(output_.globalTable));
    table.backgroundIndex = background < 0 ? 0 : uint16_t(background);
    replacement_ = table;
    return true;
}

bool GifExportOptimizer::mapToReplacement(RasterImage& picture, Frame& attributes)
{
    ByteBuffer mapped;
    if (!replacementQuantizer_.mapImage(picture.image.bytes(), mapped, false, attributes.transparentIndex))
        return false;
    picture.image.swap(mapped);
    if (attributes.transparentIndex != kNoIndex)
        attributes.transparentIndex = uint16_t(replacementQuantizer_.transparentEntry());
    attributes.colorCount = replacement_->count;
    return true;
}

bool GifExportOptimizer::areaBeneath(const Frame& frame, ScreenArea& area)
{
    const auto [width, height] = screen_.imageSize();
    return compositor_.areaBeneath(frame.left, frame.top, width, height, area);
}

bool GifExportOptimizer::composeScreen(const Frame& frame, uint16_t transparentIndex)
{
    return compositor_.compose(transparentIndex, frame.disposal, frame.left, frame.top);
}

bool GifExportOptimizer::writeFrames(std::vector<uint8_t>& out,
                                     const std::function<bool(std::vector<uint8_t>&)>& flush)
{
    if (!compositor_.start(output_.screenWidth, output_.screenHeight, tableBackground(globalTable()), true,
                           worthTiling(output_.screenWidth, output_.screenHeight)))
        return false;
    const bool keepTiming = output_.options & kSaveKeepTiming;
    uint32_t heldDelay = 0;
    for (int i = 0; i < frames_.count(); ++i) {
        const size_t before = out.size();
        bool dropped = false;
        if (!writeOne(i, out, dropped))
            return false;
        if (!keepTiming) {
            if (!flush(out))
                return false;
            continue;
        }
        // The last frame written stays in `out` while a frame left out after
        // it may still add its delay to its graphic control extension.
        if (dropped) {
            heldDelay = std::min<uint32_t>(heldDelay + frames_.frameAt(i)->delay, 0xFFFF);
            if (out.size() >= 6 && out[0] == 0x21 && out[1] == 0xF9) {
                out[4] = uint8_t(heldDelay);
                out[5] = uint8_t(heldDelay >> 8);
            }
            continue;
        }
        std::vector<uint8_t> frame(out.begin() + std::ptrdiff_t(before), out.end());
        out.resize(before);
        if (!flush(out))
            return false;
        out.swap(frame);
        heldDelay = frames_.frameAt(i)->delay;
    }
    return flush(out);
}

bool GifExportOptimizer::writeLossless(int index, std::vector<uint8_t>& out, bool& dropped)
{
    const Frame& frame = *frames_.frameAt(index);
    ScratchFrame scratch(frame);
    Frame& attributes = scratch.frame;
    const bool hasGlobal = globalTable() != nullptr;
    const bool usesGlobal = hasGlobal && (merged_ || !frame.useLocalColorTable);
    const bool remapped = merged_ || (shrunk_ && usesGlobal);
    compositor_.restore();
    if (!loadPicture(frame, screen_))
        return false;
    if (merged_ ? !remapToMerged(attributes) : (remapped && !remapToShrunk(attributes)))
        return false;
    // The remapped picture shows the same colours as the frame.
    const uint16_t maskIndex = attributes.transparentIndex;
    LosslessFrame d;
    d.left = attributes.left;
    d.top = attributes.top;
    d.transparentIndex = attributes.transparentIndex;
    d.crop = index > 0 && frame.disposal != 2; // the first frame is drawn on the background: all of it counts
    d.giveTransparency = true;
    d.keepColors = usesGlobal;
    if (hasGlobal && !usesGlobal)
        d.global = globalTable();
    ByteBuffer stream;
    ScreenArea beneath;
    if (!areaBeneath(frame, beneath) || !encodeLosslessFrame(screen_, stream, d, beneath))
        return false;
    if (!composeScreen(frame, maskIndex))
        return false;
    if (!d.changed && (output_.options & kSaveDropUnchanged)) {
        dropped = true;
        return true;
    }
    MappedFile work;
    if (!remapped && work.open(frame.workFile.path())
        && frameStreamCost(work.bytes(), usesGlobal) <= frameStreamCost(stream.bytes(), usesGlobal || d.usesGlobal))
        return writeFrame(out, frame, work.bytes(), hasGlobal);
    attributes.left = uint16_t(d.left);
    attributes.top = uint16_t(d.top);
    attributes.width = uint16_t(d.width);
    attributes.height = uint16_t(d.height);
    attributes.transparentIndex = d.transparentIndex;
    attributes.colorCount = d.colorCount;
    if (d.usesGlobal)
        attributes.useLocalColorTable = 0;
    attributes.descriptorFlags &= uint8_t(~0x40);
    return writeFrame(out, attributes, stream.bytes(), hasGlobal);
}

bool GifExportOptimizer::remapToMerged(Frame& attributes)
{
    if (!remapPicture(screen_.image, merged_->mapping(screen_.image.bytes(), attributes.transparentIndex),
                      merged_->table))
        return false;
    if (attributes.transparentIndex < 256)
        attributes.transparentIndex = merged_->transparent;
    attributes.colorCount = merged_->table.count;
    attributes.useLocalColorTable = 0;
    return true;
}

bool GifExportOptimizer::remapToShrunk(Frame& attributes)
{
    if (!remapPicture(screen_.image, shrinkMap_, *shrunk_))
        return false;
    if (attributes.transparentIndex < 256)
        attributes.transparentIndex = shrinkMap_[attributes.transparentIndex];
    attributes.colorCount = shrunk_->count;
    return true;
}

bool GifExportOptimizer::writeOne(int index, std::vector<uint8_t>& out, bool& dropped)
{
    if (output_.options & kSaveLosslessTransparency)
        return writeLossless(index, out, dropped);
    const Frame& frame = *frames_.frameAt(index);
    ScratchFrame scratch(frame);
    Frame& attributes = scratch.frame;
    const bool hasGlobal = globalTable() != nullptr;
    const bool usesShrunk = shrunk_ && !frame.useLocalColorTable;
    const bool usesReplacement = (replacement_ && !frame.useLocalColorTable) || usesShrunk;
    const bool transparentOption = output_.options & kSaveTransparency;
    compositor_.restore();
    if (!loadPicture(frame, screen_) || (usesShrunk && !remapToShrunk(attributes))
        || (replacement_ && !frame.useLocalColorTable && !mapToReplacement(screen_, attributes)))
        return false;

    ByteBuffer stream;
    bool keep = true;
    if (index == 0 || (frame.disposal == 2 && !transparentOption)) {
        if (usesReplacement) {
            if (!encodeGifImage(screen_.image.bytes(), stream, colorTableBits(attributes.colorCount), false))
                return false;
            attributes.descriptorFlags &= uint8_t(~0x40); // re-encoded data is not interlaced
        }
    } else {
        if ((output_.options & kSaveAutoTransparency) && attributes.transparentIndex == kNoIndex) {
            if (replacement_ && !frame.useLocalColorTable) {
                attributes.transparentIndex = uint16_t(replacementQuantizer_.transparentEntry());
            } else {
                ColorQuantizer own;
                ByteBuffer mapped;
                const int count = attributes.colorCount <= 2 ? 4 : attributes.colorCount;
                if (!own.addImage(screen_.image.bytes()) || !own.buildPalette(count, kNoColor, true)
                    || !own.mapImage(screen_.image.bytes(), mapped, false))
                    return false;
                screen_.image.swap(mapped);
                attributes.colorCount = uint16_t(count);
                attributes.transparentIndex = uint16_t(own.transparentEntry());
            }
        }
        RasterImage::FrameDifference d{attributes.left, attributes.top, 0, 0, false, attributes.transparentIndex, 0};
        const uint16_t beforeStep = attributes.transparentIndex;
        ScreenArea beneath;
        if (!areaBeneath(frame, beneath)
            || !screen_.optimizeFrame(stream, d, frame.disposal != 2, transparentOption, !frame.useLocalColorTable,
                                      beneath))
            return false;
        attributes.left = uint32_t(d.left);
        attributes.top = uint32_t(d.top);
        attributes.width = d.width;
        attributes.height = d.height;
        attributes.transparentIndex = d.transparentIndex;
        attributes.colorCount = d.colorCount;
        attributes.descriptorFlags &= uint8_t(~0x40);
        keep = d.changed || !(output_.options & kSaveDropUnchanged);
        // The screen is composed from the whole frame with its own index.
        if (!composeScreen(frame, beforeStep))
            return false;
        if (!keep) {
            dropped = true;
            return true;
        }
        return writeFrame(out, attributes, stream.bytes(), hasGlobal);
    }

    if (!composeScreen(frame, attributes.transparentIndex))
        return false;
    if (!stream.empty())
        return writeFrame(out, attributes, stream.bytes(), hasGlobal);
    MappedFile work;
    return work.open(frame.workFile.path()) && writeFrame(out, attributes, work.bytes(), hasGlobal);
}

} // namespace zell
