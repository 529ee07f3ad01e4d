#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

#include "ui/frame_list_model.h"
#include "ui/frame_list_view.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

// A shown list over a document of n frames, checked by the model tester.
struct ListFixture {
    explicit ListFixture(int n, bool workFiles = false)
        : doc(n, workFiles), tester(&doc.model.listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal),
          view(doc.model)
    {
        view.resize(640, 420);
        view.show();
        QApplication::setActiveWindow(&view); // shortcuts and focus need an active window
    }

    // Selects the rows, then makes `current` the row that became selected last.
    void selectRows(std::initializer_list<int> rows, int current)
    {
        view.clearSelection();
        for (int r : rows)
            view.selectionModel()->select(doc.model.listModel().index(r, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.selectionModel()->setCurrentIndex(doc.model.listModel().index(current, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        doc.model.selectFrame(current);
    }

    QPoint rowPoint(int row, int column, double fraction = 0.5)
    {
        const QRect r = view.visualRect(doc.model.listModel().index(row, column));
        return QPoint(r.center().x(), r.top() + int(r.height() * fraction));
    }

    void moveMouse(const QPoint& pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, view.viewport()->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &move);
    }

    TestDocument doc;
    QAbstractItemModelTester tester;
    FrameListView view;
};

class FrameListViewTest : public QObject {
    Q_OBJECT

private slots:
    void moveSelectionClampsAndKeepsOrder()
    {
        {
            ListFixture f(3);
            f.selectRows({0, 2}, 0);
            f.view.moveSelection(1);
            QCOMPARE(f.doc.names(), frameNames({0, 1, 2}));
        }
        {
            ListFixture f(5);
            f.selectRows({1, 3}, 3);
            f.view.moveSelection(1);
            QCOMPARE(f.doc.names(), frameNames({0, 2, 1, 4, 3}));
            QCOMPARE(f.doc.model.currentIndex(), 4);
            QCOMPARE(f.view.selectedRows(), (QList<int>{2, 4}));
        }
        {
            ListFixture f(6);
            f.selectRows({2, 4}, 4);
            QSignalSpy selected(&f.doc.model, &DocumentModel::frameSelected);
            f.view.moveSelection(FrameListView::kMoveToTop);
            QCOMPARE(f.doc.names(), frameNames({2, 0, 4, 1, 3, 5}));
            QCOMPARE(f.view.selectedRows(), (QList<int>{0, 2}));
            QCOMPARE(selected.size(), 1);
            QCOMPARE(selected.last().at(0).toInt(), 2);
            f.view.moveSelection(FrameListView::kMoveToEnd);
            QCOMPARE(f.doc.names(), frameNames({0, 1, 3, 2, 5, 4}));
        }
    }

    void moveKeysActOnTheList()
    {
        ListFixture f(4);
        f.selectRows({1}, 1);
        f.view.setFocus();
        QTest::keyClick(&f.view, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.doc.names(), frameNames({0, 2, 1, 3}));
        QTest::keyClick(&f.view, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(f.doc.names(), frameNames({1, 0, 2, 3}));
        // The main keyboard's "-" and "+" are no move keys.
        QTest::keyClick(&f.view, Qt::Key_Plus);
        QCOMPARE(f.doc.names(), frameNames({1, 0, 2, 3}));
        QTest::keyClick(&f.view, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(f.doc.names(), frameNames({0, 1, 2, 3}));
        QTest::keyClick(&f.view, Qt::Key_End, Qt::AltModifier);
        QCOMPARE(f.doc.names(), frameNames({0, 2, 3, 1}));
        QTest::keyClick(&f.view, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(f.doc.names(), frameNames({0, 2, 1, 3}));
        QTest::keyClick(&f.view, Qt::Key_Home, Qt::AltModifier);
        QCOMPARE(f.doc.names(), frameNames({1, 0, 2, 3}));
        QCOMPARE(f.doc.model.currentIndex(), 0);
    }

    void homeAndEndMakeTheFirstOrLastFrameCurrent()
    {
        ListFixture f(5);
        f.selectRows({1, 3}, 3);
        f.view.setFocus();
        QSignalSpy selected(&f.doc.model, &DocumentModel::frameSelected);
        QTest::keyClick(&f.view, Qt::Key_End);
        QCOMPARE(f.view.selectedRows(), QList<int>{4});
        QCOMPARE(f.doc.model.currentIndex(), 4);
        QTest::keyClick(&f.view, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(f.view.selectedRows(), QList<int>{0});
        QCOMPARE(f.doc.model.currentIndex(), 0);
        QCOMPARE(selected.size(), 2);
        // Focus moved onto row 4 without selecting it; Ctrl+End selects it.
        f.view.selectionModel()->setCurrentIndex(f.doc.model.listModel().index(4, 0), QItemSelectionModel::NoUpdate);
        QTest::keyClick(&f.view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(f.view.selectedRows(), QList<int>{4});
        QCOMPARE(f.doc.model.currentIndex(), 4);
        // Shift extends from the anchor instead.
        QTest::keyClick(&f.view, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(f.view.selectedRows(), (QList<int>{0, 1, 2, 3, 4}));
    }

    void dragOfTwoRowsMovesBoth()
    {
        ListFixture f(8);
        f.selectRows({2, 3}, 2);
        QWidget* vp = f.view.viewport();
        const QPoint start = f.rowPoint(2, kColumnSize);
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, start);
        QCOMPARE(f.view.selectedRows(), (QList<int>{2, 3})); // a press on the selection keeps it
        f.moveMouse(start + QPoint(0, 12));
        QVERIFY(f.view.dragging());
        QVERIFY(f.view.autoScrollTimer().isActive());
        // Lower half of row 5: between rows 5 and 6.
        const QPoint drop = f.rowPoint(5, kColumnSize, 0.75);
        f.moveMouse(drop);
        QCOMPARE(f.view.dropPosition(), 6);
        QCOMPARE(f.view.scrollFlags(), 0);
        f.moveMouse(QPoint(drop.x(), -5));
        QCOMPARE(f.view.dropPosition(), -1);
        QCOMPARE(f.view.scrollFlags(), int(FrameListView::kScrollUp));
        f.moveMouse(drop);
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, drop);
        QVERIFY(!f.view.dragging());
        QCOMPARE(f.doc.names(), frameNames({0, 1, 4, 5, 2, 3, 6, 7}));
        QCOMPARE(f.view.selectedRows(), (QList<int>{4, 5}));
        // Undo brings back the order and the selection; redo the move.
        QVERIFY(f.doc.model.undo());
        QCOMPARE(f.doc.names(), frameNames({0, 1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(f.view.selectedRows(), (QList<int>{2, 3}));
        QCOMPARE(f.doc.model.currentIndex(), 2);
        QVERIFY(f.doc.model.redo());
        QCOMPARE(f.doc.names(), frameNames({0, 1, 4, 5, 2, 3, 6, 7}));
        QCOMPARE(f.view.selectedRows(), (QList<int>{4, 5}));
        QCOMPARE(FrameListView::dragDelta(0, 5, {1, 5}), -4);
        // Dropped on either edge of the dragged row itself: no move.
        QCOMPARE(FrameListView::dragDelta(2, 2, {2, 3}), 0);
        QCOMPARE(FrameListView::dragDelta(3, 2, {2, 3}), 0);
    }

    void dragBelowTheRowsScrollsOnEachTick()
    {
        ListFixture f(200);
        f.view.select(0);
        QWidget* vp = f.view.viewport();
        const QPoint start = f.rowPoint(0, kColumnSize);
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, start);
        f.moveMouse(QPoint(start.x(), vp->height() + 10));
        QCOMPARE(f.view.dropPosition(), -1);
        QCOMPARE(f.view.scrollFlags(), int(FrameListView::kScrollDown));
        QScrollBar* bar = f.view.verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        QMetaObject::invokeMethod(&f.view.autoScrollTimer(), "timeout");
        QMetaObject::invokeMethod(&f.view.autoScrollTimer(), "timeout");
        QCOMPARE(bar->value(), 2 * FrameListView::kAutoScrollStep);
        // Dropped outside the rows: nothing moves.
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, QPoint(start.x(), vp->height() + 10));
        QVERIFY(!f.view.autoScrollTimer().isActive());
        QCOMPARE(f.doc.model.frameAt(0)->name, std::string("f0"));
    }

    void deleteSelectsTheRowThatTakesThePlace()
    {
        ListFixture f(5);
        f.selectRows({1, 4}, 4);
        QSignalSpy count(&f.doc.model, &DocumentModel::frameCountChanged);
        f.view.deleteSelection();
        QCOMPARE(f.doc.names(), frameNames({0, 2, 3}));
        QCOMPARE(count.size(), 1);
        QCOMPARE(f.doc.model.currentIndex(), 2); // the new last row
        QCOMPARE(f.view.selectedRows(), QList<int>{2});

        QSignalSpy selected(&f.doc.model, &DocumentModel::frameSelected);
        f.view.selectAll();
        f.view.deleteSelection();
        QCOMPARE(f.doc.model.frameCount(), 0);
        QCOMPARE(f.doc.model.currentIndex(), -1);
        QCOMPARE(selected.last().at(0).toInt(), -1);
    }

    void duplicateCopiesEachSelectedFrameOnce()
    {
        ListFixture f(4, true);
        f.selectRows({1, 2}, 2);
        const std::string source = f.doc.model.frameAt(1)->workFile.path();
        f.view.duplicateSelection();
        const QString copy = QString::fromUtf8("のｺﾋﾟｰ");
        QCOMPARE(f.doc.names(), (QStringList{"f0", "f1", "f1" + copy, "f2", "f2" + copy, "f3"}));
        QCOMPARE(f.doc.model.currentIndex(), 3);
        const std::string made = f.doc.model.frameAt(2)->workFile.path();
        QVERIFY(made != source && std::filesystem::exists(made) && std::filesystem::exists(source));
        QCOMPARE(f.view.selectedRows(), (QList<int>{1, 3}));
    }

    void renameKeepsTextOnEscapeAndOwnsItsKeys()
    {
        ListFixture f(3);
        f.selectRows({}, 1);
        f.view.setFocus();
        QTest::keyClick(&f.view, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(f.view.renaming());
        QLineEdit* editor = f.view.renameEditor();
        QCOMPARE(editor->text(), QStringLiteral("f1"));
        QCOMPARE(f.doc.model.frameAt(1)->name, std::string()); // the cell is blank meanwhile
        QTest::keyClicks(editor, "Intro");
        QTest::keyClick(editor, Qt::Key_Delete); // edits the text, not the list
        QCOMPARE(f.doc.model.frameCount(), 3);
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!f.view.renaming());
        QVERIFY(editor->isHidden());
        QCOMPARE(f.doc.model.frameAt(1)->name, std::string("Intro"));
    }

    void secondClickOnTheNameArmsRename()
    {
        ListFixture f(3);
        QWidget* vp = f.view.viewport();
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(1, kColumnName));
        QVERIFY(!f.view.renameTimer().isActive());
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(1, kColumnName));
        QVERIFY(f.view.renameTimer().isActive());
        QCOMPARE(f.view.renameTimer().interval(), 768);
        f.view.renameTimer().stop();
        QMetaObject::invokeMethod(&f.view.renameTimer(), "timeout");
        QVERIFY(f.view.renaming());
        f.view.setFocus(); // losing the focus ends it
        QVERIFY(!f.view.renaming());
        QCOMPARE(f.doc.model.frameAt(1)->name, std::string("f1"));
        // A key between the clicks forgets the first one.
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(2, kColumnName));
        QTest::keyClick(&f.view, Qt::Key_Shift);
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(2, kColumnName));
        QVERIFY(!f.view.renameTimer().isActive());
    }

    void selectAllAnnouncesOnceAndNextWraps()
    {
        ListFixture f(300);
        f.view.select(5);
        QSignalSpy selected(&f.doc.model, &DocumentModel::frameSelected);
        f.view.selectAll();
        QVERIFY(selected.size() <= 1);
        QCOMPARE(f.view.selectedRows().size(), 300);
        QCOMPARE(f.doc.model.currentIndex(), 5);
        f.view.select(299);
        f.view.selectNext();
        QCOMPARE(f.doc.model.currentIndex(), 0);
        f.view.selectPrevious();
        QCOMPARE(f.doc.model.currentIndex(), 299);
    }

    void cellTexts()
    {
        TestDocument doc(1, false);
        Frame& f = *doc.model.frameAt(0);
        f.transparentIndex = 0xFFFF;
        f.useLocalColorTable = 1;
        const FrameListModel& m = doc.model.listModel();
        auto cell = [&](int c) { return m.data(m.index(0, c), Qt::DisplayRole).toString(); };
        QCOMPARE(cell(kColumnNumber), QStringLiteral("001"));
        QCOMPARE(cell(kColumnSize), QStringLiteral("10 x 20"));
        QCOMPARE(cell(kColumnTransparent), QString::fromUtf8("無"));
        f.transparentIndex = 65534;
        QCOMPARE(cell(kColumnTransparent), QStringLiteral("65534"));
        QCOMPARE(cell(kColumnLocalTable), QString::fromUtf8("○"));
        f.name = "\x83\x74\x83\x8c\x81\x5b\x83\x80"; // Shift_JIS from an old project
        QCOMPARE(cell(kColumnName), QString::fromUtf8("フレーム"));
    }
};

ZELL_UI_TEST(FrameListViewTest);

} // namespace zell::test

#include "frame_list_view_test.moc"
