#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
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
    void selectRows(const QList<int>& rows, int current)
    {
        view.clearSelection();
        for (int r : rows)
            view.selectionModel()->select(doc.model.listModel().index(r, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.selectionModel()->setCurrentIndex(doc.model.listModel().index(current, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        doc.model.selectFrame(current);
    }
    // The order of the frames, the selection and the current row.
    QString state() const
    {
        QStringList selected;
        for (int r : view.selectedRows())
            selected << QString::number(r);
        return doc.names().join(',') + " / " + selected.join(',') + " / " + QString::number(doc.model.currentIndex());
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
    // Moves and reversal share one reordering: the frames, the selection and
    // the current frame go together, and undo and redo bring each back.
    void reorderingCarriesTheSelectionAndUndoes()
    {
        struct Row {
            int frames;
            QList<int> rows;
            int current, delta; // delta 0: reverse
            const char* after;
        };
        const Row rows[] = {
            {3, {0, 2}, 0, 1, "f0,f1,f2 / 0,2 / 0"}, // the last row is last already
            {5, {1, 3}, 3, 1, "f0,f2,f1,f4,f3 / 2,4 / 4"},
            {6, {2, 4}, 4, FrameListView::kMoveToTop, "f2,f0,f4,f1,f3,f5 / 0,2 / 2"},
            {6, {2, 4}, 4, FrameListView::kMoveToEnd, "f0,f1,f3,f2,f5,f4 / 3,5 / 5"},
            {6, {1, 2, 4}, 4, 0, "f0,f4,f2,f3,f1,f5 / 1,2,4 / 1"},
        };
        for (const Row& row : rows) {
            ListFixture f(row.frames);
            f.selectRows(row.rows, row.current);
            const QString before = f.state();
            QSignalSpy selected(&f.doc.model, &DocumentModel::frameSelected);
            QSignalSpy reset(&f.doc.model.listModel(), &QAbstractItemModel::modelReset);
            if (row.delta == 0)
                f.doc.model.reverseRows(f.view.selectedRows());
            else
                f.view.moveSelection(row.delta);
            QCOMPARE(f.state(), QString::fromLatin1(row.after));
            // Announced once, and only when the current frame changed its row.
            QCOMPARE(selected.size(), f.doc.model.currentIndex() == row.current ? 0 : 1);
            if (f.state() != before) {
                QVERIFY(f.doc.model.undo() && f.state() == before);
                QVERIFY(f.doc.model.redo() && f.state() == QString::fromLatin1(row.after) && reset.isEmpty());
            }
        }
    }

    // Undo tells the views which rows went, came or changed: a reset would
    // lose their scroll position and selection on every step.
    void undoAnnouncesRowsNotAReset()
    {
        ListFixture f(6, true);
        QSignalSpy reset(&f.doc.model.listModel(), &QAbstractItemModel::modelReset);
        QSignalSpy removed(&f.doc.model.listModel(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&f.doc.model.listModel(), &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&f.doc.model.listModel(), &QAbstractItemModel::dataChanged);
        QSignalSpy count(&f.doc.model, &DocumentModel::frameCountChanged);
        f.selectRows({1, 2}, 2);
        f.view.deleteSelection();
        f.doc.model.setAttribute({3}, FrameAttribute::Delay, 40);
        for (QSignalSpy* spy : {&removed, &inserted, &changed, &count})
            spy->clear();
        QVERIFY(f.doc.model.undo()); // the delay
        QVERIFY(changed.size() == 1 && changed[0][0].toModelIndex().row() == 3);
        QVERIFY(f.doc.model.undo()); // the deletion
        QVERIFY(inserted.size() == 1 && inserted[0][1].toInt() == 1 && inserted[0][2].toInt() == 2);
        QCOMPARE(count.size(), 1);
        QCOMPARE(f.state(), QStringLiteral("f0,f1,f2,f3,f4,f5 / 1,2 / 2"));
        QVERIFY(f.doc.model.redo() && removed.size() == 1 && reset.isEmpty());
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
        // Lower half of row 5: between rows 5 and 6.
        const QPoint drop = f.rowPoint(5, kColumnSize, 0.75);
        f.moveMouse(drop);
        QCOMPARE(f.view.dropPosition(), 6);
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, drop);
        QVERIFY(!f.view.dragging());
        QCOMPARE(f.state(), QStringLiteral("f0,f1,f4,f5,f2,f3,f6,f7 / 4,5 / 4"));
        // Dropped on either edge of the dragged row itself: no move.
        QVERIFY(FrameListView::dragDelta(2, 2, {2, 3}) == 0 && FrameListView::dragDelta(3, 2, {2, 3}) == 0);
    }

    void deleteSelectsTheRowThatTakesThePlace()
    {
        ListFixture f(5);
        f.selectRows({1, 4}, 4);
        QSignalSpy count(&f.doc.model, &DocumentModel::frameCountChanged);
        f.view.deleteSelection();
        QCOMPARE(count.size(), 1);
        QCOMPARE(f.state(), QStringLiteral("f0,f2,f3 / 2 / 2")); // the new last row
        QSignalSpy selected(&f.doc.model, &DocumentModel::frameSelected);
        f.view.selectAll();
        f.view.deleteSelection();
        QCOMPARE(f.doc.model.frameCount(), 0);
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
        QVERIFY(f.doc.model.currentIndex() == 3 && f.view.selectedRows() == QList<int>({1, 3}));
        const std::string made = f.doc.model.frameAt(2)->workFile.path();
        QVERIFY(made != source && std::filesystem::exists(made) && std::filesystem::exists(source));
    }

    void renameKeepsTextOnEscapeOwnsItsKeysAndIsOneStep()
    {
        ListFixture f(3);
        QWidget* vp = f.view.viewport();
        // A second click on the same name arms the rename; a key between
        // the clicks forgets the first.
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(2, kColumnName));
        QTest::keyClick(&f.view, Qt::Key_Shift);
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(2, kColumnName));
        QVERIFY(!f.view.renameTimer().isActive());
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(1, kColumnName));
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, f.rowPoint(1, kColumnName));
        QVERIFY(f.view.renameTimer().isActive());
        f.view.renameTimer().stop();
        QMetaObject::invokeMethod(&f.view.renameTimer(), "timeout");
        QLineEdit* editor = f.view.renameEditor();
        QCOMPARE(editor->text(), QStringLiteral("f1"));
        QCOMPARE(f.doc.model.frameAt(1)->name, std::string()); // the cell is blank meanwhile
        QTest::keyClicks(editor, "Intro");
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!f.view.renaming() && f.doc.model.frameAt(1)->name == "Intro");
        QVERIFY(f.doc.model.undo() && f.doc.model.frameAt(1)->name == "f1");
        // Ctrl+R renames too; losing the focus ends it, keeping the name.
        f.view.setFocus();
        QTest::keyClick(&f.view, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(f.view.renaming());
        f.view.setFocus();
        QVERIFY(!f.view.renaming() && f.doc.model.frameAt(1)->name == "f1");
    }

};

ZELL_UI_TEST(FrameListViewTest);

} // namespace zell::test

#include "frame_list_view_test.moc"
