#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/manual.h"
#include "app/profile.h"
#include "app/text_ids.h"
#include "ui/about_dialog.h"
#include "ui/main_window.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

// Takes the place of the desktop's file opener while a test runs.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const char* scheme : {"file", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char* scheme : {"file", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
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
        window.action(Text::HomePageCommand)->trigger();
        // The tests run from the build folder, which keeps a copy of the manual.
        const std::string manual = findManual(programDirectory());
        QVERIFY(!manual.empty());
        const QUrl address = QUrl::fromLocalFile(QString::fromStdString(manual));
        QCOMPARE(recorder.opened, QList<QUrl>{address});
        QCOMPARE(prompter.texts.size(), 0);

        // A desktop that cannot open it: the address is told instead.
        window.openUrl = [](const QUrl&) { return false; };
        prompter.answers = {kIdOk};
        window.action(Text::HomePageCommand)->trigger();
        QCOMPARE(prompter.texts.size(), 1);
        QVERIFY(prompter.texts[0].endsWith(address.toLocalFile()));

        // The about box's links open the same page and a mail to the address.
        recorder.opened.clear();
        prompter.dialogScript = [](QDialog& dialog) {
            auto& about = static_cast<AboutDialog&>(dialog);
            for (LinkLabel* link : {about.homeLink(), about.mailLink()})
                QTest::mouseClick(link, Qt::LeftButton);
            return int(QDialog::Accepted);
        };
        window.action(Text::AboutCommand)->trigger();
        QCOMPARE(prompter.dialogs, 1);
        QCOMPARE(recorder.opened, (QList<QUrl>{address, QUrl(QStringLiteral("mailto:") + mailAddress())}));
    }
};

ZELL_UI_TEST(ManualTest);

} // namespace zell::test

#include "manual_test.moc"
