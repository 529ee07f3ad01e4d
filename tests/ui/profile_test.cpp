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
        const QRect work(0, 0, 1600, 1000);
        const Placement palette = restoredPlacement(profile, "ColorPalette", work, QSize(200, 300), {}, true);
        const Placement view = restoredPlacement(profile, "ImageView", work, QSize(320, 240), {}, false);
        QCOMPARE(palette.frame, QRect(1400, 0, 200, 300));
        QCOMPARE(view.frame, QRect(0, 0, 320, 240));
        QVERIFY(palette.visible && view.visible);
        // With a window manager's frame the whole window, title bar
        // included, stands in the corner.
        const QMargins frame(3, 22, 3, 3);
        QCOMPARE(restoredPlacement(profile, "ColorPalette", work, QSize(200, 300), frame, true).frame,
                 QRect(1394, 0, 206, 325));
        QCOMPARE(restoredPlacement(profile, "ImageView", work, QSize(320, 240), frame, false).frame,
                 QRect(0, 0, 326, 265));
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
        const Placement palette = restoredPlacement(profile, "ColorPalette", QRect(0, 30, 1600, 900), QSize(200, 300), {}, true);
        QCOMPARE(palette.frame, QRect(1400, 30, 200, 300));
    }

    void minimisedAtExitStartsHidden()
    {
        Profile profile(path("min.ini"));
        savePlacement(profile, "ImageView", QPoint(5, 6), QSize(70, 80), true, true);
        const QRect work(0, 0, 1600, 1000);
        const Placement view = restoredPlacement(profile, "ImageView", work, QSize(1, 1), {}, false);
        QCOMPARE(view.frame, QRect(5, 6, 70, 80));
        QVERIFY(!view.visible);
        // The corner is the frame's, the size the inside's.
        QCOMPARE(restoredPlacement(profile, "ImageView", work, QSize(1, 1), QMargins(1, 21, 1, 1), false).frame,
                 QRect(5, 6, 72, 102));
        profile.writeInt("System", "RestoreWindow", 0);
        QVERIFY(restoredPlacement(profile, "ImageView", work, QSize(1, 1), {}, false).visible);
    }

    void restoreBringsTheWholeTitleBarOntoTheScreens()
    {
        const QList<QRect> small = {QRect(0, 0, 1280, 800)};
        // Saved on a 2560-pixel desktop, now out of reach.
        QCOMPARE(reachableRect(QRect(1800, 900, 300, 200), 24, small), QRect(980, 600, 300, 200));
        // Part of the title bar beyond the right edge or above the top.
        QCOMPARE(reachableRect(QRect(1260, 100, 300, 200), 24, small), QRect(980, 100, 300, 200));
        QCOMPARE(reachableRect(QRect(100, -10, 300, 200), 30, small), QRect(100, 0, 300, 200));
        QCOMPARE(reachableRect(QRect(-500, -30, 300, 200), 24, small), QRect(0, 0, 300, 200));
        // Only the title bar counts: the rest may hang below the edge.
        QCOMPARE(reachableRect(QRect(100, 700, 300, 200), 24, small), QRect(100, 700, 300, 200));
        // A title bar across two screens side by side is on them; one that
        // leaves the desktop goes onto the nearer screen.
        const QList<QRect> two = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
        QCOMPARE(reachableRect(QRect(1200, 100, 300, 200), 24, two), QRect(1200, 100, 300, 200));
        QCOMPARE(reachableRect(QRect(2250, 700, 300, 200), 24, two), QRect(2004, 568, 300, 200));
    }

    void mainMenuBarStaysClearOfToolWindows()
    {
        const QRect work(0, 0, 1280, 1024);
        const QRect view(0, 0, 522, 424), palette(966, 0, 314, 420);
        // Centred, its menu bar under the image view: beside it and below
        // the palette, shortened to fit the work area.
        QCOMPARE(clearOfToolWindows(QRect(340, 160, 600, 700), 60, 300, {view, palette}, work),
                 QRect(522, 420, 600, 604));
        // Clear already, as on a wide screen: stays.
        const QRect wide(660, 200, 600, 700);
        QCOMPARE(clearOfToolWindows(wide, 60, 300, {view}, QRect(0, 0, 1920, 1080)), wide);
        // Room beside the tool windows: it goes there whole, hiding none.
        const QList<QRect> corner = {QRect(0, 0, 600, 300), QRect(300, 280, 400, 200)};
        QCOMPARE(clearOfToolWindows(QRect(100, 100, 500, 600), 40, 300, corner, work), QRect(700, 100, 500, 600));
        // No room beside; below one tool window lies another: below both.
        const QList<QRect> bands = {QRect(0, 0, 1280, 300), QRect(0, 280, 1280, 200)};
        QCOMPARE(clearOfToolWindows(QRect(100, 100, 500, 600), 40, 300, bands, work), QRect(100, 480, 500, 544));
        // Never shorter than its minimum; unchanged when the menu bar would
        // leave the work area.
        QCOMPARE(clearOfToolWindows(QRect(100, 100, 500, 600), 40, 400, {QRect(0, 0, 1280, 500)},
                                    QRect(0, 0, 1280, 800)),
                 QRect(100, 500, 500, 400));
        // Not over a tool window below the menu bar when there is room.
        QCOMPARE(clearOfToolWindows(QRect(340, 160, 600, 700), 60, 300, {view, QRect(600, 300, 314, 416)}, work),
                 QRect(0, 424, 600, 600));
        const QRect stays(340, 160, 600, 700);
        QCOMPARE(clearOfToolWindows(stays, 60, 300, {QRect(0, 0, 1280, 1000)}, work), stays);
    }
};

ZELL_UI_TEST(ProfileTest);

} // namespace zell::test

#include "profile_test.moc"
