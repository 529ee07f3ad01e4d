#include "cli/options.h"

#include <cstdio>
#include <string_view>

#include <unistd.h>

#include "cli/cli_document.h"
#include "cli/cli_progress.h"
#include "cli/command.h"
#include "document/gif_export.h"
#include "image/dib.h"
#include "image/lzw_lossy.h"
#include "image/pixel_limit.h"

namespace zell::cli {

namespace {

std::string applyPixelLimit(const std::string& value)
{
    long pixels = 0;
    if (!parseNumber(value, 1, long(kMaxPixels), pixels))
        return "--max-pixels takes a number of pixels from 1 to " + std::to_string(kMaxPixels);
    setPixelLimit(uint64_t(pixels));
    return {};
}

// --help and --version are answered by the parser itself; their rows only
// let the grammar know them.
const OptionTable& globalTable()
{
    static const OptionTable table = {
        {"--quiet", Takes::nothing, [](const std::string&) { quietProgress(); return std::string(); }},
        {"--max-pixels", Takes::value, applyPixelLimit},
        {"--help", Takes::nothing, nullptr, "-h"},
        {"--version", Takes::nothing, nullptr},
    };
    return table;
}

struct Token {
    const Option* option;
    std::string value;
};

struct Tokens {
    std::vector<Token> options;
    std::vector<std::string> operands;
    bool help = false;
    bool version = false;
    std::string error; // the first thing the grammar could not take
};

const Option* find(const std::vector<const Option*>& table, std::string_view name)
{
    for (const Option* o : table) {
        if (name == o->name || (o->alias && name == o->alias))
            return o;
    }
    return nullptr;
}

// Keeps the first mistake of the line.
void fail(Tokens& out, const std::string& error)
{
    if (out.error.empty())
        out.error = error;
}

// One argument that starts with '-' (and is not "-" or "--"); `i` moves
// past a value taken from the next argument.
void takeOption(const std::vector<const Option*>& table, const std::vector<std::string>& args, size_t& i,
                Tokens& out)
{
    const std::string& arg = args[i];
    const bool isLong = arg.compare(0, 2, "--") == 0;
    const size_t equals = isLong ? arg.find('=') : std::string::npos;
    const std::string name = isLong ? arg.substr(0, equals) : arg.substr(0, 2);
    const Option* option = find(table, name);
    if (!option) {
        fail(out, "unknown option " + name);
        return;
    }
    const bool attached = isLong ? equals != std::string::npos : arg.size() > 2;
    const std::string attachedValue = !attached ? std::string() : isLong ? arg.substr(equals + 1) : arg.substr(2);
    std::string value;
    if (option->takes == Takes::nothing && attached) {
        fail(out, isLong ? name + " takes no value" : "unknown option " + arg);
        return;
    }
    if (option->takes == Takes::optionalValue && attached && attachedValue.empty()) {
        fail(out, name + "= needs a value after the '='");
        return;
    }
    if (attached) {
        value = attachedValue;
    } else if (option->takes == Takes::value) {
        if (i + 1 >= args.size()) {
            fail(out, name + " needs a value");
            return;
        }
        value = args[++i];
    }
    if (option == find(table, "--help"))
        out.help = true;
    else if (option == find(table, "--version"))
        out.version = true;
    else
        out.options.push_back({option, value});
}

// Stops at the first operand when `toFirstOperand`, leaving `i` on it.
void tokenize(const std::vector<const Option*>& table, const std::vector<std::string>& args, size_t& i,
              bool toFirstOperand, Tokens& out)
{
    bool optionsEnded = false;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (toFirstOperand)
                return;
            out.operands.push_back(arg);
        } else {
            // Reads on after a mistake: a --help later on the line still counts.
            takeOption(table, args, i, out);
        }
    }
}

// Applies the options in order; false after printing the first complaint
// (about `command`, or about the whole line when it is empty).
bool applyAll(const std::string& command, const Tokens& tokens)
{
    for (const Token& t : tokens.options) {
        if (std::string problem = t.option->apply(t.value); !problem.empty()) {
            if (command.empty())
                std::fprintf(stderr, "zell-cli: %s\n", problem.c_str());
            else
                printError(command, problem);
            return false;
        }
    }
    return true;
}

} // namespace

std::function<std::string(const std::string&)> setFlag(bool& field)
{
    return [&field](const std::string&) {
        field = true;
        return std::string();
    };
}

std::function<std::string(const std::string&)> keepValue(std::string& field)
{
    return [&field](const std::string& value) {
        field = value;
        return std::string();
    };
}

Option optimizeOption(uint32_t& saveOptions)
{
    return {"--optimize", Takes::optionalValue, [&saveOptions](const std::string& words) {
                return parseOptimize(words.empty() ? "--optimize" : "--optimize=" + words, saveOptions)
                    ? std::string()
                    : "--optimize takes lossless, transparency, auto-transparency, no-transparency, "
                      "drop-unchanged, keep-timing, shrink-tables, keep-tables";
            }};
}

Option lossyOption(int& level)
{
    return {"--lossy", Takes::optionalValue, [&level](const std::string& value) {
                long n = kDefaultLossyLevel;
                if (!value.empty() && !parseNumber(value, 0, kMaxLossyLevel, n))
                    return std::string("--lossy takes a level 0-200");
                level = int(n);
                return std::string();
            }};
}

Option maxSizeOption(uint64_t& bytes)
{
    return {"--max-size", Takes::value, [&bytes](const std::string& value) {
                long n = 0;
                if (!parseNumber(value, 1, 0x7FFFFFFF, n))
                    return std::string("--max-size takes a number of bytes");
                bytes = uint64_t(n);
                return std::string();
            }};
}

std::string applyLossy(int level, uint32_t& saveOptions)
{
    if (level <= 0)
        return {};
    if (!(saveOptions & kSaveOptimize))
        saveOptions = OptimizeChoice().finish();
    if (!(saveOptions & kSaveLosslessTransparency))
        return "--lossy goes with the lossless optimisation";
    saveOptions |= zell::lossyOption(level);
    return {};
}

void addOutputOptions(OptionTable& table, std::string& output)
{
    table.push_back({"-o", Takes::value,
                     [&output](const std::string& value) {
                         if (value == "-" && ::isatty(STDOUT_FILENO))
                             return std::string("standard output is a terminal; redirect it to write there");
                         if (value == "-")
                             quietProgress();
                         output = value;
                         return std::string();
                     },
                     "--output"});
    table.push_back({"--format", Takes::value, [](const std::string& value) {
                         return setOutputFormat(value) ? std::string() : "--format takes gif or zpj";
                     }});
}

bool parseCommandLine(const std::string& command, const OptionTable& table, const std::vector<std::string>& args,
                    std::vector<std::string>& operands, int& status)
{
    std::vector<const Option*> all;
    for (const Option& o : table)
        all.push_back(&o);
    for (const Option& o : globalTable())
        all.push_back(&o);
    Tokens tokens;
    size_t i = 0;
    tokenize(all, args, i, false, tokens);
    // The help is what a user who got the line wrong is looking for.
    if (tokens.help || tokens.version) {
        if (tokens.help)
            printCommandHelp(command);
        else
            printVersion();
        status = kExitOk;
        return false;
    }
    status = kExitUsage;
    if (!tokens.error.empty()) {
        printError(command, tokens.error + " (see zell-cli " + command + " --help)");
        return false;
    }
    if (!applyAll(command, tokens))
        return false;
    operands = std::move(tokens.operands);
    return true;
}

bool parseGlobalOptions(const std::vector<std::string>& args, size_t& next, GlobalOptions& out, int& status)
{
    std::vector<const Option*> all;
    for (const Option& o : globalTable())
        all.push_back(&o);
    Tokens tokens;
    next = 0;
    tokenize(all, args, next, true, tokens);
    out.help = tokens.help;
    out.version = tokens.version;
    status = kExitUsage;
    if (out.help || out.version)
        return true;
    if (!tokens.error.empty()) {
        std::fprintf(stderr, "zell-cli: %s (see zell-cli --help)\n", tokens.error.c_str());
        return false;
    }
    if (!applyAll({}, tokens))
        return false;
    status = kExitOk;
    return true;
}

void printVersion()
{
    std::printf("zell-cli %s\n", ZELL_VERSION);
}

bool printCommandHelp(const std::string& command)
{
    for (const Command& c : commands()) {
        if (command == c.name) {
            std::printf("%s", c.usage);
            return true;
        }
    }
    return false;
}

} // namespace zell::cli
