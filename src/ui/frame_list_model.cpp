#include "ui/frame_list_model.h"

#include "app/string_table.h"
#include "ui/document_model.h"
#include "ui/display_text.h"

namespace zell {
namespace {

const int kHeadings[kColumnCount] = {Text::NameHeading,      Text::NumberHeading,      Text::PositionHeading,
                                     Text::SizeHeading,      Text::ColorCountHeading,  Text::LocalTableHeading,
                                     Text::UserInputHeading, Text::TransparentHeading, Text::DisposalHeading,
                                     Text::DelayHeading};
// The number column is wider than its heading needs: it carries the thumbnail.
const int kWidths[kColumnCount] = {93, 31 + ThumbnailCache::kWidth + 6, 56, 62, 39, 28, 26, 39, 31, 40};

Qt::Alignment alignmentOf(int column)
{
    switch (column) {
    case kColumnNumber:
    case kColumnColors:
    case kColumnDelay: return Qt::AlignRight | Qt::AlignVCenter;
    case kColumnName:
    case kColumnPosition:
    case kColumnSize: return Qt::AlignLeft | Qt::AlignVCenter;
    default: return Qt::AlignCenter;
    }
}

QString mark(bool on)
{
    return loadText(on ? Text::OnMark : Text::OffMark);
}

} // namespace

FrameListModel::FrameListModel(DocumentModel& document) : QAbstractTableModel(&document), document_(document) {}

int FrameListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : document_.frameCount();
}

int FrameListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

int FrameListModel::columnWidth(int column)
{
    return column >= 0 && column < kColumnCount ? kWidths[column] : 0;
}

QString FrameListModel::cellText(int row, int column) const
{
    const Frame* f = document_.frameAt(row);
    if (!f)
        return {};
    switch (column) {
    case kColumnNumber: return QString::asprintf("%03d", row + 1);
    case kColumnName: return displayText(f->name);
    case kColumnPosition:
        return QString::asprintf(loadText(Text::PositionFormat).toUtf8().constData(), int(f->left), int(f->top));
    case kColumnSize:
        return QString::asprintf(loadText(Text::SizeFormat).toUtf8().constData(), int(f->width), int(f->height));
    case kColumnColors: return QString::number(f->colorCount);
    case kColumnLocalTable: return mark(f->useLocalColorTable);
    case kColumnUserInput: return mark(f->userInput);
    case kColumnTransparent:
        return f->transparentIndex < 0xFFFF ? QString::number(f->transparentIndex) : loadText(Text::NoneMark);
    case kColumnDisposal: return QString::number(f->disposal);
    case kColumnDelay: return QString::number(f->delay);
    default: return {};
    }
}

QVariant FrameListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole: return cellText(index.row(), index.column());
    case Qt::EditRole:
        return index.column() == kColumnName ? cellText(index.row(), kColumnName) : QVariant();
    case Qt::TextAlignmentRole: return QVariant::fromValue(alignmentOf(index.column()));
    case Qt::DecorationRole:
        if (index.column() == kColumnNumber)
            return thumbnails_.thumbnail(document_, index.row());
        return {};
    default: return {};
    }
}

QVariant FrameListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return loadText(kHeadings[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(section));
    return {};
}

} // namespace zell
