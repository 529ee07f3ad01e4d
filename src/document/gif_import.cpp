#include "document/gif_import.h"

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

} // namespace

size_t writeImageWorkFile(Frame& scratch, std::span<const uint8_t> data, const ColorTable& globalTable,
                          WorkDirectory& workDirectory)
{
    if (data.size() <= 11 || data[0] != 0x2C)
        return 0;
    const uint8_t* d = data.data();
    const uint8_t packed = d[9];
    const bool local = packed & 0x80;
    size_t pos = 10;
    size_t tableBytes = 0;
    int sizeField = 0;
    if (local) {
        sizeField = packed & 7;
        tableBytes = 3 * (size_t(2) << sizeField);
        if (tableBytes > data.size() - pos)
            return 0;
    } else {
        sizeField = gifTableSizeField(globalTable.count);
        if (globalTable.count < 1 || sizeField < 0)
            return 0;
        tableBytes = 3 * (size_t(2) << sizeField);
    }
    const size_t tableStart = pos;
    pos += local ? tableBytes : 0;
    const size_t dataStart = pos;
    if (pos >= data.size())
        return 0;
    ++pos; // LZW minimum code size
    if (!skipGifSubBlocks(data, pos))
        return 0;

    std::string name;
    if (!workDirectory.newWorkFileName("gif", name))
        return 0;

    const uint16_t width = getU16le(d + 5);
    const uint16_t height = getU16le(d + 7);
    std::vector<uint8_t> file;
    file.reserve(32 + tableBytes + (pos - dataStart));
    const char* signature = "GIF89a";
    file.insert(file.end(), signature, signature + 6);
    appendU16(file, width);
    appendU16(file, height);
    file.push_back(local ? uint8_t((packed & 7) << 4) : uint8_t(0x70));
    file.push_back(0);
    file.push_back(0);
    const uint8_t control[8] = {0x21, 0xF9, 0x04, 0, 0, 0, 0, 0};
    file.insert(file.end(), control, control + 8);
    file.push_back(0x2C);
    appendU16(file, 0);
    appendU16(file, 0);
    appendU16(file, width);
    appendU16(file, height);
    file.push_back(local ? packed : uint8_t(0x80 | (packed & 0x40) | sizeField));
    if (local)
        file.insert(file.end(), d + tableStart, d + tableStart + tableBytes);
    else
        file.insert(file.end(), globalTable.entries.begin(), globalTable.entries.begin() + long(tableBytes));
    file.insert(file.end(), d + dataStart, d + pos);
    file.push_back(0x3B);
    if (!writeNewFile(name, file))
        return 0;

    scratch.left = getU16le(d + 1);
    scratch.top = getU16le(d + 3);
    scratch.width = width;
    scratch.height = height;
    scratch.descriptorFlags = packed;
    scratch.useLocalColorTable = local ? 1 : 0;
    scratch.colorCount = local ? uint16_t(2u << sizeField) : globalTable.count;
    scratch.workFilePath = name;
    return pos;
}

} // namespace zell

namespace zell {

namespace {

// A comment sub-block counts as text up to its first NUL.
bool readComment(std::span<const uint8_t> data, size_t& pos, std::string& comment)
{
    return forEachGifSubBlock(data, pos, [&](std::span<const uint8_t> block) {
        const void* nul = std::memchr(block.data(), 0, block.size());
        const size_t n = nul ? size_t(static_cast<const uint8_t*>(nul) - block.data()) : block.size();
        comment.append(reinterpret_cast<const char*>(block.data()), n);
    });
}

bool readGraphicControl(std::span<const uint8_t> data, size_t& pos, Frame& scratch)
{
    // Label, size byte, packed, delay, index: fixed offsets from 0x21.
    if (data.size() - pos < 7)
        return false;
    const uint8_t* d = data.data() + pos;
    const uint8_t packed = d[3];
    scratch.disposal = (packed >> 2) & 7;
    scratch.userInput = packed & 0x02;
    scratch.delay = getU16le(d + 4);
    if (packed & 1)
        scratch.transparentIndex = d[6];
    const size_t step = 2 + 1 + size_t(d[2]) + 1;
    if (step > data.size() - pos)
        return false;
    pos += step;
    return true;
}

bool walkBlocks(std::span<const uint8_t> data, size_t pos, WorkDirectory& workDirectory, bool hasGlobalTable,
                SplitResult& out)
{
    Frame scratch;
    while (pos < data.size()) {
        const uint8_t byte = data[pos];
        if (byte == 0x3B)
            return true;
        if (byte == 0x21) {
            if (data.size() - pos < 2)
                return false;
            const uint8_t label = data[pos + 1];
            bool ok;
            if (label == 0xF9) {
                ok = readGraphicControl(data, pos, scratch);
            } else {
                pos += 2;
                ok = label == 0xFE ? readComment(data, pos, out.comment) : skipGifSubBlocks(data, pos);
            }
            if (!ok)
                return false;
        } else if (byte == 0x2C) {
            const size_t used = writeImageWorkFile(scratch, data.subspan(pos), out.globalTable, workDirectory);
            if (used == 0)
                return false;
            auto frame = std::make_unique<Frame>();
            frame->copyFrom(scratch);
            scratch.reset();
            if (!hasGlobalTable)
                frame->useLocalColorTable = 1;
            out.frames.push_back(std::move(frame));
            pos += used;
        } else {
            ++pos;
            if (!skipGifSubBlocks(data, pos))
                return false;
        }
    }
    return false;
}

} // namespace

bool splitGif(std::span<const uint8_t> data, WorkDirectory& workDirectory, SplitResult& out)
{
    out = SplitResult{};
    if (!data.data() || data.size() < 13)
        return false;
    const uint8_t* found = nullptr;
    for (size_t i = 0; i + 3 <= data.size(); ++i) {
        if (std::memcmp(data.data() + i, "GIF", 3) == 0) {
            found = data.data() + i;
            break;
        }
    }
    if (!found)
        return false;
    std::span<const uint8_t> gif = data.subspan(size_t(found - data.data()));
    if (gif.size() <= 13 || (std::memcmp(gif.data() + 3, "87a", 3) != 0 && std::memcmp(gif.data() + 3, "89a", 3) != 0))
        return false;

    out.screenWidth = getU16le(gif.data() + 6);
    out.screenHeight = getU16le(gif.data() + 8);
    const uint8_t packed = gif[10];
    size_t pos = 13;
    const bool hasGlobalTable = packed & 0x80;
    out.globalTable.count = 0;
    out.globalTable.backgroundIndex = 0;
    if (hasGlobalTable) {
        const uint32_t n = 2u << (packed & 7);
        if (3 * size_t(n) >= gif.size() - pos)
            return false;
        std::memcpy(out.globalTable.entries.data(), gif.data() + pos, 3 * size_t(n));
        out.globalTable.count = uint16_t(n);
        out.globalTable.backgroundIndex = gif[11] < n ? gif[11] : 0;
        pos += 3 * size_t(n);
    }
    if (!walkBlocks(gif, pos, workDirectory, hasGlobalTable, out)) {
        out.frames.clear(); // deletes their work files
        return false;
    }
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
