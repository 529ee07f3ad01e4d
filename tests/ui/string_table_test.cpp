#include <QCheckBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/profile.h"
#include "app/qt_translation.h"
#include "app/string_table.h"
#include "ui/settings_dialog.h"
#include "ui/ui_test.h"

namespace zell::test {

class StringTableTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::string libraryPath() const { return (dir.path() + "/pelio.txt").toStdString(); }
    std::string profilePath() const { return (dir.path() + "/zell.ini").toStdString(); }

    void writeLibrary(const QByteArray& text)
    {
        QFile f(QString::fromStdString(libraryPath()));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    // Loads the table under "wota?" = `setting`; returns the warnings shown.
    QStringList load(const char* setting)
    {
        freeStringLibrary();
        Profile profile(profilePath());
        profile.writeString("are you", "wota?", setting);
        ScriptedPrompter prompter;
        prompter.answers = {kIdOk};
        loadStringLibrary(profile, libraryPath());
        return prompter.texts;
    }

private slots:
    void cleanup() { freeStringLibrary(); }

    void qtButtonsSpeakTheInterfaceLanguage()
    {
        QVERIFY2(loadQtTranslation(QStringLiteral("ja")),
                 "Qt's Japanese translation is missing (scripts/setup installs qt6-translations-l10n)");
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        QVERIFY(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")));
        QVERIFY(box.button(QMessageBox::No)->text().contains(QStringLiteral("いいえ")));
        // A language Qt lacks takes the earlier translation away.
        QVERIFY(!loadQtTranslation(QStringLiteral("zz")));
        QMessageBox plain;
        plain.setStandardButtons(QMessageBox::Yes);
        QCOMPARE(plain.button(QMessageBox::Yes)->text(), QStringLiteral("&Yes"));
    }

    void replacementTextsFallBackToOwnTexts()
    {
        writeLibrary("20000\tv010300\n21502\tだめでした。\\n改行\n21002\t\n# comment line\n");
        QVERIFY(load("yes").isEmpty());
        QVERIFY(stringLibraryLoaded());
        QCOMPARE(loadText(21502), QString::fromUtf8("だめでした。\n改行"));
        // An empty replacement and a missing one both give the own text.
        QCOMPARE(loadText(21002), QString::fromUtf8("エラー"));
        QCOMPARE(loadText(21504), QString::fromUtf8("終了します。"));
        // Menus and dialogs never take replacements.
        QCOMPARE(ownText(21502), QString::fromUtf8("処理に失敗しました。"));
    }

    void onlyExactlyYesLoadsTheTable()
    {
        writeLibrary("20000\tv010300\n21502\tx\n");
        load("Yes");
        QVERIFY(!stringLibraryLoaded());
        QCOMPARE(loadText(21502), QString::fromUtf8("処理に失敗しました。"));
        freeStringLibrary();
        QFile::remove(QString::fromStdString(libraryPath()));
        QVERIFY(load("yes").isEmpty()); // a missing table is silent
        QVERIFY(!stringLibraryLoaded());
    }

    void oldOrMissingVersionWarnsButLoads()
    {
        writeLibrary("20000\tv010299\n21502\tx\n");
        QStringList shown = load("yes");
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].contains(QStringLiteral("pelio.txt のバージョンが低い")));
        QVERIFY(stringLibraryLoaded());
        QCOMPARE(loadText(21502), QStringLiteral("x"));

        writeLibrary("21502\tx\n");
        QCOMPARE(load("yes").size(), 1);
        writeLibrary("20000\tv020000\n");
        QVERIFY(load("yes").isEmpty());
    }

    void settingsDialogUnloadsAndLoadsAtOnce()
    {
        writeLibrary("20000\tv010300\n21502\tx\n");
        load("yes");
        Profile profile(profilePath());
        {
            SettingsDialog dialog(profile, libraryPath());
            QVERIFY(dialog.libraryBox()->isChecked());
            dialog.libraryBox()->setChecked(false);
            dialog.accept();
            QVERIFY(dialog.changes().stringLibrary);
        }
        QVERIFY(!stringLibraryLoaded());
        QCOMPARE(loadText(21502), QString::fromUtf8("処理に失敗しました。"));
        QCOMPARE(profile.readString("are you", "wota?", "unset"), std::string());
        SettingsDialog again(profile, libraryPath());
        again.libraryBox()->setChecked(true);
        again.accept();
        QCOMPARE(loadText(21502), QStringLiteral("x"));
    }

    void settingsDialogWritesOnlyWhatChanged()
    {
        const std::string p = (dir.path() + "/only.ini").toStdString();
        Profile profile(p);
        profile.writeString("System", "ToolWindow", "YES"); // not "yes": unchecked
        SettingsDialog dialog(profile, "/nonexistent/pelio.txt");
        QVERIFY(!dialog.toolWindowBox()->isChecked());
        QVERIFY(dialog.restoreBox()->isChecked());
        QVERIFY(dialog.libraryBox()->isHidden());
        dialog.commentBox()->setChecked(true);
        dialog.accept();
        QCOMPARE(profile.readString("System", "ToolWindow", ""), std::string("YES"));
        QCOMPARE(profile.readString("are you", "in the 1-byte area?", ""), std::string("no"));
        QCOMPARE(profile.readString("are you", "wota?", "unset"), std::string("unset"));
        QCOMPARE(profile.readInt("System", "RestoreWindow", -1), 1);
        QVERIFY(dialog.changes().commentMode && !dialog.changes().toolWindowStyle);
    }
};

ZELL_UI_TEST(StringTableTest);

} // namespace zell::test

#include "string_table_test.moc"
