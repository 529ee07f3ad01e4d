#include <QCheckBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
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

    // Writes the table (none when null) and loads it under "wota?" =
    // `setting`; returns how many warnings were shown.
    qsizetype load(const char* text, const char* setting)
    {
        freeStringLibrary();
        QFile f(QString::fromStdString(libraryPath()));
        f.remove();
        if (text && (!f.open(QIODevice::WriteOnly) || f.write(text) < 0))
            return -1;
        f.close();
        Profile profile(profilePath());
        profile.writeString("are you", "wota?", setting);
        ScriptedPrompter prompter;
        prompter.answers = {kIdOk};
        loadStringLibrary(profile, libraryPath());
        return prompter.texts.size();
    }

private slots:
    void cleanup() { freeStringLibrary(); }

    void qtButtonsSpeakTheInterfaceLanguage()
    {
        QVERIFY2(loadQtTranslation(QStringLiteral("ja")),
                 "Qt's Japanese translation is missing (scripts/setup installs qt6-translations-l10n)");
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes);
        QVERIFY(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")));
        // A language Qt lacks takes the earlier translation away.
        QVERIFY(!loadQtTranslation(QStringLiteral("zz")));
        QMessageBox plain;
        plain.setStandardButtons(QMessageBox::Yes);
        QCOMPARE(plain.button(QMessageBox::Yes)->text(), QStringLiteral("&Yes"));
    }

    // Only exactly "yes" loads the table; an old or missing version warns but
    // loads; an empty or missing entry, and every menu text, keep our own.
    void theReplacementTableLoadsByItsRules()
    {
        struct Row {
            const char *name, *text, *setting;
            int warnings;
            bool loaded;
            const char* failed; // what OperationFailed reads; null: our own
        };
        const Row rows[] = {
            {"replaced", "20000\tv010300\n21502\tだめ。\\n改行\n21002\t\n# note\n", "yes", 0, true, "だめ。\n改行"},
            {"not exactly yes", "20000\tv010300\n21502\tx\n", "Yes", 0, false, nullptr},
            {"missing file", nullptr, "yes", 0, false, nullptr},
            {"old version", "20000\tv010299\n21502\tx\n", "yes", 1, true, "x"},
            {"no version", "21502\tx\n", "yes", 1, true, "x"},
            {"newer version", "20000\tv020000\n", "yes", 0, true, nullptr},
        };
        const QString own = ownText(Text::OperationFailed), caption = ownText(Text::ErrorCaption);
        for (const Row& row : rows) {
            QCOMPARE(load(row.text, row.setting), qsizetype(row.warnings));
            QVERIFY2(stringLibraryLoaded() == row.loaded, row.name);
            QCOMPARE(loadText(Text::OperationFailed), row.failed ? QString::fromUtf8(row.failed) : own);
            QCOMPARE(loadText(Text::ErrorCaption), caption);
            QCOMPARE(ownText(Text::OperationFailed), own);
        }
    }

    // A name whose number was mistyped would show an empty text.
    void everyNamedTextIsInTheTable()
    {
        QFile header(QString::fromUtf8(ZELL_SOURCE_DIR "/src/app/text_ids.h"));
        QVERIFY(header.open(QIODevice::ReadOnly));
        const QRegularExpression entry(QStringLiteral("^\\s*(\\w+) = (\\d+),"), QRegularExpression::MultilineOption);
        QSet<int> seen;
        for (const auto& m : entry.globalMatch(QString::fromUtf8(header.readAll()))) {
            const int id = m.captured(2).toInt();
            QVERIFY2(!ownText(id).isEmpty(), qPrintable(m.captured(1)));
            QVERIFY2(!seen.contains(id), qPrintable(m.captured(1) + " repeats a number"));
            seen.insert(id);
        }
        QVERIFY(seen.size() > 200);
    }

    // The dialog writes only the boxes that changed (and always whether to
    // restore the windows), and loads or unloads the table at once.
    void settingsDialogWritesWhatChangedAndSwapsTheTable()
    {
        load("20000\tv010300\n21502\tx\n", "yes");
        Profile profile(profilePath());
        profile.writeString("System", "ToolWindow", "YES"); // not "yes": unchecked
        {
            SettingsDialog dialog(profile, libraryPath());
            QVERIFY(!dialog.toolWindowBox()->isChecked() && dialog.restoreBox()->isChecked());
            QVERIFY(dialog.libraryBox()->isChecked());
            dialog.libraryBox()->setChecked(false);
            dialog.commentBox()->setChecked(true);
            dialog.accept();
            QVERIFY(dialog.changes().stringLibrary && dialog.changes().commentMode && !dialog.changes().toolWindowStyle);
        }
        QVERIFY(!stringLibraryLoaded());
        QCOMPARE(loadText(Text::OperationFailed), ownText(Text::OperationFailed));
        QCOMPARE(profile.readString("are you", "wota?", "unset"), std::string());
        QCOMPARE(profile.readString("are you", "in the 1-byte area?", ""), std::string("no"));
        QCOMPARE(profile.readString("System", "ToolWindow", ""), std::string("YES"));
        QCOMPARE(profile.readInt("System", "RestoreWindow", -1), 1);
        SettingsDialog again(profile, libraryPath());
        again.libraryBox()->setChecked(true);
        again.accept();
        QCOMPARE(loadText(Text::OperationFailed), QStringLiteral("x"));
        QVERIFY(SettingsDialog(profile, "/nonexistent/pelio.txt").libraryBox()->isHidden());
    }
};

ZELL_UI_TEST(StringTableTest);

} // namespace zell::test

#include "string_table_test.moc"
