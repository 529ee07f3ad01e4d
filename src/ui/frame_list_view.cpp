#include "ui/frame_list_view.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>

#include "app/string_table.h"
#include "ui/document_model.h"
#include "ui/frame_list_model.h"
#include "ui/thumbnail_cache.h"

namespace zell {
namespace {

// Rows are selected whole, so no single cell shows a focus frame.
class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

} // namespace

FrameListView::FrameListView(DocumentModel& document, QWidget* parent) : QTableView(parent), document_(document)
{
    setModel(&document.listModel());
    setItemDelegate(new RowDelegate(this));
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setShowGrid(false);
    setTabKeyNavigation(false);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    setIconSize(QSize(ThumbnailCache::kWidth, ThumbnailCache::kHeight));
    verticalHeader()->hide();
    // Fixed row heights: the view never measures all rows of a long list.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height() + 6, ThumbnailCache::kHeight + 4));
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    // The widths were made for a 12-pixel font; they grow with ours.
    const double scale = std::max(1.0, fontMetrics().height() / 12.0);
    for (int c = 0; c < kColumnCount; ++c)
        setColumnWidth(c, int(FrameListModel::columnWidth(c) * scale));
    horizontalHeader()->moveSection(horizontalHeader()->visualIndex(kColumnNumber), 0);

    buildContextMenu();

    renameTimer_.setSingleShot(true);
    renameTimer_.setInterval(kRenameDelayMs);
    connect(&renameTimer_, &QTimer::timeout, this, &FrameListView::startRename);
    autoScrollTimer_.setInterval(kAutoScrollMs);
    connect(&autoScrollTimer_, &QTimer::timeout, this, &FrameListView::autoScroll);

    connect(&document_, &DocumentModel::frameSelected, this, &FrameListView::updateCommands);
    // Undo steps keep the selection and show it again.
    document_.setSelectionSource([this] {
        HistorySelection shown;
        shown.current = document_.currentIndex();
        for (int row : trulySelectedRows())
            shown.rows.push_back(row);
        return shown;
    });
    connect(&document_, &DocumentModel::rowsAboutToBeReordered, this, [this] {
        suppress_ = true;
        clearSelection();
        suppress_ = false;
    });
    connect(&document_, &DocumentModel::selectionRestored, this, &FrameListView::restoreSelection);
    connect(&document_, &DocumentModel::frameCountChanged, this, &FrameListView::updateCommands);
    updateCommands();
}

FrameListView::~FrameListView()
{
    document_.setSelectionSource(nullptr);
}

void FrameListView::restoreSelection(const QList<int>& rows, int current)
{
    suppress_ = true;
    clearSelection();
    QItemSelection runs;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        runs.append(QItemSelectionRange(model()->index(rows[i], 0), model()->index(rows[j], kColumnCount - 1)));
        i = j + 1;
    }
    selectionModel()->select(runs, QItemSelectionModel::Select);
    if (current >= 0) {
        const QModelIndex index = model()->index(current, 0);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        scrollTo(index);
    }
    suppress_ = false;
}

void FrameListView::buildContextMenu()
{
    menu_ = new QMenu(this);
    addCommand(Text::ShowFrameCommand, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
               &FrameListView::showCurrent);
    menu_->addSeparator();
    addCommand(Text::RenameFrameCommand, {QKeySequence(Qt::CTRL | Qt::Key_R)}, &FrameListView::startRename);
    menu_->addSeparator();
    addCommand(Text::DuplicateFramesCommand, {QKeySequence(Qt::CTRL | Qt::Key_C)}, &FrameListView::duplicateSelection);
    addCommand(Text::DeleteFramesCommand, {QKeySequence(Qt::Key_Delete)}, &FrameListView::deleteSelection);
    menu_->addSeparator();
    // The keypad keys are matched in keyPressEvent; the main keyboard has
    // Alt with the arrows, Home and End.
    const QList<std::pair<int, int>> moves = {{Text::MoveToTopCommand, kMoveToTop},
                                              {Text::MoveUpCommand, -1},
                                              {Text::MoveDownCommand, 1},
                                              {Text::MoveToEndCommand, kMoveToEnd}};
    const Qt::Key altKeys[] = {Qt::Key_Home, Qt::Key_Up, Qt::Key_Down, Qt::Key_End};
    for (int i = 0; i < moves.size(); ++i) {
        const QKeySequence alt(Qt::ALT | altKeys[i]);
        QAction* action = addCommand(moves[i].first, {alt}, nullptr);
        action->setText(action->text() + QStringLiteral(", ") + alt.toString(QKeySequence::NativeText));
        connect(action, &QAction::triggered, this, [this, delta = moves[i].second] { moveSelection(delta); });
        moveCommands_[i] = action;
    }
}

QAction* FrameListView::addCommand(int textId, const QList<QKeySequence>& keys, void (FrameListView::*slot)())
{
    auto* action = new QAction(loadText(textId), this);
    action->setShortcuts(keys);
    // Only while the list itself has the focus: never in the rename editor.
    action->setShortcutContext(Qt::WidgetShortcut);
    if (slot)
        connect(action, &QAction::triggered, this, slot);
    addAction(action);
    menu_->addAction(action);
    commands_ << action;
    return action;
}

void FrameListView::updateCommands()
{
    const bool current = document_.currentFrame() != nullptr;
    for (QAction* action : commands_)
        action->setEnabled(current);
}

QList<int> FrameListView::trulySelectedRows() const
{
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows << r;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QList<int> FrameListView::selectedRows() const
{
    QList<int> rows = trulySelectedRows();
    if (rows.isEmpty() && document_.currentFrame())
        rows << document_.currentIndex();
    return rows;
}

void FrameListView::announceRow(int row)
{
    if (!suppress_ && row >= 0)
        document_.selectFrame(row);
}

void FrameListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTableView::selectionChanged(selected, deselected);
    if (selected.isEmpty())
        return;
    // The row that became selected; of several, the focused one or the last.
    const int focused = currentIndex().row();
    int row = -1;
    for (const QItemSelectionRange& range : selected) {
        if (focused >= range.top() && focused <= range.bottom())
            row = focused;
        else if (row != focused)
            row = std::max(row, range.bottom());
    }
    announceRow(row);
}

void FrameListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // Focus moving onto a row that stays selected also makes it current.
    if (current.isValid() && current.row() != previous.row() && selectionModel()->isRowSelected(current.row())
        && current.row() != document_.currentIndex())
        announceRow(current.row());
}

void FrameListView::select(int row)
{
    clearSelection();
    if (row < 0 || row >= document_.frameCount())
        return;
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void FrameListView::selectAll()
{
    const int n = document_.frameCount();
    if (n == 0)
        return;
    suppress_ = true;
    selectionModel()->select(QItemSelection(model()->index(0, 0), model()->index(n - 1, kColumnCount - 1)),
                             QItemSelectionModel::Select);
    suppress_ = false;
    const int current = document_.currentIndex();
    if (current >= 0) {
        selectionModel()->setCurrentIndex(model()->index(current, 0), QItemSelectionModel::NoUpdate);
        scrollTo(model()->index(current, 0));
    }
}

void FrameListView::selectNext()
{
    const int n = document_.frameCount();
    const int current = document_.currentIndex();
    select(current + 1 >= n ? 0 : current + 1);
}

void FrameListView::selectPrevious()
{
    const int current = document_.currentIndex();
    select(current <= 0 ? document_.frameCount() - 1 : current - 1);
}

void FrameListView::moveSelection(int delta)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.moveRows(trulySelectedRows(), delta);
    QApplication::restoreOverrideCursor();
}

void FrameListView::deleteSelection()
{
    const QList<int> rows = trulySelectedRows();
    if (rows.isEmpty())
        return;
    const DocumentModel::EditStep step(document_, Text::DeleteFramesCommand);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.removeRows(rows);
    QApplication::restoreOverrideCursor();
    // The place of the last deleted row once the earlier ones were gone.
    const int last = rows.back() - int(rows.size() - 1);
    const int n = document_.frameCount();
    if (n > 0) {
        select(std::min(last, n - 1)); // announces the row
    } else {
        document_.selectFrame(-1);
    }
}

void FrameListView::duplicateSelection()
{
    const QList<int> rows = trulySelectedRows();
    if (rows.isEmpty())
        return;
    const DocumentModel::EditStep step(document_, Text::DuplicateFramesCommand);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.duplicateRows(rows);
    QApplication::restoreOverrideCursor();
}

void FrameListView::showCurrent()
{
    if (const Frame* frame = document_.currentFrame())
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(frame->workFile.path())));
}

// ---- rename in place

void FrameListView::startRename()
{
    renameTimer_.stop();
    const Frame* frame = document_.currentFrame();
    if (!frame || renamed_)
        return;
    const int row = document_.currentIndex();
    if (!editor_) {
        editor_ = new QLineEdit(viewport());
        editor_->setObjectName(QStringLiteral("renameEditor"));
        editor_->setFont(font());
        editor_->installEventFilter(this);
        connect(editor_, &QLineEdit::textChanged, this, &FrameListView::fitEditor);
    }
    scrollTo(model()->index(row, kColumnName));
    const QString name = model()->data(model()->index(row, kColumnName)).toString();
    QRect cell = visualRect(model()->index(row, kColumnName)).adjusted(-1, -1, 1, 2);
    cell.setLeft(cell.left() + 5);
    cell.setWidth(fontMetrics().horizontalAdvance(name) + 14);
    editor_->setGeometry(cell);
    editor_->setText(name);
    editor_->selectAll();
    fitEditor();
    renamed_ = frame;
    document_.renameFrame(row, {});
    editor_->show();
    editor_->raise();
    editor_->setFocus();
}

void FrameListView::fitEditor()
{
    if (!editor_)
        return;
    // The frame makes the box wider than the text; keep 14 pixels of room.
    const int text = editor_->fontMetrics().horizontalAdvance(editor_->text());
    editor_->resize(std::max(text + 14, editor_->minimumSizeHint().width()), editor_->height());
}

void FrameListView::endRename()
{
    if (!renamed_)
        return;
    const Frame* frame = renamed_;
    renamed_ = nullptr;
    editor_->hide();
    for (int i = 0; i < document_.frameCount(); ++i) {
        if (document_.frameAt(i) == frame) {
            document_.renameFrame(i, editor_->text().toStdString());
            break;
        }
    }
}

bool FrameListView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == editor_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            // Esc keeps the typed name just as Enter does.
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                setFocus();
                endRename();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            endRename();
        }
    }
    return QTableView::eventFilter(watched, event);
}

// ---- mouse: click-to-rename and dragging rows

void FrameListView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    pressRow_ = -1;
    deferredPress_ = false;
    if (event->button() != Qt::LeftButton) {
        lastClickedRow_ = -1;
        QTableView::mousePressEvent(event);
        return;
    }
    if (index.isValid() && index.column() == kColumnName && event->modifiers() == Qt::NoModifier) {
        if (index.row() != lastClickedRow_)
            lastClickedRow_ = index.row();
        else
            renameTimer_.start();
    } else {
        lastClickedRow_ = -1;
    }
    if (index.isValid()) {
        pressRow_ = index.row();
        pressPos_ = pos;
    }
    // Pressing on a selected row without modifiers may start a drag of the
    // whole selection, so the selection changes only on release.
    if (index.isValid() && event->modifiers() == Qt::NoModifier && selectionModel()->isRowSelected(index.row())) {
        deferredPress_ = true;
        setFocus();
        return;
    }
    QTableView::mousePressEvent(event);
}

void FrameListView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (dragging_) {
        trackDrag(pos);
        return;
    }
    if (pressRow_ >= 0 && (event->buttons() & Qt::LeftButton)) {
        if ((pos - pressPos_).manhattanLength() >= QApplication::startDragDistance())
            beginDrag(pos);
        return; // never a rubber-band selection from a row
    }
    QTableView::mouseMoveEvent(event);
}

void FrameListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragging_ && event->button() == Qt::LeftButton) {
        finishDrag(true);
        pressRow_ = -1;
        return;
    }
    if (deferredPress_ && event->button() == Qt::LeftButton) {
        deferredPress_ = false;
        const int row = pressRow_;
        pressRow_ = -1;
        if (trulySelectedRows() != QList<int>{row})
            select(row);
        else
            announceRow(row);
        return;
    }
    pressRow_ = -1;
    QTableView::mouseReleaseEvent(event);
}

void FrameListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    renameTimer_.stop();
    lastClickedRow_ = -1;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid()) {
        if (const Frame* frame = document_.frameAt(index.row()))
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(frame->workFile.path())));
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

QAction* FrameListView::keypadMove(const QKeyEvent& event) const
{
    // By hand, not as shortcuts: on X11 a shortcut that asks for the keypad
    // modifier never matches a real key press, with NumLock on or off.
    if (!(event.modifiers() & Qt::KeypadModifier))
        return nullptr;
    const Qt::KeyboardModifiers others = event.modifiers() & ~Qt::KeypadModifier;
    if (others != Qt::NoModifier && others != Qt::ControlModifier)
        return nullptr;
    const bool far = others == Qt::ControlModifier;
    if (event.key() == Qt::Key_Minus)
        return moveCommands_[far ? 0 : 1];
    if (event.key() == Qt::Key_Plus)
        return moveCommands_[far ? 3 : 2];
    return nullptr;
}

bool FrameListView::event(QEvent* event)
{
    // The list takes its keypad keys before any window shortcut does.
    if (event->type() == QEvent::ShortcutOverride && keypadMove(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

void FrameListView::keyPressEvent(QKeyEvent* event)
{
    lastClickedRow_ = -1;
    if (QAction* move = keypadMove(*event)) {
        if (move->isEnabled())
            move->trigger();
        event->accept();
        return;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Home || key == Qt::Key_End) && !(modifiers & ~(Qt::ControlModifier | Qt::ShiftModifier))) {
        const int n = document_.frameCount();
        if (modifiers & Qt::ShiftModifier) {
            // Extends the selection to the first or last frame, Ctrl or not.
            QKeyEvent plain(event->type(), key, event->modifiers() & ~Qt::ControlModifier, event->text());
            QTableView::keyPressEvent(&plain);
        } else if (n > 0) {
            // The first or last frame alone, and current even when the
            // focus was on it already.
            const int row = key == Qt::Key_Home ? 0 : n - 1;
            select(row);
            if (document_.currentIndex() != row)
                announceRow(row);
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QModelIndex FrameListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Rows are selected whole: Home and End go to the first and last row.
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void FrameListView::contextMenuEvent(QContextMenuEvent* event)
{
    lastClickedRow_ = -1;
    updateCommands();
    menu_->popup(event->globalPos());
}

int FrameListView::dragDelta(int drop, int dragged, const QList<int>& selected)
{
    int d = drop - dragged;
    if (d < 0) {
        for (int s : selected)
            d += s > drop && s < dragged ? 1 : 0;
    } else if (d > 0) {
        d -= 1;
        for (int s : selected)
            d -= s > dragged && s < drop ? 1 : 0;
    }
    return d;
}

void FrameListView::makeDragImage()
{
    // The number and name of each dragged row that is visible, kept in their
    // places relative to each other. The image follows the pointer from
    // below right: without a compositor it cannot be translucent, and over
    // the pointer it would hide the insertion mark.
    const QList<int> rows = trulySelectedRows();
    const int width = columnWidth(kColumnNumber) + columnWidth(kColumnName);
    QRect area;
    QList<QRect> strips;
    for (int r : rows.size() >= 2 ? rows : QList<int>{dragRow_}) {
        const QRect strip(0, rowViewportPosition(r), width, rowHeight(r));
        if (strip.intersects(viewport()->rect())) {
            strips << strip.intersected(viewport()->rect());
            area = area.united(strips.back());
        }
    }
    if (area.isEmpty())
        return;
    QPixmap image(area.size());
    image.fill(palette().color(QPalette::Window));
    QPainter painter(&image);
    for (const QRect& strip : strips)
        painter.drawPixmap(strip.topLeft() - area.topLeft(), viewport()->grab(strip));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    painter.end();
    auto* label = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    label->setAttribute(Qt::WA_DeleteOnClose);
    label->setAttribute(Qt::WA_ShowWithoutActivating);
    label->setPixmap(image);
    label->setWindowOpacity(0.7);
    label->resize(image.size());
    dragImage_ = label;
}

void FrameListView::beginDrag(const QPoint& pos)
{
    dragRow_ = pressRow_;
    deferredPress_ = false;
    renameTimer_.stop();
    lastClickedRow_ = -1;
    if (!selectionModel()->isRowSelected(dragRow_))
        select(dragRow_);
    makeDragImage();
    dragging_ = true;
    scrollFlags_ = 0;
    dropPosition_ = -1;
    autoScrollTimer_.start();
    viewport()->grabMouse();
    trackDrag(pos);
}

void FrameListView::trackDrag(const QPoint& pos)
{
    if (dragImage_) {
        dragImage_->move(viewport()->mapToGlobal(pos) + QPoint(kDragImageOffset, kDragImageOffset));
        dragImage_->show();
    }
    const int old = dropPosition_;
    const QRect rows = viewport()->rect();
    const int row = rowAt(pos.y());
    if (pos.y() < 0 && pos.y() >= -horizontalHeader()->height() && pos.x() >= 0 && pos.x() < rows.width()) {
        dropPosition_ = -1; // over the column headings
        scrollFlags_ = kScrollUp;
    } else if (row >= 0 && rows.contains(pos)) {
        const QRect cell = visualRect(model()->index(row, 0));
        dropPosition_ = pos.y() > cell.center().y() ? row + 1 : row;
        scrollFlags_ = 0;
    } else {
        dropPosition_ = -1;
        scrollFlags_ = 0;
        if (pos.y() < 0)
            scrollFlags_ |= kScrollUp;
        else if (pos.y() >= rows.height() || row < 0)
            scrollFlags_ |= kScrollDown;
        if (pos.x() >= rows.width())
            scrollFlags_ |= kScrollRight;
        else if (pos.x() < 0)
            scrollFlags_ |= kScrollLeft;
    }
    if (old != dropPosition_)
        viewport()->update();
}

void FrameListView::autoScroll()
{
    if (!dragging_)
        return;
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    if ((scrollFlags_ & kScrollUp) && v->value() > v->minimum())
        v->setValue(v->value() - kAutoScrollStep);
    else if ((scrollFlags_ & kScrollDown) && v->value() < v->maximum())
        v->setValue(v->value() + kAutoScrollStep);
    if ((scrollFlags_ & kScrollLeft) && h->value() > h->minimum())
        h->setValue(h->value() - kAutoScrollStep);
    else if ((scrollFlags_ & kScrollRight) && h->value() < h->maximum())
        h->setValue(h->value() + kAutoScrollStep);
}

void FrameListView::finishDrag(bool drop)
{
    dragging_ = false;
    autoScrollTimer_.stop();
    viewport()->releaseMouse();
    if (dragImage_)
        dragImage_->close();
    const int position = dropPosition_;
    dropPosition_ = -1;
    viewport()->update();
    if (!drop || position < 0)
        return;
    const int d = dragDelta(position, dragRow_, trulySelectedRows());
    if (d != 0)
        moveSelection(d);
}

bool FrameListView::viewportEvent(QEvent* event)
{
    // A drag that loses the mouse ends without moving anything.
    if (event->type() == QEvent::UngrabMouse && dragging_)
        finishDrag(false);
    return QTableView::viewportEvent(event);
}

void FrameListView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (!dragging_ || dropPosition_ < 0 || document_.frameCount() == 0)
        return;
    // The insertion mark: an inverted bar on the boundary above the drop
    // position, inset 4 pixels, with short end marks.
    const int n = document_.frameCount();
    const QRect above = visualRect(model()->index(std::min(dropPosition_, n - 1), 0));
    const int y = dropPosition_ < n ? above.top() : above.bottom() + 1;
    const int left = 4, right = std::min(viewport()->width(), horizontalHeader()->length()) - 4;
    QPainter painter(viewport());
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(QRect(left, y - 1, right - left, 2), Qt::white);
    painter.fillRect(QRect(left, y - 2, 2, 1), Qt::white);
    painter.fillRect(QRect(left, y + 1, 2, 1), Qt::white);
    painter.fillRect(QRect(right - 2, y - 2, 2, 1), Qt::white);
    painter.fillRect(QRect(right - 2, y + 1, 2, 1), Qt::white);
}

} // namespace zell
