#include <QDir>
#include <QFile>
#include <QTest>

#include "app/profile.h"
#include "ui/ui_test.h"
#include "ui/window_placement.h"

namespace zell::test {

class ProfileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }
    void writeFile(const std::string& p, const char* text)
    {
        QFile f(QString::fromStdString(p));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

private slots:
    void namesIgnoreCaseValuesDoNot()
    {
        const std::string p = path("case.ini");
        writeFile(p, "[system]\r\n toolwindow = Yes \r\n[ARE YOU]\nWOTA?=yes\nin the 1-byte area?=\"no\"\n");
        Profile profile(p);
        QCOMPARE(profile.readString("System", "ToolWindow", ""), std::string("Yes"));
        QVERIFY(profile.readString("System", "ToolWindow", "") != "yes");
        QCOMPARE(profile.readString("are you", "wota?", "no"), std::string("yes"));
        QCOMPARE(profile.readString("are you", "in the 1-byte area?", "yes"), std::string("no")); // quotes go
        QCOMPARE(profile.readString("are you", "absent", "yes"), std::string("yes"));
    }

    void missingFileAndKeysGiveDefaults()
    {
        Profile profile(path("absent.ini"));
        QCOMPARE(profile.readInt("System", "RestoreWindow", 1), 1);
        QCOMPARE(profile.readString("are you", "wota?", "no"), std::string("no"));
        const Placement palette = restoredPlacement(profile, "ColorPalette", QRect(0, 0, 1600, 1000), QSize(200, 300), true);
        const Placement view = restoredPlacement(profile, "ImageView", QRect(0, 0, 1600, 1000), QSize(320, 240), false);
        QCOMPARE(palette.rect, QRect(1400, 0, 200, 300));
        QCOMPARE(view.rect, QRect(0, 0, 320, 240));
        QVERIFY(palette.visible && view.visible);
    }

    void writesKeepOtherLinesAndReplaceInPlace()
    {
        const std::string p = path("write.ini");
        writeFile(p, "; mine\n[System]\nToolWindow=yes\n\n[Other]\nx=1\n");
        Profile profile(p);
        profile.writeInt("SYSTEM", "restorewindow", 0);
        profile.writeString("system", "TOOLWINDOW", "");
        profile.writeInt("ImageView", "left", -40);
        QCOMPARE(profile.readInt("System", "RestoreWindow", 1), 0);
        QCOMPARE(profile.readString("System", "ToolWindow", "none"), std::string());
        QCOMPARE(profile.readInt("imageview", "LEFT", 0), -40);
        QCOMPARE(profile.readInt("Other", "x", 0), 1);
        QFile f(QString::fromStdString(p));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.startsWith("; mine\n[System]\nTOOLWINDOW=\nrestorewindow=0\n"));
    }

    void writeFailureIsIgnored()
    {
        Profile profile("/proc/zell-no-such-dir/zell.ini");
        profile.writeInt("System", "RestoreWindow", 0);
        QCOMPARE(profile.readInt("System", "RestoreWindow", 1), 1);
    }

    void installedProgramKeepsItsProfileInTheConfigFolder()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        const bool had = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray("/config"));
        QVERIFY(QDir(dir.path()).mkpath("build"));
        QVERIFY(QDir(dir.path()).mkpath("usr/bin"));
        QVERIFY(QDir(dir.path()).mkpath("usr/lib/zell/plugins"));
        // Writable and not installed: beside the program, as a build runs.
        const std::string build = path("build/");
        QCOMPARE(Profile::pathFor(build), build + "zell.ini");
        // Writable too, yet installed.
        QCOMPARE(Profile::pathFor(path("usr/bin/")), std::string("/config/zell/zell.ini"));
        if (had)
            qputenv("XDG_CONFIG_HOME", saved);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    void savedSizeZeroKeepsDesignedSizeAndDefaultPlace()
    {
        const std::string p = path("zero.ini");
        writeFile(p, "[ColorPalette]\nleft=10\ntop=20\nwidth=0\nheight=150\n");
        Profile profile(p);
        const Placement palette = restoredPlacement(profile, "ColorPalette", QRect(0, 30, 1600, 900), QSize(200, 300), true);
        QCOMPARE(palette.rect, QRect(1400, 30, 200, 300));
    }

    void minimisedAtExitStartsHidden()
    {
        Profile profile(path("min.ini"));
        savePlacement(profile, "ImageView", QRect(5, 6, 70, 80), true, true);
        const Placement view = restoredPlacement(profile, "ImageView", QRect(0, 0, 1600, 1000), QSize(1, 1), false);
        QCOMPARE(view.rect, QRect(5, 6, 70, 80));
        QVERIFY(!view.visible);
        profile.writeInt("System", "RestoreWindow", 0);
        QVERIFY(restoredPlacement(profile, "ImageView", QRect(0, 0, 1600, 1000), QSize(1, 1), false).visible);
    }

    void restoreMovesWindowOntoASmallerScreen()
    {
        const QList<QRect> small = {QRect(0, 0, 1280, 800)};
        // Saved on a 2560-pixel desktop, now out of reach.
        QCOMPARE(reachableRect(QRect(1800, 900, 300, 200), small), QRect(980, 600, 300, 200));
        // Only 20 pixels of the title on screen: not enough to grab.
        QCOMPARE(reachableRect(QRect(1260, 100, 300, 200), small), QRect(980, 100, 300, 200));
        // A grip's worth on a second screen is enough; nothing moves.
        const QList<QRect> two = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
        QCOMPARE(reachableRect(QRect(2250, 700, 300, 200), two), QRect(2250, 700, 300, 200));
        QCOMPARE(reachableRect(QRect(-500, -30, 300, 200), small), QRect(0, 0, 300, 200));
    }
};

ZELL_UI_TEST(ProfileTest);

} // namespace zell::test

#include "profile_test.moc"
