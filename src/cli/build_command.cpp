// zell-cli build: frames from images, then an animated GIF or a project.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_document.h"
#include "cli/clip_options.h"
#include "cli/command.h"
#include "cli/options.h"
#include "image/neural_quantizer.h"

namespace zell::cli {

// Stills of more than 256 colours get a refined palette unless told: about
// 3 dB more than the network alone on photo-like pictures (bench/photo_psnr.sh).
constexpr uint32_t kStillColorsDefault = kNeuQuantRefine;

namespace {

struct BuildArgs {
    std::string output;
    std::vector<std::string> inputs;
    std::optional<bool> globalTable; // default: when the frames start a new list
    bool comments = false;
    bool keepAlpha = false;
    uint32_t stillColors = kStillColorsDefault;
    bool hasComment = false;
    std::string comment;
    std::string loop;
    long delay = -1;
    long disposal = -1;
    long screenWidth = -1;
    long screenHeight = -1;
    uint32_t saveOptions = 0;
    int lossy = 0;
    uint64_t maxSize = 0;
    ClipOptions clip;
};

// A screen of no width or height would show nothing.
bool parseScreen(const std::string& text, long& width, long& height)
{
    const size_t x = text.find('x');
    return x != std::string::npos && parseNumber(text.substr(0, x), 1, 65535, width)
        && parseNumber(text.substr(x + 1), 1, 65535, height);
}

// False when the command must not run, with `status` its exit status.
bool parse(const std::vector<std::string>& args, BuildArgs& out, int& status)
{
    const auto colors = [&out](uint32_t set, uint32_t clear) {
        return [&out, set, clear](const std::string&) {
            out.stillColors = (out.stillColors & ~clear) | set;
            return std::string();
        };
    };
    OptionTable table = {
        {"--global-table", Takes::nothing, [&out](const std::string&) { out.globalTable = true; return std::string(); }},
        {"--no-global-table", Takes::nothing,
         [&out](const std::string&) { out.globalTable = false; return std::string(); }},
        {"--comments", Takes::nothing, setFlag(out.comments)},
        {"--keep-alpha", Takes::nothing, setFlag(out.keepAlpha)},
        {"--refine-colors", Takes::nothing, colors(kNeuQuantRefine, 0)},
        {"--network-colors", Takes::nothing, colors(0, kNeuQuantRefine)},
        {"--comment", Takes::value,
         [&out](const std::string& v) {
             out.comment = v;
             out.hasComment = true;
             return std::string();
         }},
        {"--loop", Takes::value,
         [&out](const std::string& v) {
             long count = 0;
             out.loop = v;
             return v == "forever" || v == "off" || parseNumber(v, 0, 65535, count)
                 ? std::string() : "--loop takes forever, off or a count 0-65535";
         }},
        {"--delay", Takes::value,
         [&out](const std::string& v) {
             return parseNumber(v, 0, 65535, out.delay) ? std::string()
                                                        : "--delay takes hundredths of a second, 0-65535";
         }},
        {"--disposal", Takes::value,
         [&out](const std::string& v) {
             return parseNumber(v, 0, 3, out.disposal) ? std::string() : "--disposal takes 0-3";
         }},
        {"--screen", Takes::value,
         [&out](const std::string& v) {
             return parseScreen(v, out.screenWidth, out.screenHeight) ? std::string()
                                                                      : "--screen takes WIDTHxHEIGHT, each 1 to 65535";
         }},
        optimizeOption(out.saveOptions),
        lossyOption(out.lossy),
        maxSizeOption(out.maxSize),
    };
    addOutputOptions(table, out.output);
    addClipOptions(table, out.clip, [&out] { out.stillColors |= kNeuQuantDither; });
    if (!parseCommandLine("build", table, args, out.inputs, status))
        return false;
    status = kExitUsage;
    if (const std::string problem = checkClipOptions(out.clip); !problem.empty())
        printError("build", problem);
    else if (const std::string lossy = applyLossy(out.lossy, out.saveOptions); !lossy.empty())
        printError("build", lossy);
    else if (out.output.empty())
        printError("build", "no output file given (-o OUT)");
    else if (out.inputs.empty())
        printError("build", "no input files given");
    else
        return true;
    return false;
}

void applyLoop(const std::string& loop, GifSettings& settings)
{
    settings.loop = loop != "off";
    settings.loopLimited = false;
    settings.loopCount = 0;
    long count = 0;
    if (parseNumber(loop, 0, 65535, count) && count > 0) {
        settings.loopLimited = true;
        settings.loopCount = uint16_t(count);
    }
}

int runBuild(const std::vector<std::string>& args)
{
    BuildArgs a;
    if (int status = 0; !parse(args, a, status))
        return status;
    Document document;
    std::string error;
    // A project comes first and brings its settings; the images join its frames.
    std::vector<std::string> images = a.inputs;
    const bool fromProject = isProjectInput(images.front());
    ImportOptions options;
    // As the Open command: a GIF's global table comes along into an empty
    // list, not over a project's frames.
    options.loadGlobalTable = a.globalTable.value_or(!fromProject);
    options.loadComment = a.comments;
    options.keepAlpha = a.keepAlpha;
    options.stillColors = a.stillColors;
    options.clip = a.clip;
    if (fromProject) {
        if (!readInput(document, images.front(), error)) {
            printError("build", error);
            return kExitFailed;
        }
        images.erase(images.begin());
    }
    for (const std::string& path : images) {
        if (isProjectInput(path)) {
            printError("build", shownName(path) + ": a project can only be the first input");
            return kExitUsage;
        }
    }
    if (!images.empty() && !importInputs(document, images, options, error)) {
        printError("build", error);
        return kExitFailed;
    }
    GifSettings& s = document.settings;
    if (a.loop.empty()) {
        if (!fromProject)
            takeLoopingOf(a.inputs.front(), s);
    } else
        applyLoop(a.loop, s);
    if (a.hasComment) {
        s.comment = a.comment;
        s.saveComment = !a.comment.empty();
    }
    if (a.screenWidth >= 0) {
        s.screenWidth = uint16_t(a.screenWidth);
        s.screenHeight = uint16_t(a.screenHeight);
    }
    for (int i = 0; i < document.frames.count(); ++i) {
        Frame& f = *document.frames.frameAt(i);
        if (a.delay >= 0)
            f.delay = uint16_t(a.delay);
        if (a.disposal >= 0)
            f.disposal = uint8_t(a.disposal);
    }
    if (!fitMaxSize(document, a.output, a.maxSize, a.saveOptions, error)
        || !writeOutput(document, a.output, a.saveOptions, error)) {
        printError("build", error);
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration registration({
    "build",
    "frames from images (GIF, BMP, JPEG, PNG) and clips, then an animated GIF or a project",
    "Usage: zell-cli build -o OUT INPUT... [options]\n"
    "Imports every input as the Open command does (GIF files split into frames,\n"
    "still images converted to one frame) and writes OUT, an animated GIF, or a\n"
    "project when OUT ends in .zpj. The first input may be a project (*.zpj): its\n"
    "frames and settings come first and the other inputs are added after them.\n\n"
    "  --global-table        take the first file's global colour table (the\n"
    "                        default unless the first input is a project)\n"
    "  --no-global-table     every frame keeps a colour table of its own\n"
    "  --comments            keep the inputs' comments\n"
    "  --keep-alpha          fully transparent pixels of PNG and 32-bit BMP inputs\n"
    "                        become the frame's transparent colour (default: they\n"
    "                        show the background)\n"
    "  --dither              stills of more than 256 colours are dithered\n"
    "                        (Floyd-Steinberg error diffusion)\n"
    "  --refine-colors       their palette is refined by k-means after the neural\n"
    "                        network (the default)\n"
    "  --network-colors      their palette is the network's as it comes out\n"
    "  --comment TEXT        write this comment\n"
    "  --loop forever|off|N  looping (default: as the project or the first GIF\n"
    "                        input; forever for still images)\n"
    "  --delay N             every frame's delay, in 1/100 s\n"
    "  --disposal 0-3        every frame's disposal method\n"
    "  --screen WxH          logical screen size (default: the largest input)\n"
    "  --optimize[=WORD,...] crop and re-encode frames against the screen; words:\n"
    "                        lossless (the default: frames without a transparent\n"
    "                        colour get an unused index, no pixel changes),\n"
    "                        transparency, auto-transparency, no-transparency,\n"
    "                        drop-unchanged, keep-timing (drop-unchanged, the delay\n"
    "                        going to the frame before), shrink-tables (default\n"
    "                        with lossless), keep-tables\n"
    ZELL_CLI_LOSSY_HELP
    ZELL_CLI_OUTPUT_HELP
    ZELL_CLIP_OPTIONS_HELP,
    runBuild,
});

} // namespace

} // namespace zell::cli
