#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QRadioButton>
#include <QSignalSpy>

#include "app/string_table.h"
#include "ui/clip_import_dialog.h"
#include "ui/file_commands.h"
#include "ui/gif_files.h"
#include "ui/operation_dialogs.h"
#include "ui/optimize_options.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

struct CommandsFixture {
    CommandsFixture() : commands(doc.model, nullptr) {}
    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = doc.dir.path() + "/" + name;
        writeBytes(path, bytes);
        return path;
    }
    // Imported frames are named "[file]の[001]"; the file's letter is enough.
    QString sources() const
    {
        QString out;
        for (const QString& name : doc.names())
            out += name.mid(1, 1);
        return out;
    }
    void acceptAll() { prompter.dialogScript = acceptDialog; }

    TestDocument doc;
    ScriptedPrompter prompter;
    FileCommands commands;
};

ClipInfo tenSeconds()
{
    ClipInfo info;
    info.width = 320;
    info.height = 240;
    info.duration = 10;
    info.frameRate = 30;
    info.frameCount = 300;
    return info;
}

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
            {false, false, false, Text::AllFramesLossless, 0x00},
            {false, true, false, Text::AllFramesLossless, 0x04},
            {false, true, true, Text::AllFramesLossless, 0x84},
            {false, false, true, Text::AllFramesLossless, 0x00}, // timing only counts for dropped frames
            {true, false, false, Text::OnlyTransparentFrames, 0x02},
            {true, false, false, Text::AllFramesAutoTransparent, 0x12},
            {true, false, false, Text::AllFramesLossless, 0x62},
            {true, true, true, Text::AllFramesAutoTransparent, 0x96},
        };
        OptimizeOptionsPanel panel;
        QVERIFY(panel.radio(Text::AllFramesLossless)->isChecked()); // lossless unless asked otherwise
        for (const Row& row : rows) {
            panel.box(Text::UseTransparency)->setChecked(row.transparency);
            panel.box(Text::DropUnchangedFrames)->setChecked(row.drop);
            panel.box(Text::KeepDroppedDelay)->setChecked(row.timing);
            panel.radio(row.radio)->setChecked(true);
            QCOMPARE(panel.options(), row.bits);
            QCOMPARE(panel.radio(Text::AllFramesAutoTransparent)->isEnabled(), row.transparency);
            QCOMPARE(panel.box(Text::KeepDroppedDelay)->isEnabled(), row.drop);
            OptimizeOptionsPanel again;
            again.setOptions(row.bits);
            QCOMPARE(again.options(), row.bits);
        }
        SaveGifDialog save(nullptr);
        QVERIFY(OptimizeDialog(nullptr).options() == kSaveOptimize && save.options() == kSaveOptimize);
        save.box(Text::UseTransparency)->setChecked(true);
        QCOMPARE(save.options(), uint32_t(kSaveLosslessDefault));
        // Without optimising nothing else counts, whatever the boxes show.
        save.box(Text::OptimizeOnSave)->setChecked(false);
        QVERIFY(!save.box(Text::UseTransparency)->isEnabled() && !save.radio(Text::OnlyTransparentFrames)->isEnabled());
        QCOMPARE(save.options(), 0u);
    }

    void openImportsWithTheChosenModeAndTheFirstFilesTable()
    {
        CommandsFixture f;
        const QString a = f.file("a.gif", tinyGif(2, false, 1, 4));
        const QString b = f.file("b.gif", tinyGif(2, false, 2, 9));
        auto openWith = [&](const QStringList& paths, int mode) {
            f.prompter.dialogScript = [paths, mode](QDialog& dialog) {
                auto& open = static_cast<ImageOpenDialog&>(dialog);
                open.choose(paths);
                open.panel()->modeButton(mode)->setChecked(true);
                return int(QDialog::Accepted);
            };
            f.commands.open();
        };
        openWith({a}, kInsertAtEnd);
        openWith({b, a}, kInsertAtHead);
        QCOMPARE(f.sources(), QStringLiteral("aba")); // in name order, at the head
        // The first open took the file's table as the global table.
        const GifSettings& settings = f.doc.document.settings;
        QVERIFY(settings.useGlobalColorTable && settings.globalColorTable.color(0) == 0xFF0001u);
        QCOMPARE(settings.screenWidth, 9);
        openWith({a}, kReplaceAll);
        QVERIFY(f.sources() == "a" && settings.screenWidth == 9); // the screen never shrinks
        // The dialog presets the global table only for an empty list.
        ImageOpenDialog empty(nullptr, {}, true), filled(nullptr, {}, false);
        QVERIFY(empty.panel()->globalTableBox()->isChecked() && !filled.panel()->globalTableBox()->isChecked());
        QCOMPARE(f.prompter.unexpected, 0);
    }

    void droppedFilesGoInByteOrderAndFailuresComeOnce()
    {
        CommandsFixture f;
        const QString c = f.file("c.gif", tinyGif(1, false, 3));
        const QString a = f.file("a.gif", tinyGif(1, false, 1));
        const QString b = f.file("b.gif", tinyGif(1, false, 2));
        QString forAllShown;
        f.prompter.dialogScript = [&](QDialog& dialog) {
            auto& load = static_cast<LoadDialog&>(dialog);
            forAllShown += QString::number(load.useForAllBox()->isVisibleTo(&load));
            return int(QDialog::Accepted);
        };
        f.commands.openDropped({c, a, b});
        QCOMPARE(f.sources(), QStringLiteral("abc"));
        QCOMPARE(forAllShown, QStringLiteral("110")); // no use-for-all box for the last

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
        QVERIFY(f.prompter.dialogs == 1 && f.sources() == "abcd" && f.prompter.texts.size() == 1);
        QVERIFY(f.prompter.texts[0].startsWith(bad + "\n" + bad + "\n\n"));
        // Without it each failure is told at once.
        f.acceptAll();
        f.prompter.answers = {kIdOk, kIdOk};
        f.commands.openDropped({bad, bad});
        QVERIFY(f.prompter.texts.size() == 3 && f.prompter.unexpected == 0);
    }

    void aFrameBeyondTheScreenIsAskedAboutOnceAndTheCommentStaysOut()
    {
        CommandsFixture f;
        Frame& one = f.doc.add(false);
        Frame& two = f.doc.add(false);
        one.useLocalColorTable = two.useLocalColorTable = 1;
        f.doc.model.editSettings([](GifSettings& s) {
            s.screenWidth = 10;
            s.screenHeight = 30;
            s.comment = "hi";
            s.saveComment = true;
        });
        two.left = 5; // 5 + 11 > 10; frame 0 is 10 wide and fits
        QSignalSpy select(&f.commands, &FileCommands::selectRow);
        GifOutput out;
        f.prompter.answers = {kIdNo};
        QVERIFY(!f.commands.collectGifSettings(out, false));
        QVERIFY(select.count() == 1 && select[0][0].toInt() == 1);
        one.left = 1;
        f.prompter.answers = {kIdYes, kIdYes};
        QVERIFY(f.commands.collectGifSettings(out, false) && out.comment.empty());
        QVERIFY(f.commands.collectGifSettings(out, true) && out.comment == "hi");
        QVERIFY(f.prompter.texts.size() == 3 && f.prompter.unexpected == 0); // once per check, not per frame
    }

    void saveWritesWhatTheWriterWrites()
    {
        CommandsFixture f;
        const QString in = f.file("in.gif", tinyGif(2, false, 9, 3));
        f.acceptAll();
        f.commands.openDropped({in, in});
        for (bool optimised : {false, true}) {
            const QString out = f.doc.dir.path() + (optimised ? "/o.gif" : "/p.gif");
            f.prompter.dialogScript = [out, optimised](QDialog& dialog) {
                auto& save = static_cast<SaveGifDialog&>(dialog);
                save.box(Text::OptimizeOnSave)->setChecked(optimised);
                save.choose({out});
                return int(QDialog::Accepted);
            };
            QSignalSpy busy(&f.doc.model, &DocumentModel::busyChanged);
            f.commands.save();
            QCOMPARE(QList<QList<QVariant>>(busy.begin(), busy.end()), (QList<QList<QVariant>>{{true}, {false}}));
            const QString reference = f.doc.dir.path() + "/reference.gif";
            QVERIFY(writeAnimatedGif(reference.toStdString(), f.doc.document.frames,
                                     GifOutput::fromSettings(f.doc.document.settings, optimised ? kSaveOptimize : 0u)));
            QVERIFY(!fileBytes(out).isEmpty() && fileBytes(out) == fileBytes(reference));
        }
        // A path that cannot be written is a failure, told once.
        f.prompter.dialogScript = fileDialogs({f.doc.dir.path() + "/missing/x.gif"});
        f.prompter.answers = {kIdOk};
        f.commands.save();
        QVERIFY(f.prompter.texts.last().startsWith(loadText(Text::OperationFailed)) && f.prompter.unexpected == 0);
    }

    void aProjectComesBackByteForByte()
    {
        CommandsFixture f;
        f.acceptAll();
        f.commands.openDropped({f.file("in.gif", tinyGif(2, false, 9, 3))});
        f.doc.model.setAttribute({0}, FrameAttribute::Delay, 42);
        f.doc.model.setAttribute({0}, FrameAttribute::Left, 65535); // kept where the frame still ends inside 65535
        const QString first = f.doc.dir.path() + "/first.zpj", second = f.doc.dir.path() + "/second.zpj";
        f.prompter.dialogScript = fileDialogs({first, first, second});
        f.commands.saveProject();
        f.doc.model.removeAll();
        f.prompter.answers = {kIdNo}; // the emptied list is not saved
        f.commands.openProject();
        QVERIFY(f.commands.projectTitle() == "first" && f.doc.model.frameCount() == 1);
        QVERIFY(f.doc.model.frameAt(0)->delay == 42 && f.doc.model.frameAt(0)->left == 65535 - f.doc.model.frameAt(0)->width);
        f.commands.saveProject();
        QVERIFY(!fileBytes(first).isEmpty() && fileBytes(second) == fileBytes(first));

        // Dropped (or named on the command line), a project opens whole,
        // without the load dialog.
        f.doc.model.removeAll();
        const int dialogs = f.prompter.dialogs;
        f.prompter.answers = {kIdNo};
        f.commands.openDropped({first});
        QVERIFY(f.prompter.dialogs == dialogs && f.doc.model.frameAt(0)->delay == 42);

        // A broken project changes nothing and is told.
        f.prompter.dialogScript = fileDialogs({f.file("broken.zpj", "ZELL0000 and nothing")});
        f.prompter.answers = {kIdOk};
        f.commands.openProject();
        QVERIFY(f.doc.model.frameCount() == 1 && f.commands.projectTitle() == "first" && f.prompter.unexpected == 0);
        QVERIFY(f.prompter.texts.last().startsWith(loadText(Text::OperationFailed)));
    }

    // Untouched, the clip keeps its own size (none is given); a side typed
    // keeps the aspect; each choice reaches the options.
    void theClipOptionsFollowTheControls()
    {
        ClipImportDialog dialog(nullptr, "clip.mp4", tenSeconds(), QImage());
        QVERIFY(dialog.options().width == 0 && dialog.options().height == 0);
        dialog.widthBox()->setValue(160);
        QVERIFY(dialog.options().width == 160 && dialog.options().height == 120);
        dialog.heightBox()->setValue(60);
        QCOMPARE(dialog.widthBox()->value(), 80);
        for (ClipDither dither : {ClipDither::ordered, ClipDither::none, ClipDither::diffusion}) {
            dialog.ditherButton(dither)->setChecked(true);
            QVERIFY(dialog.options().dither == dither);
        }
        dialog.paletteButton(ClipPalette::perFrame)->setChecked(true);
        QVERIFY(dialog.options().palette == ClipPalette::perFrame);
    }

    // The stretch stays inside the clip and never ends before it starts; an
    // empty one cannot be taken.
    void startAndEndAreClampedToTheClip()
    {
        ClipImportDialog dialog(nullptr, "clip.mp4", tenSeconds(), QImage());
        dialog.startBox()->setValue(99);
        QCOMPARE(dialog.options().start, 10.0);
        dialog.startBox()->setValue(4);
        dialog.endBox()->setValue(2);
        QCOMPARE(dialog.options().end, 4.0);
        QVERIFY(!dialog.okButton()->isEnabled());
        dialog.endBox()->setValue(50);
        QCOMPARE(dialog.options().end, 10.0);
        QVERIFY(dialog.okButton()->isEnabled());
        dialog.startBox()->setValue(7);
        QCOMPARE(dialog.options().end, 10.0); // a later start leaves a later end alone

        // A clip of unknown length runs to its end unless one is given.
        ClipInfo unknown = tenSeconds();
        unknown.duration = 0;
        ClipImportDialog open(nullptr, "clip.mkv", unknown, QImage());
        QCOMPARE(open.options().end, 0.0);
        open.startBox()->setValue(3);
        QCOMPARE(open.options().end, 0.0);
        open.endBox()->setValue(5);
        QCOMPARE(open.options().end, 5.0);
    }

    void aLongStretchIsAskedAboutAndThenAllowed()
    {
        ScriptedPrompter prompter;
        ClipInfo info = tenSeconds();
        info.duration = 200;
        ClipImportDialog dialog(nullptr, "long.mp4", info, QImage());
        dialog.fpsBox()->setValue(25); // 5000 frames
        prompter.answers = {kIdNo};
        dialog.okButton()->click();
        QVERIFY(dialog.result() != QDialog::Accepted && prompter.texts.size() == 1);
        prompter.answers = {kIdYes};
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.options().maxFrames >= dialog.frameEstimate());

        ClipImportDialog shortOne(nullptr, "long.mp4", info, QImage());
        shortOne.endBox()->setValue(60); // 1500 frames at the default 25
        shortOne.okButton()->click();
        QVERIFY(shortOne.result() == QDialog::Accepted && shortOne.options().maxFrames == 2000);
        QCOMPARE(prompter.texts.size(), 2);
        QCOMPARE(prompter.unexpected, 0);
    }

    // A dropped clip goes through its panel and comes in as one undo step;
    // a broken one is told and leaves the list as it was.
    void aDroppedClipImportsAsOneStep()
    {
        CommandsFixture f;
        const QString clip = QStringLiteral(ZELL_SOURCE_DIR "/tests/data/clips/three_frames.webp");
        int panels = 0;
        f.prompter.dialogScript = [&](QDialog& dialog) {
            panels += qobject_cast<ClipImportDialog*>(&dialog) != nullptr;
            return int(QDialog::Accepted);
        };
        f.commands.openDropped({clip});
        QCOMPARE(panels, 1);
        QCOMPARE(f.doc.model.frameCount(), 3);
        const int delays[] = {10, 4, 25};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(int(f.doc.model.frameAt(i)->delay), delays[i]);
        QVERIFY(f.doc.model.undo() && f.doc.model.frameCount() == 0);
        const QString cut = f.file("cut.webp", fileBytes(clip).left(120));
        f.prompter.answers = {kIdOk};
        f.commands.openDropped({cut});
        QVERIFY(f.doc.model.frameCount() == 0 && f.prompter.texts.size() == 1 && f.prompter.texts[0].contains(cut));
        QCOMPARE(f.prompter.unexpected, 0);
    }
};

ZELL_UI_TEST(FileCommandsTest);

} // namespace zell::test

#include "file_commands_test.moc"
