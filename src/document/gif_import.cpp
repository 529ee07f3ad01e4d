#include "document/gif_import.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "document/temporary_file.h"
#include "image/bytes.h"
#include "image/gif_blocks.h"

namespace zell {

namespace {

void appendU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// The size field of the smallest table that holds `sizeField`'s entries and
// the transparent index. Decoders make pixels of that index transparent even
// when it lies beyond the table (some optimisers write such files); a table
// that holds it lets every part of zell treat it as the frame's transparent
// colour instead of dropping it and showing those pixels.
int sizeFieldHolding(int sizeField, uint16_t transparentIndex)
{
    while (transparentIndex < 256 && (2u << sizeField) <= transparentIndex)
        ++sizeField;
    return sizeField;
}

// The work file of one image: the image alone on a screen of its size, with
// its local table or the file's global table, the data copied byte for byte.
// A table too small for the transparent index is padded with black entries.
bool writeWorkFile(Frame& scratch, std::span<const uint8_t> stream, const GifImageBlock& image,
                   const ColorTable& globalTable, WorkDirectory& workDirectory)
{
    const bool local = !image.localTable.empty();
    const int givenField = local ? image.packed & 7 : gifTableSizeField(globalTable.count);
    if (!gifImageHasPicture(stream, image) || (!local && (globalTable.count < 1 || givenField < 0)))
        return false;
    const int sizeField = sizeFieldHolding(givenField, scratch.transparentIndex);
    const size_t tableBytes = 3 * (size_t(2) << sizeField);
    std::vector<uint8_t> file;
    file.reserve(32 + tableBytes + (image.end - image.dataStart));
    const char* signature = "GIF89a";
    file.insert(file.end(), signature, signature + 6);
    appendU16(file, image.width);
    appendU16(file, image.height);
    file.push_back(local ? uint8_t(sizeField << 4) : uint8_t(0x70));
    file.push_back(0);
    file.push_back(0);
    const uint8_t control[8] = {kGifExtensionIntroducer, kGifGraphicControlLabel, 0x04, 0, 0, 0, 0, 0};
    file.insert(file.end(), control, control + 8);
    file.push_back(kGifImageSeparator);
    appendU16(file, 0);
    appendU16(file, 0);
    appendU16(file, image.width);
    appendU16(file, image.height);
    if (local) {
        file.push_back(uint8_t((image.packed & ~7) | sizeField));
        file.insert(file.end(), image.localTable.begin(), image.localTable.end());
        file.resize(file.size() + tableBytes - image.localTable.size(), 0);
    } else {
        file.push_back(uint8_t(kGifTableFlag | (image.packed & kGifInterlaceFlag) | sizeField));
        file.insert(file.end(), globalTable.entries.begin(), globalTable.entries.begin() + long(tableBytes));
    }
    file.insert(file.end(), stream.begin() + long(image.dataStart), stream.begin() + long(image.end));
    file.push_back(kGifTrailer);
    WorkFile written;
    if (!workDirectory.writeNewWorkFile("gif", file, written))
        return false;

    // Such a frame lies beyond any screen; it is kept at the farthest place that fits.
    scratch.left = fittingPosition(image.left, image.width);
    scratch.top = fittingPosition(image.top, image.height);
    scratch.width = image.width;
    scratch.height = image.height;
    scratch.descriptorFlags = local ? uint8_t((image.packed & ~7) | sizeField) : image.packed;
    scratch.useLocalColorTable = local ? 1 : 0;
    scratch.colorCount = uint16_t(2u << sizeField);
    scratch.workFile = std::move(written);
    return true;
}

} // namespace

size_t writeImageWorkFile(Frame& scratch, std::span<const uint8_t> data, const ColorTable& globalTable,
                          WorkDirectory& workDirectory)
{
    if (data.size() <= 11 || data[0] != kGifImageSeparator)
        return 0;
    GifHeader descriptorOnly;
    descriptorOnly.stream = data;
    GifImageBlock image;
    if (!findFirstGifImage(descriptorOnly, image))
        return 0;
    return writeWorkFile(scratch, data, image, globalTable, workDirectory) ? image.end : 0;
}

} // namespace zell

namespace zell {

namespace {

// Each image with the graphic control extension before it becomes a frame.
class Splitter : public GifBlockHandler {
public:
    Splitter(std::span<const uint8_t> stream, WorkDirectory& workDirectory, bool hasGlobalTable, SplitResult& out,
             Progress* progress)
        : stream_(stream), workDirectory_(workDirectory), hasGlobalTable_(hasGlobalTable), out_(out),
          progress_(progress)
    {
    }
    bool stopped = false;

    bool graphicControl(const GifGraphicControl& control) override
    {
        scratch_.disposal = control.disposal();
        scratch_.userInput = control.userInput() ? 2 : 0;
        scratch_.delay = control.delay;
        if (control.hasTransparency())
            scratch_.transparentIndex = control.transparentIndex;
        return true;
    }
    // A comment sub-block counts as text up to its first NUL.
    bool comment(std::span<const uint8_t> block, bool) override
    {
        const void* nul = std::memchr(block.data(), 0, block.size());
        const size_t n = nul ? size_t(static_cast<const uint8_t*>(nul) - block.data()) : block.size();
        out_.comment.append(reinterpret_cast<const char*>(block.data()), n);
        return true;
    }
    bool image(const GifImageBlock& block) override
    {
        if (stopRequested(progress_)) {
            stopped = true;
            return false;
        }
        if (!writeWorkFile(scratch_, stream_, block, out_.globalTable, workDirectory_))
            return false;
        auto frame = std::make_unique<Frame>(scratch_);
        scratch_.reset();
        if (!hasGlobalTable_)
            frame->useLocalColorTable = 1;
        out_.frames.push_back(std::move(frame));
        reportProgress(progress_, int64_t(block.end), int64_t(stream_.size()));
        return true;
    }

private:
    std::span<const uint8_t> stream_;
    WorkDirectory& workDirectory_;
    bool hasGlobalTable_;
    SplitResult& out_;
    Progress* progress_;
    Frame scratch_;
};

// The largest transparent index of the images that use the global table.
class GlobalTransparentReach : public GifBlockHandler {
public:
    bool graphicControl(const GifGraphicControl& control) override
    {
        if (control.hasTransparency())
            pending_ = control.transparentIndex;
        return true;
    }
    bool image(const GifImageBlock& block) override
    {
        if (block.localTable.empty() && pending_ != kNoIndex)
            reach = reach == kNoIndex ? pending_ : std::max(reach, pending_);
        pending_ = kNoIndex;
        return true;
    }
    uint16_t reach = kNoIndex;

private:
    uint16_t pending_ = kNoIndex;
};

// Grows the global table, with black entries, to hold every transparent
// index its images give (see sizeFieldHolding).
void growToHoldTransparency(std::span<const uint8_t> stream, size_t firstBlock, ColorTable& table)
{
    if (table.count < 2)
        return;
    GlobalTransparentReach walk;
    walkGifBlocks(stream, firstBlock, walk);
    const int field = sizeFieldHolding(gifTableSizeField(table.count), walk.reach);
    table.count = uint16_t(2u << field);
}

} // namespace

bool splitGif(std::span<const uint8_t> data, WorkDirectory& workDirectory, SplitResult& out, Progress* progress,
              bool* stopped)
{
    out = SplitResult{};
    GifHeader header;
    if (!readGifHeader(data, header))
        return false;
    out.screenWidth = header.screenWidth;
    out.screenHeight = header.screenHeight;
    const uint32_t n = uint32_t(header.globalTable.size() / 3);
    out.globalTable.count = uint16_t(n);
    out.globalTable.backgroundIndex = n > 0 && header.backgroundIndex < n ? header.backgroundIndex : 0;
    std::copy(header.globalTable.begin(), header.globalTable.end(), out.globalTable.entries.begin());
    growToHoldTransparency(header.stream, header.firstBlock, out.globalTable);
    Splitter splitter(header.stream, workDirectory, n > 0, out, progress);
    // A stream that ends cleanly after a complete image is kept, as viewers
    // show it; one cut inside a block is damaged.
    const GifWalkEnd end = walkGifBlocks(header.stream, header.firstBlock, splitter);
    if (stopped)
        *stopped = splitter.stopped;
    if (splitter.stopped
        || (end != GifWalkEnd::trailer && !(end == GifWalkEnd::endOfData && !out.frames.empty()))) {
        out.frames.clear(); // deletes their work files
        return false;
    }
    if ((out.screenWidth == 0 || out.screenHeight == 0) && !out.frames.empty()) {
        const Frame& first = *out.frames.front();
        if (out.screenWidth == 0)
            out.screenWidth = uint16_t(std::min<uint32_t>(uint32_t(first.left) + first.width, 0xFFFF));
        if (out.screenHeight == 0)
            out.screenHeight = uint16_t(std::min<uint32_t>(uint32_t(first.top) + first.height, 0xFFFF));
        out.screenFromImage = true;
    }
    reportProgress(progress, int64_t(header.stream.size()), int64_t(header.stream.size()));
    return true;
}

std::string frameName(const std::string& baseName, int number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return "[" + baseName + "]の[" + digits + "]";
}

void insertSplitFrames(Document& document, SplitResult& split, const std::string& baseName,
                       const ImportOptions& options, bool& globalTableOpen)
{
    if (!options.loadGlobalTable || !globalTableOpen) {
        for (auto& frame : split.frames)
            frame->useLocalColorTable = 1;
    }
    int index = document.frames.count();
    if (options.insertMode == kInsertAtHead)
        index = 0;
    else if (options.insertMode == kInsertAtCurrent)
        index = document.currentIndex >= 0 && document.currentIndex <= document.frames.count()
            ? document.currentIndex : 0;
    int last = -1;
    int number = 1;
    for (auto& frame : split.frames) {
        frame->name = frameName(baseName, number++);
        const int at = document.frames.insert(index, frame);
        if (at >= 0) {
            last = at;
            index = at + 1;
        }
        frame.reset(); // a frame that could not be inserted dies here with its file
    }
    split.frames.clear();
    if (options.loadGlobalTable && globalTableOpen && split.globalTable.count >= 1) {
        document.takeGlobalTable(split.globalTable);
        globalTableOpen = false;
    }
    if (last >= 0)
        document.currentIndex = last;
}

} // namespace zell
