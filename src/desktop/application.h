// Start and end of the desktop program, in this order: profile path, string
// table, generator seed, main window (tool windows restored, command-line
// files opened), then at the end the tool windows' places are saved (as the
// main window closes), the frames and the work directory removed and the
// string table freed.
#pragma once

#include <QStringList>

#include <string>

namespace zell {

class Application {
public:
    // Runs the program with Qt's arguments already taken out; returns the
    // process's exit status. `language` is the command line's choice ("ja",
    // "en"), or empty.
    int run(const QStringList& files, const std::string& language);
};

} // namespace zell
