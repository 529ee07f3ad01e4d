#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>

#include <fstream>

#include "app/profile.h"
#include "app/string_table.h"
#include "document/gif_export.h"
#include "document/project_file.h"
#include "document/still_image.h"
#include "image/dib.h"
#include "image/mapped_file.h"
#include "image/raster_image.h"
#include "playback/transition_plugin.h"
#include "ui/animation_commands.h"
#include "ui/background_run.h"
#include "ui/file_commands.h"
#include "ui/frame_list_view.h"
#include "ui/image_canvas.h"
#include "ui/main_window.h"
#include "ui/number_edit.h"
#include "ui/operation_dialogs.h"
#include "ui/property_panel.h"
#include "ui/test_document.h"
#include "ui/tool_window.h"
#include "ui/transition_dialog.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

constexpr int kScreenWidth = 8;
constexpr int kScreenHeight = 6;

// A single-image GIF work file of one colour filling `width` x `height`.
std::string solidWorkFile(WorkDirectory& work, int width, int height, uint32_t color)
{
    ByteBuffer dib, gif;
    std::string path;
    if (!createSolidImage(dib, uint32_t(width), uint32_t(height), color) || !convertToGif(dib.bytes(), gif, true) ||
        !work.newWorkFileName("gif", path))
        return {};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.size()));
    return path;
}

// The colour of a work file's top-left pixel, as 0xRRGGBB.
QRgb firstPixel(const std::string& path)
{
    RasterImage picture;
    if (!picture.loadFile(path) || !picture.fitInto(1000, 1000, true))
        return 0xDEAD;
    return dibToImage(picture.image).pixel(0, 0) & 0xFFFFFF;
}

QByteArray fileBytes(const std::string& path)
{
    QFile in(QString::fromStdString(path));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Frames of one colour each, filling the screen, with their own tables.
struct Animation {
    explicit Animation(const std::vector<uint32_t>& colors, int width = kScreenWidth, int height = kScreenHeight)
        : checks(doc.model, nullptr, {}),
          commands(
              doc.model, nullptr, checks, [this] { return selected; }, [this](bool on) { busy << on; })
    {
        doc.document.settings.screenWidth = uint16_t(width);
        doc.document.settings.screenHeight = uint16_t(height);
        for (uint32_t color : colors) {
            Frame& f = doc.add(false);
            f.workFile = WorkFile::adopt(solidWorkFile(doc.work, width, height, color));
            f.width = uint16_t(width);
            f.height = uint16_t(height);
            f.delay = 10;
            f.useLocalColorTable = 1;
            f.colorCount = 2;
        }
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
    static_cast<OptimizeDialog&>(dialog).box(1224)->setChecked(true);
    return int(QDialog::Accepted);
}

// Sixteen big frames, each odd one repeating the one before, in a main window
// on screen: optimising them runs long enough to act while it goes.
struct SlowOptimise {
    SlowOptimise()
        : a(colors(), 1600, 1200), profile((a.doc.dir.path() + "/zell.ini").toStdString()),
          window(a.doc.model, profile, "/nonexistent/pelio.txt")
    {
        window.show();
        QApplication::setActiveWindow(&window);
        window.frameList()->select(0);
        window.frameList()->setFocus();
        a.prompter.dialogScript = optimiseTransparency;
    }
    static std::vector<uint32_t> colors()
    {
        std::vector<uint32_t> out;
        for (int i = 0; i < 16; ++i)
            out.push_back(i / 2 % 2 ? 0x102030u : 0xF0E0D0u);
        return out;
    }
    std::vector<QByteArray> pictures() const
    {
        std::vector<QByteArray> out;
        for (int i = 0; i < a.doc.model.frameCount(); ++i)
            out.push_back(fileBytes(a.doc.model.frameAt(i)->workFile.path()));
        return out;
    }

    Animation a;
    Profile profile;
    MainWindow window;
};

// A folder holding only the well-behaved test plug-in: "first" (4 steps, no
// settings) and "third" (200 steps, settings), after the eight built-ins.
struct PluginFolder {
    PluginFolder()
    {
        QFile::copy(QStringLiteral(ZELL_TEST_PLUGIN_DIR "/counted.so"), dir.path() + "/counted.so");
    }
    std::vector<std::filesystem::path> folders() const { return {dir.path().toStdString()}; }
    QTemporaryDir dir;
};

} // namespace

class AnimationCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void optimizeDialogGivesTheBitsOfEveryCombination()
    {
        OptimizeDialog dialog(nullptr);
        QVERIFY(!dialog.box(1224)->isChecked());
        QVERIFY(!dialog.box(1225)->isChecked());
        QVERIFY(dialog.radio(1228)->isChecked());
        QVERIFY(!dialog.radio(1226)->isEnabled());
        QVERIFY(!dialog.radio(1227)->isEnabled());
        for (int transparency = 0; transparency < 2; ++transparency) {
            for (int drop = 0; drop < 2; ++drop) {
                for (int radio : {1226, 1227, 1228}) {
                    dialog.box(1224)->setChecked(transparency);
                    dialog.box(1225)->setChecked(drop);
                    dialog.box(1229)->setChecked(true);
                    dialog.radio(radio)->setChecked(true);
                    QCOMPARE(dialog.radio(1226)->isEnabled(), bool(transparency));
                    QCOMPARE(dialog.box(1229)->isEnabled(), bool(drop));
                    uint32_t expected = 0x01 | (drop ? 0x84u : 0u);
                    if (transparency)
                        expected |= 0x02u | (radio == 1227 ? 0x10u : radio == 1228 ? 0x60u : 0u);
                    QCOMPARE(dialog.options(), expected);
                }
            }
        }
    }

    void optimizeOpensWithTheSameBitsEveryTime()
    {
        Animation a({0x000000, 0x000000});
        QList<uint32_t> seen;
        a.prompter.dialogScript = [&](QDialog& dialog) {
            auto& d = static_cast<OptimizeDialog&>(dialog);
            seen << d.options();
            d.box(1224)->setChecked(true);
            d.box(1225)->setChecked(true);
            return int(QDialog::Accepted);
        };
        a.commands.optimize();
        a.commands.optimize();
        QCOMPARE(seen, QList<uint32_t>({0x01u, 0x01u}));
        // The second frame changed nothing and was dropped.
        QCOMPARE(a.doc.model.frameCount(), 1);
        QCOMPARE(a.busy, QList<bool>({true, false, true, false}));
        QCOMPARE(a.prompter.texts.size(), 0);
        // One undo step, named after the command, brings the frame back.
        QVERIFY(QString::fromStdString(a.doc.model.history().undoName()).startsWith(ownText(32785).left(4)));
        a.doc.model.undo();
        QCOMPARE(a.doc.model.frameCount(), 2);
        a.doc.model.redo();
        QCOMPARE(a.doc.model.frameCount(), 1);
        QVERIFY2(!lastBackgroundRun().dialogShown, "a short run shows no progress");
    }

    void aLongOptimiseKeepsTheWindowsAliveAndCancelRestoresAll()
    {
        std::vector<uint32_t> colors;
        for (int i = 0; i < 80; ++i)
            colors.push_back(i % 2 ? 0x102030u * uint32_t(i % 7) : 0xF0E0D0u);
        Animation a(colors, 1600, 1200);
        std::vector<std::pair<std::string, QByteArray>> before;
        for (int i = 0; i < a.doc.model.frameCount(); ++i)
            before.emplace_back(a.doc.model.frameAt(i)->workFile.path(), fileBytes(a.doc.model.frameAt(i)->workFile.path()));
        const QStringList workFiles = QDir(QString::fromStdString(a.doc.work.path())).entryList(QDir::Files);
        const std::string undoBefore = a.doc.model.history().undoName();
        a.prompter.dialogScript = [](QDialog& dialog) {
            static_cast<OptimizeDialog&>(dialog).box(1224)->setChecked(true);
            return int(QDialog::Accepted);
        };
        // The event loop is watched by a timer of its own: its ticks are
        // counted before the progress dialog shows and while it is up, and
        // Cancel is pressed from the loop. Counting events, not timing them,
        // holds however slowly the machine runs.
        int ticksBefore = 0, ticksWhileShown = 0;
        bool cancelPressed = false;
        QPointer<QProgressDialog> shown;
        QTimer tick;
        tick.setInterval(10);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (shown) {
                ++ticksWhileShown;
                if (ticksWhileShown == 5 && !cancelPressed) {
                    // A real click: the dialog alone takes input during the run.
                    if (auto* button = shown->findChild<QPushButton*>()) {
                        QTest::mouseClick(button, Qt::LeftButton);
                        cancelPressed = true;
                    }
                }
                return;
            }
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(w);
                if (progress && progress->isVisible())
                    shown = progress;
            }
            if (!shown)
                ++ticksBefore;
        });
        tick.start();
        a.commands.optimize();
        tick.stop();
        QVERIFY(lastBackgroundRun().dialogShown);
        QVERIFY2(ticksBefore >= 1, "the progress dialog waits before it shows");
        QVERIFY2(ticksWhileShown >= 5, qPrintable(QString::number(ticksWhileShown)));
        QVERIFY(cancelPressed);
        QVERIFY2(lastBackgroundRun().cancelled, "the run must outlast the dialog's delay");
        QCOMPARE(a.prompter.texts, QStringList()); // a cancel is no failure
        QCOMPARE(a.busy, QList<bool>({true, false}));
        QCOMPARE(a.doc.model.frameCount(), int(before.size()));
        for (int i = 0; i < a.doc.model.frameCount(); ++i) {
            QCOMPARE(a.doc.model.frameAt(i)->workFile.path(), before[size_t(i)].first);
            QCOMPARE(fileBytes(before[size_t(i)].first), before[size_t(i)].second);
        }
        QCOMPARE(QDir(QString::fromStdString(a.doc.work.path())).entryList(QDir::Files), workFiles);
        QCOMPARE(a.doc.model.history().undoName(), undoBefore); // no undo step for a cancelled run
    }

    void inputDuringALongRunNeverReachesTheDocument()
    {
        SlowOptimise s;
        Animation& a = s.a;
        MainWindow& window = s.window;
        NumberEdit* delay = window.propertyPanel()->delayEdit();
        const std::string undoBefore = a.doc.model.history().undoName();
        a.prompter.answers = {kIdNo}; // the save question on closing: close without saving
        QSignalSpy closed(&window, &MainWindow::closed);
        bool sent = false, whileRunning = false, answered = false;
        QTimer tick;
        tick.setInterval(10);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (sent)
                return;
            sent = true;
            whileRunning = !window.paletteWindow()->isEnabled() && !lastBackgroundRun().dialogShown;
            QTest::keyClick(window.frameList(), Qt::Key_Delete);
            QTest::keyClick(&window, Qt::Key_Delete, Qt::ControlModifier);
            delay->setFocus();
            QTest::keyClicks(delay, "7");
            // A question asked during the run, as on closing, can be answered.
            QMessageBox question(QMessageBox::Question, {}, {}, QMessageBox::Yes | QMessageBox::No, &window);
            question.show();
            QTest::mouseClick(question.button(QMessageBox::Yes), Qt::LeftButton);
            answered = question.clickedButton() == question.button(QMessageBox::Yes);
            // Closing is no input: the program can still be quit.
            window.close();
        });
        tick.start();
        window.action(32785)->trigger();
        tick.stop();
        QVERIFY2(sent && whileRunning, "the input must come while the run goes, before its dialog");
        QVERIFY(answered);
        QVERIFY2(lastBackgroundRun().cancelled, "closing stops the run");
        QCOMPARE(a.prompter.texts, QStringList({loadText(21516)}));
        QCOMPARE(closed.size(), 1);
        QCOMPARE(a.doc.model.frameCount(), 16);
        for (int i = 0; i < a.doc.model.frameCount(); ++i)
            QCOMPARE(a.doc.model.frameAt(i)->delay, 10);
        QCOMPARE(delay->value(), 10);
        // Neither the input nor the stopped run left a step.
        QCOMPARE(a.doc.model.history().undoName(), undoBefore);
    }

    void closingDuringALongRunStopsItThenSavesTheDocumentAsItStands()
    {
        SlowOptimise s;
        Animation& a = s.a;
        const std::vector<QByteArray> before = s.pictures();
        const std::string undoBefore = a.doc.model.history().undoName();
        const QString project = a.doc.dir.path() + "/closed.zpj";
        a.prompter.dialogScript = [&](QDialog& dialog) {
            if (auto* files = dynamic_cast<QFileDialog*>(&dialog)) {
                files->selectFile(project);
                return int(QDialog::Accepted);
            }
            return optimiseTransparency(dialog);
        };
        a.prompter.answers = {kIdYes}; // the save question: Save
        QSignalSpy closed(&s.window, &MainWindow::closed);
        bool whileRunning = false;
        QTimer::singleShot(10, &s.window, [&] {
            whileRunning = !s.window.paletteWindow()->isEnabled() && !lastBackgroundRun().dialogShown;
            s.window.close();
        });
        s.window.action(32785)->trigger();
        QVERIFY2(whileRunning, "the close must come while the run goes, before its dialog");
        QCOMPARE(a.prompter.texts, QStringList({loadText(21516)}));
        QCOMPARE(closed.size(), 1);
        QVERIFY(!s.window.isVisible());
        QVERIFY(lastBackgroundRun().cancelled);
        // The optimisation left nothing, and the project holds the document.
        QCOMPARE(a.doc.model.history().undoName(), undoBefore);
        QVERIFY(!a.doc.model.history().modified());
        QCOMPARE(s.pictures(), before);
        TestDocument saved;
        QVERIFY(openProject(saved.document, project.toStdString()));
        QCOMPARE(saved.document.frames.count(), int(before.size()));
        for (int i = 0; i < saved.document.frames.count(); ++i)
            QCOMPARE(fileBytes(saved.document.frames.frameAt(i)->workFile.path()), before[size_t(i)]);
    }

    void aFailingOptimiseChangesNothingAndSays21502()
    {
        Animation a({0x000000, 0xFFFFFF, 0x000000});
        std::ofstream(a.doc.model.frameAt(2)->workFile.path(), std::ios::trunc) << "not a GIF";
        a.doc.document.settings.useGlobalColorTable = true;
        a.doc.document.settings.globalColorTable.count = 4;
        a.doc.document.settings.globalColorTable.setColor(1, 0x030201);
        const ColorTable table = a.doc.document.settings.globalColorTable;
        struct Fields {
            uint16_t left, top, width, height, transparentIndex, colorCount;
            std::string path;
            QByteArray bytes;
        };
        std::vector<Fields> before;
        for (int i = 0; i < 3; ++i) {
            const Frame& f = *a.doc.model.frameAt(i);
            before.push_back({f.left, f.top, f.width, f.height, f.transparentIndex, f.colorCount, f.workFile.path(),
                              fileBytes(f.workFile.path())});
        }
        a.prompter.dialogScript = [](QDialog& dialog) {
            static_cast<OptimizeDialog&>(dialog).box(1224)->setChecked(true);
            return int(QDialog::Accepted);
        };
        a.commands.optimize();
        QCOMPARE(a.prompter.texts, QStringList({loadText(21502)}));
        QCOMPARE(a.prompter.captions, QStringList({loadText(21002)}));
        QCOMPARE(a.doc.model.frameCount(), 3);
        for (int i = 0; i < 3; ++i) {
            const Frame& f = *a.doc.model.frameAt(i);
            const Fields& b = before[size_t(i)];
            QCOMPARE(f.workFile.path(), b.path);
            QCOMPARE(f.left, b.left);
            QCOMPARE(f.top, b.top);
            QCOMPARE(f.width, b.width);
            QCOMPARE(f.height, b.height);
            QCOMPARE(f.transparentIndex, b.transparentIndex);
            QCOMPARE(f.colorCount, b.colorCount);
            QCOMPARE(fileBytes(f.workFile.path()), b.bytes);
        }
        QCOMPARE(a.doc.document.settings.globalColorTable.count, table.count);
        QCOMPARE(a.doc.document.settings.globalColorTable.color(1), table.color(1));
        QCOMPARE(a.busy, QList<bool>({true, false}));
    }

    void theUnifyDialogStartsAtTheCurrentFramesCountAndFollowsItsRules()
    {
        UnifyDialog sixteen(nullptr, 16);
        QCOMPARE(sixteen.combo(1241)->currentIndex(), 0);
        QCOMPARE(sixteen.combo(1242)->currentIndex(), 4);
        QCOMPARE(sixteen.combo(1127)->currentIndex(), 3);
        QVERIFY(sixteen.box(1243)->isChecked());
        QVERIFY(sixteen.box(1244)->isEnabled());
        QVERIFY(sixteen.box(1245)->isEnabled());
        QVERIFY(!sixteen.box(1246)->isEnabled());
        QVERIFY(sixteen.note()->font().pixelSize() >= 10);
        UnifyOptions o = sixteen.options();
        QCOMPARE(o.sizeMask, 0x10u);
        QCOMPARE(o.colorCount, 16);
        QVERIFY(!o.selectedOnly && o.useGlobal && !o.keepBackground && !o.reserveTransparent);

        sixteen.box(1245)->setChecked(true);
        QVERIFY(sixteen.box(1246)->isEnabled());
        sixteen.box(1246)->setChecked(true);
        sixteen.box(1244)->setChecked(true);
        sixteen.box(1243)->setChecked(false);
        sixteen.combo(1241)->setCurrentIndex(1);
        sixteen.combo(1242)->setCurrentIndex(0);
        o = sixteen.options();
        QVERIFY(o.selectedOnly && !o.useGlobal && o.keepBackground && o.reserveTransparent && o.transparentForAll);
        QCOMPARE(o.sizeMask, 0x1FFu);
        // Two colours leave no room for reservations.
        sixteen.combo(1127)->setCurrentIndex(0);
        QVERIFY(!sixteen.box(1244)->isEnabled());
        QVERIFY(!sixteen.box(1245)->isEnabled());
        o = sixteen.options();
        QCOMPARE(o.colorCount, 2);
        QVERIFY(!o.keepBackground && !o.reserveTransparent && !o.transparentForAll);

        UnifyDialog none(nullptr, 0);
        QCOMPARE(none.combo(1242)->currentIndex(), 0);
        QCOMPARE(none.options().colorCount, 256);
    }

    void unifyRebuildsTheChosenFramesAndSelectsTheFirst()
    {
        Animation a({0x0000FF, 0x00FF00, 0xFF0000});
        a.selected = {1, 2};
        a.doc.model.selectFrame(2);
        int seenCount = -1;
        a.prompter.dialogScript = [&](QDialog& dialog) {
            auto& d = static_cast<UnifyDialog&>(dialog);
            seenCount = d.combo(1127)->currentIndex();
            d.combo(1241)->setCurrentIndex(1);
            d.combo(1127)->setCurrentIndex(1); // 4 colours
            return int(QDialog::Accepted);
        };
        QList<int> rows;
        connect(&a.commands, &AnimationCommands::selectRow, this, [&](int row) { rows << row; });
        const QByteArray first = fileBytes(a.doc.model.frameAt(0)->workFile.path());
        a.commands.unifyPalettes();
        QCOMPARE(seenCount, 0); // the current frame's 2 colours
        QCOMPARE(a.prompter.texts.size(), 0);
        QCOMPARE(rows, QList<int>({0}));
        QCOMPARE(a.doc.model.currentIndex(), 0);
        QCOMPARE(int(a.doc.model.frameAt(0)->useLocalColorTable), 1);
        QCOMPARE(fileBytes(a.doc.model.frameAt(0)->workFile.path()), first);
        for (int i : {1, 2}) {
            QCOMPARE(int(a.doc.model.frameAt(i)->useLocalColorTable), 0);
            QCOMPARE(int(a.doc.model.frameAt(i)->colorCount), 4);
        }
        QVERIFY(a.doc.document.settings.useGlobalColorTable);
        QCOMPARE(int(a.doc.document.settings.globalColorTable.count), 4);
        QCOMPARE(a.busy, QList<bool>({true, false}));
        // One undo step takes back the frames and the global table.
        QVERIFY(QString::fromStdString(a.doc.model.history().undoName()).startsWith(ownText(32786).left(4)));
        a.doc.model.undo();
        QVERIFY(!a.doc.document.settings.useGlobalColorTable);
        for (int i : {1, 2}) {
            QCOMPARE(int(a.doc.model.frameAt(i)->useLocalColorTable), 1);
            QCOMPARE(int(a.doc.model.frameAt(i)->colorCount), 2);
        }
    }

    void withOneFrameOnlyAColourCanBeTheDestination()
    {
        Animation a({0x123456});
        TransitionScreens screens;
        QVERIFY(a.commands.composeTransitionScreens(0, screens));
        QVERIFY(screens.next.empty());
        TransitionDialog dialog(nullptr, screens, a.doc.work, {});
        QVERIFY(!dialog.nextRadio()->isEnabled());
        QVERIFY(!dialog.nextRadio()->isChecked());
        QVERIFY(dialog.colorRadio()->isChecked());
        QVERIFY(dialog.colorButton()->isEnabled());
        QCOMPARE(dialog.colorButton()->faceText(), QStringLiteral("(255, 255, 255)"));
        QCOMPARE(dialog.patternBox()->count(), 8);
        QCOMPARE(dialog.stepEdit()->value(), 8);
        QCOMPARE(dialog.speedEdit()->value(), 8);
        QVERIFY(!dialog.sourceBox()->image().isNull());
        QCOMPARE(dialog.nextBox()->image().pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        a.prompter.dialogScript = [](QDialog& d) {
            static_cast<QColorDialog&>(d).setCurrentColor(QColor(10, 20, 30));
            return int(QDialog::Accepted);
        };
        dialog.colorButton()->click();
        QCOMPARE(dialog.colorButton()->color(), makeColor(10, 20, 30));
        QCOMPARE(dialog.colorButton()->faceText(), QStringLiteral("(10, 20, 30)"));
        QCOMPARE(dialog.nextBox()->image().pixel(0, 0) & 0xFFFFFF, 0x0A141Eu);
        std::vector<GeneratedFile> files;
        dialog.stepEdit()->setValue(2);
        QVERIFY(dialog.generate(false, files));
        QCOMPARE(files.size(), size_t(2));
        // The last step is two thirds of the way to the colour.
        const QRgb last = firstPixel(files[1].path);
        QVERIFY(qAbs(qRed(last) - (0x56 + 2 * (10 - 0x56) / 3)) <= 2);
        for (const GeneratedFile& f : files)
            std::remove(f.path.c_str());
    }

    // The destination box shows what the transition leads to: the next
    // screen, or the chosen colour over the whole screen while that is chosen.
    void theDestinationPictureFollowsTheChoice()
    {
        Animation a({makeColor(0, 0, 0), makeColor(0, 200, 0)});
        TransitionScreens screens;
        QVERIFY(a.commands.composeTransitionScreens(0, screens));
        TransitionDialog dialog(nullptr, screens, a.doc.work, {});
        auto shown = [&] {
            const QImage image = dialog.nextBox()->image();
            return image.size() == QSize(kScreenWidth, kScreenHeight) ? image.pixel(kScreenWidth - 1, 0) & 0xFFFFFF
                                                                      : 0xDEADu;
        };
        QCOMPARE(shown(), 0x00C800u);
        dialog.colorRadio()->setChecked(true);
        QCOMPARE(shown(), 0xFFFFFFu);
        a.prompter.dialogScript = [](QDialog& d) {
            static_cast<QColorDialog&>(d).setCurrentColor(QColor(200, 0, 100));
            return int(QDialog::Accepted);
        };
        dialog.colorButton()->click();
        QCOMPARE(shown(), 0xC80064u);
        dialog.nextRadio()->setChecked(true);
        QCOMPARE(shown(), 0x00C800u);
    }

    void pluginsFollowTheBuiltinsWithTheirSettingsButtonAndSteps()
    {
        Animation a({0x000000, 0xFFFFFF});
        PluginFolder plugins;
        TransitionScreens screens;
        QVERIFY(a.commands.composeTransitionScreens(0, screens));
        TransitionDialog dialog(nullptr, screens, a.doc.work, plugins.folders());
        QVERIFY(dialog.nextRadio()->isChecked());
        QVERIFY(!dialog.colorButton()->isEnabled());
        dialog.colorRadio()->setChecked(true);
        QVERIFY(dialog.colorButton()->isEnabled());
        QCOMPARE(dialog.patternBox()->count(), 10);
        QCOMPARE(dialog.patternBox()->itemText(8), QStringLiteral("first"));
        QCOMPARE(dialog.patternBox()->itemText(9), QStringLiteral("third"));
        QVERIFY(dialog.settingsButton()->isHidden());

        dialog.patternBox()->setCurrentIndex(9);
        QVERIFY(!dialog.settingsButton()->isHidden());
        QCOMPARE(dialog.stepEdit()->value(), 8);
        dialog.settingsButton()->click();
        auto* third = dynamic_cast<TransitionPlugin*>(dialog.transitions()[9].get());
        QVERIFY(third && third->module);
        using Log = const char* (*)();
        auto log = reinterpret_cast<Log>(dlsym(third->module, "testPluginLog"));
        QVERIFY(log);
        // The dialog's X11 window, or null where there is none (offscreen).
        const auto parent = reinterpret_cast<uintptr_t>(dialog.settingsParent());
        QCOMPARE(parent != 0, QGuiApplication::platformName() == QLatin1String("xcb"));
        QVERIFY(QString::fromLatin1(log()).endsWith(QStringLiteral("config %1 2;").arg(parent)));
        QVERIFY(a.prompter.texts.isEmpty());
        // Settings the plug-in could not show are told, with what it says.
        using Fail = void (*)(int, const char*);
        auto fail = reinterpret_cast<Fail>(dlsym(third->module, "testPluginFailConfig"));
        QVERIFY(fail);
        fail(1, "edit /tmp/x.conf by hand");
        a.prompter.answers = {kIdOk};
        dialog.settingsButton()->click();
        fail(0, nullptr);
        QCOMPARE(a.prompter.texts.size(), 1);
        QVERIFY(a.prompter.texts[0].endsWith(QStringLiteral("\nedit /tmp/x.conf by hand")));

        dialog.patternBox()->setCurrentIndex(8);
        QVERIFY(dialog.settingsButton()->isHidden());
        QCOMPARE(dialog.stepEdit()->value(), 4);
        QCOMPARE(dialog.stepEdit()->high(), 4);
        dialog.stepEdit()->selectAll();
        QTest::keyClicks(dialog.stepEdit(), "9");
        QCOMPARE(dialog.stepEdit()->value(), 4);
        dialog.stepEdit()->selectAll();
        QTest::keyClicks(dialog.stepEdit(), "0");
        QCOMPARE(dialog.stepEdit()->value(), 1);
        dialog.speedEdit()->selectAll();
        QTest::keyClicks(dialog.speedEdit(), "70000");
        QCOMPARE(dialog.speedEdit()->value(), 65535);
    }

    void aCrossFadeOfThreeStepsIsInsertedAfterTheCurrentFrame()
    {
        Animation a({0x000000, 0xFFFFFF});
        a.prompter.dialogScript = [](QDialog& dialog) {
            auto& d = static_cast<TransitionDialog&>(dialog);
            d.patternBox()->setCurrentIndex(0); // αブレンド
            d.stepEdit()->setValue(3);
            d.speedEdit()->setValue(25);
            d.accept();
            return d.result();
        };
        a.commands.insertTransition();
        QCOMPARE(a.prompter.texts.size(), 0);
        QCOMPARE(a.doc.model.frameCount(), 5);
        const int expected[3] = {0x40, 0x80, 0xBF};
        for (int i = 1; i <= 3; ++i) {
            const Frame& f = *a.doc.model.frameAt(i);
            QCOMPARE(QString::fromStdString(f.name), QStringLiteral(" [f0 >>]の[00%1]").arg(i));
            QCOMPARE(int(f.delay), 25);
            QCOMPARE(int(f.disposal), 1);
            QCOMPARE(int(f.useLocalColorTable), 1);
            QCOMPARE(int(f.transparentIndex), 0xFFFF);
            QCOMPARE(int(f.width), kScreenWidth);
            QCOMPARE(int(f.height), kScreenHeight);
            const QRgb pixel = firstPixel(f.workFile.path());
            QVERIFY2(qAbs(qGreen(pixel) - expected[i - 1]) <= 2, qPrintable(QString::number(pixel, 16)));
        }
        QCOMPARE(QString::fromStdString(a.doc.model.frameAt(4)->name), QStringLiteral("f1"));
    }

    void aCancelledTransitionChangesNothing()
    {
        Animation a({0x000000, 0xFFFFFF});
        a.prompter.dialogScript = [](QDialog&) { return int(QDialog::Rejected); };
        a.commands.insertTransition();
        QCOMPARE(a.doc.model.frameCount(), 2);
        // Without a current frame nothing can be composed.
        a.doc.model.selectFrame(-1);
        a.commands.insertTransition();
        QCOMPARE(a.prompter.texts, QStringList({loadText(21502)}));
    }

    void thePreviewPlaysEveryPictureOnceOnATimer()
    {
        Animation a({0x000000, 0xFFFFFF});
        TransitionScreens screens;
        QVERIFY(a.commands.composeTransitionScreens(0, screens));
        TransitionDialog dialog(nullptr, screens, a.doc.work, {});
        dialog.stepEdit()->setValue(3);
        std::vector<GeneratedFile> files;
        QVERIFY(dialog.generate(true, files));
        QStringList paths;
        for (const GeneratedFile& f : files)
            paths << QString::fromStdString(f.path);
        QCOMPARE(paths.size(), 5);
        TransitionPreviewDialog preview(nullptr, paths, 70, kScreenWidth, kScreenHeight);
        const QSize initial = preview.size();
        QVERIFY(preview.stopButton()->isChecked());
        QVERIFY(!preview.pictureBox()->image().isNull());
        preview.play();
        QVERIFY(preview.playing());
        QVERIFY(preview.playButton()->isChecked());
        // Source, three steps, destination: four waits, then it stops.
        int waits = 0;
        for (; preview.playing() && waits < 10; ++waits) {
            QVERIFY(preview.timer()->isActive());
            QCOMPARE(preview.timer()->interval(), 70);
            preview.showDue();
        }
        QCOMPARE(waits, 4);
        QVERIFY(!preview.timer()->isActive());
        QCOMPARE(preview.nextFileIndex(), 5);
        QVERIFY(preview.stopButton()->isChecked());
        QCOMPARE(preview.pictureBox()->image().pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        // A big animation grows the dialog up to the screen.
        TransitionPreviewDialog big(nullptr, paths, 10, 5000, 5000);
        QVERIFY(big.width() > initial.width());
        QVERIFY(big.width() <= QGuiApplication::primaryScreen()->availableGeometry().width());
        for (const GeneratedFile& f : files)
            std::remove(f.path.c_str());
    }
};

ZELL_UI_TEST(AnimationCommandsTest);

} // namespace zell::test

#include "animation_commands_test.moc"
