#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "ui/clip_import_dialog.h"
#include "ui/file_commands.h"
#include "ui/gif_files.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

namespace {

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

} // namespace

class ClipImportTest : public QObject {
    Q_OBJECT

private slots:
    void theOptionsFollowTheControls()
    {
        ClipImportDialog dialog(nullptr, "clip.mp4", tenSeconds(), QImage());
        ClipOptions o = dialog.options();
        // Untouched: the clip's own rate, all of it, its size, the defaults.
        QVERIFY(o.fps == 0 && o.start == 0 && o.end == 10 && o.width == 0 && o.height == 0);
        QVERIFY(o.palette == ClipPalette::shared && o.dither == ClipDither::diffusion && o.maxFrames == 2000);

        dialog.fpsBox()->setValue(12.5);
        dialog.startBox()->setValue(2.5);
        dialog.endBox()->setValue(6);
        dialog.widthBox()->setValue(160);
        dialog.paletteButton(ClipPalette::perFrame)->setChecked(true);
        dialog.ditherButton(ClipDither::ordered)->setChecked(true);
        o = dialog.options();
        QVERIFY(o.fps == 12.5 && o.start == 2.5 && o.end == 6);
        QCOMPARE(dialog.heightBox()->value(), 120); // the aspect is kept
        QVERIFY(o.width == 160 && o.height == 120);
        QVERIFY(o.palette == ClipPalette::perFrame && o.dither == ClipDither::ordered);
        dialog.heightBox()->setValue(60);
        QCOMPARE(dialog.widthBox()->value(), 80);
        dialog.ditherButton(ClipDither::none)->setChecked(true);
        QVERIFY(dialog.options().dither == ClipDither::none);
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
        TestDocument doc;
        ScriptedPrompter prompter;
        FileCommands commands(doc.model, nullptr);
        const QString clip = QStringLiteral(ZELL_SOURCE_DIR "/tests/data/clips/three_frames.webp");
        int panels = 0;
        prompter.dialogScript = [&](QDialog& dialog) {
            panels += qobject_cast<ClipImportDialog*>(&dialog) != nullptr;
            return int(QDialog::Accepted);
        };
        commands.openDropped({clip});
        QCOMPARE(panels, 1);
        QCOMPARE(doc.model.frameCount(), 3);
        const int delays[] = {10, 4, 25};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(int(doc.model.frameAt(i)->delay), delays[i]);
        QVERIFY(doc.model.undo() && doc.model.frameCount() == 0);

        QFile whole(clip);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QString cut = doc.dir.path() + "/cut.webp";
        writeBytes(cut, whole.readAll().left(120));
        prompter.answers = {kIdOk};
        commands.openDropped({cut});
        QVERIFY(doc.model.frameCount() == 0 && prompter.texts.size() == 1 && prompter.texts[0].contains(cut));
        QCOMPARE(prompter.unexpected, 0);
    }
};

ZELL_UI_TEST(ClipImportTest);

} // namespace zell::test

#include "clip_import_test.moc"
