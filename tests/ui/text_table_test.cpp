#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>

#include "app/string_table.h"
#include "support/scoped_environment.h"
#include "ui/gif_files.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

QString kinds(const QString& text)
{
    QStringList out;
    for (const std::string& c : printfConversions(text.toStdString()))
        out << QString::fromStdString(c);
    return out.join(QLatin1Char(','));
}

// The letter after a single '&', upper-cased; empty when there is none.
QChar mnemonic(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toUpper();
        ++i;
    }
    return {};
}

QString shortcutPart(const QString& text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : text.mid(tab + 1);
}

} // namespace

class TextTableTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        freeStringLibrary();
        setTextLanguage(Language::Japanese);
    }

    void conversionsAreReadAsPrintfReadsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two numbers") << "(%d, %d)" << "d,d";
        QTest::newRow("flags and width") << "[%d]：[#%06X]" << "d,X";
        QTest::newRow("text then number") << "%s%d ms." << "s,d";
        QTest::newRow("percent sign") << "100%% of %s" << "s";
        QTest::newRow("length modifier") << "%lld / %-4hu" << "lld,hu";
        QTest::newRow("dangling") << "50 %" << "";
        QTest::newRow("none") << "OK" << "";
    }
    void conversionsAreReadAsPrintfReadsThem()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(kinds(text), expected);
    }

    // Formatting a text with the other language's arguments would read
    // arguments that are not there; a missing entry would show nothing. The
    // menus keep their letters and keys, so that a hand used to one language
    // finds the commands in the other.
    void bothLanguagesHaveEveryTextWithTheSameConversionsAndKeys()
    {
        const std::vector<int> ids = builtinTextIds(Language::Japanese);
        QVERIFY(ids.size() > 250);
        QCOMPARE(builtinTextIds(Language::English), ids);
        int menus = 0;
        for (int id : ids) {
            const QString ja = builtinText(Language::Japanese, id);
            const QString en = builtinText(Language::English, id);
            const QString both = QStringLiteral("%1: %2 | %3").arg(id).arg(ja, en);
            QVERIFY2(!ja.isEmpty() && !en.isEmpty(), qPrintable(both));
            QVERIFY2(kinds(ja) == kinds(en), qPrintable(both));
            QVERIFY2(mnemonic(ja) == mnemonic(en) && shortcutPart(ja) == shortcutPart(en), qPrintable(both));
            menus += mnemonic(ja).isNull() ? 0 : 1;
        }
        QVERIFY(menus > 30);
    }

    // A replacement whose conversions differ from ours is left out: it
    // would read arguments that are not there.
    void aReplacementReachesMenusAndMessages()
    {
        QTemporaryDir dir;
        const QString library = dir.path() + "/pelio.txt";
        QVERIFY(writeBytes(library, "20000\tv010300\n"
                                    "32771\tGet &Pictures...\\tCtrl+O\n"
                                    "21505\tEverything goes.\\nSure?\n"
                                    "20121\t%d/%d\n"
                                    "20122\t%s x %s\n"));
        Profile profile((dir.path() + "/zell.ini").toStdString());
        profile.writeString("are you", "wota?", "yes");
        {
            ScriptedPrompter quiet;
            loadStringLibrary(profile, library.toStdString());
            QVERIFY(quiet.texts.isEmpty());
        }
        QVERIFY(loadText(Text::PositionFormat) == "%d/%d" && loadText(Text::SizeFormat) == ownText(Text::SizeFormat));
        WindowFixture f(2, library.toStdString());
        QCOMPARE(f.window.action(Text::OpenImagesCommand)->text(), QStringLiteral("Get &Pictures...\tCtrl+O"));
        f.prompter.answers = {kIdNo};
        f.window.action(Text::DeleteAllCommand)->trigger();
        QCOMPARE(f.prompter.texts, QStringList{QStringLiteral("Everything goes.\nSure?")});
        QCOMPARE(f.doc.model.frameCount(), 2);
    }

    // The manuals are where a replacement's author finds the numbers.
    void theManualsListEveryNumber()
    {
        for (const char* name : {"/doc/manual.html", "/doc/manual.ja.html"}) {
            QFile manual(QStringLiteral(ZELL_SOURCE_DIR) + name);
            QVERIFY(manual.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(manual.readAll());
            for (int id : builtinTextIds(Language::Japanese))
                QVERIFY2(html.contains(QStringLiteral("<tr><td>%1</td>").arg(id)), qPrintable(name + QString::number(id)));
        }
    }

    // A user without rights beside an installed program keeps a table in
    // the config folder; it wins over one beside the program.
    void theReplacementIsLookedForInTheConfigFolderFirst()
    {
        QTemporaryDir dir;
        ScopedEnvironment home("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8().constData());
        const std::string program = (dir.path() + "/bin/").toStdString();
        const std::string config = (dir.path() + "/config/zell/pelio.txt").toStdString();
        QVERIFY(QDir().mkpath(dir.path() + "/bin") && QDir().mkpath(dir.path() + "/config/zell"));
        QCOMPARE(stringLibraryPath(program), config);
        QVERIFY(writeBytes(QString::fromStdString(program + "pelio.txt"), {}));
        QCOMPARE(stringLibraryPath(program), program + "pelio.txt");
        QVERIFY(writeBytes(QString::fromStdString(config), {}));
        QCOMPARE(stringLibraryPath(program), config);
    }
};

ZELL_UI_TEST(TextTableTest);

} // namespace zell::test

#include "text_table_test.moc"
