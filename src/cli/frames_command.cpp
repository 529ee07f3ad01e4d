// zell-cli frames: each frame's picture, or each composed screen, as BMP.
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_document.h"
#include "cli/command.h"
#include "cli/options.h"
#include "document/screen_composer.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/raster_image.h"

namespace zell::cli {

namespace {

// The bytes the BMP files will take: the whole screen at 24 bits for each
// frame, or each frame's own picture at 8 bits with at most 256 colours.
uint64_t bytesToWrite(const Document& document, bool composed)
{
    constexpr uint64_t kHeaders = 14 + 40;
    const GifSettings& s = document.settings;
    uint64_t total = 0;
    for (int i = 0; i < document.frames.count(); ++i) {
        const Frame& f = *document.frames.frameAt(i);
        total += composed ? kHeaders + dibStride(s.screenWidth, 24) * s.screenHeight
                          : kHeaders + 4 * 256 + dibStride(f.width, 8) * f.height;
    }
    return total;
}

// A small file may claim a large screen for every one of its frames: the
// folder must have room for all of them before the first is written.
bool roomFor(const std::string& folder, uint64_t bytes, std::string& error)
{
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) != 0)
        return true; // the writes themselves will tell
    const uint64_t free = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (bytes <= free)
        return true;
    constexpr uint64_t kMiB = uint64_t(1) << 20;
    error = "the frames need " + std::to_string((bytes + kMiB - 1) / kMiB) + " MiB, but only "
        + std::to_string(free / kMiB) + " MiB are free there; nothing was written";
    return false;
}

std::string numbered(const std::string& folder, int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame%04d.bmp", index + 1);
    return (std::filesystem::path(folder) / name).string();
}

int runFrames(const std::vector<std::string>& args)
{
    std::string folder;
    bool composed = false;
    const OptionTable table = {
        {"-o", Takes::value, keepValue(folder), "--output"},
        {"--composed", Takes::nothing, setFlag(composed)},
    };
    std::vector<std::string> inputs;
    if (int status = 0; !parseCommandLine("frames", table, args, inputs, status))
        return status;
    if (inputs.size() != 1 || folder.empty()) {
        printError("frames", "usage: zell-cli frames IN -o DIR [--composed]");
        return kExitUsage;
    }
    if (folder == "-") {
        printError("frames", "-o takes a folder; the frames are files of their own, not one stream");
        return kExitUsage;
    }
    const std::string& input = inputs.front();
    Document document;
    std::string error;
    if (!readInput(document, input, error)) {
        printError("frames", error);
        return kExitFailed;
    }
    if (uint32_t w, h; composed && exceedsPixelLimit(document, w, h)) {
        printError(shownName(input), tooLargeText(document));
        return kExitFailed;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!roomFor(folder, bytesToWrite(document, composed), error)) {
        printError(folder, error);
        return kExitFailed;
    }
    ScreenComposer composer(document);
    for (int i = 0; i < document.frames.count(); ++i) {
        RasterImage picture;
        const bool ok = composed ? composer.composeNext() : loadFramePicture(document, i, picture);
        const std::string path = numbered(folder, i);
        const ByteBuffer& pixels = composed ? composer.screen() : picture.image;
        if (!ok) {
            printError(shownName(input), "frame " + std::to_string(i + 1) + " could not be decoded");
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
    "frame (position, transparency and disposal applied). Nothing is written\n"
    "unless DIR has room for all of them. IN may be - (standard input).\n"
    "  --composed    each screen as a viewer shows it\n"
    "  --output DIR  the same as -o DIR\n",
    runFrames,
});

} // namespace

} // namespace zell::cli
