// Subcommands register themselves here; main dispatches on the first word.
#pragma once

#include <string>
#include <vector>

namespace zell::cli {

// Exit statuses shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Command {
    const char* name;
    const char* summary; // one line for the top-level help
    const char* usage;   // the subcommand's --help text
    int (*run)(const std::vector<std::string>& args);
};

std::vector<Command>& commands();

struct CommandRegistration {
    explicit CommandRegistration(const Command& command) { commands().push_back(command); }
};

// A one-line error on stderr: "zell-cli: <subject>: <what>".
void printError(const std::string& subject, const std::string& what);
// A line on stderr that does not stop the run: "zell-cli: <kind>: <subject>: <what>".
void printNote(const std::string& kind, const std::string& subject, const std::string& what);

} // namespace zell::cli
