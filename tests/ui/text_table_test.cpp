#include <QAbstractItemModel>
#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QTest>

#include "app/profile.h"
#include "app/string_table.h"
#include "ui/frame_list_view.h"
#include "ui/main_window.h"
#include "ui/test_document.h"
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
    // arguments that are not there; a missing entry would show nothing.
    void bothLanguagesHaveEveryTextWithTheSameConversions()
    {
        const std::vector<int> ids = builtinTextIds(Language::Japanese);
        QVERIFY(ids.size() > 250);
        QCOMPARE(builtinTextIds(Language::English), ids);
        for (int id : ids) {
            const QString ja = builtinText(Language::Japanese, id);
            const QString en = builtinText(Language::English, id);
            QVERIFY2(!ja.isEmpty() && !en.isEmpty(), qPrintable(QString::number(id)));
            QVERIFY2(kinds(ja) == kinds(en), qPrintable(QStringLiteral("%1: %2 | %3").arg(id).arg(ja, en)));
        }
    }

    // The same letters and keys, so that a hand used to one language finds
    // the commands in the other.
    void menusKeepTheirAcceleratorsAndKeys()
    {
        int menus = 0;
        for (int id : builtinTextIds(Language::Japanese)) {
            const QString ja = builtinText(Language::Japanese, id);
            const QString en = builtinText(Language::English, id);
            QVERIFY2(mnemonic(ja) == mnemonic(en), qPrintable(QStringLiteral("%1: %2 | %3").arg(id).arg(ja, en)));
            QVERIFY2(shortcutPart(ja) == shortcutPart(en), qPrintable(QString::number(id)));
            menus += mnemonic(ja).isNull() ? 0 : 1;
        }
        QVERIFY(menus > 30);
    }

    void aReplacementReachesMenusHeadingsAndMessages()
    {
        TestDocument doc(2, false);
        const QString library = doc.dir.path() + "/pelio.txt";
        QFile f(library);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("20000\tv010300\n"
                "32771\tGet &Pictures...\\tCtrl+O\n"
                "20112\tLabel\n"
                "21505\tEverything goes.\\nSure?\n"
                "20121\t%d/%d\n"
                "20122\t%s x %s\n"); // mismatched: left out
        f.close();
        Profile profile((doc.dir.path() + "/zell.ini").toStdString());
        profile.writeString("are you", "wota?", "yes");
        ScriptedPrompter prompter;
        loadStringLibrary(profile, library.toStdString());
        QVERIFY(prompter.texts.isEmpty());

        MainWindow window(doc.model, profile, library.toStdString());
        QCOMPARE(window.action(Text::OpenImagesCommand)->text(), QStringLiteral("Get &Pictures...\tCtrl+O"));
        const QAbstractItemModel* model = window.frameList()->model();
        int name = -1, position = -1, size = -1;
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString heading = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            name = heading == QLatin1String("Label") ? c : name;
            position = heading == ownText(Text::PositionHeading) ? c : position;
            size = heading == ownText(Text::SizeHeading) ? c : size;
        }
        QVERIFY(name >= 0 && position >= 0 && size >= 0);
        QCOMPARE(model->data(model->index(1, position), Qt::DisplayRole).toString(), QStringLiteral("0/0"));
        QCOMPARE(model->data(model->index(1, size), Qt::DisplayRole).toString(), QStringLiteral("11 x 21"));

        prompter.answers = {kIdNo};
        window.action(Text::DeleteAllCommand)->trigger();
        QCOMPARE(prompter.texts, QStringList{QStringLiteral("Everything goes.\nSure?")});
        QCOMPARE(doc.model.frameCount(), 2);
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
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        const std::string program = (dir.path() + "/bin/").toStdString();
        const std::string config = (dir.path() + "/config/zell/pelio.txt").toStdString();
        QVERIFY(QDir().mkpath(dir.path() + "/bin") && QDir().mkpath(dir.path() + "/config/zell"));
        const std::string none = stringLibraryPath(program);
        QFile(QString::fromStdString(program + "pelio.txt")).open(QIODevice::WriteOnly);
        const std::string beside = stringLibraryPath(program);
        QFile(QString::fromStdString(config)).open(QIODevice::WriteOnly);
        const std::string both = stringLibraryPath(program);
        saved.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(none, config);
        QCOMPARE(beside, program + "pelio.txt");
        QCOMPARE(both, config);
    }
};

ZELL_UI_TEST(TextTableTest);

} // namespace zell::test

#include "text_table_test.moc"
