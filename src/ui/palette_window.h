// The colour palette window: the document's global table or the current
// frame's table in a PaletteGrid, colour editing, the background and
// transparent picks, the entry count and palette files. Everything it shows
// is read from the document when the document model signals; the frame
// table is a reading of the current frame's work file, made again then.
#pragma once

#include <QWidget>

#include <string>

#include "image/color_table.h"

class QButtonGroup;
class QComboBox;
class QPushButton;


namespace zell {

class DocumentModel;
class PaletteGrid;

class PaletteWindow final : public QWidget {
    Q_OBJECT
public:
    enum Mode { kEditColor = 0, kPickBackground = 1, kPickTransparent = 2 };

    // The contents of the tool window, at their fixed size; a smaller
    // window clips them rather than squeezing the grid's cells.
    explicit PaletteWindow(DocumentModel& document, QWidget* parent = nullptr);

    bool showsGlobal() const { return showGlobal_; }
    int mode() const { return mode_; }
    const ColorTable& frameTable() const { return frameTable_; }
    const ColorTable& displayedTable() const;
    bool canPickTransparent() const;

    void showGlobal(bool global);
    void setMode(int mode);
    void clickCell(int index);
    void rightClickCell(int index);
    void setBackgroundIndex(int index);
    void setTransparentIndex(int index);
    // Combo item k: 2^(k+1) entries.
    void chooseEntryCount(int item);
    // From the button's file dialog or a drop; messages on failure.
    void loadPalette(const QString& path);

    PaletteGrid* grid() const { return grid_; }
    QComboBox* countBox() const { return count_; }
    QPushButton* modeButton(int mode) const;
    QPushButton* tableButton(bool global) const;
    QPushButton* loadButton() const { return load_; }

signals:
    void modeChanged(int mode);
    void toggleRequested();
    void imageViewToggleRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void refresh();
    void reloadFrameTable();
    void showCount(int count);
    bool resizeFrameTable(int bits);
    void editFrameColor(int index, uint32_t color);
    void loadClicked();

    DocumentModel& document_;
    ColorTable frameTable_;
    bool showGlobal_ = true;
    int mode_ = kEditColor;
    int shownItem_ = 7;
    PaletteGrid* grid_;
    QPushButton* global_;
    QPushButton* local_;
    QPushButton* modes_[3];
    QPushButton* load_;
    QComboBox* count_;
};

} // namespace zell
