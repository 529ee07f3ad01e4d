// zell-cli optimize: crop every frame to what it changes, optionally with
// transparent pixels and without the frames that change nothing.
#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "cli/options.h"
#include "document/gif_export.h"
#include "operations/optimizer.h"

namespace zell::cli {

namespace {

struct OptimizeArguments {
    std::string input;
    std::string output;
    OptimizeChoice choice;
    int lossy = 0;
    uint64_t maxSize = 0;
    uint32_t options = 0; // the choice's, with the lossy level
};

// False when the command must not run, with `status` its exit status.
bool parseArguments(const std::vector<std::string>& args, OptimizeArguments& out, int& status)
{
    OptimizeChoice& choice = out.choice;
    auto word = [&choice](const char* w) {
        return [&choice, w](const std::string&) { choice.apply(w); return std::string(); };
    };
    OptionTable table = {
        {"--transparency", Takes::optionalValue,
         [&choice](const std::string& mode) {
             if (mode.empty())
                 choice.apply("transparency");
             else if ((mode != "lossless" && mode != "existing" && mode != "auto" && mode != "none")
                      || !choice.apply(mode))
                 return std::string("--transparency takes lossless, existing, auto or none");
             return std::string();
         }},
        {"--auto-transparency", Takes::nothing, word("auto-transparency")},
        {"--drop-unchanged", Takes::optionalValue,
         [&choice](const std::string& how) {
             if (!how.empty() && how != "keep-timing")
                 return std::string("--drop-unchanged takes only =keep-timing");
             choice.apply(how.empty() ? "drop-unchanged" : "keep-timing");
             return std::string();
         }},
        {"--shrink-tables", Takes::nothing, word("shrink-tables")},
        {"--keep-tables", Takes::nothing, word("keep-tables")},
        lossyOption(out.lossy),
        maxSizeOption(out.maxSize),
    };
    addOutputOptions(table, out.output);
    std::vector<std::string> inputs;
    if (!parseCommandLine("optimize", table, args, inputs, status))
        return false;
    status = kExitUsage;
    if (inputs.size() > 1) {
        printError("optimize", "one input only (see zell-cli optimize --help)");
        return false;
    }
    if (inputs.empty() || out.output.empty()) {
        printError("optimize", "needs IN and -o OUT (see zell-cli optimize --help)");
        return false;
    }
    out.input = inputs.front();
    out.options = choice.finish();
    if (const std::string problem = applyLossy(out.lossy, out.options); !problem.empty()) {
        printError("optimize", problem);
        return false;
    }
    return true;
}

int runOptimize(const std::vector<std::string>& args)
{
    OptimizeArguments a;
    if (int status = 0; !parseArguments(args, a, status))
        return status;
    Document document;
    std::string error;
    if (!readInput(document, a.input, error)) {
        printError("optimize", error);
        return kExitFailed;
    }
    // A GIF is written by the optimising export, which gives the same bytes
    // without a new work file for every frame it rewrites.
    if (!writesProject(a.output) || a.maxSize) {
        if (!fitMaxSize(document, a.output, a.maxSize, a.options, error)
            || !writeOutput(document, a.output, a.options, error)) {
            printError("optimize", error);
            return kExitFailed;
        }
        return kExitOk;
    }
    Failure why = Failure::none;
    if (!optimize(document, a.options, {}, &why, progress())) {
        printError("optimize",
                   shownName(a.input) + ": the optimisation failed: " + failureText(why, document)
                       + "; nothing was written");
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
    "Usage: zell-cli optimize IN -o OUT [--transparency[=MODE]] [--auto-transparency]\n"
    "                         [--drop-unchanged[=keep-timing]] [--shrink-tables]\n"
    "                         [--keep-tables] [--lossy[=N]] [--max-size BYTES]\n"
    "Crops every frame after the first to the rectangle that changes the screen\n"
    "and shrinks its own colour table to the colours it still needs.\n"
    "IN is a GIF, a still image or a project (*.zpj); OUT ending in .zpj writes a\n"
    "project, anything else a GIF. A GIF keeps its looping and comments.\n\n"
    "  --transparency=lossless  (the default) frames without a transparent colour\n"
    "                       get an index they do not use; pixels that change\n"
    "                       nothing are written transparent or in their own colour,\n"
    "                       whichever compresses better; each frame keeps its\n"
    "                       smallest encoding. No pixel of any screen changes.\n"
    "  --transparency       (=existing) pixels that change nothing become the\n"
    "                       transparent colour of frames that have one\n"
    "  --transparency=none  crop only\n"
    "  --auto-transparency  (=auto) also give frames without a transparent colour\n"
    "                       one by requantising them (may change colours slightly)\n"
    "  --drop-unchanged     delete frames that change nothing; their delay and\n"
    "                       user-input wait go with them\n"
    "  --drop-unchanged=keep-timing  the same, but a deleted frame's delay is added\n"
    "                       to the frame shown before it\n"
    "  --shrink-tables      cut the global table to the smallest power of two that\n"
    "                       holds the colours used (the default with lossless)\n"
    "  --keep-tables        leave the global table as it is\n"
    ZELL_CLI_LOSSY_HELP
    ZELL_CLI_OUTPUT_HELP,
    runOptimize,
});

} // namespace

} // namespace zell::cli
