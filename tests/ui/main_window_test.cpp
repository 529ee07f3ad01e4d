#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

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
    void panelEditsGoToEverySelectedFrameClampedButFillingTouchesNone()
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
        // Values beyond the range are clamped: the frame must still end inside 65535.
        f.list().select(3);
        f.frame(3).width = 100;
        f.typeInto(f.panel().xEdit(), "65500");
        QVERIFY(f.panel().xEdit()->value() == 65435 && f.frame(3).left == 65435u);
        f.typeInto(f.animation().widthEdit(), "70000");
        QCOMPARE(f.doc.document.settings.screenWidth, 65535);
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

};

ZELL_UI_TEST(MainWindowTest);

} // namespace zell::test

#include "main_window_test.moc"
