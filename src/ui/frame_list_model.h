// The frames as a ten-column table, read live from the document: cell texts
// are made when a cell is painted, never stored. Structural changes go
// through DocumentModel, which tells this model about them.
#pragma once

#include <QAbstractTableModel>

#include "ui/thumbnail_cache.h"

namespace zell {

class DocumentModel;

// The name is the model's first column: column 0 identifies a row, and a row
// number would change under every row that moves. The view shows the number
// first.
enum FrameColumn : int {
    kColumnName,
    kColumnNumber,
    kColumnPosition,
    kColumnSize,
    kColumnColors,
    kColumnLocalTable,
    kColumnUserInput,
    kColumnTransparent,
    kColumnDisposal,
    kColumnDelay,
    kColumnCount
};

class FrameListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FrameListModel(DocumentModel& document);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    ThumbnailCache& thumbnails() { return thumbnails_; }
    // Default column widths in pixels.
    static int columnWidth(int column);

private:
    friend class DocumentModel;
    QString cellText(int row, int column) const;

    DocumentModel& document_;
    mutable ThumbnailCache thumbnails_;
};

} // namespace zell
