// The size the save and optimise dialogs show: it follows the options, it is
// the size saving then writes, and a newer choice stops the measure running.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <atomic>

#include "app/string_table.h"
#include "document/gif_export.h"
#include "ui/file_commands.h"
#include "ui/gif_files.h"
#include "ui/optimize_options.h"
#include "ui/size_estimate.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

class SizeEstimateTest : public QObject {
    Q_OBJECT

private slots:
    // The lossy level acts only in the lossless mode, so only there is it
    // offered and only there does it reach the options.
    void theLossyLevelBelongsToTheLosslessMode()
    {
        OptimizeOptionsPanel panel;
        QSignalSpy changed(&panel, &OptimizeOptionsPanel::changed);
        panel.setOptions(kSaveTransparency | kSaveLosslessTransparency | lossyOption(80));
        QVERIFY(panel.lossyLevel()->isEnabled() && lossyLevel(panel.options()) == 80);
        panel.lossyLevel()->setValue(120);
        QCOMPARE(lossyLevel(panel.options()), 120);
        panel.radio(Text::AllFramesAutoTransparent)->setChecked(true);
        QVERIFY(!panel.lossyLevel()->isEnabled() && lossyLevel(panel.options()) == 0);
        panel.radio(Text::AllFramesLossless)->setChecked(true);
        panel.box(Text::UseTransparency)->setChecked(false);
        QVERIFY(!panel.lossyLevel()->isEnabled() && lossyLevel(panel.options()) == 0);
        QVERIFY(changed.count() >= 4);
    }

    // What the save dialog shows for the options chosen is what it writes.
    void theEstimateIsTheSizeSaved()
    {
        TestDocument doc;
        ScriptedPrompter prompter;
        FileCommands commands(doc.model, nullptr);
        const QString in = doc.dir.path() + "/in.gif", out = doc.dir.path() + "/out.gif";
        QVERIFY(writeBytes(in, tinyGif(3, true, 0x40, 7)));
        prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        commands.openDropped({in, in, in});
        QCOMPARE(doc.model.frameCount(), 3);
        quint64 shown = 0;
        prompter.dialogScript = [&](QDialog& dialog) {
            auto& save = static_cast<SaveGifDialog&>(dialog);
            QSignalSpy measured(save.estimate(), &SizeEstimate::measured);
            save.box(Text::UseTransparency)->setChecked(true);
            save.findChild<QSpinBox*>()->setValue(40);
            if (measured.wait(20000) && measured.last()[0].toBool())
                shown = measured.last()[1].toULongLong();
            save.choose({out});
            return int(QDialog::Accepted);
        };
        commands.save();
        QVERIFY(shown > 0);
        QCOMPARE(quint64(QFileInfo(out).size()), shown);
    }

    // A limit makes the save pick the lowest lossy level that fits and say
    // which; a limit nothing meets writes nothing.
    void aSizeLimitPicksTheLossyLevel()
    {
        TestDocument doc;
        ScriptedPrompter prompter;
        FileCommands commands(doc.model, nullptr);
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
        for (const int kilobytes : {1, int(exact / 1024) - 1}) {
            prompter.dialogScript = [&](QDialog& dialog) {
                auto& save = static_cast<SaveGifDialog&>(dialog);
                save.box(Text::UseTransparency)->setChecked(true);
                save.box(Text::FitInSize)->setChecked(true);
                save.maxKilobytes()->setValue(kilobytes);
                save.choose({out});
                return int(QDialog::Accepted);
            };
            prompter.answers = {kIdOk};
            commands.save();
            QCOMPARE(prompter.texts.size(), 1);
            const QString said = prompter.texts.takeLast();
            if (kilobytes == 1) {
                QVERIFY2(!QFileInfo::exists(out), qPrintable(said));
                continue;
            }
            const qint64 size = QFileInfo(out).size();
            QVERIFY2(size > 0 && size <= kilobytes * 1024 && said.contains(QLocale().toString(size)),
                     qPrintable(said));
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
};

ZELL_UI_TEST(SizeEstimateTest);

} // namespace zell::test

#include "size_estimate_test.moc"
