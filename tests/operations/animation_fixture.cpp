#include "operations/animation_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "document/gif_export.h"
#include "document/gif_import.h"
#include "document/screen_composer.h"
#include "image/raster_image.h"
#include "support/indexed_dib.h"
#include "support/work_frames.h"

namespace zell::test {

void AnimationFixture::globalTable(const std::vector<uint32_t>& colors, uint16_t background)
{
    ColorTable table;
    table.count = uint16_t(1u << colorTableBits(uint32_t(colors.size())));
    for (size_t i = 0; i < colors.size(); ++i)
        table.setColor(uint32_t(i), colors[i]);
    table.backgroundIndex = background;
    document_.takeGlobalTable(table);
}

Frame& AnimationFixture::add(uint32_t width, uint32_t height, const std::vector<uint32_t>& colors,
                             const std::vector<uint8_t>& indices, uint32_t left, uint32_t top)
{
    std::unique_ptr<Frame> frame = makeFrame(work_, width, height, colors, indices);
    frame->left = left;
    frame->top = top;
    frame->name = "frame " + std::to_string(document_.frames.count());
    Frame& f = *frame;
    document_.frames.insert(document_.frames.count(), frame);
    return f;
}

Frame& AnimationFixture::addGlobal(uint32_t width, uint32_t height, const std::vector<uint8_t>& indices,
                                   uint32_t left, uint32_t top)
{
    Frame& f = add(width, height, globalColors(document_), indices, left, top);
    f.useLocalColorTable = 0;
    return f;
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

Screens composedScreens(const Document& document)
{
    Screens screens;
    ScreenComposer composer(document);
    for (int i = 0; i < document.frames.count(); ++i) {
        if (!composer.composeNext())
            return {};
        screens.emplace_back(composer.screen().data(), composer.screen().data() + composer.screen().size());
    }
    return screens;
}

Screens exportedScreens(const Document& document)
{
    ScratchDir folder;
    const std::string path = folder.str() + "out.gif";
    if (!writeAnimatedGif(path, document.frames, GifOutput::fromSettings(document.settings, 0)))
        return {};
    WorkDirectory work(folder.str());
    Document back(work);
    return importGif(back, readFile(path)) ? composedScreens(back) : Screens{};
}

double psnr(const Screens& a, const Screens& b)
{
    double squared = 0;
    uint64_t samples = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        // Headers are equal for equal screens; only the samples count.
        for (size_t k = kDibHeaderSize; k < a[i].size() && k < b[i].size(); ++k)
            squared += (double(a[i][k]) - double(b[i][k])) * (double(a[i][k]) - double(b[i][k]));
        samples += a[i].size() - kDibHeaderSize;
    }
    if (squared == 0)
        return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 * double(samples) / squared);
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
    EXPECT_TRUE(picture.loadGifImage(frame.workFile.path(), 0));
    return indicesOf(picture.image.bytes());
}

std::vector<uint32_t> workFileTable(const Frame& frame)
{
    RasterImage picture;
    EXPECT_TRUE(picture.loadGifImage(frame.workFile.path(), 0));
    return tableOf(picture.image.bytes());
}

std::vector<uint32_t> globalColors(const Document& document)
{
    const ColorTable& t = document.settings.globalColorTable;
    std::vector<uint32_t> colors;
    for (uint32_t i = 0; i < t.count; ++i)
        colors.push_back(t.color(i));
    return colors;
}

std::vector<uint32_t> distinctColors(int n, int seed)
{
    std::vector<uint32_t> colors;
    for (int i = 0; i < n; ++i)
        colors.push_back(makeColor(uint8_t(i * 37 + seed), uint8_t(i), uint8_t(255 - i + seed * 3)));
    return colors;
}

} // namespace zell::test
