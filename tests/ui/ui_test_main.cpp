#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTest>

#include <memory>

#include "ui/file_commands.h"
#include "ui/ui_test.h"

namespace zell::test {

std::function<int(QDialog&)> fileDialogs(QStringList paths)
{
    auto left = std::make_shared<QStringList>(std::move(paths));
    return [left](QDialog& dialog) {
        auto* host = dynamic_cast<FileDialogHost*>(&dialog);
        auto* files = dynamic_cast<QFileDialog*>(&dialog);
        if (!host && !files)
            return int(QDialog::Accepted);
        const QString path = left->isEmpty() ? QString() : left->takeFirst();
        if (path.isEmpty())
            return int(QDialog::Rejected);
        if (host)
            host->choose({path});
        else
            files->selectFile(path);
        return int(QDialog::Accepted);
    };
}

QByteArray fileBytes(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

std::vector<TestFactory>& testRegistry()
{
    static std::vector<TestFactory> registry;
    return registry;
}

} // namespace zell::test

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int failed = 0;
    for (const auto& make : zell::test::testRegistry()) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
