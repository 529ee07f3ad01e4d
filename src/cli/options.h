// The one option grammar of every zell-cli command:
//   --name=value and --name value   an option that needs a value
//   --name[=value]                  an option whose value may be left out takes
//                                   it only after '=', so that "--optimize a.gif"
//                                   leaves a.gif an input
//   -o FILE, -oFILE                 a short name, value joined or next
//   --                              every argument after it is an operand
//   -                               an operand (standard input or output)
// The global options (--quiet, --max-pixels, --help, --version) belong to
// every command's table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zell::cli {

enum class Takes { nothing, value, optionalValue };

struct Option {
    const char* name; // "--delay", or "-o" for a one-letter name
    Takes takes;
    // Takes the value ("" when an optional one was left out) and returns
    // what is wrong with it, or "" when it is good.
    std::function<std::string(const std::string& value)> apply;
    const char* alias = nullptr; // a second spelling: "--output" for "-o"
};

using OptionTable = std::vector<Option>;

// What most rows do with their value.
std::function<std::string(const std::string&)> setFlag(bool& field);
std::function<std::string(const std::string&)> keepValue(std::string& field);
// --optimize[=WORD,...] of the commands that write a GIF.
Option optimizeOption(uint32_t& saveOptions);
// --lossy[=N]: the level, 80 when left out.
Option lossyOption(int& level);
// Puts a --lossy level into the save options, which it makes optimise
// losslessly when they did not optimise; "" or what is wrong.
std::string applyLossy(int level, uint32_t& saveOptions);
// --max-size BYTES: the largest GIF to write.
Option maxSizeOption(uint64_t& bytes);
#define ZELL_CLI_LOSSY_HELP \
    "  --lossy[=N]          let pixels move by a little where that shortens the\n" \
    "                       LZW stream, level 1-200 (default 80; 0 exact); goes\n" \
    "                       with the lossless optimisation, which it implies\n" \
    "  --max-size BYTES     the lowest lossy level whose GIF is at most BYTES\n" \
    "                       (it says which); nothing is written when none is\n"

// -o FILE / --output FILE and --format gif|zpj, for commands that write an
// animation. "-" is standard output, which also silences the progress line.
void addOutputOptions(OptionTable& table, std::string& output);
// Their lines in a command's help.
#define ZELL_CLI_OUTPUT_HELP \
    "  --output OUT         the same as -o OUT\n" \
    "  --format gif|zpj     write a GIF or a project whatever OUT is called\n" \
    "                       (default: a project when OUT ends in .zpj in any\n" \
    "                       case, else a GIF; a GIF on standard output)\n" \
    "An input named - is standard input (a GIF, still image or project, told\n" \
    "by its content); -o - writes standard output.\n"

// Parses a command's arguments against its table and the global options,
// applying each option in the order given and collecting the operands.
// False when the command must not run, with `status` the exit status: 0
// after --help or --version was answered, 2 after a usage error was printed.
// --help anywhere wins over a usage error elsewhere on the line.
bool parseCommandLine(const std::string& command, const OptionTable& table, const std::vector<std::string>& args,
                    std::vector<std::string>& operands, int& status);

// The global options given before the command. `args` starts after the
// program name; on return `next` is the index of the command (or args.size()).
// False with `status` set as above (and nothing printed for --help, which
// the caller answers: with the command's help when one follows).
struct GlobalOptions {
    bool help = false;
    bool version = false;
};
bool parseGlobalOptions(const std::vector<std::string>& args, size_t& next, GlobalOptions& out, int& status);

void printVersion();
// The command's help on standard output; false when there is no such command.
bool printCommandHelp(const std::string& command);

} // namespace zell::cli
