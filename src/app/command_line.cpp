#include "app/command_line.h"

#include <string_view>

#include "app/language.h"

namespace zell {

CommandLine parseCommandLine(int argc, char** argv)
{
    CommandLine line;
    if (argc > 0)
        line.passedOn.push_back(argv[0]);
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!options || arg.empty() || arg[0] != '-') {
            line.passedOn.push_back(argv[i]);
            continue;
        }
        if (arg == "--") {
            options = false;
        } else if (arg == "-h" || arg == "--help" || arg == "--version") {
            if (line.action == CommandLine::Action::Run)
                line.action = arg == "--version" ? CommandLine::Action::Version : CommandLine::Action::Help;
        } else if (arg == "--lang" || arg.starts_with("--lang=")) {
            std::string_view value;
            if (arg == "--lang")
                value = i + 1 < argc ? std::string_view(argv[++i]) : std::string_view();
            else
                value = arg.substr(7);
            if (!parseLanguage(value))
                return {CommandLine::Action::BadLanguage, {}, {}};
            line.language = std::string(value);
        } else {
            line.passedOn.push_back(argv[i]);
        }
    }
    return line;
}

} // namespace zell
