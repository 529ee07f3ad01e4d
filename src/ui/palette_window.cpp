#include "ui/palette_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>


#include "app/message_box.h"
#include "app/string_table.h"
#include "document/palette_file.h"
#include "image/mapped_file.h"
#include "ui/document_model.h"
#include "ui/file_commands.h"
#include "ui/palette_grid.h"

namespace zell {
namespace {


// The combo shows the item whose count is the table's own; other counts
// (a palette file of 100 entries) show the item that holds them.
int itemHolding(int count)
{
    for (int k = 0; k < 8; ++k) {
        if (count <= 2 << k)
            return k;
    }
    return 7;
}

QPushButton* pushRadio(const QString& text, int tip, QButtonGroup* group, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setCheckable(true);
    b->setToolTip(loadText(tip));
    b->setFocusPolicy(Qt::TabFocus);
    group->addButton(b);
    return b;
}

} // namespace

PaletteWindow::PaletteWindow(DocumentModel& document, QWidget* parent) : QWidget(parent), document_(document)
{
    auto* tables = new QButtonGroup(this);
    auto* modes = new QButtonGroup(this);
    global_ = pushRadio(loadText(Text::GlobalPalette), Text::GlobalPaletteTip, tables, this);
    local_ = pushRadio(loadText(Text::LocalPalette), Text::LocalPaletteTip, tables, this);
    for (int m = 0; m < 3; ++m)
        modes_[m] = pushRadio(loadText(Text::EditColor + m), Text::EditColorTip + m, modes, this);
    load_ = new QPushButton(loadText(Text::LoadPalette), this);
    load_->setToolTip(loadText(Text::LoadPaletteTip));
    count_ = new QComboBox(this);
    for (int k = 0; k < 8; ++k)
        count_->addItem(QString::number(2 << k));
    count_->setToolTip(loadText(Text::ColorCountTip));
    grid_ = new PaletteGrid(this);
    // The grid is drawn in 96-dpi pixels; a screen set to more gets it larger.
    grid_->setScale(std::max(1.0, logicalDpiX() / 96.0));

    auto* layout = new QGridLayout(this);
    layout->addWidget(global_, 0, 0);
    layout->addWidget(local_, 0, 1);
    layout->addWidget(load_, 0, 2);
    layout->addWidget(modes_[0], 1, 0);
    layout->addWidget(modes_[1], 1, 1);
    layout->addWidget(modes_[2], 1, 2);
    auto* countRow = new QHBoxLayout;
    countRow->addStretch(1);
    countRow->addWidget(new QLabel(loadText(Text::ColorCount), this));
    countRow->addWidget(count_);
    layout->addLayout(countRow, 2, 0, 1, 3);
    layout->addWidget(grid_, 3, 0, 1, 3, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setAcceptDrops(true);

    global_->setChecked(true);
    modes_[kEditColor]->setChecked(true);
    count_->setCurrentIndex(shownItem_);

    connect(global_, &QPushButton::clicked, this, [this] { showGlobal(true); });
    connect(local_, &QPushButton::clicked, this, [this] { showGlobal(false); });
    for (int m = 0; m < 3; ++m)
        connect(modes_[m], &QPushButton::clicked, this, [this, m] { setMode(m); });
    connect(load_, &QPushButton::clicked, this, &PaletteWindow::loadClicked);
    connect(count_, &QComboBox::activated, this, &PaletteWindow::chooseEntryCount);
    connect(grid_, &PaletteGrid::cellClicked, this, &PaletteWindow::clickCell);
    connect(grid_, &PaletteGrid::cellRightClicked, this, &PaletteWindow::rightClickCell);
    connect(&document_, &DocumentModel::frameSelected, this, &PaletteWindow::refresh);
    connect(&document_, &DocumentModel::framesEdited, this, &PaletteWindow::refresh);
    connect(&document_, &DocumentModel::frameCountChanged, this, &PaletteWindow::refresh);
    connect(&document_, &DocumentModel::globalTableChanged, this, &PaletteWindow::refresh);
    connect(&document_, &DocumentModel::settingsChanged, this, &PaletteWindow::refresh);
    refresh();
    adjustSize();
}

QPushButton* PaletteWindow::modeButton(int mode) const
{
    return modes_[std::clamp(mode, 0, 2)];
}

QPushButton* PaletteWindow::tableButton(bool global) const
{
    return global ? global_ : local_;
}

const ColorTable& PaletteWindow::displayedTable() const
{
    return showGlobal_ ? document_.settings().globalColorTable : frameTable_;
}

bool PaletteWindow::canPickTransparent() const
{
    const Frame* f = document_.currentFrame();
    const bool usesLocal = f && f->useLocalColorTable;
    return frameTable_.count > 0 && (!showGlobal_ || !usesLocal);
}

void PaletteWindow::reloadFrameTable()
{
    // A reading of the current frame's work file, made again whenever the
    // document says something changed; one that cannot be read shows none.
    const Frame* f = document_.currentFrame();
    frameTable_ = ColorTable();
    frameTable_.count = 0;
    MappedFile file;
    ColorTable table;
    if (f && !f->workFile.empty() && f->workFile.read(file) && findGifColorTable(file.bytes(), false, table))
        frameTable_ = table;
    frameTable_.backgroundIndex = kNoIndex;
}

void PaletteWindow::refresh()
{
    reloadFrameTable();
    const Frame* f = document_.currentFrame();
    const bool usesLocal = f && f->useLocalColorTable;
    if (!showGlobal_ && mode_ == kPickBackground)
        setMode(kEditColor);
    const bool transparency = canPickTransparent();
    modes_[kPickTransparent]->setEnabled(transparency);
    if (!transparency && mode_ == kPickTransparent)
        setMode(kEditColor);
    modes_[kPickBackground]->setEnabled(showGlobal_);
    load_->setEnabled(showGlobal_);

    const ColorTable& global = document_.settings().globalColorTable;
    const int background = showGlobal_ ? int(global.backgroundIndex) : -1;
    int transparent = -1;
    if (f && f->transparentIndex != kNoIndex && (!showGlobal_ || !usesLocal))
        transparent = f->transparentIndex;
    grid_->setTable(displayedTable(), background, transparent);
    showCount(displayedTable().count);
}

void PaletteWindow::showCount(int count)
{
    const int item = count >= 2 ? itemHolding(count) : -1;
    const QSignalBlocker blocker(count_);
    count_->setCurrentIndex(item);
    if (item >= 0)
        shownItem_ = item;
    count_->setEnabled(count > 0);
}

void PaletteWindow::showGlobal(bool global)
{
    showGlobal_ = global;
    (global ? global_ : local_)->setChecked(true);
    refresh();
}

void PaletteWindow::setMode(int mode)
{
    mode_ = std::clamp(mode, 0, 2);
    modes_[mode_]->setChecked(true);
    emit modeChanged(mode_);
}

void PaletteWindow::clickCell(int index)
{
    if (index < 0 || index >= displayedTable().count)
        return;
    if (mode_ == kPickBackground) {
        setBackgroundIndex(index);
        return;
    }
    if (mode_ == kPickTransparent) {
        setTransparentIndex(index);
        return;
    }
    const uint32_t old = displayedTable().color(uint32_t(index));
    QColorDialog dialog(QColor(int(old & 0xFF), int((old >> 8) & 0xFF), int((old >> 16) & 0xFF)), window());
    if (prompter().runDialog(dialog) != QDialog::Accepted)
        return;
    const QColor c = dialog.currentColor();
    const uint32_t color = uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
    if (showGlobal_)
        document_.editGlobalTable([&](ColorTable& t) { t.setColor(uint32_t(index), color); }, Text::EditColor);
    else
        editFrameColor(index, color);
}

void PaletteWindow::editFrameColor(int index, uint32_t color)
{
    if (document_.currentFrame() && !document_.setFrameTableColor(document_.currentIndex(), uint32_t(index), color))
        showMessage(window(), Text::OperationFailed, Text::ErrorCaption, MessageStyle::OkInfo);
}

void PaletteWindow::rightClickCell(int)
{
    if (mode_ == kPickTransparent)
        setTransparentIndex(-1);
}

void PaletteWindow::setBackgroundIndex(int index)
{
    const Frame* f = document_.currentFrame();
    if (f && f->useLocalColorTable)
        return;
    document_.editGlobalTable([index](ColorTable& t) {
        t.backgroundIndex = index >= 0 && index < t.count ? uint16_t(index) : 0;
    }, Text::PickBackground);
}

void PaletteWindow::setTransparentIndex(int index)
{
    const Frame* f = document_.currentFrame();
    if (!f)
        return;
    const ColorTable& reference = f->useLocalColorTable ? frameTable_ : document_.settings().globalColorTable;
    const uint32_t value = index < 0 || index >= reference.count ? kNoIndex : uint32_t(index);
    document_.setAttribute({document_.currentIndex()}, FrameAttribute::Transparent, value);
}

void PaletteWindow::chooseEntryCount(int item)
{
    if (item < 0 || item > 7)
        return;
    const int bits = item + 1;
    const uint16_t count = uint16_t(1u << bits);
    if (showGlobal_) {
        document_.editGlobalTable([count](ColorTable& t) {
            for (uint32_t i = std::min(count, t.count); i < 256; ++i)
                t.setColor(i, 0);
            t.count = count;
            if (t.backgroundIndex >= count)
                t.backgroundIndex = 0;
        }, Text::ColorCount);
        return;
    }
    const Frame* f = document_.currentFrame();
    bool done = f && f->colorCount == count;
    if (f && !done &&
        showMessage(window(), Text::ConfirmResizeLocalTable, Text::ConfirmResizeLocalTableCaption,
                    MessageStyle::YesNoInfo) == kIdYes)
        done = resizeFrameTable(bits);
    if (!done) {
        const QSignalBlocker blocker(count_);
        count_->setCurrentIndex(shownItem_);
    }
}

bool PaletteWindow::resizeFrameTable(int bits)
{
    const int row = document_.currentIndex();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = document_.resizeFrameTable(row, bits);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        showMessage(window(), Text::OperationFailed, Text::ErrorCaption, MessageStyle::OkInfo);
        return false;
    }
    document_.selectFrame(row); // the panel, this window and the image view show it anew
    return true;
}

void PaletteWindow::loadClicked()
{
    QFileDialog dialog(window(), QString(), QString(), fileDialogFilter(Text::PaletteFilter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (prompter().runDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    loadPalette(dialog.selectedFiles().front());
}

void PaletteWindow::loadPalette(const QString& path)
{
    ColorTable table;
    const PaletteLoad result = loadPaletteFile(path.toStdString(), table);
    if (result == PaletteLoad::ok) {
        document_.editGlobalTable([&](ColorTable& t) {
            // Entries beyond the file's count keep their colours.
            std::copy_n(table.entries.begin(), size_t(3) * table.count, t.entries.begin());
            t.count = table.count;
            t.backgroundIndex = table.backgroundIndex < table.count ? table.backgroundIndex : 0;
        }, Text::LoadPalette);
        return;
    }
    showMessage(window(), result == PaletteLoad::noEntries ? Text::BitmapHasNoPalette : Text::OperationFailed,
                Text::ErrorCaption, MessageStyle::OkInfo);
}

void PaletteWindow::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers() == Qt::ShiftModifier;
    if (shift && event->key() == Qt::Key_C) {
        emit toggleRequested();
    } else if (shift && event->key() == Qt::Key_I) {
        emit imageViewToggleRequested();
    } else if (event->key() == Qt::Key_Escape) {
        window()->hide();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter does nothing here: no default button to press by accident.
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PaletteWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PaletteWindow::dropEvent(QDropEvent* event)
{
    QString path;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            path = url.toLocalFile();
            break;
        }
    }
    event->acceptProposedAction();
    if (path.isEmpty() || showMessage(window(), Text::ConfirmLoadPalette, Text::ConfirmLoadPaletteCaption,
                                      MessageStyle::YesNoInfo) != kIdYes)
        return;
    loadPalette(path);
}

} // namespace zell
