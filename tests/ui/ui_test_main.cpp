#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTest>

#include <memory>

#include "document/document.h"
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

QStringList documentState(const Document& d)
{
    QStringList state;
    for (int i = 0; i < d.frames.count(); ++i) {
        const Frame& f = *d.frames.frameAt(i);
        const QString path = QString::fromStdString(f.workFile.path());
        state << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10")
                     .arg(path, QString::fromStdString(f.name))
                     .arg(f.left).arg(f.top).arg(f.width).arg(f.height).arg(f.colorCount)
                     .arg(f.transparentIndex).arg(f.useLocalColorTable)
                     .arg(QString::fromLatin1(fileBytes(path).toHex()));
    }
    const ColorTable& t = d.settings.globalColorTable;
    state << QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(t.entries.data()), 768).toHex())
          << QString::number(t.count) << QString::number(d.settings.useGlobalColorTable);
    return state;
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
