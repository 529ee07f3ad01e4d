#include <QApplication>

#include <cstdio>

#include "app/command_line.h"
#include "app/language.h"
#include "app/profile.h"
#include "app/string_table.h"
#include "desktop/application.h"

int main(int argc, char** argv)
{
    using zell::CommandLine;
    CommandLine line = zell::parseCommandLine(argc, argv);
    // Answered before Qt starts, so that they work without a display. The
    // replacement table is left out: its version warning needs a window.
    if (line.action != CommandLine::Action::Run) {
        zell::setTextLanguage(zell::startLanguage(zell::Profile(zell::Profile::defaultPath()), line.language));
        switch (line.action) {
        case CommandLine::Action::Version: std::printf("zell %s\n", ZELL_VERSION); return 0;
        case CommandLine::Action::Help: std::fputs(zell::ownText(zell::Text::CommandLineHelp).toUtf8(), stdout); return 0;
        case CommandLine::Action::BadLanguage:
        case CommandLine::Action::Run: break;
        }
        std::fputs(zell::ownText(zell::Text::BadLanguageOption).toUtf8(), stderr);
        return 2;
    }
    int qtArgc = int(line.passedOn.size());
    line.passedOn.push_back(nullptr);
    QApplication app(qtArgc, line.passedOn.data());
    QApplication::setApplicationName(QStringLiteral("zell"));
    QStringList files = QApplication::arguments();
    files.removeFirst();
    return zell::Application().run(files, line.language);
}
