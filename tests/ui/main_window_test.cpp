#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "app/manual.h"
#include "app/profile.h"
#include "app/string_table.h"
#include "app/text_ids.h"
#include "ui/about_dialog.h"
#include "ui/animation_panel.h"
#include "ui/comment_edit.h"
#include "ui/file_commands.h"
#include "ui/frame_list_model.h"
#include "ui/frame_list_view.h"
#include "ui/gif_files.h"
#include "ui/image_view_window.h"
#include "ui/main_window.h"
#include "ui/number_edit.h"
#include "ui/palette_window.h"
#include "ui/property_panel.h"
#include "ui/settings_dialog.h"
#include "ui/test_document.h"
#include "ui/tool_window.h"
#include "ui/ui_test.h"

namespace zell::test {

struct WindowFixture {
    explicit WindowFixture(int frames)
        : doc(frames, false), profile((doc.dir.path() + "/zell.ini").toStdString()),
          window(doc.model, profile, "/nonexistent/pelio.txt")
    {
        window.show();
        QApplication::setActiveWindow(&window);
    }
    PropertyPanel& panel() { return *window.propertyPanel(); }
    AnimationPanel& animation() { return *window.animationPanel(); }
    FrameListView& list() { return *window.frameList(); }
    Frame& frame(int i) { return *doc.document.frames.frameAt(i); }

    TestDocument doc;
    Profile profile;
    ScriptedPrompter prompter;
    MainWindow window;
};

// Takes the place of the desktop's file opener while a test runs.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const char* scheme : {"file", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override
    {
        for (const char* scheme : {"file", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class MainWindowTest : public QObject {
    Q_OBJECT

    static void touch(const QString& file)
    {
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

private slots:
    void valuesBeyondTheRangeAreClamped()
    {
        WindowFixture f(2);
        f.frame(1).width = 100;
        f.list().select(1);
        NumberEdit* x = f.panel().xEdit();
        x->selectAll();
        QTest::keyClicks(x, "65500");
        QCOMPARE(x->value(), 65435);
        QCOMPARE(f.frame(1).left, 65435u);
        NumberEdit* width = f.animation().widthEdit();
        width->selectAll();
        QTest::keyClicks(width, "70000");
        QCOMPARE(width->value(), 65535);
        QCOMPARE(f.doc.document.settings.screenWidth, 65535);
        f.panel().delayEdit()->setValue(99999);
        QCOMPARE(f.frame(1).delay, 65535);
    }

    void panelEditsGoToEverySelectedFrameButFillingTouchesNone()
    {
        WindowFixture f(4);
        f.frame(3).left = 77;
        f.list().select(0);
        f.list().selectionModel()->select(f.doc.model.listModel().index(2, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(f.panel().panelLive());
        f.panel().delayEdit()->setValue(42);
        f.panel().yEdit()->setValue(9);
        QCOMPARE(f.frame(0).delay, 42);
        QCOMPARE(f.frame(2).delay, 42);
        QCOMPARE(f.frame(1).delay, 1);
        QCOMPARE(f.frame(2).top, 9u);
        f.panel().disposalBox()->activated(3);
        QCOMPARE(f.frame(2).disposal, 3);

        // Ctrl-click adds row 3: its values fill the panel, and no other frame changes.
        QTest::mouseClick(f.list().viewport(), Qt::LeftButton, Qt::ControlModifier,
                          f.list().visualRect(f.doc.model.listModel().index(3, 2)).center());
        QCOMPARE(f.doc.model.currentIndex(), 3);
        QCOMPARE(f.panel().xEdit()->value(), 77);
        QCOMPARE(f.panel().delayEdit()->value(), 3);
        QCOMPARE(f.frame(0).left, 0u);
        QCOMPARE(f.frame(0).delay, 42);
        QCOMPARE(f.frame(2).delay, 42);
    }

    void undoNamesTheStepAndATypedDelayIsOneStep()
    {
        WindowFixture f(3);
        QAction* undo = f.window.action(Text::UndoCommand);
        QAction* redo = f.window.action(Text::RedoCommand);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QCOMPARE(undo->text(), QStringLiteral("元に戻す(&Z)\tCtrl+Z"));
        QVERIFY(!f.window.isWindowModified());
        f.list().select(1);
        NumberEdit* delay = f.panel().delayEdit();
        delay->selectAll();
        QTest::keyClicks(delay, "250");
        QCOMPARE(f.frame(1).delay, 250);
        QVERIFY(undo->isEnabled() && !redo->isEnabled());
        QCOMPARE(undo->text(), QStringLiteral("元に戻す(&Z) 待機時間\tCtrl+Z"));
        QVERIFY(f.window.isWindowModified());
        undo->trigger();
        QCOMPARE(f.frame(1).delay, 1);
        QCOMPARE(delay->value(), 1);
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
        QCOMPARE(redo->text(), QStringLiteral("やり直し(&Y) 待機時間\tCtrl+Y"));
        QVERIFY(!f.window.isWindowModified());
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.frame(1).delay, 250);
        // Delete all, its question answered, is one step too.
        f.prompter.answers = {kIdYes};
        f.window.action(Text::DeleteAllCommand)->trigger();
        QCOMPARE(f.doc.model.frameCount(), 0);
        QCOMPARE(undo->text(), QStringLiteral("元に戻す(&Z) フレーム情報を全て削除\tCtrl+Z"));
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.doc.model.frameCount(), 3);
        QCOMPARE(f.frame(1).delay, 250);
    }

    void globalTableBoxOffAsksFirst()
    {
        WindowFixture f(3);
        f.doc.document.settings.useGlobalColorTable = true;
        f.animation().refresh();
        f.frame(0).useLocalColorTable = 1;
        f.list().select(0);
        f.panel().localTableBox()->click(); // with a global table the local one may go
        QCOMPARE(f.frame(0).useLocalColorTable, 0);
        QCheckBox* box = f.animation().globalTableBox();
        f.prompter.answers = {kIdNo};
        box->click();
        QVERIFY(box->isChecked());
        QVERIFY(f.doc.document.settings.useGlobalColorTable);
        QCOMPARE(f.frame(2).useLocalColorTable, 0);

        f.list().select(1);
        f.prompter.answers = {kIdYes};
        box->click();
        QVERIFY(!box->isChecked());
        QVERIFY(!f.doc.document.settings.useGlobalColorTable);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f.frame(i).useLocalColorTable, 1);
        QVERIFY(f.panel().localTableBox()->isChecked());
        // Without a global table the local one cannot be turned off.
        f.panel().localTableBox()->click();
        QVERIFY(f.panel().localTableBox()->isChecked());
        QCOMPARE(f.frame(1).useLocalColorTable, 1);
        QCOMPARE(f.prompter.texts.size(), 3);
        QVERIFY(f.prompter.texts.last().startsWith(QString::fromUtf8("Global Color Table を設定していない")));
    }

    void sevenBitPasteDropsDoubleByteCharacters()
    {
        WindowFixture f(0);
        CommentEdit* edit = f.animation().commentEdit();
        QVERIFY(edit->sevenBit());
        QMimeData mixed;
        mixed.setText(QString::fromUtf8("ab漢字cｱ\n"));
        edit->insertFromMimeData(&mixed);
        QCOMPARE(edit->toPlainText(), QString::fromUtf8("abcｱ\n"));
        QMimeData wide;
        wide.setText(QString::fromUtf8("全角"));
        edit->insertFromMimeData(&wide);
        QCOMPARE(edit->toPlainText(), QString::fromUtf8("abcｱ\n"));
        QCOMPARE(f.doc.document.settings.comment, std::string("abcｱ\n"));
        f.profile.writeString("are you", "in the 1-byte area?", "no");
        f.animation().readCommentMode();
        edit->insertFromMimeData(&wide);
        QVERIFY(edit->toPlainText().endsWith(QString::fromUtf8("全角")));
    }

    void typedCapitalsGoToTheFocusedTextField()
    {
        WindowFixture f(2);
        ToolWindow* palette = f.window.paletteWindow();
        QVERIFY(!palette->isVisible());
        f.animation().commentBox()->click();
        CommentEdit* edit = f.animation().commentEdit();
        edit->setFocus();
        QTest::keyClicks(edit, "CI");
        QCOMPARE(edit->toPlainText(), QStringLiteral("CI"));
        QVERIFY(!palette->isVisible());
        QVERIFY(!f.window.imageViewWindow()->isVisible());
        // Selecting all in the text does not select the frames.
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.list().selectedRows(), QList<int>{});
        // With the focus on the list the same key is the shortcut.
        f.list().setFocus();
        QTest::keyClick(&f.list(), Qt::Key_C, Qt::ShiftModifier);
        QVERIFY(palette->isVisible());
    }

    void closingAsksOnlyWithFrames()
    {
        {
            WindowFixture f(0);
            QVERIFY(f.window.close());
            QVERIFY(f.prompter.texts.isEmpty());
        }
        WindowFixture f(1);
        f.prompter.answers = {kIdNo};
        QVERIFY(!f.window.close());
        QVERIFY(f.window.isVisible());
        // Closing saves the places of the tool windows as they were shown.
        f.window.paletteWindow()->show();
        f.prompter.answers = {kIdYes};
        QSignalSpy closed(&f.window, &MainWindow::closed);
        QVERIFY(f.window.close());
        QCOMPARE(closed.size(), 1);
        QCOMPARE(f.profile.readInt("ColorPalette", "visible", -1), 1);
        QCOMPARE(f.profile.readInt("ImageView", "visible", -1), 0);
        QVERIFY(!f.window.paletteWindow()->isVisible());
    }

    void commandsFollowTheFrameCount()
    {
        WindowFixture f(0);
        QVERIFY(!f.window.action(Text::SaveGifCommand)->isEnabled());
        QVERIFY(!f.window.action(Text::SelectAllCommand)->isEnabled());
        QVERIFY(f.window.action(Text::OpenImagesCommand)->isEnabled());
        QVERIFY(!f.window.applyMenu()->isEnabled());
        f.doc.add();
        f.doc.model.rebuild([](Document&) {}); // a refresh
        QVERIFY(f.window.action(Text::PreviewCommand)->isEnabled());
        QVERIFY(!f.window.applyMenu()->isEnabled());
        QVERIFY(!f.window.action(Text::ReverseFramesCommand)->isEnabled());
        f.list().select(0);
        f.list().duplicateSelection();
        QVERIFY(f.window.applyMenu()->isEnabled());
        QVERIFY(f.window.action(Text::ApplyDelayCommand)->isEnabled() &&
                f.window.action(Text::ReverseFramesCommand)->isEnabled());
        f.prompter.answers = {kIdYes};
        f.window.action(Text::DeleteAllCommand)->trigger();
        QCOMPARE(f.doc.model.frameCount(), 0);
        QVERIFY(!f.window.action(Text::DeleteAllCommand)->isEnabled());
        QCOMPARE(f.panel().xEdit()->value(), 0);
    }

    void settingsChangesApplyAtOnce()
    {
        WindowFixture f(0);
        ToolWindow* palette = f.window.paletteWindow();
        palette->show();
        QVERIFY(palette->windowType() != Qt::Tool);
        QVERIFY(f.animation().commentEdit()->sevenBit());
        f.prompter.dialogScript = [](QDialog& dialog) {
            auto& settings = static_cast<SettingsDialog&>(dialog);
            settings.toolWindowBox()->setChecked(true);
            settings.commentBox()->setChecked(true);
            settings.accept();
            return int(QDialog::Accepted);
        };
        f.window.action(Text::SettingsCommand)->trigger();
        QCOMPARE(f.prompter.dialogs, 1);
        QCOMPARE(palette->windowType(), Qt::Tool);
        QVERIFY(palette->isVisible());
        QVERIFY(!f.window.imageViewWindow()->isVisible());
        QVERIFY(!f.animation().commentEdit()->sevenBit());
    }

    void applyToAllCopiesFromTheCurrentFrame()
    {
        WindowFixture f(2);
        f.frame(1).left = 5;
        f.frame(1).top = 6;
        f.list().select(1);
        f.prompter.answers = {kIdNo, kIdYes};
        f.window.action(Text::ApplyPositionCommand)->trigger();
        QCOMPARE(f.frame(0).left, 0u);
        f.window.action(Text::ApplyPositionCommand)->trigger();
        QCOMPARE(f.frame(0).left, 5u);
        QCOMPARE(f.frame(0).top, 6u);
        QCOMPARE(f.frame(0).delay, 0);
        // "Just" takes the frames' bounding size: frame 1 reaches 5 + 11 by 6 + 21.
        f.animation().justButton()->click();
        QCOMPARE(f.doc.document.settings.screenWidth, 16);
        QCOMPARE(f.doc.document.settings.screenHeight, 27);
    }

    void openedFilesShowTheirFirstFrame()
    {
        WindowFixture f(0);
        // One pixel of colour 0, which is also the transparent colour.
        const QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\xff\x00"
                             "!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00"
                             "\x02\x02\x44\x01\x00;",
                             43);
        const QString good = f.doc.dir.path() + "/dot.gif";
        QVERIFY(writeBytes(good, gif));
        f.prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        f.window.openFiles({good});
        QCOMPARE(f.doc.model.currentIndex(), 0);
        QCOMPARE(f.panel().transparentField()->text(), QString::fromUtf8("[0]：[#FF0000]"));
        QCOMPARE(f.panel().widthField()->text(), QStringLiteral("1"));
    }

    // A new command is one model method: its step, undo and the selection
    // come with it.
    void reverseTurnsTheSelectedFramesAround()
    {
        WindowFixture f(4);
        QAction* reverse = f.window.action(Text::ReverseFramesCommand);
        f.list().select(0);
        f.list().selectionModel()->select(f.doc.model.listModel().index(2, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        reverse->trigger();
        QCOMPARE(f.doc.names(), QStringList({"f2", "f1", "f0", "f3"}));
        QCOMPARE(f.list().selectedRows(), QList<int>({0, 2}));
        QCOMPARE(f.doc.model.currentIndex(), 0); // the current frame went with it
        QCOMPARE(f.window.action(Text::UndoCommand)->text(), QStringLiteral("元に戻す(&Z) 選択したフレームを逆順に並べる\tCtrl+Z"));
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.doc.names(), QStringList({"f0", "f1", "f2", "f3"}));
        QCOMPARE(f.doc.model.currentIndex(), 2);
        // One frame alone stays where it is, and leaves no step.
        f.list().select(3);
        reverse->trigger();
        QVERIFY(f.doc.model.history().canRedo());
    }

    void eachWindowGetsItsFocusBackAfterBeingBusy()
    {
        WindowFixture f(0);
        const QString gif = f.doc.dir.path() + "/in.gif";
        QVERIFY(writeBytes(gif, tinyGif(2, false, 9, 3)));
        f.prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        f.window.openFiles({gif});
        f.window.openFiles({gif});
        QCOMPARE(f.doc.model.frameCount(), 2);
        ToolWindow* palette = f.window.paletteWindow();
        ImageViewWindow* view = f.window.imageView();
        palette->show();
        view->show();
        QCoreApplication::processEvents(); // the windows' own activation comes first
        QApplication::setActiveWindow(&f.window);
        QComboBox* count = f.window.palette()->countBox();
        count->setFocus();
        f.list().setFocus();
        QCOMPARE(QApplication::focusWidget(), &f.list());

        // Playing holds the main window disabled, which takes its focus.
        view->togglePlay();
        QVERIFY(!f.window.isEnabled());
        view->togglePlay();
        QCOMPARE(QApplication::focusWidget(), &f.list());
        // A typed digit is no screen width, and Ctrl+Z is undo again.
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_7);
        QCOMPARE(f.doc.document.settings.screenWidth, 3);
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.doc.model.frameCount(), 1);

        // A long command holds the tool windows disabled; the palette's field
        // is its focus again afterwards, and the list still has the keys.
        f.window.action(Text::OptimizeCommand)->trigger();
        QVERIFY(palette->isEnabled());
        QCOMPARE(palette->focusWidget(), count);
        QCOMPARE(QApplication::focusWidget(), &f.list());
        QCOMPARE(f.prompter.unexpected, 0);
    }

    // Restored tool windows stay reachable on the screen and clear of our
    // menu bar, and come back where they were saved.
    void toolWindowsComeBackOntoTheScreenAndLeaveTheMenuBar()
    {
        WindowFixture f(0);
        f.profile.writeInt("ColorPalette", "left", 5000);
        f.profile.writeInt("ColorPalette", "top", 4000);
        f.profile.writeInt("ImageView", "visible", 0);
        f.window.restoreToolWindowPlacement();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        ToolWindow* palette = f.window.paletteWindow();
        const QRect menu(f.window.frameGeometry().topLeft(),
                         QSize(f.window.frameGeometry().width(), f.window.menuBar()->geometry().bottom() + 1));
        QVERIFY(screen.contains(palette->frameGeometry()) && screen.contains(menu));
        QVERIFY(palette->isVisible() && !palette->frameGeometry().intersects(menu));
        QVERIFY(!f.window.imageViewWindow()->isVisible());
        const QRect where = palette->frameGeometry();
        f.window.saveToolWindowPlacement();
        QCOMPARE(f.profile.readInt("ImageView", "visible", 1), 0);
        palette->hide();
        palette->move(0, 0);
        f.window.restoreToolWindowPlacement();
        QCOMPARE(palette->frameGeometry(), where);
    }
    void installedManualFirstThenTheBuildsCopy()
    {
        QTemporaryDir dir;
        const std::string bin = (dir.path() + "/usr/bin/").toStdString();
        QVERIFY(QDir().mkpath(QString::fromStdString(bin)));
        QCOMPARE(findManual(bin, "en"), std::string());
        touch(dir.path() + "/usr/bin/doc/index.html");
        QCOMPARE(findManual(bin, "en"), (dir.path() + "/usr/bin/doc/index.html").toStdString());
        touch(dir.path() + "/usr/share/doc/zell/index.html");
        QCOMPARE(findManual(bin, "en"), (dir.path() + "/usr/share/doc/zell/index.html").toStdString());
    }

    void homePageCommandOpensTheManual()
    {
        WindowFixture f(0);
        MainWindow& window = f.window;
        ScriptedPrompter& prompter = f.prompter;
        UrlRecorder recorder;
        window.action(Text::HomePageCommand)->trigger();
        // The tests run from the build folder, which keeps a copy of the manual.
        const std::string manual = findManual(programDirectory(), languageCode(textLanguage()));
        QVERIFY(!manual.empty());
        const QUrl address = QUrl::fromLocalFile(QString::fromStdString(manual));
        QCOMPARE(recorder.opened, QList<QUrl>{address});
        QCOMPARE(prompter.texts.size(), 0);

        // A desktop that cannot open it: the address is told instead.
        window.openUrl = [](const QUrl&) { return false; };
        prompter.answers = {kIdOk};
        window.action(Text::HomePageCommand)->trigger();
        QCOMPARE(prompter.texts.size(), 1);
        QVERIFY(prompter.texts[0].endsWith(address.toLocalFile()));

        // The about box's links open the same page and a mail to the address.
        recorder.opened.clear();
        prompter.dialogScript = [](QDialog& dialog) {
            auto& about = static_cast<AboutDialog&>(dialog);
            for (LinkLabel* link : {about.homeLink(), about.mailLink()})
                QTest::mouseClick(link, Qt::LeftButton);
            return int(QDialog::Accepted);
        };
        window.action(Text::AboutCommand)->trigger();
        QCOMPARE(prompter.dialogs, 1);
        QCOMPARE(recorder.opened, (QList<QUrl>{address, QUrl(QStringLiteral("mailto:") + mailAddress())}));
    }
};

ZELL_UI_TEST(MainWindowTest);

} // namespace zell::test

#include "main_window_test.moc"
