// zell-cli export: a project written out as an animated GIF.
#include <string>
#include <vector>

#include "cli/cli_document.h"
#include "cli/command.h"
#include "cli/options.h"

namespace zell::cli {

namespace {

int runExport(const std::vector<std::string>& args)
{
    std::string output;
    uint32_t saveOptions = 0;
    int lossy = 0;
    uint64_t maxSize = 0;
    OptionTable table = {
        optimizeOption(saveOptions),
        lossyOption(lossy),
        maxSizeOption(maxSize),
    };
    addOutputOptions(table, output);
    std::vector<std::string> inputs;
    if (int status = 0; !parseCommandLine("export", table, args, inputs, status))
        return status;
    if (const std::string problem = applyLossy(lossy, saveOptions); !problem.empty()) {
        printError("export", problem);
        return kExitUsage;
    }
    if (inputs.size() > 1) {
        printError("export", "only one project can be exported at a time");
        return kExitUsage;
    }
    if (inputs.empty() || output.empty()) {
        printError("export", "usage: zell-cli export PROJECT.zpj -o OUT.gif");
        return kExitUsage;
    }
    const std::string& input = inputs.front();
    Document document;
    std::string error;
    if (!readInput(document, input, error) || !fitMaxSize(document, output, maxSize, saveOptions, error)
        || !writeOutput(document, output, saveOptions, error)) {
        printError("export", error);
        return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistration registration({
    "export",
    "a project written as an animated GIF",
    "Usage: zell-cli export PROJECT.zpj -o OUT.gif [--optimize[=...]] [--lossy[=N]]\n"
    "                 [--max-size BYTES]\n"
    "Writes the project's frames and settings as one animated GIF.\n"
    "--optimize takes the words of zell-cli build --optimize (default lossless).\n"
    ZELL_CLI_LOSSY_HELP
    ZELL_CLI_OUTPUT_HELP,
    runExport,
});

} // namespace

} // namespace zell::cli
