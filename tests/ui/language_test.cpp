#include <QComboBox>
#include <QTest>

#include "app/command_line.h"
#include "app/language.h"
#include "app/profile.h"
#include "support/scoped_environment.h"
#include "ui/settings_dialog.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

// Null for an unset variable, as getenv gives it.
const char* unsetOr(const QByteArray& value)
{
    return value == "-" ? nullptr : value.constData();
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private slots:
    void theLocaleVariablesAreReadAsTheCLibraryReadsThem_data()
    {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcMessages");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<bool>("japanese");
        // "-" is unset.
        QTest::newRow("LANG only") << QByteArray("-") << QByteArray("-") << QByteArray("ja_JP.UTF-8") << true;
        QTest::newRow("LC_ALL wins") << QByteArray("C") << QByteArray("ja_JP.UTF-8") << QByteArray("ja_JP.UTF-8")
                                     << false;
        QTest::newRow("LC_MESSAGES over LANG") << QByteArray("") << QByteArray("ja_JP.eucJP") << QByteArray("en_US")
                                               << true;
        QTest::newRow("empty is unset") << QByteArray("") << QByteArray("") << QByteArray("ja") << true;
        QTest::newRow("modifier") << QByteArray("ja_JP@cjknarrow") << QByteArray("-") << QByteArray("-") << true;
        QTest::newRow("C") << QByteArray("-") << QByteArray("-") << QByteArray("C") << false;
        QTest::newRow("POSIX") << QByteArray("POSIX") << QByteArray("-") << QByteArray("ja_JP.UTF-8") << false;
        QTest::newRow("C.UTF-8") << QByteArray("-") << QByteArray("-") << QByteArray("C.UTF-8") << false;
        QTest::newRow("nothing set") << QByteArray("-") << QByteArray("-") << QByteArray("-") << false;
        QTest::newRow("another language") << QByteArray("-") << QByteArray("de_DE.UTF-8") << QByteArray("ja_JP")
                                          << false;
        QTest::newRow("only a prefix") << QByteArray("-") << QByteArray("-") << QByteArray("jam_JM") << false;
    }
    void theLocaleVariablesAreReadAsTheCLibraryReadsThem()
    {
        QFETCH(QByteArray, lcAll);
        QFETCH(QByteArray, lcMessages);
        QFETCH(QByteArray, lang);
        QFETCH(bool, japanese);
        const Language expected = japanese ? Language::Japanese : Language::English;
        QCOMPARE(localeLanguage(unsetOr(lcAll), unsetOr(lcMessages), unsetOr(lang)), expected);
    }

    // The command line beats the profile, which beats the locale; a profile
    // value is compared exactly.
    void theCommandLineBeatsTheProfileWhichBeatsTheLocale()
    {
        QTemporaryDir dir;
        Profile profile((dir.path() + "/zell.ini").toStdString());
        ScopedEnvironment all("LC_ALL", nullptr), messages("LC_MESSAGES", "ja_JP.UTF-8"), lang("LANG", "en_GB.UTF-8");
        profile.writeString("System", "Language", "EN");
        QCOMPARE(startLanguage(profile, ""), Language::Japanese);
        profile.writeString("System", "Language", "en");
        QCOMPARE(startLanguage(profile, ""), Language::English);
        QCOMPARE(startLanguage(profile, "ja"), Language::Japanese);
    }

    // An unknown value shows as automatic and stays unless the choice changes.
    void theSettingsDialogWritesTheLanguageOnlyWhenChanged()
    {
        QTemporaryDir dir;
        Profile profile((dir.path() + "/zell.ini").toStdString());
        profile.writeString("System", "Language", "fr");
        const struct {
            int shown, chosen;
            const char* written;
        } rows[] = {{0, 0, "fr"}, {0, 2, "en"}, {2, 0, "auto"}};
        for (const auto& row : rows) {
            SettingsDialog dialog(profile, "/nonexistent/pelio.txt");
            QCOMPARE(dialog.languageBox()->currentIndex(), row.shown);
            dialog.languageBox()->setCurrentIndex(row.chosen);
            dialog.accept();
            QCOMPARE(profile.readString("System", "Language", ""), std::string(row.written));
        }
    }

    void theProgramsOptionsAreTakenOutAndTheRestPassedOn_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("passedOn");
        using A = CommandLine::Action;
        QTest::newRow("files") << QStringList{"a.gif", "b"} << int(A::Run) << "" << QStringList{"a.gif", "b"};
        QTest::newRow("lang") << QStringList{"--lang", "en", "a.gif"} << int(A::Run) << "en" << QStringList{"a.gif"};
        QTest::newRow("lang=") << QStringList{"a.gif", "--lang=ja"} << int(A::Run) << "ja" << QStringList{"a.gif"};
        QTest::newRow("unknown lang") << QStringList{"--lang", "de"} << int(A::BadLanguage) << "" << QStringList{};
        QTest::newRow("lang without value") << QStringList{"--lang"} << int(A::BadLanguage) << "" << QStringList{};
        QTest::newRow("short help") << QStringList{"x.gif", "-h"} << int(A::Help) << "" << QStringList{"x.gif"};
        QTest::newRow("help and version") << QStringList{"--help", "--version"} << int(A::Help) << ""
                                          << QStringList{};
        QTest::newRow("version") << QStringList{"--version"} << int(A::Version) << "" << QStringList{};
        QTest::newRow("Qt's own") << QStringList{"-platform", "offscreen"} << int(A::Run) << ""
                                  << QStringList{"-platform", "offscreen"};
        QTest::newRow("after --") << QStringList{"--", "--help", "-h"} << int(A::Run) << ""
                                  << QStringList{"--help", "-h"};
    }
    void theProgramsOptionsAreTakenOutAndTheRestPassedOn()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(QString, language);
        QFETCH(QStringList, passedOn);
        std::vector<QByteArray> storage{"zell"};
        for (const QString& a : arguments)
            storage.push_back(a.toUtf8());
        std::vector<char*> argv;
        for (QByteArray& a : storage)
            argv.push_back(a.data());
        const CommandLine line = parseCommandLine(int(argv.size()), argv.data());
        QCOMPARE(int(line.action), action);
        QCOMPARE(QString::fromStdString(line.language), language);
        QStringList rest;
        for (size_t i = 1; i < line.passedOn.size(); ++i)
            rest << QString::fromUtf8(line.passedOn[i]);
        if (action != int(CommandLine::Action::BadLanguage))
            QCOMPARE(line.passedOn.at(0), argv[0]);
        QCOMPARE(rest, passedOn);
    }
};

ZELL_UI_TEST(LanguageTest);

} // namespace zell::test

#include "language_test.moc"
