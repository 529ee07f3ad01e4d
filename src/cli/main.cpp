#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_progress.h"
#include "cli/command.h"
#include "cli/terminal_text.h"
#include "document/work_directory.h"
#include "image/dib.h"
#include "image/pixel_limit.h"
#include "image/random.h"

namespace zell::cli {

std::vector<Command>& commands()
{
    static std::vector<Command> list;
    return list;
}

void printError(const std::string& subject, const std::string& what)
{
    endProgress();
    std::fprintf(stderr, "zell-cli: %s: %s\n", printable(subject).c_str(), printable(what).c_str());
}

void printNote(const std::string& kind, const std::string& subject, const std::string& what)
{
    endProgress();
    std::fprintf(stderr, "zell-cli: %s: %s: %s\n", kind.c_str(), printable(subject).c_str(), printable(what).c_str());
}

bool wantsHelp(const std::vector<std::string>& args)
{
    return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

} // namespace zell::cli

namespace {

// "--quiet" may stand anywhere after the command; it is taken out before the
// command sees its arguments.
bool takeQuiet(std::vector<std::string>& args)
{
    const auto it = std::find(args.begin(), args.end(), "--quiet");
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

// "--max-pixels N" may stand anywhere after the command; it is taken out
// before the command sees its arguments. False on a bad value.
bool takePixelLimit(std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--max-pixels")
            continue;
        uint64_t value = 0;
        const std::string text = i + 1 < args.size() ? args[i + 1] : std::string();
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value == 0
            || value > zell::kMaxPixels)
            return false;
        zell::setPixelLimit(value);
        args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
        return true;
    }
    return true;
}

void printHelp()
{
    std::printf("Usage: zell-cli COMMAND [OPTIONS] [FILES...]\n"
                "Authoring of animated GIF files from the command line.\n\n"
                "Commands:\n");
    auto list = zell::cli::commands();
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& command : list)
        std::printf("  %-12s %s\n", command.name, command.summary);
    std::printf("\nOptions:\n"
                "  --help       show this help (also after a command)\n"
                "  --version    show the version\n"
                "  --quiet      no progress line on a terminal\n"
                "  --max-pixels N  largest picture or screen to decode or compose, in pixels\n"
                "               (default %llu, at most %llu)\n",
                static_cast<unsigned long long>(zell::kDefaultPixelLimit),
                static_cast<unsigned long long>(zell::kMaxPixels));
}

} // namespace

int main(int argc, char** argv)
{
    using namespace zell::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printHelp();
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::printf("zell-cli %s\n", ZELL_VERSION);
        return kExitOk;
    }
    for (const auto& command : commands()) {
        if (args[0] == command.name) {
            std::vector<std::string> rest(args.begin() + 1, args.end());
            if (!takePixelLimit(rest)) {
                printError(command.name, "--max-pixels takes a number of pixels from 1 to "
                                             + std::to_string(zell::kMaxPixels));
                return kExitUsage;
            }
            if (wantsHelp(rest)) {
                std::printf("%s", command.usage);
                return kExitOk;
            }
            zell::seedProcessRandomFromClock();
            // Work directories of zell processes that were killed would pile up otherwise.
            zell::removeStaleWorkDirectories();
            const bool quiet = takeQuiet(rest);
            startProgress(command.name, quiet);
            const int status = command.run(rest);
            endProgress();
            // Documents are gone by now; their work directory goes with them.
            zell::WorkDirectory::process().cleanUp("*");
            if (interrupted()) {
                if (status == kExitOk)
                    printError(command.name, "interrupted after the work was done");
                return kExitInterrupted;
            }
            return status;
        }
    }
    printError(args[0], "unknown command (see zell-cli --help)");
    return kExitUsage;
}
