#include "document/gif_export_optimizer.h"

#include <algorithm>
#include <cstring>

#include "image/mapped_file.h"
#include "image/gif_codec.h"

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
    explicit ScratchFrame(const Frame& source) { frame.copyFrom(source); }
    ~ScratchFrame() { frame.reset(); }
};

} // namespace

GifExportOptimizer::GifExportOptimizer(const FrameList& frames, const GifOutput& output)
    : frames_(frames), output_(output)
{
}

bool GifExportOptimizer::loadPicture(const Frame& frame, RasterImage& picture) const
{
    if (!picture.loadGifImage(frame.workFilePath, 0) || picture.image.empty())
        return false;
    if (!frame.useLocalColorTable && output_.globalTable)
        picture.applyColorTable(output_.globalTable);
    return true;
}

bool GifExportOptimizer::prepare()
{
    const uint32_t all = kSaveOptimize | kSaveTransparency | kSaveAutoTransparency;
    if (!output_.globalTable || (output_.options & all) != all)
        return true;
    bool wanted = false;
    for (int i = 1; i < frames_.count() && !wanted; ++i) {
        const Frame& f = *frames_.frameAt(i);
        wanted = !f.useLocalColorTable && f.transparentIndex == kNoIndex;
    }
    if (!wanted)
        return true;
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

bool GifExportOptimizer::composeScreen(const Frame& frame, uint16_t transparentIndex)
{
    return compositor_.compose(transparentIndex, frame.disposal, frame.left, frame.top);
}

bool GifExportOptimizer::writeFrames(std::vector<uint8_t>& out,
                                     const std::function<bool(std::vector<uint8_t>&)>& flush)
{
    if (!compositor_.start(output_.screenWidth, output_.screenHeight, tableBackground(globalTable()), true))
        return false;
    for (int i = 0; i < frames_.count(); ++i) {
        if (!writeOne(i, out) || !flush(out))
            return false;
    }
    return true;
}

bool GifExportOptimizer::writeOne(int index, std::vector<uint8_t>& out)
{
    const Frame& frame = *frames_.frameAt(index);
    ScratchFrame scratch(frame);
    Frame& attributes = scratch.frame;
    const bool hasGlobal = globalTable() != nullptr;
    const bool usesReplacement = replacement_ && !frame.useLocalColorTable;
    const bool transparentOption = output_.options & kSaveTransparency;
    compositor_.restore();
    if (!loadPicture(frame, screen_) || (usesReplacement && !mapToReplacement(screen_, attributes)))
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
            if (usesReplacement) {
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
        if (!screen_.optimizeFrame(stream, d, frame.disposal != 2, transparentOption, !frame.useLocalColorTable,
                                   compositor_.painted()))
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
        if (!keep)
            return true;
        return writeFrame(out, attributes, stream.bytes(), hasGlobal);
    }

    if (!composeScreen(frame, attributes.transparentIndex))
        return false;
    if (!stream.empty())
        return writeFrame(out, attributes, stream.bytes(), hasGlobal);
    MappedFile work;
    return work.open(frame.workFilePath) && writeFrame(out, attributes, work.bytes(), hasGlobal);
}

} // namespace zell
