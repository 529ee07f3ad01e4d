// A GIF stream imported as the Open command does, then every frame composed
// onto the screen (whole and in tiles, which must agree), written by the
// optimising export and optimised: the shared compositor and the lossless
// encoder on hostile input. The input's length picks the optimisation mode,
// so that seeds stay valid GIF streams.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "document/gif_export.h"
#include "document/gif_import.h"
#include "document/screen_composer.h"
#include "image/pixel_limit.h"
#include "image/screen_compositor.h"
#include "operations/optimizer.h"

namespace {

// A screen kept in tiles must show what a whole one shows, frame by frame.
void compareTiledScreen(const zell::Document& document)
{
    const zell::GifSettings& s = document.settings;
    zell::ScreenCompositor whole, tiled;
    if (!whole.start(s.screenWidth, s.screenHeight, zell::backgroundColor(s), true)
        || !tiled.start(s.screenWidth, s.screenHeight, zell::backgroundColor(s), true, true))
        return;
    for (int i = 0; i < document.frames.count(); ++i) {
        const zell::Frame& f = *document.frames.frameAt(i);
        const bool drawn = zell::loadFramePicture(document, i, whole.picture())
            && whole.compose(f.transparentIndex, f.disposal, f.left, f.top);
        const bool tiledDrawn = zell::loadFramePicture(document, i, tiled.picture())
            && tiled.compose(f.transparentIndex, f.disposal, f.left, f.top);
        const auto a = whole.screen().bytes(), b = tiled.screen().bytes();
        if (drawn != tiledDrawn || (drawn && !std::equal(a.begin(), a.end(), b.begin(), b.end())))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static zell::WorkDirectory work((std::filesystem::temp_directory_path() / "").string());
    // Small screens keep each run quick; the limit itself is what is tested.
    zell::setPixelLimit(uint64_t(1) << 16);
    {
        zell::Document document(work);
        zell::SplitResult split;
        if (zell::splitGif({data, size}, work, split)) {
            document.settings.screenWidth = split.screenWidth;
            document.settings.screenHeight = split.screenHeight;
            zell::ImportOptions options;
            options.loadGlobalTable = true;
            bool open = true;
            zell::insertSplitFrames(document, split, "in", options, open);
            zell::ScreenComposer composer(document);
            for (int i = 0; i < document.frames.count(); ++i)
                composer.composeNext();
            compareTiledScreen(document);
            const uint32_t modes[] = {
                zell::kSaveOptimize | zell::kSaveTransparency,
                zell::kSaveLosslessDefault,
                zell::kSaveLosslessDefault | zell::kSaveDropUnchanged | zell::kSaveKeepTiming,
                zell::kSaveOptimize | zell::kSaveTransparency | zell::kSaveAutoTransparency | zell::kSaveDropUnchanged,
            };
            const uint32_t mode = modes[size % 4];
            zell::writeAnimatedGif(work.path() + "out.gif", document.frames,
                                   zell::GifOutput::fromSettings(document.settings, mode));
            zell::optimize(document, mode);
        }
    }
    work.cleanUp("*");
    return 0;
}
