#include "support/test_document.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "document/gif_export.h"
#include "document/gif_import.h"
#include "document/screen_composer.h"
#include "image/color_table.h"
#include "image/gif_codec.h"
#include "image/raster_image.h"
#include "support/indexed_dib.h"

namespace zell::test {

std::unique_ptr<Frame> makeFrame(WorkDirectory& work, uint32_t width, uint32_t height,
                                 const std::vector<uint32_t>& colors, const std::vector<uint8_t>& indices)
{
    const int bits = colorTableBits(uint32_t(colors.size()));
    std::vector<uint32_t> table = colors;
    table.resize(size_t(1) << bits, 0);
    ByteBuffer gif;
    auto frame = std::make_unique<Frame>();
    if (!encodeGifImage(indexedDib(width, height, table, indices), gif, bits, false)
        || !work.newWorkFileName("gif", frame->workFile))
        throw std::runtime_error("a test frame could not be made");
    writeFile(frame->workFile, {gif.data(), gif.data() + gif.size()});
    frame->width = width;
    frame->height = height;
    frame->useLocalColorTable = 1;
    frame->colorCount = uint16_t(1u << bits);
    return frame;
}

std::unique_ptr<Frame> solidFrame(WorkDirectory& work, uint32_t width, uint32_t height, uint32_t color)
{
    return makeFrame(work, width, height, {color, 0}, std::vector<uint8_t>(size_t(width) * height, 0));
}

DocumentBuilder::DocumentBuilder() : scratch_(std::make_unique<ScratchDir>()), work(scratch_->str()), document(work) {}

DocumentBuilder::DocumentBuilder(const std::string& folder) : work(folder), document(work) {}

void DocumentBuilder::screen(uint16_t width, uint16_t height)
{
    document.settings.screenWidth = width;
    document.settings.screenHeight = height;
}

void DocumentBuilder::globalTable(const std::vector<uint32_t>& colors, uint16_t background)
{
    ColorTable table;
    table.count = uint16_t(1u << colorTableBits(uint32_t(colors.size())));
    for (size_t i = 0; i < colors.size(); ++i)
        table.setColor(uint32_t(i), colors[i]);
    table.backgroundIndex = background;
    document.takeGlobalTable(table);
}

Frame& DocumentBuilder::add(uint32_t width, uint32_t height, const std::vector<uint32_t>& colors,
                            const std::vector<uint8_t>& indices, uint32_t left, uint32_t top)
{
    std::unique_ptr<Frame> frame = makeFrame(work, width, height, colors, indices);
    frame->left = left;
    frame->top = top;
    return append(std::move(frame));
}

Frame& DocumentBuilder::addGlobal(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices,
                                  uint32_t left, uint32_t top)
{
    Frame& f = add(width, height, globalColors(document), indices, left, top);
    f.useLocalColorTable = 0;
    return f;
}

Frame& DocumentBuilder::addNumbered(bool workFile)
{
    auto frame = std::make_unique<Frame>();
    const int i = document.frames.count();
    frame->width = uint32_t(10 + i);
    frame->height = uint32_t(20 + i);
    frame->delay = uint16_t(i);
    if (workFile) {
        if (!work.newWorkFileName("gif", frame->workFile))
            throw std::runtime_error("no work file for a test frame");
        std::ofstream(frame->workFile.path()) << "f" << i;
    }
    return append(std::move(frame));
}

Frame& DocumentBuilder::append(std::unique_ptr<Frame> frame)
{
    frame->name = "f" + std::to_string(document.frames.count());
    return *document.frames.frameAt(document.frames.insert(document.frames.count(), frame));
}

DocumentState snapshot(const Document& document)
{
    DocumentState s;
    for (int i = 0; i < document.frames.count(); ++i) {
        const Frame& f = *document.frames.frameAt(i);
        s.frames.push_back({f.workFile.path(), f.name, f.left, f.top, f.width, f.height, f.delay, f.colorCount,
                            f.transparentIndex, f.disposal, f.userInput, f.useLocalColorTable, f.descriptorFlags,
                            readFile(f.workFile.path())});
    }
    const ColorTable& t = document.settings.globalColorTable;
    s.useGlobal = document.settings.useGlobalColorTable;
    s.globalEntries.assign(t.entries.begin(), t.entries.end());
    s.globalCount = t.count;
    s.globalBackground = t.backgroundIndex;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(document.workDirectory().path(), ec)) {
        if (entry.path().filename().string().starts_with("zll")) // not the directory's lock
            s.directory.insert(entry.path().filename().string());
    }
    return s;
}

std::vector<uint8_t> rgbRows(std::span<const uint8_t> dib)
{
    DibHeader h;
    if (!checkDib(dib, &h))
        return {};
    std::vector<uint8_t> rgb;
    for (uint32_t y = 0; y < h.absHeight(); ++y) {
        const uint8_t* row = dib.data() + dibRowOffset(h, y);
        for (int32_t x = 0; x < h.width; ++x)
            rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    return rgb;
}

Screens composedScreens(const Document& document)
{
    Screens screens;
    ScreenComposer composer(document);
    for (int i = 0; i < document.frames.count(); ++i) {
        if (!composer.composeNext())
            return {};
        screens.push_back(rgbRows(composer.screen().bytes()));
    }
    return screens;
}

std::vector<uint8_t> exportedGif(const Document& document, uint32_t options)
{
    ScratchDir folder;
    const std::string path = folder.str() + "out.gif";
    if (!writeAnimatedGif(path, document.frames, GifOutput::fromSettings(document.settings, options)))
        return {};
    return readFile(path);
}

Screens exportedScreens(const Document& document)
{
    ScratchDir folder;
    WorkDirectory work(folder.str());
    Document back(work);
    return importGif(back, exportedGif(document)) ? composedScreens(back) : Screens{};
}

bool importGif(Document& document, const std::vector<uint8_t>& gif)
{
    SplitResult split;
    if (!splitGif(gif, document.workDirectory(), split))
        return false;
    document.settings.screenWidth = split.screenWidth;
    document.settings.screenHeight = split.screenHeight;
    ImportOptions options;
    options.loadGlobalTable = true;
    bool globalTableOpen = true;
    insertSplitFrames(document, split, "in", options, globalTableOpen);
    return document.frames.count() > 0;
}

std::vector<uint8_t> workFileIndices(const Frame& frame)
{
    RasterImage picture;
    return loadGifImage(picture, frame.workFile, 0) ? indicesOf(picture.image.bytes()) : std::vector<uint8_t>{};
}

std::vector<uint32_t> workFileTable(const Frame& frame)
{
    RasterImage picture;
    return loadGifImage(picture, frame.workFile, 0) ? tableOf(picture.image.bytes()) : std::vector<uint32_t>{};
}

std::vector<uint32_t> globalColors(const Document& document)
{
    const ColorTable& t = document.settings.globalColorTable;
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < t.count; ++i)
        colors.push_back(t.color(i));
    return colors;
}

void addNoisyRamp(DocumentBuilder& builder)
{
    builder.screen(64, 64);
    std::vector<uint32_t> grey(64);
    for (uint32_t i = 0; i < grey.size(); ++i)
        grey[i] = 0x040404u * i;
    for (uint32_t seed : {1u, 2u}) {
        std::vector<uint8_t> indices(64 * 64);
        for (size_t i = 0; i < indices.size(); ++i)
            indices[i] = uint8_t(std::clamp(int(i % 64) - 2 + int((i * 2654435761u * seed) >> 29) % 5, 0, 63));
        builder.add(64, 64, grey, indices);
    }
}

std::vector<uint32_t> distinctColors(int n, int seed)
{
    std::vector<uint32_t> colors;
    for (int i = 0; i < n; ++i)
        colors.push_back(makeColor(uint8_t(i * 37 + seed), uint8_t(i), uint8_t(255 - i + seed * 3)));
    return colors;
}


} // namespace zell::test
