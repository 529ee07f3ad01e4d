// The frame list: one row per frame in animation order, the selection and
// current frame the property panel edits, and the per-frame commands (show,
// rename in place, duplicate, delete, move by keys, menu or drag and drop).
#pragma once

#include <QPointer>
#include <QTableView>
#include <QTimer>

#include <climits>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

namespace zell {

class DocumentModel;
class Frame;

class FrameListView final : public QTableView {
    Q_OBJECT
public:
    // Auto-scroll directions while dragging.
    enum ScrollFlag : int { kScrollUp = 1, kScrollDown = 2, kScrollRight = 4, kScrollLeft = 8 };
    static constexpr int kRenameDelayMs = 768;
    static constexpr int kAutoScrollMs = 192;
    static constexpr int kAutoScrollStep = 16;
    static constexpr int kDragImageOffset = 14;
    static constexpr int kMoveToTop = INT_MIN;
    static constexpr int kMoveToEnd = INT_MAX;

    explicit FrameListView(DocumentModel& document, QWidget* parent = nullptr);
    ~FrameListView() override;

    // The selected rows in order, or the current row alone when none is selected.
    QList<int> selectedRows() const;
    void select(int row);
    void selectAll() override;
    void selectNext();
    void selectPrevious();
    void moveSelection(int delta);
    void deleteSelection();
    void duplicateSelection();
    void startRename();
    void showCurrent();

    QLineEdit* renameEditor() const { return editor_; }
    bool renaming() const { return renamed_ != nullptr; }
    QTimer& renameTimer() { return renameTimer_; }
    QMenu* contextMenu() const { return menu_; }
    bool dragging() const { return dragging_; }
    int dropPosition() const { return dropPosition_; }
    int scrollFlags() const { return scrollFlags_; }
    QTimer& autoScrollTimer() { return autoScrollTimer_; }
    // The step of a drag ended at `drop` for the dragged row and selection.
    static int dragDelta(int drop, int dragged, const QList<int>& selected);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void restoreSelection(const QList<int>& rows, int current);
    void buildContextMenu();
    QAction* addCommand(int textId, const QList<QKeySequence>& keys, void (FrameListView::*slot)());
    void updateCommands();
    // The move command a keypad key stands for, or null.
    QAction* keypadMove(const QKeyEvent& event) const;
    void announceRow(int row);
    QList<int> trulySelectedRows() const;
    void fitEditor();
    void endRename();
    void beginDrag(const QPoint& pos);
    void trackDrag(const QPoint& pos);
    void finishDrag(bool drop);
    void autoScroll();
    void makeDragImage();

    DocumentModel& document_;
    QMenu* menu_ = nullptr;
    QList<QAction*> commands_;
    // To the top, one up, one down, to the end.
    QAction* moveCommands_[4] = {};
    QLineEdit* editor_ = nullptr;
    const Frame* renamed_ = nullptr;
    int lastClickedRow_ = -1;
    QTimer renameTimer_;
    bool suppress_ = false;

    // drag state
    int pressRow_ = -1;
    QPoint pressPos_;
    bool deferredPress_ = false;
    bool dragging_ = false;
    int dragRow_ = -1;
    int dropPosition_ = -1;
    int scrollFlags_ = 0;
    QTimer autoScrollTimer_;
    QPointer<QLabel> dragImage_;
};

} // namespace zell
