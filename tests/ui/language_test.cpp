// The interface's languages: which one starts, its texts in both languages,
// a user's replacement table, and Qt's own buttons.
#include <algorithm>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "app/command_line.h"
#include "app/language.h"
#include "app/profile.h"
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

class LanguageTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::string libraryPath() const { return (dir.path() + "/pelio.txt").toStdString(); }
    std::string profilePath() const { return (dir.path() + "/zell.ini").toStdString(); }

    // Writes the table (none when null) and loads it under "wota?" =
    // `setting`; returns how many warnings were shown.
    qsizetype load(const char* text, const char* setting)
    {
        freeStringLibrary();
        QFile::remove(QString::fromStdString(libraryPath()));
        if (text && !writeBytes(QString::fromStdString(libraryPath()), text))
            return -1;
        Profile profile(profilePath());
        profile.writeString("are you", "wota?", setting);
        ScriptedPrompter prompter;
        prompter.answers = {kIdOk};
        loadStringLibrary(profile, libraryPath());
        return prompter.texts.size();
    }

private slots:
    void cleanup()
    {
        freeStringLibrary();
        setTextLanguage(Language::Japanese);
    }

    // LC_ALL, then LC_MESSAGES, then LANG; an empty one counts as unset.
    void theLocaleVariablesAreReadAsTheCLibraryReadsThem()
    {
        const struct {
            const char *all, *messages, *lang;
            bool japanese;
        } rows[] = {
            {nullptr, nullptr, "ja_JP.UTF-8", true},    {"C", "ja_JP.UTF-8", "ja_JP.UTF-8", false},
            {"", "ja_JP.eucJP", "en_US", true},         {"", "", "ja", true},
            {"ja_JP@cjknarrow", nullptr, nullptr, true}, {"POSIX", nullptr, "ja_JP.UTF-8", false},
            {nullptr, nullptr, nullptr, false},         {nullptr, "de_DE.UTF-8", "ja_JP", false},
            {nullptr, nullptr, "jam_JM", false}, // only a prefix
        };
        for (const auto& row : rows) {
            const Language expected = row.japanese ? Language::Japanese : Language::English;
            QVERIFY2(localeLanguage(row.all, row.messages, row.lang) == expected,
                 qPrintable(QString::number(&row - rows)));
        }
    }

    // The command line beats the profile, which beats the locale; a profile
    // value is compared exactly.
    void theCommandLineBeatsTheProfileWhichBeatsTheLocale()
    {
        Profile profile(profilePath());
        ScopedEnvironment all("LC_ALL", nullptr), messages("LC_MESSAGES", "ja_JP.UTF-8"), lang("LANG", "en_GB.UTF-8");
        profile.writeString("System", "Language", "EN");
        QCOMPARE(startLanguage(profile, ""), Language::Japanese);
        profile.writeString("System", "Language", "en");
        QCOMPARE(startLanguage(profile, ""), Language::English);
        QCOMPARE(startLanguage(profile, "ja"), Language::Japanese);
    }

    void theProgramsOptionsAreTakenOutAndTheRestPassedOn()
    {
        using A = CommandLine::Action;
        const struct {
            QStringList arguments;
            A action;
            std::string language;
            QStringList passedOn;
        } rows[] = {
            {{"a.gif", "b"}, A::Run, "", {"a.gif", "b"}},
            {{"--lang", "en", "a.gif"}, A::Run, "en", {"a.gif"}},
            {{"a.gif", "--lang=ja"}, A::Run, "ja", {"a.gif"}},
            {{"--lang", "de"}, A::BadLanguage, "", {}},
            {{"x.gif", "-h"}, A::Help, "", {"x.gif"}},
            {{"--version"}, A::Version, "", {}},
            {{"-platform", "offscreen"}, A::Run, "", {"-platform", "offscreen"}}, // Qt's own
            {{"--", "--help", "-h"}, A::Run, "", {"--help", "-h"}},
        };
        for (const auto& row : rows) {
            std::vector<QByteArray> storage{"zell"};
            for (const QString& a : row.arguments)
                storage.push_back(a.toUtf8());
            std::vector<char*> argv;
            for (QByteArray& a : storage)
                argv.push_back(a.data());
            const CommandLine line = parseCommandLine(int(argv.size()), argv.data());
            QStringList rest;
            for (size_t i = 1; i < line.passedOn.size(); ++i)
                rest << QString::fromUtf8(line.passedOn[i]);
            const QByteArray name = row.arguments.join(' ').toUtf8();
            QVERIFY2(line.action == row.action && line.language == row.language && rest == row.passedOn, name);
            QVERIFY2(row.action == A::BadLanguage || line.passedOn.at(0) == argv[0], name);
        }
    }

    void conversionsAreReadAsPrintfReadsThem()
    {
        const std::pair<const char*, const char*> rows[] = {
            {"(%d, %d)", "d,d"}, {"[%d]：[#%06X]", "d,X"}, {"%s%d ms.", "s,d"}, {"100%% of %s", "s"},
            {"%lld / %-4hu", "lld,hu"}, {"50 %", ""}, {"OK", ""},
        };
        for (const auto& [text, expected] : rows)
            QCOMPARE(kinds(QString::fromUtf8(text)), QString::fromLatin1(expected));
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
        // Every named text is in the table, under a number of its own.
        QFile header(QStringLiteral(ZELL_SOURCE_DIR "/src/app/text_ids.h"));
        QVERIFY(header.open(QIODevice::ReadOnly));
        const QRegularExpression entry(QStringLiteral("^\\s*(\\w+) = (\\d+),"), QRegularExpression::MultilineOption);
        QSet<int> named;
        for (const auto& m : entry.globalMatch(QString::fromUtf8(header.readAll()))) {
            const int id = m.captured(2).toInt();
            QVERIFY2(std::find(ids.begin(), ids.end(), id) != ids.end() && !named.contains(id), qPrintable(m.captured(1)));
            named.insert(id);
        }
        QVERIFY(named.size() > 200);
        // Both manuals list every number a replacement table may use.
        for (const char* name : {"/doc/manual.html", "/doc/manual.ja.html"}) {
            QFile manual(QStringLiteral(ZELL_SOURCE_DIR) + name);
            QVERIFY(manual.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(manual.readAll());
            for (int id : ids)
                QVERIFY2(html.contains(QStringLiteral("<tr><td>%1</td>").arg(id)), qPrintable(name + QString::number(id)));
        }
    }

    // A replacement whose conversions differ from ours is left out: it
    // would read arguments that are not there.
    void aReplacementWithOtherConversionsIsLeftOut()
    {
        QCOMPARE(load("20000\tv010300\n20121\t%d/%d\n20122\t%s x %s\n", "yes"), 0);
        QVERIFY(loadText(Text::PositionFormat) == "%d/%d" && loadText(Text::SizeFormat) == ownText(Text::SizeFormat));
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

ZELL_UI_TEST(LanguageTest);

} // namespace zell::test

#include "language_test.moc"
