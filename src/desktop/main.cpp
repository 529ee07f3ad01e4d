#include <QApplication>

#include <cstdio>
#include <cstring>

#include "desktop/application.h"

int main(int argc, char** argv)
{
    // Answered before Qt starts, so that it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zell %s\n", ZELL_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zell"));
    QStringList files = QApplication::arguments();
    files.removeFirst();
    return zell::Application().run(files);
}
