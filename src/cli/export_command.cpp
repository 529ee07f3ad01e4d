// zell-cli export: a project written out as an animated GIF.
#include <string>
#include <vector>

#include "cli/cli_document.h"
#include "cli/command.h"

namespace zell::cli {

namespace {

int runExport(const std::vector<std::string>& args)
{
    std::string input, output;
    uint32_t saveOptions = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) {
            output = args[++i];
        } else if (args[i].rfind("--optimize", 0) == 0) {
            if (!parseOptimize(args[i], saveOptions)) {
                printError("export", "--optimize takes lossless, transparency, auto-transparency, no-transparency, "
                                  "drop-unchanged, keep-timing, shrink-tables, keep-tables");
                return kExitUsage;
            }
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            printError("export", "unknown option " + args[i]);
            return kExitUsage;
        } else if (input.empty()) {
            input = args[i];
        } else {
            printError("export", "only one project can be exported at a time");
            return kExitUsage;
        }
    }
    if (input.empty() || output.empty()) {
        printError("export", "usage: zell-cli export PROJECT.zpj -o OUT.gif");
        return kExitUsage;
    }
    Document document;
    std::string error;
    if (!readInput(document, input, error) || !writeOutput(document, output, saveOptions, error)) {
        printError("export", error);
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration registration({
    "export",
    "a project written as an animated GIF",
    "Usage: zell-cli export PROJECT.zpj -o OUT.gif [--optimize[=...]]\n"
    "Writes the project's frames and settings as one animated GIF.\n"
    "--optimize takes the words of zell-cli build --optimize (default lossless).\n",
    runExport,
});

} // namespace

} // namespace zell::cli
