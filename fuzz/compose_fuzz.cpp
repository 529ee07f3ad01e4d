// A GIF stream imported as the Open command does, then every frame composed
// onto the screen, optimised and played: the shared compositor on hostile
// input.
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "document/gif_export.h"
#include "document/gif_import.h"
#include "document/screen_composer.h"
#include "image/pixel_limit.h"
#include "operations/optimizer.h"

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
            zell::optimize(document, zell::kSaveOptimize | zell::kSaveTransparency);
        }
    }
    work.cleanUp("*");
    return 0;
}
