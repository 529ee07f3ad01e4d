// The desktop program's own options, read before Qt starts so that help and
// version need no display. Everything else (Qt's options, files and
// folders) is passed on as it came.
#pragma once

#include <string>
#include <vector>

namespace zell {

struct CommandLine {
    enum class Action { Run, Help, Version, BadLanguage };
    Action action = Action::Run;
    // "ja", "en", or empty when not given.
    std::string language;
    // argv[0] and the arguments left for Qt and as files.
    std::vector<char*> passedOn;
};

// "-h" and "--help", "--version", "--lang ja|en" (or "--lang=ja|en"); after
// "--" every argument is a file.
CommandLine parseCommandLine(int argc, char** argv);

} // namespace zell
