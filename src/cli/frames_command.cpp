// zell-cli frames: each frame's picture, or each composed screen, as BMP.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_document.h"
#include "cli/command.h"
#include "document/screen_composer.h"
#include "image/bmp_file.h"
#include "image/raster_image.h"

namespace zell::cli {

namespace {

std::string numbered(const std::string& folder, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame%04d.bmp", index + 1);
    return (std::filesystem::path(folder) / name).string();
}

int runFrames(const std::vector<std::string>& args)
{
    std::string input, folder;
    bool composed = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == "--composed")
            composed = true;
        else if (args[i].size() > 1 && args[i][0] == '-') {
            printError("frames", "unknown option " + args[i]);
            return kExitUsage;
        } else
            input = args[i];
    }
    if (input.empty() || folder.empty()) {
        printError("frames", "usage: zell-cli frames IN -o DIR [--composed]");
        return kExitUsage;
    }
    Document document;
    std::string error;
    if (!readInput(document, input, error)) {
        printError("frames", error);
        return kExitFailed;
    }
    if (uint32_t w, h; composed && exceedsPixelLimit(document, w, h)) {
        printError(input, tooLargeText(document));
        return kExitFailed;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    ScreenComposer composer(document);
    for (int i = 0; i < document.frames.count(); ++i) {
        RasterImage picture;
        const bool ok = composed ? composer.composeNext() : loadFramePicture(document, i, picture);
        const std::string path = numbered(folder, i);
        const ByteBuffer& pixels = composed ? composer.screen() : picture.image;
        if (!ok) {
            printError(input, "frame " + std::to_string(i + 1) + " could not be decoded");
            return kExitFailed;
        }
        errno = 0;
        if (!writeBmpFile(path, pixels.bytes())) {
            printError("frames", writeFailedText(path));
            return kExitFailed;
        }
    }
    return kExitOk;
}

const CommandRegistration registration({
    "frames",
    "each frame (or each composed screen) as a BMP file",
    "Usage: zell-cli frames IN -o DIR [--composed]\n"
    "Writes DIR/frame0001.bmp and so on: each frame's own picture with its own\n"
    "colours, or with --composed each screen as a viewer shows it after that\n"
    "frame (position, transparency and disposal applied).\n",
    runFrames,
});

} // namespace

} // namespace zell::cli
