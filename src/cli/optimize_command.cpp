// zell-cli optimize: crop every frame to what it changes, optionally with
// transparent pixels and without the frames that change nothing.
#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "document/gif_export.h"
#include "operations/optimizer.h"

namespace zell::cli {

namespace {

struct OptimizeArguments {
    std::string input;
    std::string output;
    uint32_t options = kSaveOptimize;
};

// False with a message on a usage error.
bool parseArguments(const std::vector<std::string>& args, OptimizeArguments& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" && i + 1 < args.size()) {
            out.output = args[++i];
        } else if (a == "--transparency") {
            out.options |= kSaveTransparency;
        } else if (a == "--auto-transparency") {
            out.options |= kSaveTransparency | kSaveAutoTransparency;
        } else if (a == "--drop-unchanged") {
            out.options |= kSaveDropUnchanged;
        } else if (!a.empty() && a[0] == '-') {
            printError("optimize", "unknown option " + a + " (see zell-cli optimize --help)");
            return false;
        } else if (out.input.empty()) {
            out.input = a;
        } else {
            printError("optimize", "one input only (see zell-cli optimize --help)");
            return false;
        }
    }
    if (out.input.empty() || out.output.empty()) {
        printError("optimize", "needs IN and -o OUT (see zell-cli optimize --help)");
        return false;
    }
    return true;
}

int runOptimize(const std::vector<std::string>& args)
{
    OptimizeArguments a;
    if (!parseArguments(args, a))
        return kExitUsage;
    Document document;
    std::string error;
    if (!readInput(document, a.input, error)) {
        printError("optimize", error);
        return kExitFailed;
    }
    Failure why = Failure::none;
    if (!optimize(document, a.options, {}, &why, progress())) {
        printError("optimize",
                   a.input + ": the optimisation failed: " + failureText(why, document) + "; nothing was written");
        return kExitFailed;
    }
    if (!writeOutput(document, a.output, 0, error)) {
        printError("optimize", error);
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration registration({
    "optimize",
    "make an animation smaller without changing what it shows",
    "Usage: zell-cli optimize IN -o OUT [--transparency] [--auto-transparency]\n"
    "                         [--drop-unchanged]\n"
    "Crops every frame after the first to the rectangle that changes the screen\n"
    "and shrinks its own colour table to the colours it still needs.\n"
    "IN is a GIF, a still image or a project (*.zpj); OUT ending in .zpj writes a\n"
    "project, anything else a GIF. A GIF keeps its looping and comments.\n\n"
    "  --transparency       pixels that change nothing become the transparent\n"
    "                       colour (long runs of one index compress well)\n"
    "  --auto-transparency  also give frames without a transparent colour one\n"
    "                       (implies --transparency; may change colours slightly)\n"
    "  --drop-unchanged     delete frames that change nothing; their delay and\n"
    "                       user-input wait go with them\n",
    runOptimize,
});

} // namespace

} // namespace zell::cli
