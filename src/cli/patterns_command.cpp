// zell-cli patterns: the transitions --pattern can name, numbered from 1.
#include <cstdio>

#include "cli/command.h"
#include "cli/options.h"
#include "cli/terminal_text.h"
#include "playback/plugin_discovery.h"
#include "playback/transition_plugin.h"

namespace zell::cli {

namespace {

int runPatterns(const std::vector<std::string>& args)
{
    std::vector<std::string> operands;
    if (int status = 0; !parseCommandLine("patterns", {}, args, operands, status))
        return status;
    if (!operands.empty()) {
        printError("patterns", "takes no arguments (see zell-cli patterns --help)");
        return kExitUsage;
    }
    const auto list = makeTransitionList(transitionPluginFolders());
    int number = 0;
    for (const auto& transition : list) {
        const auto* plugin = dynamic_cast<const TransitionPlugin*>(transition.get());
        const std::string source = plugin ? printable(plugin->libraryPath) : "built-in";
        std::printf("%d\t%s\t%u\t%s\n", ++number, printable(transition->name).c_str(), unsigned(transition->maxSteps),
                    source.c_str());
    }
    return kExitOk;
}

const CommandRegistration registration({
    "patterns",
    "list the screen transitions, built-in and from plug-ins",
    "Usage: zell-cli patterns\n"
    "Lists the screen transitions, one a line, fields separated by tabs:\n"
    "number (from 1, as transition --pattern takes it), name, largest step\n"
    "count, and \"built-in\" or the plug-in library that offers it.\n"
    "Plug-ins are the *.so files in \"plugins\" beside zell-cli, then in\n"
    "../lib/zell/plugins relative to it (where an installed zell keeps them),\n"
    "then in each folder of ZELL_PLUGIN_PATH (colon-separated).\n",
    runPatterns,
});

} // namespace

} // namespace zell::cli
