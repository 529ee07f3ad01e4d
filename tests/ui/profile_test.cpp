#include <QDir>
#include <QFile>

#include "app/profile.h"
#include "support/scoped_environment.h"
#include "ui/ui_test.h"
#include "ui/window_placement.h"

namespace zell::test {

class ProfileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }
    std::string writeFile(const char* name, const char* text)
    {
        QFile f(QString::fromStdString(path(name)));
        if (!f.open(QIODevice::WriteOnly) || f.write(text) < 0)
            qFatal("cannot write %s", name);
        return path(name);
    }

private slots:
    // Section and key names ignore case, values keep it; a write replaces
    // the line in place and leaves every other line alone.
    void namesIgnoreCaseAndWritesKeepOtherLines()
    {
        const std::string p = writeFile("case.ini", "; mine\n[system]\r\n toolwindow = Yes \r\n\n[ARE YOU]\n"
                                                    "in the 1-byte area?=\"no\"\n");
        Profile profile(p);
        QCOMPARE(profile.readString("System", "ToolWindow", ""), std::string("Yes"));
        QCOMPARE(profile.readString("are you", "in the 1-byte area?", "yes"), std::string("no")); // quotes go
        QCOMPARE(profile.readString("are you", "absent", "yes"), std::string("yes"));
        QCOMPARE(Profile(path("absent.ini")).readInt("System", "RestoreWindow", 7), 7);
        profile.writeInt("SYSTEM", "restorewindow", 0);
        profile.writeString("system", "TOOLWINDOW", "");
        profile.writeInt("ImageView", "left", -40);
        QCOMPARE(profile.readString("System", "ToolWindow", "none"), std::string());
        QCOMPARE(profile.readInt("imageview", "LEFT", 0), -40);
        QVERIFY(fileBytes(QString::fromStdString(p)).startsWith("; mine\n[system]\r\nTOOLWINDOW=\nrestorewindow=0\n"));
        Profile unwritable("/proc/zell-no-such-dir/zell.ini");
        unwritable.writeInt("System", "RestoreWindow", 0);
        QCOMPARE(unwritable.readInt("System", "RestoreWindow", 1), 1);
    }

    // Writable and not installed: beside the program, as a build runs;
    // installed, in the configuration folder even when writable.
    void theProfileLivesBesideABuildAndInTheConfigFolderWhenInstalled()
    {
        ScopedEnvironment config("XDG_CONFIG_HOME", "/config");
        QVERIFY(QDir(dir.path()).mkpath("build") && QDir(dir.path()).mkpath("usr/lib/zell/plugins"));
        QVERIFY(QDir(dir.path()).mkpath("usr/bin"));
        QCOMPARE(Profile::pathFor(path("build/")), path("build/zell.ini"));
        QCOMPARE(Profile::pathFor(path("usr/bin/")), std::string("/config/zell/zell.ini"));
    }

    // A tool window comes back at its saved place (the frame's corner) and
    // inside size, or at its designed size in the default corner.
    void toolWindowsComeBackWhereSavedOrInTheirCorner()
    {
        struct Row {
            const char *name, *saved;
            bool palette;
            QMargins margins;
            QRect frame;
            bool visible;
        };
        const QMargins deco(3, 22, 3, 3);
        const Row rows[] = {
            {"palette default", "", true, {}, {1400, 30, 200, 300}, true},
            {"zero width", "[ColorPalette]\nleft=10\ntop=20\nwidth=0\nheight=150\n", true, {}, {1400, 30, 200, 300}, true},
            {"saved", "[ImageView]\nleft=5\ntop=6\nwidth=70\nheight=80\n", false, deco, {5, 6, 76, 105}, true},
            {"hidden", "[ImageView]\nleft=5\ntop=6\nwidth=70\nheight=80\nvisible=0\n", false, {}, {5, 6, 70, 80}, false},
            {"not restored", "[System]\nRestoreWindow=0\n[ImageView]\nvisible=0\n", false, {}, {0, 30, 320, 240}, true},
        };
        for (const Row& row : rows) {
            Profile profile(writeFile("place.ini", row.saved));
            const Placement p = restoredPlacement(profile, row.palette ? "ColorPalette" : "ImageView",
                                                  QRect(0, 30, 1600, 1000), row.palette ? QSize(200, 300) : QSize(320, 240),
                                                  row.margins, row.palette);
            QVERIFY2(p.frame == row.frame && p.visible == row.visible, row.name);
        }
        // Minimised at exit, it starts hidden.
        Profile profile(path("min.ini"));
        savePlacement(profile, "ImageView", QPoint(5, 6), QSize(70, 80), true, true);
        const Placement view = restoredPlacement(profile, "ImageView", QRect(0, 0, 800, 600), QSize(1, 1), {}, false);
        QVERIFY(view.frame == QRect(5, 6, 70, 80) && !view.visible);
    }

    // Only the title bar must be on the screens; one that is not goes onto
    // the nearest screen.
    void restoreBringsTheWholeTitleBarOntoTheScreens()
    {
        const QList<QRect> one = {QRect(0, 0, 1280, 800)};
        const QList<QRect> two = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
        const struct {
            QRect frame;
            int title;
            QList<QRect> screens;
            QRect placed;
        } rows[] = {
            {{1800, 900, 300, 200}, 24, one, {980, 600, 300, 200}}, // saved on a bigger desktop
            {{1260, 100, 300, 200}, 24, one, {980, 100, 300, 200}},
            {{100, -10, 300, 200}, 30, one, {100, 0, 300, 200}},
            {{-500, -30, 300, 200}, 24, one, {0, 0, 300, 200}},
            {{100, 700, 300, 200}, 24, one, {100, 700, 300, 200}}, // the rest may hang below
            {{1200, 100, 300, 200}, 24, two, {1200, 100, 300, 200}}, // across two screens
            {{2250, 700, 300, 200}, 24, two, {2004, 568, 300, 200}},
        };
        for (const auto& row : rows)
            QCOMPARE(reachableRect(row.frame, row.title, row.screens), row.placed);
    }

};

ZELL_UI_TEST(ProfileTest);

} // namespace zell::test

#include "profile_test.moc"
