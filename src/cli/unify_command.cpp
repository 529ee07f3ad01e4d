// zell-cli unify: one colour table for the frames, installed as the global
// table.
#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
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

bool parseValue(const std::vector<std::string>& args, size_t& i, std::string& out)
{
    if (i + 1 >= args.size())
        return false;
    out = args[++i];
    return true;
}

struct UnifyArguments {
    std::string input;
    std::string output;
    UnifyOptions options;
    bool haveColors = false;
};

bool parseFlag(const std::string& a, UnifyOptions& options)
{
    if (a == "--keep-background")
        options.keepBackground = true;
    else if (a == "--reserve-transparent")
        options.reserveTransparent = true;
    else if (a == "--transparent-for-all")
        options.transparentForAll = options.reserveTransparent = true;
    else if (a == "--keep-local")
        options.useGlobal = false;
    else
        return false;
    return true;
}

// False with a message on a usage error.
bool parseArguments(const std::vector<std::string>& args, UnifyArguments& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        int size = 0;
        if (a == "-o" && parseValue(args, i, value)) {
            out.output = value;
        } else if (a == "--colors" && parseValue(args, i, value) && parseTableSize(value, size)) {
            out.options.colorCount = size;
            out.haveColors = true;
        } else if (a == "--only-colors" && parseValue(args, i, value) && parseTableSize(value, size)) {
            out.options.sizeMask = uint32_t(size);
        } else if (parseFlag(a, out.options)) {
            continue;
        } else if (!a.empty() && a[0] == '-') {
            printError("unify", "bad option " + a + (value.empty() ? "" : " " + value)
                                    + " (colour counts are 2, 4, 8 ... 256; see zell-cli unify --help)");
            return false;
        } else if (out.input.empty()) {
            out.input = a;
        } else {
            printError("unify", "one input only (see zell-cli unify --help)");
            return false;
        }
    }
    if (out.input.empty() || out.output.empty() || !out.haveColors) {
        printError("unify", "needs IN, -o OUT and --colors K (see zell-cli unify --help)");
        return false;
    }
    return true;
}

int runUnify(const std::vector<std::string>& args)
{
    UnifyArguments a;
    if (!parseArguments(args, a))
        return kExitUsage;
    Document document;
    std::string error;
    if (!readInput(document, a.input, error)) {
        printError("unify", error);
        return kExitFailed;
    }
    Failure why = Failure::none;
    if (!unify(document, a.options, {}, &why, progress())) {
        printError("unify", a.input + ": the palette unification failed: " + failureText(why, document)
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
    "                         replaced all the same\n",
    runUnify,
});

} // namespace

} // namespace zell::cli
