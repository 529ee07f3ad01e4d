#include <QApplication>

#include "app/application.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zell"));
    QStringList files = QApplication::arguments();
    files.removeFirst();
    return zell::Application().run(files);
}
