#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/manual.h"
#include "app/profile.h"
#include "ui/main_window.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

// Takes the place of the desktop's file opener while a test runs.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class ManualTest : public QObject {
    Q_OBJECT

    static void touch(const QString& file)
    {
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

private slots:
    void installedManualFirstThenTheBuildsCopy()
    {
        QTemporaryDir dir;
        const std::string bin = (dir.path() + "/usr/bin/").toStdString();
        QVERIFY(QDir().mkpath(QString::fromStdString(bin)));
        QCOMPARE(findManual(bin), std::string());
        touch(dir.path() + "/usr/bin/doc/index.html");
        QCOMPARE(findManual(bin), (dir.path() + "/usr/bin/doc/index.html").toStdString());
        touch(dir.path() + "/usr/share/doc/zell/index.html");
        QCOMPARE(findManual(bin), (dir.path() + "/usr/share/doc/zell/index.html").toStdString());
    }

    void homePageCommandOpensTheManual()
    {
        TestDocument doc(0, false);
        Profile profile((doc.dir.path() + "/zell.ini").toStdString());
        ScriptedPrompter prompter;
        MainWindow window(doc.model, profile, "/nonexistent/pelio.txt");
        UrlRecorder recorder;
        window.action(32792)->trigger();
        // The tests run from the build folder, which keeps a copy of the manual.
        const std::string manual = findManual(programDirectory());
        QVERIFY(!manual.empty());
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(manual))});
    }
};

ZELL_UI_TEST(ManualTest);

} // namespace zell::test

#include "manual_test.moc"
