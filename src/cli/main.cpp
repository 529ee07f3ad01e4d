#include <algorithm>
#include <cstdio>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "cli/options.h"
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

} // namespace zell::cli

namespace {

constexpr uint64_t kWorkMemoryBudget = uint64_t(256) << 20;

void printHelp()
{
    std::printf("Usage: zell-cli COMMAND [OPTIONS] [FILES...]\n"
                "Authoring of animated GIF files from the command line.\n\n"
                "Commands:\n");
    auto list = zell::cli::commands();
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& command : list)
        std::printf("  %-12s %s\n", command.name, command.summary);
    std::printf("\nzell-cli help COMMAND (or zell-cli COMMAND --help) explains a command.\n"
                "\nOptions:\n"
                "  --help       show this help, or with a command that command's help\n"
                "  --version    show the version\n"
                "  --quiet      no progress line on a terminal\n"
                "  --max-pixels N  largest picture or screen to decode or compose, in pixels\n"
                "               (default %llu, at most %llu)\n"
                "These four may stand before or after the command.\n"
                "An option's value follows it (--delay 5) or is joined by '=' (--delay=5);\n"
                "a value in brackets ([=WORD]) may only be joined. -- ends the options.\n"
                "A file named - is standard input; -o - writes standard output.\n",
                static_cast<unsigned long long>(zell::kDefaultPixelLimit),
                static_cast<unsigned long long>(zell::kMaxPixels));
}

const zell::cli::Command* findCommand(const std::string& name)
{
    for (const auto& command : zell::cli::commands()) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

int unknownCommand(const std::string& name)
{
    zell::cli::printError(name, "unknown command (see zell-cli --help)");
    return zell::cli::kExitUsage;
}

// "zell-cli help [COMMAND]".
int answerHelp(const std::vector<std::string>& words)
{
    if (words.empty()) {
        printHelp();
        return zell::cli::kExitOk;
    }
    if (words.size() > 1) {
        zell::cli::printError("help", "takes one command (see zell-cli --help)");
        return zell::cli::kExitUsage;
    }
    return zell::cli::printCommandHelp(words[0]) ? zell::cli::kExitOk : unknownCommand(words[0]);
}

int runCommand(const zell::cli::Command& command, const std::vector<std::string>& rest)
{
    using namespace zell::cli;
    zell::seedProcessRandomFromClock();
    // Work directories of zell processes that were killed would pile up otherwise.
    zell::removeStaleWorkDirectories();
    // One command, then the process ends: the frames' pictures stay in
    // memory rather than in a file each, up to a bound that keeps a very
    // long animation from taking all of it.
    zell::WorkDirectory::process().keepInMemory(kWorkMemoryBudget);
#if defined(__GLIBC__)
    // A frame's buffers are made and freed frame after frame. By default
    // glibc maps each large one afresh and gives the pages back at once, and
    // faulting them in again cost about a tenth of an optimising run.
    // One arena: a second one, for the thread that encodes ahead, would
    // give its pages back as readily.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
    mallopt(M_ARENA_MAX, 1);
#endif
    startProgress(command.name, false);
    const int status = command.run(rest);
    endProgress();
    // Documents are gone by now; their work directory goes with them.
    dropStandardInput();
    zell::WorkDirectory::process().cleanUp("*");
    if (interrupted()) {
        if (status == kExitOk)
            printError(command.name, "interrupted after the work was done");
        return kExitInterrupted;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace zell::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printHelp();
        return kExitUsage;
    }
    size_t at = 0;
    GlobalOptions global;
    int status = kExitOk;
    if (!parseGlobalOptions(args, at, global, status))
        return status;
    if (global.version) {
        printVersion();
        return kExitOk;
    }
    if (at == args.size() || args[at] == "help") {
        if (at == args.size() && !global.help) {
            printHelp();
            return kExitUsage;
        }
        std::vector<std::string> words;
        if (at < args.size())
            words.assign(args.begin() + long(at) + 1, args.end());
        return answerHelp(words);
    }
    const Command* command = findCommand(args[at]);
    if (!command)
        return unknownCommand(args[at]);
    if (global.help)
        return answerHelp({args[at]});
    return runCommand(*command, std::vector<std::string>(args.begin() + long(at) + 1, args.end()));
}
