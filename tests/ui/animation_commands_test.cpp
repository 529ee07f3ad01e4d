#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>

#include <fstream>

#include "app/string_table.h"
#include "document/project_file.h"
#include "document/still_image.h"
#include "image/raster_image.h"
#include "playback/transition_plugin.h"
#include "ui/animation_commands.h"
#include "ui/background_run.h"
#include "ui/file_commands.h"
#include "ui/image_canvas.h"
#include "ui/operation_dialogs.h"
#include "ui/tool_window.h"
#include "ui/transition_dialog.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

constexpr int kScreenWidth = 8;
constexpr int kScreenHeight = 6;

// The colour of a work file's top-left pixel, as 0xRRGGBB.
QRgb firstPixel(const std::string& path)
{
    RasterImage picture;
    if (!loadStillPicture(path, picture) || !picture.fitInto(1000, 1000, true))
        return 0xDEAD;
    return dibToImage(picture.image).pixel(0, 0) & 0xFFFFFF;
}

// Frames of one colour each, filling the screen, with their own tables.
void fill(TestDocument& doc, const std::vector<uint32_t>& colors, int width, int height)
{
    doc.screen(uint16_t(width), uint16_t(height));
    for (uint32_t color : colors)
        doc.add(uint32_t(width), uint32_t(height), {color, 0}, std::vector<uint8_t>(size_t(width) * height, 0)).delay =
            10;
}

struct Animation {
    explicit Animation(const std::vector<uint32_t>& colors, int width = kScreenWidth, int height = kScreenHeight)
        : checks(doc.model, nullptr), commands(doc.model, nullptr, checks, [this] { return selected; })
    {
        QObject::connect(&doc.model, &DocumentModel::busyChanged, [this](bool on) { busy << on; });
        fill(doc, colors, width, height);
        commands.pluginFolders = {};
        doc.model.selectFrame(0);
    }

    TestDocument doc;
    ScriptedPrompter prompter;
    FileCommands checks;
    QList<int> selected;
    QList<bool> busy;
    AnimationCommands commands;
};

// Answers the optimise dialog: transparency only.
int optimiseTransparency(QDialog& dialog)
{
    static_cast<OptimizeDialog&>(dialog).box(Text::UseTransparency)->setChecked(true);
    return int(QDialog::Accepted);
}

} // namespace

class AnimationCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void optimizeOpensWithTheSameBitsEveryTimeAndIsOneStep()
    {
        Animation a({0x000000, 0x000000});
        QList<uint32_t> seen;
        a.prompter.dialogScript = [&](QDialog& dialog) {
            auto& d = static_cast<OptimizeDialog&>(dialog);
            seen << d.options();
            d.box(Text::UseTransparency)->setChecked(true);
            d.box(Text::DropUnchangedFrames)->setChecked(true);
            return int(QDialog::Accepted);
        };
        a.commands.optimize();
        a.commands.optimize();
        QCOMPARE(seen, QList<uint32_t>({0x01u, 0x01u}));
        // The second frame changed nothing and was dropped, in one step.
        QVERIFY(a.doc.model.frameCount() == 1 && a.doc.model.history().canUndo());
        QCOMPARE(a.prompter.texts.size(), 2); // the reports
        QCOMPARE(a.busy, QList<bool>({true, false, true, false}));
        QVERIFY(a.doc.model.undo() && a.doc.model.frameCount() == 2);
        QVERIFY2(!lastBackgroundRun().dialogShown, "a short run shows no progress");
    }

    // The progress dialog shows only after a while, the event loop runs
    // meanwhile, and its Cancel restores everything and leaves no step.
    // Counting timer ticks, not timing them, holds however slow the machine.
    void aLongOptimiseKeepsTheWindowsAliveAndCancelRestoresAll()
    {
        std::vector<uint32_t> colors;
        for (int i = 0; i < 80; ++i)
            colors.push_back(i % 2 ? 0x102030u * uint32_t(i % 7) : 0xF0E0D0u);
        Animation a(colors, 1600, 1200);
        const DocumentState before = snapshot(a.doc.document);
        const std::string undoBefore = a.doc.model.history().undoName();
        a.prompter.dialogScript = optimiseTransparency;
        int ticksBefore = 0, ticksWhileShown = 0;
        QPointer<QProgressDialog> shown;
        QTimer tick;
        tick.setInterval(10);
        connect(&tick, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<QProgressDialog*>(w); progress && progress->isVisible() && !shown)
                    shown = progress;
            if (!shown)
                ++ticksBefore;
            else if (++ticksWhileShown == 5) // a real click: the dialog alone takes input during the run
                QTest::mouseClick(shown->findChild<QPushButton*>(), Qt::LeftButton);
        });
        tick.start();
        a.commands.optimize();
        tick.stop();
        QVERIFY2(ticksBefore >= 1 && ticksWhileShown >= 5, qPrintable(QString::number(ticksWhileShown)));
        QVERIFY2(lastBackgroundRun().dialogShown && lastBackgroundRun().cancelled, "the run must outlast the delay");
        QCOMPARE(a.prompter.texts, QStringList()); // a cancel is no failure
        QCOMPARE(a.busy, QList<bool>({true, false}));
        QVERIFY(snapshot(a.doc.document) == before && a.doc.model.history().undoName() == undoBefore);
    }

    // The worker reads the document: no key, click or typed digit may
    // change it meanwhile; a question still gets its answer, and closing
    // stops the run, then saves the document as it stands.
    void duringALongRunInputIsRefusedAndClosingStopsItThenSaves()
    {
        std::vector<uint32_t> colors; // each odd frame repeats the one before
        for (int i = 0; i < 16; ++i)
            colors.push_back(i / 2 % 2 ? 0x102030u : 0xF0E0D0u);
        WindowFixture f(0);
        fill(f.doc, colors, 1600, 1200);
        f.doc.model.rebuild([](Document&) {}); // changed, and never saved
        const std::string undoBefore = f.doc.model.history().undoName();
        MainWindow& window = f.window;
        f.list().select(0);
        f.list().setFocus();
        NumberEdit* delay = f.panel().delayEdit();
        const DocumentState before = snapshot(f.doc.document);
        const QString project = f.doc.dir.path() + "/closed.zpj";
        f.prompter.dialogScript = [&](QDialog& dialog) {
            return dynamic_cast<QFileDialog*>(&dialog) ? fileDialogs({project})(dialog) : optimiseTransparency(dialog);
        };
        f.prompter.answers = {kIdYes}; // the save question: Save
        QSignalSpy closed(&window, &MainWindow::closed);
        bool whileRunning = false, answered = false;
        QTimer::singleShot(10, &window, [&] {
            whileRunning = !window.paletteWindow()->isEnabled() && !lastBackgroundRun().dialogShown;
            QTest::keyClick(&f.list(), Qt::Key_Delete);
            QTest::keyClick(&window, Qt::Key_Delete, Qt::ControlModifier);
            delay->setFocus();
            QTest::keyClicks(delay, "7");
            QMessageBox question(QMessageBox::Question, {}, {}, QMessageBox::Yes | QMessageBox::No, &window);
            question.show();
            QTest::mouseClick(question.button(QMessageBox::Yes), Qt::LeftButton);
            answered = question.clickedButton() == question.button(QMessageBox::Yes);
            window.close();
        });
        window.action(Text::OptimizeCommand)->trigger();
        QVERIFY2(whileRunning, "the input must come while the run goes, before its dialog");
        QVERIFY2(answered && lastBackgroundRun().cancelled, "closing stops the run");
        QCOMPARE(f.prompter.texts.size(), 1); // the save question
        QVERIFY(closed.size() == 1 && delay->value() == 10);
        // Neither the input nor the stopped run left a change or a step, and
        // the project holds the document.
        QVERIFY(snapshot(f.doc.document) == before && f.doc.model.history().undoName() == undoBefore);
        QVERIFY(!f.doc.model.history().modified());
        TestDocument saved;
        QVERIFY(openProject(saved.document, project.toStdString()) && saved.document.frames.count() == 16);
        QCOMPARE(readFile(saved.document.frames.frameAt(15)->workFile), readFile(f.frame(15).workFile));
    }

    void aFailingOptimiseChangesNothingAndSaysSo()
    {
        Animation a({0x000000, 0xFFFFFF, 0x000000});
        std::ofstream(a.doc.model.frameAt(2)->workFile.path(), std::ios::trunc) << "not a GIF";
        a.doc.document.settings.useGlobalColorTable = true;
        a.doc.document.settings.globalColorTable.count = 4;
        const DocumentState before = snapshot(a.doc.document);
        a.prompter.dialogScript = optimiseTransparency;
        a.commands.optimize();
        QCOMPARE(a.prompter.texts, QStringList({loadText(Text::OperationFailed)}));
        QVERIFY(snapshot(a.doc.document) == before);
        QCOMPARE(a.busy, QList<bool>({true, false}));
    }

    void unifyRebuildsTheChosenFramesAsOneStepAndSelectsTheFirst()
    {
        Animation a({0x0000FF, 0x00FF00, 0xFF0000});
        a.selected = {1, 2};
        a.doc.model.selectFrame(2);
        a.prompter.dialogScript = [&](QDialog& dialog) {
            auto& d = static_cast<UnifyDialog&>(dialog);
            d.combo(Text::FirstCondition)->setCurrentIndex(1);
            d.combo(Text::ColorCount)->setCurrentIndex(1); // 4 colours
            return int(QDialog::Accepted);
        };
        QSignalSpy rows(&a.commands, &AnimationCommands::selectRow);
        const DocumentState before = restorable(a.doc.document);
        a.commands.unifyPalettes();
        QVERIFY(a.prompter.texts.isEmpty());
        QVERIFY(rows.size() == 1 && rows[0][0].toInt() == 0);
        QVERIFY(restorable(a.doc.document).frames[0] == before.frames[0]); // not chosen
        for (int i : {1, 2})
            QVERIFY(!a.doc.model.frameAt(i)->useLocalColorTable && a.doc.model.frameAt(i)->colorCount == 4);
        QCOMPARE(int(a.doc.document.settings.globalColorTable.count), 4);
        QVERIFY(a.busy == QList<bool>({true, false}) && a.doc.model.history().canUndo());
        QVERIFY(a.doc.model.undo() && restorable(a.doc.document) == before);
    }

    void pluginsFollowTheBuiltinsWithTheirSettingsAndStepLimits()
    {
        Animation a({0x000000, 0xFFFFFF});
        // Only the well-behaved test plug-in: "first" (4 steps, no settings)
        // and "third" (200 steps, settings), after the eight built-ins.
        QTemporaryDir plugins;
        QFile::copy(QStringLiteral(ZELL_TEST_PLUGIN_DIR "/counted.so"), plugins.path() + "/counted.so");
        TransitionScreens screens;
        QVERIFY(a.commands.composeTransitionScreens(0, screens));
        auto dialog = std::make_unique<TransitionDialog>(nullptr, screens, a.doc.work,
                                                         std::vector<std::filesystem::path>{plugins.path().toStdString()});
        QVERIFY(dialog->patternBox()->count() == 10 && dialog->patternBox()->itemText(9) == "third");
        dialog->patternBox()->setCurrentIndex(9);
        dialog->settingsButton()->click();
        auto* third = dynamic_cast<TransitionPlugin*>(dialog->transitions()[9].get());
        QVERIFY(third && third->module);
        auto log = reinterpret_cast<const char* (*)()>(dlsym(third->module, "testPluginLog"));
        QVERIFY(log);
        // The dialog's X11 window, or null where there is none (offscreen).
        const auto parent = reinterpret_cast<uintptr_t>(dialog->settingsParent());
        QCOMPARE(parent != 0, QGuiApplication::platformName() == QLatin1String("xcb"));
        QVERIFY(QString::fromLatin1(log()).endsWith(QStringLiteral("config %1 2;").arg(parent)));
        // A plug-in of 4 steps at most: typed steps stay within 1 to 4.
        dialog->patternBox()->setCurrentIndex(8);
        for (auto [typed, kept] : {std::pair{"9", 4}, std::pair{"0", 1}}) {
            dialog->stepEdit()->selectAll();
            QTest::keyClicks(dialog->stepEdit(), typed);
            QCOMPARE(dialog->stepEdit()->value(), kept);
        }
    }

    // What the dialog chose reaches the insertion (its fields and names are
    // the engine's); a cancel or a missing current frame changes nothing.
    void aTransitionIsInsertedAfterTheCurrentFrameAsOneStep()
    {
        Animation a({0x000000, 0xFFFFFF});
        a.prompter.dialogScript = [](QDialog&) { return int(QDialog::Rejected); };
        a.commands.insertTransition();
        QCOMPARE(a.doc.model.frameCount(), 2);
        a.prompter.dialogScript = [](QDialog& dialog) {
            auto& d = static_cast<TransitionDialog&>(dialog);
            d.patternBox()->setCurrentIndex(0); // the cross-fade
            d.stepEdit()->setValue(3);
            d.speedEdit()->setValue(25);
            d.accept();
            return d.result();
        };
        a.commands.insertTransition();
        QCOMPARE(a.doc.model.frameCount(), 5);
        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(int(a.doc.model.frameAt(i)->delay), 25);
            QVERIFY(qAbs(qGreen(firstPixel(a.doc.model.frameAt(i)->workFile.path())) - 0x40 * i) <= 2);
        }
        QVERIFY(a.doc.model.undo() && a.doc.names() == frameNames({0, 1}));
        a.doc.model.selectFrame(-1);
        a.commands.insertTransition();
        QCOMPARE(a.prompter.texts, QStringList({loadText(Text::OperationFailed)}));
    }
};

ZELL_UI_TEST(AnimationCommandsTest);

} // namespace zell::test

#include "animation_commands_test.moc"
