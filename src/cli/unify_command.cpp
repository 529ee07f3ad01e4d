// zell-cli unify: one colour table for the frames, installed as the global
// table.
#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "cli/options.h"
#include "operations/palette_unifier.h"

namespace zell::cli {

namespace {

// A table size given on the command line: 2, 4, ... 256.
bool parseTableSize(const std::string& text, int& out)
{
    long value = 0;
    if (!parseNumber(text, 2, 256, value) || !isTableSize(int(value)))
        return false;
    out = int(value);
    return true;
}

struct UnifyArguments {
    std::string input;
    std::string output;
    UnifyOptions options;
    bool haveColors = false;
};

// False when the command must not run, with `status` its exit status.
bool parseArguments(const std::vector<std::string>& args, UnifyArguments& out, int& status)
{
    UnifyOptions& o = out.options;
    const auto badCount = [](const char* option, const std::string& v) {
        return std::string("bad option ") + option + " " + v
            + " (colour counts are 2, 4, 8 ... 256; see zell-cli unify --help)";
    };
    OptionTable table = {
        {"--colors", Takes::value,
         [&, badCount](const std::string& v) {
             out.haveColors = parseTableSize(v, o.colorCount);
             return out.haveColors ? std::string() : badCount("--colors", v);
         }},
        {"--only-colors", Takes::value,
         [&, badCount](const std::string& v) {
             int size = 0;
             if (!parseTableSize(v, size))
                 return badCount("--only-colors", v);
             o.sizeMask = uint32_t(size);
             return std::string();
         }},
        {"--keep-background", Takes::nothing, setFlag(o.keepBackground)},
        {"--reserve-transparent", Takes::nothing, setFlag(o.reserveTransparent)},
        {"--transparent-for-all", Takes::nothing,
         [&o](const std::string&) {
             o.transparentForAll = o.reserveTransparent = true;
             return std::string();
         }},
        {"--keep-local", Takes::nothing, [&o](const std::string&) { o.useGlobal = false; return std::string(); }},
    };
    addOutputOptions(table, out.output);
    std::vector<std::string> inputs;
    if (!parseCommandLine("unify", table, args, inputs, status))
        return false;
    status = kExitUsage;
    if (inputs.size() > 1) {
        printError("unify", "one input only (see zell-cli unify --help)");
        return false;
    }
    if (inputs.empty() || out.output.empty() || !out.haveColors) {
        printError("unify", "needs IN, -o OUT and --colors K (see zell-cli unify --help)");
        return false;
    }
    out.input = inputs.front();
    return true;
}

int runUnify(const std::vector<std::string>& args)
{
    UnifyArguments a;
    if (int status = 0; !parseArguments(args, a, status))
        return status;
    Document document;
    std::string error;
    if (!readInput(document, a.input, error)) {
        printError("unify", error);
        return kExitFailed;
    }
    Failure why = Failure::none;
    if (!unify(document, a.options, {}, &why, progress())) {
        printError("unify", shownName(a.input) + ": the palette unification failed: " + failureText(why, document)
                                + "; nothing was written");
        return kExitFailed;
    }
    if (!writeOutput(document, a.output, 0, error)) {
        printError("unify", error);
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration registration({
    "unify",
    "give the frames one colour table, the global one",
    "Usage: zell-cli unify IN -o OUT --colors K [--only-colors N] [--keep-background]\n"
    "                      [--reserve-transparent] [--transparent-for-all] [--keep-local]\n"
    "Gathers the colours of the frames, reduces them to K entries, redraws every\n"
    "frame with that palette and makes it the global colour table. The pictures\n"
    "may differ slightly from the originals.\n"
    "IN is a GIF, a still image or a project (*.zpj); OUT ending in .zpj writes a\n"
    "project, anything else a GIF. A GIF keeps its looping and comments.\n\n"
    "  --colors K             entries of the new table: 2, 4, 8, 16, 32, 64, 128, 256\n"
    "  --only-colors N        only the frames whose own table has N entries\n"
    "  --keep-background      keep one entry for the background colour (K > 2)\n"
    "  --reserve-transparent  keep one entry for transparency (K > 2); on by\n"
    "                         itself when a chosen frame has a transparent colour\n"
    "  --transparent-for-all  give that entry to every chosen frame as its\n"
    "                         transparent colour (implies --reserve-transparent)\n"
    "  --keep-local           the frames keep their choice of table (their own\n"
    "                         tables hold the new palette); the global table is\n"
    "                         replaced all the same\n"
    ZELL_CLI_OUTPUT_HELP,
    runUnify,
});

} // namespace

} // namespace zell::cli
