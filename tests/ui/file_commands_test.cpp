#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QThread>

#include <atomic>

#include "app/string_table.h"
#include "document/gif_info.h"
#include "ui/clip_import_dialog.h"
#include "ui/file_commands.h"
#include "ui/gif_files.h"
#include "ui/operation_dialogs.h"
#include "ui/optimize_options.h"
#include "ui/size_estimate.h"
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

const ClipInfo kTenSeconds{
    .width = 320, .height = 240, .duration = 10, .frameRate = 30, .frameCount = 300, .format = "h264"};

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // The save and optimise dialogs share one panel of choices; the lossy
    // level acts only in the lossless mode.
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
            {true, false, false, Text::AllFramesLossless, 0x62 | lossyOption(80)},
            {true, true, true, Text::AllFramesAutoTransparent, 0x96},
        };
        OptimizeOptionsPanel panel;
        QVERIFY(panel.radio(Text::AllFramesLossless)->isChecked()); // lossless unless asked otherwise
        panel.lossyLevel()->setValue(80);
        for (const Row& row : rows) {
            panel.box(Text::UseTransparency)->setChecked(row.transparency);
            panel.box(Text::DropUnchangedFrames)->setChecked(row.drop);
            panel.box(Text::KeepDroppedDelay)->setChecked(row.timing);
            panel.radio(row.radio)->setChecked(true);
            QCOMPARE(panel.options(), row.bits);
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
        QCOMPARE(f.prompter.unexpected, 0);
    }

    void droppedFilesGoInByteOrderAndFailuresComeOnce()
    {
        CommandsFixture f;
        const QString c = f.file("c.gif", tinyGif(1, false, 3));
        const QString a = f.file("a.gif", tinyGif(1, false, 1));
        const QString b = f.file("b.gif", tinyGif(1, false, 2));
        f.acceptAll();
        f.commands.openDropped({c, a, b});
        QCOMPARE(f.sources(), QStringLiteral("abc"));

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

    // What is written is the writer's file for the options chosen, and as
    // big as the dialog said it would be.
    void saveWritesWhatTheWriterWrites()
    {
        CommandsFixture f;
        const QString in = f.file("in.gif", tinyGif(3, true, 0x40, 7));
        f.acceptAll();
        f.commands.openDropped({in, in, in});
        for (bool optimised : {false, true}) {
            const QString out = f.doc.dir.path() + (optimised ? "/o.gif" : "/p.gif");
            uint32_t options = 0;
            quint64 shown = 0;
            f.prompter.dialogScript = [&](QDialog& dialog) {
                auto& save = static_cast<SaveGifDialog&>(dialog);
                QSignalSpy measured(save.estimate(), &SizeEstimate::measured);
                save.box(Text::OptimizeOnSave)->setChecked(optimised);
                save.box(Text::UseTransparency)->setChecked(true);
                save.findChild<QSpinBox*>()->setValue(40);
                if (optimised && measured.wait(20000) && measured.last()[0].toBool())
                    shown = measured.last()[1].toULongLong();
                options = save.options();
                save.choose({out});
                return int(QDialog::Accepted);
            };
            QSignalSpy busy(&f.doc.model, &DocumentModel::busyChanged);
            f.commands.save();
            QCOMPARE(QList<QList<QVariant>>(busy.begin(), busy.end()), (QList<QList<QVariant>>{{true}, {false}}));
            const QString reference = f.doc.dir.path() + "/reference.gif";
            QVERIFY(writeAnimatedGif(reference.toStdString(), f.doc.document.frames,
                                     GifOutput::fromSettings(f.doc.document.settings, options)));
            QVERIFY(!fileBytes(out).isEmpty() && fileBytes(out) == fileBytes(reference));
            QVERIFY(!optimised || quint64(fileBytes(out).size()) == shown);
        }
        // A path that cannot be written is a failure, told once.
        f.prompter.dialogScript = fileDialogs({f.doc.dir.path() + "/missing/x.gif"});
        f.prompter.answers = {kIdOk};
        f.commands.save();
        QVERIFY(f.prompter.texts.last().startsWith(loadText(Text::OperationFailed)) && f.prompter.unexpected == 0);
    }

    // A limit makes the save pick the lowest lossy level that fits, or fewer
    // colours below the highest level's size, and say which, leaving the
    // document's frames as they were; a limit nothing meets writes nothing.
    void aSizeLimitPicksTheLossyLevel()
    {
        CommandsFixture f;
        TestDocument& doc = f.doc;
        ScriptedPrompter& prompter = f.prompter;
        std::vector<uint32_t> ramp;
        for (uint32_t i = 0; i < 64; ++i)
            ramp.push_back(i * 0x030302u);
        std::vector<uint8_t> noise(160 * 120);
        uint32_t seed = 7;
        for (uint8_t& v : noise)
            v = uint8_t((seed = seed * 1103515245u + 12345u) >> 26);
        doc.screen(160, 120);
        doc.add(160, 120, ramp, noise);
        const uint32_t lossless = kSaveOptimize | kSaveTransparency | kSaveLosslessTransparency | kSaveShrinkTables;
        uint64_t exact = 0, lossiest = 0;
        GifOutput output = GifOutput::fromSettings(doc.document.settings, lossless);
        QVERIFY(measureAnimatedGif(doc.document.frames, output, exact));
        output.options |= lossyOption(200);
        QVERIFY(measureAnimatedGif(doc.document.frames, output, lossiest) && lossiest + 2048 < exact);
        const QString out = doc.dir.path() + "/fit.gif";
        const Frame before = *doc.document.frames.frameAt(0);
        for (const int kilobytes : {1, int(exact / 1024) - 1, int(lossiest / 1024) - 1}) {
            prompter.dialogScript = [&](QDialog& dialog) {
                auto& save = static_cast<SaveGifDialog&>(dialog);
                save.box(Text::UseTransparency)->setChecked(true);
                save.box(Text::FitInSize)->setChecked(true);
                save.maxKilobytes()->setValue(kilobytes);
                save.choose({out});
                return int(QDialog::Accepted);
            };
            prompter.answers = {kIdOk};
            f.commands.save();
            QCOMPARE(prompter.texts.size(), 1);
            const QString said = prompter.texts.takeLast();
            if (kilobytes == 1) {
                QVERIFY2(!QFileInfo::exists(out), qPrintable(said));
                continue;
            }
            const qint64 size = QFileInfo(out).size();
            QVERIFY2(size > 0 && size <= kilobytes * 1024 && said.contains(QLocale().toString(size)),
                     qPrintable(said));
            const QByteArray written = fileBytes(out);
            GifStreamInfo info;
            QVERIFY(readGifInfo(std::span(reinterpret_cast<const uint8_t*>(written.data()), written.size()), info)
                    == GifInfoError::None);
            const int table = info.images.at(0).localTableSize ? info.images[0].localTableSize : info.globalTableSize;
            QVERIFY2(uint64_t(kilobytes) * 1024 < lossiest ? table <= 32 : table > 32, qPrintable(said));
            QVERIFY(*doc.document.frames.frameAt(0) == before);
        }
        QCOMPARE(prompter.unexpected, 0);
    }

    // A change while a measure runs stops it; only the latest options are
    // reported, and stopping returns once the worker has ended.
    void aNewerChoiceStopsTheMeasureRunning()
    {
        QWidget owner;
        std::atomic<int> started{0};
        SizeEstimate estimate(
            [&](uint32_t options, uint64_t& bytes, Progress& progress) {
                ++started;
                if (options == 1) { // the slow one: runs until stopped
                    while (!progress.cancelled())
                        QThread::msleep(1);
                    return false;
                }
                bytes = options;
                return true;
            },
            &owner);
        QSignalSpy measured(&estimate, &SizeEstimate::measured);
        estimate.request(1);
        QTRY_VERIFY(started == 1);
        estimate.request(2);
        estimate.request(3); // settles with the one before: one measure
        QVERIFY(measured.wait(20000));
        QCOMPARE(started.load(), 2);
        QCOMPARE(measured.count(), 1);
        QCOMPARE(measured[0][1].toULongLong(), 3ull);
        estimate.request(1);
        QTRY_VERIFY(started == 3);
        estimate.stop();
        QVERIFY(!measured.wait(500));
        QCOMPARE(measured.count(), 1);
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

    // The stretch stays inside the clip and never ends before it starts (an
    // empty one cannot be taken); more than 2000 frames are asked about.
    void theStretchIsClampedAndALongOneAskedAbout()
    {
        ScriptedPrompter prompter;
        ClipImportDialog dialog(nullptr, "clip.mp4", kTenSeconds, QImage());
        dialog.startBox()->setValue(99);
        QCOMPARE(dialog.options().start, 10.0);
        dialog.startBox()->setValue(4);
        dialog.endBox()->setValue(2);
        QVERIFY(dialog.options().end == 4.0 && !dialog.okButton()->isEnabled());
        dialog.endBox()->setValue(50);
        QVERIFY(dialog.options().end == 10.0 && dialog.okButton()->isEnabled());
        dialog.startBox()->setValue(7);
        QCOMPARE(dialog.options().end, 10.0); // a later start leaves a later end alone
        // A clip of unknown length runs to its end unless one is given.
        ClipInfo info = kTenSeconds;
        info.duration = 0;
        ClipImportDialog open(nullptr, "clip.mkv", info, QImage());
        open.startBox()->setValue(3);
        QCOMPARE(open.options().end, 0.0);

        info.duration = 200;
        ClipImportDialog longOne(nullptr, "long.mp4", info, QImage()), shortOne(nullptr, "long.mp4", info, QImage());
        longOne.fpsBox()->setValue(25); // 5000 frames
        prompter.answers = {kIdNo, kIdYes};
        longOne.okButton()->click();
        QVERIFY(longOne.result() != QDialog::Accepted && prompter.texts.size() == 1);
        longOne.okButton()->click();
        QVERIFY(longOne.result() == QDialog::Accepted && longOne.options().maxFrames >= longOne.frameEstimate());
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
