#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "app/string_table.h"
#include "document/gif_export.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/pixel_limit.h"
#include "image/neural_quantizer.h"
#include "ui/document_model.h"
#include "ui/file_commands.h"
#include "ui/operation_dialogs.h"
#include "ui/optimize_options.h"
#include "ui/gif_files.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

// Imported frames are named "[file]の[001]"; the file's letter is enough.
QStringList sources(const TestDocument& doc)
{
    QStringList out;
    for (const QString& name : doc.names())
        out << name.mid(1, 1);
    return out;
}

struct CommandsFixture {
    CommandsFixture() : commands(doc.model, nullptr) {}
    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = doc.dir.path() + "/" + name;
        writeBytes(path, bytes);
        return path;
    }

    TestDocument doc;
    ScriptedPrompter prompter;
    FileCommands commands;
};

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // The save and optimise dialogs share one panel of choices.
    void optimiseChoicesGiveTheirBits()
    {
        struct Row {
            bool transparency, drop, timing;
            int radio;
            uint32_t bits;
        };
        const Row rows[] = {
            {false, false, false, 1228, 0x00}, {false, true, false, 1228, 0x04}, {false, true, true, 1228, 0x84},
            {false, false, true, 1228, 0x00}, // timing only counts for dropped frames
            {true, false, false, 1226, 0x02},  {true, false, false, 1227, 0x12}, {true, false, false, 1228, 0x62},
            {true, true, true, 1227, 0x96},
        };
        OptimizeOptionsPanel panel;
        QVERIFY(panel.radio(1228)->isChecked()); // lossless unless asked otherwise
        for (const Row& row : rows) {
            panel.box(1224)->setChecked(row.transparency);
            panel.box(1225)->setChecked(row.drop);
            panel.box(1229)->setChecked(row.timing);
            panel.radio(row.radio)->setChecked(true);
            QCOMPARE(panel.options(), row.bits);
            QCOMPARE(panel.radio(1227)->isEnabled(), row.transparency);
            QCOMPARE(panel.box(1229)->isEnabled(), row.drop);
            OptimizeOptionsPanel again;
            again.setOptions(row.bits);
            QCOMPARE(again.options(), row.bits);
        }
        OptimizeDialog optimise(nullptr);
        QCOMPARE(optimise.options(), uint32_t(kSaveOptimize));
        SaveGifDialog save(nullptr);
        QCOMPARE(save.options(), uint32_t(kSaveOptimize));
        save.box(1224)->setChecked(true);
        QCOMPARE(save.options(), uint32_t(kSaveLosslessDefault));
        // Without optimising nothing else counts, whatever the boxes show.
        save.box(1221)->setChecked(false);
        QVERIFY(!save.box(1224)->isEnabled() && !save.radio(1226)->isEnabled());
        QCOMPARE(save.options(), 0u);
    }

    void theOpenDialogPresetsTheGlobalTableOnlyForAnEmptyList()
    {
        ImageOpenDialog empty(nullptr, {}, true), filled(nullptr, {}, false);
        QVERIFY(empty.panel()->globalTableBox()->isChecked());
        QVERIFY(!filled.panel()->globalTableBox()->isChecked());
        QCOMPARE(filled.panel()->options().insertMode, int(kInsertAtEnd));
        QVERIFY(!filled.panel()->options().loadComment);
        QVERIFY(empty.previewBox()->isChecked());
        // Photos are imported with a refined palette, dithered when asked.
        QCOMPARE(filled.panel()->options().stillColors, uint32_t(kNeuQuantRefine));
        filled.panel()->ditherBox()->setChecked(true);
        QCOMPARE(filled.panel()->options().stillColors, uint32_t(kNeuQuantRefine | kNeuQuantDither));
        QCOMPARE(fileDialogFilter(20005),
                 QStringLiteral("Graphics Interchange Format (*.gif) (*.gif);;All Files (*.*) (*.*)"));
    }

    void openImportsWithTheChosenMode()
    {
        CommandsFixture f;
        const QString a = f.file("a.gif", tinyGif(2, false, 1, 4));
        const QString b = f.file("b.gif", tinyGif(2, false, 2, 9));
        auto openWith = [&](const QString& path, int mode) {
            f.prompter.dialogScript = [path, mode](QDialog& dialog) {
                auto& open = static_cast<ImageOpenDialog&>(dialog);
                open.choose({path});
                open.panel()->modeButton(mode)->setChecked(true);
                return int(QDialog::Accepted);
            };
            f.commands.open();
        };
        openWith(a, kInsertAtEnd);
        openWith(b, kInsertAtHead);
        QCOMPARE(sources(f.doc), QStringList({"b", "a"}));
        // The first open took the file's table as the global table.
        QVERIFY(f.doc.document.settings.useGlobalColorTable);
        QCOMPARE(f.doc.document.settings.globalColorTable.color(0), 0xFF0001u);
        QCOMPARE(f.doc.document.settings.screenWidth, 9);
        openWith(a, kReplaceAll);
        QCOMPARE(sources(f.doc), QStringList({"a"}));
        QCOMPARE(f.doc.document.settings.screenWidth, 9); // never shrinks
        QCOMPARE(f.prompter.unexpected, 0);
    }

    void droppedFilesGoInByteOrderAndFailuresComeOnce()
    {
        CommandsFixture f;
        const QString c = f.file("c.gif", tinyGif(1, false, 3));
        const QString a = f.file("a.gif", tinyGif(1, false, 1));
        const QString b = f.file("b.gif", tinyGif(1, false, 2));
        QStringList shown;
        f.prompter.dialogScript = [&shown](QDialog& dialog) {
            auto& load = static_cast<LoadDialog&>(dialog);
            shown << QString::number(load.useForAllBox()->isVisibleTo(&load));
            return int(QDialog::Accepted);
        };
        f.commands.openDropped({c, a, b});
        QCOMPARE(sources(f.doc), QStringList({"a", "b", "c"}));
        QCOMPARE(shown, QStringList({"1", "1", "0"})); // no use-for-all box for the last

        // Use-for-all in the first dialog: no more dialogs, one message at the end.
        const QString bad = f.file("bad.gif", "not a picture");
        const QString d = f.file("d.gif", tinyGif(1, false, 4));
        f.prompter.dialogs = 0;
        f.prompter.dialogScript = [](QDialog& dialog) {
            static_cast<LoadDialog&>(dialog).useForAllBox()->setChecked(true);
            return int(QDialog::Accepted);
        };
        f.prompter.answers = {kIdOk};
        f.commands.openDropped({d, bad, bad});
        QCOMPARE(f.prompter.dialogs, 1);
        QCOMPARE(sources(f.doc), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(f.prompter.texts.size(), 1);
        QVERIFY(f.prompter.texts[0].startsWith(bad + "\n" + bad + "\n\n"));

        // Without it each failure is told at once; Cancel skips one file.
        f.prompter.texts.clear();
        f.prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        f.prompter.answers = {kIdOk, kIdOk};
        f.commands.openDropped({bad, bad});
        QCOMPARE(f.prompter.texts.size(), 2);
        QCOMPARE(f.prompter.unexpected, 0);
    }

    // The desktop program has no --max-pixels: a still beyond the limit is
    // named with its size and the profile key that raises the limit.
    void aStillBeyondThePixelLimitNamesTheProfileKey()
    {
        CommandsFixture f;
        ByteBuffer solid;
        QVERIFY(createSolidImage(solid, 10, 8, 0x123456));
        const std::vector<uint8_t> bmp = makeBmpFile(solid.bytes());
        const QString path =
            f.file("big.bmp", QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size())));
        const uint64_t old = pixelLimit();
        setPixelLimit(79);
        f.prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        f.prompter.answers = {kIdOk};
        f.commands.openDropped({path});
        setPixelLimit(old);
        QCOMPARE(f.doc.model.frameCount(), 0);
        QCOMPARE(f.prompter.texts.size(), 1);
        QVERIFY2(f.prompter.texts[0].startsWith(path + " (10x8 is larger than the limit of 79 pixels; MaxPixels in "
                                                       "the [System] section of zell.ini raises it)\n\n"),
                 qPrintable(f.prompter.texts[0]));
    }

    void loopSettingsReachTheWriter()
    {
        CommandsFixture f;
        GifOutput out;
        f.doc.model.editSettings([](GifSettings& s) { s.loop = false; });
        QVERIFY(f.commands.collectGifSettings(out, true));
        QCOMPARE(out.loopValue, 0u);
        f.doc.model.editSettings([](GifSettings& s) { s.loop = true; s.loopLimited = false; s.loopCount = 3; });
        QVERIFY(f.commands.collectGifSettings(out, true));
        QCOMPARE(out.loopValue, 0xFFFFFFFFu);
        f.doc.model.editSettings([](GifSettings& s) { s.loopLimited = true; s.comment = "hi"; s.saveComment = true; });
        QVERIFY(f.commands.collectGifSettings(out, true));
        QCOMPARE(out.loopValue, 3u);
        QCOMPARE(out.comment, std::string("hi"));
        QVERIFY(f.commands.collectGifSettings(out, false));
        QVERIFY(out.comment.empty());
    }

    void aFrameBeyondTheScreenIsAskedAboutOnce()
    {
        CommandsFixture f;
        Frame& one = f.doc.add(false);
        Frame& two = f.doc.add(false);
        one.useLocalColorTable = two.useLocalColorTable = 1;
        f.doc.model.editSettings([](GifSettings& s) { s.screenWidth = 10; s.screenHeight = 30; });
        two.left = 5; // 5 + 11 > 10; frame 0 is 10 wide and fits
        QSignalSpy select(&f.commands, &FileCommands::selectRow);
        GifOutput out;
        f.prompter.answers = {kIdNo};
        QVERIFY(!f.commands.collectGifSettings(out, false));
        QCOMPARE(select.count(), 1);
        QCOMPARE(select[0][0].toInt(), 1);
        one.left = 1;
        f.prompter.answers = {kIdYes};
        QVERIFY(f.commands.collectGifSettings(out, false));
        QCOMPARE(f.prompter.texts.size(), 2); // once per check, not per frame
        QCOMPARE(f.prompter.unexpected, 0);
    }

    void saveWritesWhatTheWriterWrites()
    {
        CommandsFixture f;
        const QString in = f.file("in.gif", tinyGif(2, false, 9, 3));
        f.prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        f.commands.openDropped({in, in});
        QCOMPARE(f.doc.model.frameCount(), 2);
        for (bool optimised : {false, true}) {
            const QString out = f.doc.dir.path() + (optimised ? "/o.gif" : "/p.gif");
            f.prompter.dialogScript = [out, optimised](QDialog& dialog) {
                auto& save = static_cast<SaveGifDialog&>(dialog);
                save.box(1221)->setChecked(optimised);
                save.choose({out});
                return int(QDialog::Accepted);
            };
            QSignalSpy busy(&f.doc.model, &DocumentModel::busyChanged);
            f.commands.save();
            QCOMPARE(QList<QList<QVariant>>(busy.begin(), busy.end()), (QList<QList<QVariant>>{{true}, {false}}));
            const std::string reference = (f.doc.dir.path() + "/reference.gif").toStdString();
            QVERIFY(writeAnimatedGif(reference, f.doc.document.frames,
                                     GifOutput::fromSettings(f.doc.document.settings, optimised ? uint32_t(kSaveOptimize) : 0u)));
            QVERIFY(!fileBytes(out).isEmpty());
            QCOMPARE(fileBytes(out), fileBytes(QString::fromStdString(reference)));
        }
        // A path that cannot be written is a failure, told once.
        f.prompter.dialogScript = fileDialogs({f.doc.dir.path() + "/missing/x.gif"});
        f.prompter.answers = {kIdOk};
        f.commands.save();
        QVERIFY(f.prompter.texts.last().startsWith(loadText(21502)));
        QCOMPARE(f.prompter.unexpected, 0);
    }

    void aProjectComesBackByteForByte()
    {
        CommandsFixture f;
        const QString in = f.file("in.gif", tinyGif(2, false, 9, 3));
        f.prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        f.commands.openDropped({in});
        f.doc.model.setAttribute({0}, FrameAttribute::Delay, 42);
        f.doc.model.setAttribute({0}, FrameAttribute::Left, 65535); // kept where the frame still ends inside 65535
        const QString first = f.doc.dir.path() + "/first.zpj";
        const QString second = f.doc.dir.path() + "/second.zpj";
        f.prompter.dialogScript = fileDialogs({first, first});
        f.commands.saveProject();
        f.doc.model.removeAll();
        f.prompter.answers = {kIdNo}; // the emptied list is not saved
        f.commands.openProject();
        QCOMPARE(f.commands.projectTitle(), QStringLiteral("first"));
        QCOMPARE(f.doc.model.frameCount(), 1);
        QCOMPARE(f.doc.model.frameAt(0)->delay, 42);
        QCOMPARE(int(f.doc.model.frameAt(0)->left), 65535 - int(f.doc.model.frameAt(0)->width));
        f.prompter.dialogScript = fileDialogs({second});
        f.commands.saveProject();
        QVERIFY(!fileBytes(first).isEmpty());
        QCOMPARE(fileBytes(second), fileBytes(first));

        // Dropped (or named on the command line), a project opens whole,
        // without the load dialog.
        f.doc.model.removeAll();
        const int dialogs = f.prompter.dialogs;
        f.prompter.answers = {kIdNo};
        f.commands.openDropped({first});
        QCOMPARE(f.prompter.dialogs, dialogs);
        QCOMPARE(f.doc.model.frameCount(), 1);
        QCOMPARE(f.doc.model.frameAt(0)->delay, 42);

        // A broken project changes nothing and is told.
        const QString broken = f.file("broken.zpj", "ZELL0000 and nothing");
        f.prompter.dialogScript = fileDialogs({broken});
        f.prompter.answers = {kIdOk};
        f.commands.openProject();
        QCOMPARE(f.doc.model.frameCount(), 1);
        QCOMPARE(f.commands.projectTitle(), QStringLiteral("first"));
        QVERIFY(f.prompter.texts.last().startsWith(loadText(21502)));
        QCOMPARE(f.prompter.unexpected, 0);
    }

    void twoPreviewsLeaveOneFile()
    {
        CommandsFixture f;
        const QString in = f.file("in.gif", tinyGif(2, false, 9, 3));
        f.prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        f.commands.openDropped({in});
        QStringList opened;
        f.commands.openInViewer = [&opened](const QString& path) {
            opened << path;
            return true;
        };
        f.commands.preview();
        f.commands.preview();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0] != opened[1]);
        QVERIFY(!QFileInfo::exists(opened[0]));
        QVERIFY(QFileInfo::exists(opened[1]));
        QCOMPARE(f.commands.previewPath(), opened[1]);
    }
};

ZELL_UI_TEST(FileCommandsTest);

} // namespace zell::test

#include "file_commands_test.moc"
