#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <array>

#include "app/manual.h"
#include "app/string_table.h"
#include "app/text_ids.h"
#include "ui/comment_edit.h"
#include "ui/gif_files.h"
#include "ui/image_view_window.h"
#include "ui/palette_window.h"
#include "ui/tool_window.h"
#include "ui/ui_test.h"

namespace zell::test {

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void valuesBeyondTheRangeAreClamped()
    {
        WindowFixture f(2);
        f.frame(1).width = 100;
        f.list().select(1);
        f.typeInto(f.panel().xEdit(), "65500"); // the frame must still end inside 65535
        QCOMPARE(f.panel().xEdit()->value(), 65435);
        QCOMPARE(f.frame(1).left, 65435u);
        f.typeInto(f.animation().widthEdit(), "70000");
        QCOMPARE(f.doc.document.settings.screenWidth, 65535);
    }

    void panelEditsGoToEverySelectedFrameButFillingTouchesNone()
    {
        WindowFixture f(4);
        f.frame(3).left = 77;
        f.list().select(0);
        f.alsoSelect(2);
        f.panel().delayEdit()->setValue(42);
        f.panel().yEdit()->setValue(9);
        f.panel().disposalBox()->activated(3);
        QVERIFY(f.frame(0).delay == 42 && f.frame(2).delay == 42 && f.frame(1).delay == 1);
        QVERIFY(f.frame(2).top == 9u && f.frame(2).disposal == 3);
        // Ctrl-click adds row 3: its values fill the panel, and no other frame changes.
        QTest::mouseClick(f.list().viewport(), Qt::LeftButton, Qt::ControlModifier,
                          f.list().visualRect(f.doc.model.listModel().index(3, 2)).center());
        QCOMPARE(f.doc.model.currentIndex(), 3);
        QVERIFY(f.panel().xEdit()->value() == 77 && f.panel().delayEdit()->value() == 3);
        QVERIFY(f.frame(0).left == 0u && f.frame(0).delay == 42);
    }

    void aTypedDelayIsOneStepAndUndoFollowsTheHistory()
    {
        WindowFixture f(3);
        QAction* undo = f.window.action(Text::UndoCommand);
        f.list().select(1);
        f.typeInto(f.panel().delayEdit(), "250");
        QCOMPARE(f.frame(1).delay, 250);
        undo->trigger();
        QVERIFY(f.frame(1).delay == 1 && f.panel().delayEdit()->value() == 1 && !undo->isEnabled());
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.frame(1).delay, 250);
        // Delete all, its question answered, is one step too.
        f.prompter.answers = {kIdYes};
        f.window.action(Text::DeleteAllCommand)->trigger();
        QVERIFY(f.doc.model.frameCount() == 0 && f.panel().xEdit()->value() == 0);
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(f.doc.model.frameCount() == 3 && f.frame(1).delay == 250);
    }

    void globalTableBoxOffAsksFirst()
    {
        WindowFixture f(3);
        f.doc.document.settings.useGlobalColorTable = true;
        f.animation().refresh();
        f.frame(0).useLocalColorTable = 1;
        f.list().select(0);
        QCheckBox* local = f.panel().localTableBox();
        local->click(); // with a global table the local one may go
        QCOMPARE(f.frame(0).useLocalColorTable, 0);
        QCheckBox* box = f.animation().globalTableBox();
        f.prompter.answers = {kIdNo};
        box->click();
        QVERIFY(box->isChecked() && f.doc.document.settings.useGlobalColorTable);
        f.list().select(1);
        f.prompter.answers = {kIdYes};
        box->click();
        QVERIFY(!box->isChecked() && !f.doc.document.settings.useGlobalColorTable);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f.frame(i).useLocalColorTable, 1);
        // Without a global table the local one cannot be turned off, and says so.
        QVERIFY(local->isChecked());
        local->click();
        QVERIFY(local->isChecked() && f.frame(1).useLocalColorTable == 1);
        QCOMPARE(f.prompter.texts.size(), 3);
    }

    void sevenBitPasteDropsDoubleByteCharacters()
    {
        WindowFixture f(0);
        CommentEdit* edit = f.animation().commentEdit();
        QMimeData mixed, wide;
        mixed.setText(QString::fromUtf8("ab漢字cｱ\n"));
        wide.setText(QString::fromUtf8("全角"));
        edit->insertFromMimeData(&mixed);
        edit->insertFromMimeData(&wide);
        QCOMPARE(f.doc.document.settings.comment, std::string("abcｱ\n"));
        f.profile.writeString("are you", "in the 1-byte area?", "no");
        f.animation().readCommentMode();
        edit->insertFromMimeData(&wide);
        QVERIFY(edit->toPlainText().endsWith(QString::fromUtf8("全角")));
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
        QVERIFY(f.frame(0).left == 5u && f.frame(0).top == 6u && f.frame(0).delay == 0);
        // "Just" takes the frames' bounding size: frame 1 reaches 5 + 11 by 6 + 21.
        f.animation().justButton()->click();
        QVERIFY(f.doc.document.settings.screenWidth == 16 && f.doc.document.settings.screenHeight == 27);
    }

    // The menu's reverse takes the selected rows (its undo is the edit's own).
    void reverseTurnsTheSelectedFramesAround()
    {
        WindowFixture f(0);
        f.doc.screen(4, 4);
        for (uint16_t delay : {1, 2, 3, 4})
            f.doc.add(4, 4, {delay * 0x102030u, 0}, std::vector<uint8_t>(16, 0)).delay = delay;
        f.announce();
        f.list().select(0);
        f.alsoSelect(2);
        f.window.action(Text::ReverseFramesCommand)->trigger();
        for (int i = 0; i < 4; ++i)
            QCOMPARE(f.frame(i).delay, (std::array{3, 2, 1, 4}[i]));
    }

    void eachWindowGetsItsFocusBackAfterBeingBusy()
    {
        WindowFixture f(0);
        const QString gif = f.doc.dir.path() + "/in.gif";
        QVERIFY(writeBytes(gif, tinyGif(2, false, 9, 3)));
        f.prompter.dialogScript = acceptDialog;
        f.window.openFiles({gif});
        f.window.openFiles({gif});
        ToolWindow* palette = f.window.paletteWindow();
        ImageViewWindow* view = f.window.imageView();
        palette->show();
        view->show();
        QCoreApplication::processEvents(); // the windows' own activation comes first
        QApplication::setActiveWindow(&f.window);
        QComboBox* count = f.window.palette()->countBox();
        count->setFocus();
        f.list().setFocus();
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
        // is its focus again afterwards (after the size report), and the
        // list still has the keys.
        f.prompter.answers.push_back(kIdOk);
        f.window.action(Text::OptimizeCommand)->trigger();
        QVERIFY(palette->isEnabled() && palette->focusWidget() == count);
        QCOMPARE(QApplication::focusWidget(), &f.list());
        QCOMPARE(f.prompter.unexpected, 0);
    }

    // Closing saves the tool windows' places as shown; restored, they come
    // back there, onto the screen and clear of our menu bar.
    void toolWindowsComeBackWhereTheyWereOntoTheScreen()
    {
        WindowFixture f(1);
        ToolWindow* palette = f.window.paletteWindow();
        f.profile.writeInt("ColorPalette", "left", 5000);
        f.profile.writeInt("ColorPalette", "top", 4000);
        f.profile.writeInt("ImageView", "visible", 0);
        f.window.restoreToolWindowPlacement();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect menu(f.window.frameGeometry().topLeft(),
                         QSize(f.window.frameGeometry().width(), f.window.menuBar()->geometry().bottom() + 1));
        QVERIFY(screen.contains(palette->frameGeometry()) && screen.contains(menu));
        QVERIFY(palette->isVisible() && !palette->frameGeometry().intersects(menu));
        const QRect where = palette->frameGeometry();
        f.prompter.answers = {kIdYes};
        QSignalSpy closed(&f.window, &MainWindow::closed);
        QVERIFY(f.window.close() && closed.size() == 1 && !palette->isVisible());
        QCOMPARE(f.profile.readInt("ColorPalette", "visible", -1), 1);
        QCOMPARE(f.profile.readInt("ImageView", "visible", -1), 0);
        palette->move(0, 0);
        f.window.restoreToolWindowPlacement();
        QVERIFY(palette->frameGeometry() == where && !f.window.imageViewWindow()->isVisible());
    }

    // The installed manual wins over the build's copy; the interface
    // language's own one over the English.
    void theManualIsTheInstalledOneFirstThenTheBuildsCopy()
    {
        QTemporaryDir dir;
        const QString bin = dir.path() + "/usr/bin/";
        const QString files[] = {bin + "doc/index.html", dir.path() + "/usr/share/doc/zell/index.html"};
        QVERIFY(QDir().mkpath(bin + "doc") && QDir().mkpath(dir.path() + "/usr/share/doc/zell"));
        QCOMPARE(findManual(bin.toStdString(), "en"), std::string());
        for (const QString& file : files) {
            QVERIFY(writeBytes(file, "<html>"));
            QCOMPARE(findManual(bin.toStdString(), "en"), file.toStdString());
        }
        const QString japanese = dir.path() + "/usr/share/doc/zell/index.ja.html";
        QVERIFY(writeBytes(japanese, "<html>"));
        QCOMPARE(findManual(bin.toStdString(), "ja"), japanese.toStdString());
        QCOMPARE(findManual(bin.toStdString(), "en"), files[1].toStdString());
    }

    // A desktop that cannot open the manual gets its address told instead.
    void homePageCommandOpensTheManual()
    {
        WindowFixture f(0);
        QList<QUrl> opened;
        bool opens = true;
        f.window.openUrl = [&](const QUrl& url) {
            opened << url;
            return opens;
        };
        f.window.action(Text::HomePageCommand)->trigger();
        // The tests run from the build folder, which keeps a copy of the manual.
        const std::string manual = findManual(programDirectory(), languageCode(textLanguage()));
        const QUrl address = QUrl::fromLocalFile(QString::fromStdString(manual));
        QVERIFY(!manual.empty() && opened == QList<QUrl>{address} && f.prompter.texts.isEmpty());
        opens = false;
        f.prompter.answers = {kIdOk};
        f.window.action(Text::HomePageCommand)->trigger();
        QVERIFY(f.prompter.texts.size() == 1 && f.prompter.texts[0].endsWith(address.toLocalFile()));
    }
};

ZELL_UI_TEST(MainWindowTest);

} // namespace zell::test

#include "main_window_test.moc"
